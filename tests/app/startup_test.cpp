// Start-up and end: the command line, where the run-time files are, Qt's own texts in Russian,
// and SIGTERM and SIGINT ending the program as its window's closing does.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTranslator>

#include <signal.h>

#include "app/data_paths.h"
#include "app/qt_translation.h"
#include "app/startup.h"

namespace {

// -s or -service at the very start of the arguments, whatever follows.
TEST(Startup, ServiceSwitch) {
  // The arguments after the program's name, | between them.
  const std::pair<const char*, bool> cases[] = {
      {"", false},   {"-s", true},           {"-service", true}, {"-s|--port|x", true},
      {"/s", false}, {"-S", false},          {" -s", false},     {"s", false},
      {"-", false},  {"--port|x|-s", false},
  };
  for (auto [args, service] : cases) {
    const QStringList list = QStringList{"lir2gui"} + QString(args).split('|', Qt::SkipEmptyParts);
    EXPECT_EQ(parseCommandLine(list).serviceMode, service) << args;
  }
}

TEST(Startup, PortAndProfileOptions) {
  CommandLine cl =
      parseCommandLine({"lir2gui", "-s", "--port", "/dev/pts/4", "--sim-profile=gen5"});
  EXPECT_TRUE(cl.serviceMode);
  EXPECT_EQ(cl.portPath, "/dev/pts/4");
  EXPECT_EQ(cl.simProfile, "gen5");
  EXPECT_TRUE(cl.error.isEmpty());
  cl = parseCommandLine({"lir2gui", "--port=/tmp/lir2"});
  EXPECT_EQ(cl.portPath, "/tmp/lir2");
  EXPECT_FALSE(cl.simulated);
  EXPECT_TRUE(parseCommandLine({"lir2gui", "--simulated"}).simulated);
  cl = parseCommandLine({"lir2gui", "--port"});
  EXPECT_FALSE(cl.error.isEmpty());
}

// Help and version, Qt's own options taken, and anything unknown an error: the program never
// starts silently with an option it does not know.
TEST(Startup, UnknownOptionsAreErrors) {
  const struct {
    const char* args;  // | between them
    const char* error;
    bool help = false, version = false;
  } cases[] = {
      {"--help", ""},  // the flags are checked below
      {"-h", ""},
      {"--version", ""},
      {"-s|--help", ""},
      {"-service|--simulated|-platform|offscreen|-style=fusion|-reverse", ""},
      {"--bogus", "неизвестный ключ: --bogus"},
      {"-s|--bogus", "неизвестный ключ: --bogus"},
      {"--simulated|stray", "лишний аргумент: stray"},
      {"-S", "неизвестный ключ: -S"},
      {"--port|x|-s", "неизвестный ключ: -s"},  // the switch counts only at the start
      {"--sim-profile", "ключу --sim-profile нужно значение"},
  };
  for (const auto& c : cases) {
    const CommandLine cl = parseCommandLine(QStringList{"lir2gui"} + QString(c.args).split('|'));
    EXPECT_EQ(cl.error, QString::fromUtf8(c.error)) << c.args;
    EXPECT_EQ(cl.help, QString(c.args).contains("-h")) << c.args;
    EXPECT_EQ(cl.version, QString(c.args).contains("--version")) << c.args;
  }
}

// As a user types them: help and version print and end at once, without a display; a wrong
// option ends with the usage and status 2.
TEST(Startup, HelpVersionAndWrongOptionEndTheProgram) {
#ifndef LIR2GUI_BUILT
  GTEST_SKIP() << "lir2gui is not built";
#else
  const struct {
    QStringList args;
    int status;
    const char *out, *err;
  } cases[] = {
      {{"--help"}, 0, "Использование: lir2gui [-s]", ""},
      {{"--version"}, 0, "lir2gui 8.0", ""},
      {{"-s", "--bogus"}, 2, "", "lir2gui: неизвестный ключ: --bogus"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    QProcess gui;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    gui.setProcessEnvironment(env);
    gui.start(QStringLiteral(LIR2GUI_BUILT), c.args);
    ASSERT_TRUE(gui.waitForFinished(10000));
    EXPECT_EQ(gui.exitCode(), c.status);
    const QString out = QString::fromUtf8(gui.readAllStandardOutput());
    const QString err = QString::fromUtf8(gui.readAllStandardError());
    const QString wantOut = QString::fromUtf8(c.out), wantErr = QString::fromUtf8(c.err);
    EXPECT_EQ(wantOut.isEmpty() ? out : out.left(wantOut.size()), wantOut) << out.toStdString();
    EXPECT_EQ(wantErr.isEmpty() ? err : err.left(wantErr.size()), wantErr) << err.toStdString();
    if (c.status == 2) {
      EXPECT_TRUE(err.contains("Использование:"));
    }
  }
#endif
}

// lir2-window-shots: its help, a folder that looks like an option refused, and nothing but
// pictures in the folder it fills (the configuration it needs lives elsewhere).
TEST(WindowShots, WritesOnlyPictures) {
#ifndef LIR2_WINDOW_SHOTS_BUILT
  GTEST_SKIP() << "lir2-window-shots is not built";
#else
  QTemporaryDir work;
  const struct {
    QStringList args;
    int status;
  } cases[] = {{{"--help"}, 0}, {{"--", "--help"}, 2}, {{"-x"}, 2}, {{"pictures"}, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    QProcess shots;
    shots.setWorkingDirectory(work.path());
    shots.start(QStringLiteral(LIR2_WINDOW_SHOTS_BUILT), c.args);
    ASSERT_TRUE(shots.waitForFinished(60000));
    EXPECT_EQ(shots.exitCode(), c.status) << shots.readAllStandardError().toStdString();
  }
  EXPECT_EQ(QDir(work.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
            QStringList{"pictures"});  // no folder named after an option
  const QStringList written = QDir(work.filePath("pictures")).entryList(QDir::Files);
  EXPECT_TRUE(written.contains("FormMain.png"));
  EXPECT_EQ(QDir(work.filePath("pictures")).entryList({"*.png"}, QDir::Files), written);
#endif
}

// The run-time files of a checkout, an installed program and a build tree.
TEST(DataPaths, DataFolderFirstThenTheInstalledLayout) {
  QTemporaryDir root;
  const QDir r(root.path());
  for (const char* dir : {"work/data", "plain", "usr/bin", "usr/share/lir2gui/sounds", "build/app"})
    ASSERT_TRUE(r.mkpath(QString::fromLatin1(dir)));
  const QString config = r.filePath("home/.config/LIR2Gui");
  const struct {
    const char* name;
    const char *working, *program;
    QString configPath, soundsFolder;
  } cases[] = {
      {"data/ in the working folder", "work", "usr/bin", "data/config.txt", "data"},
      {"installed", "plain", "usr/bin", config + "/config.txt",
       r.filePath("usr/share/lir2gui/sounds")},
      {"build tree", "plain", "build/app", "data/config.txt", "data"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const DataPaths p = chooseDataPaths(r.filePath(c.working), r.filePath(c.program), config);
    EXPECT_EQ(p.configPath, c.configPath);
    EXPECT_EQ(p.soundsFolder, c.soundsFolder);
  }
}

TEST(QtTranslation, StandardButtonsSpeakRussian) {
  ASSERT_TRUE(installQtRussianTranslation(*qApp)) << "qt6-translations-l10n is not installed";
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Отмена");
  for (QTranslator* t : qApp->findChildren<QTranslator*>()) {
    QCoreApplication::removeTranslator(t);
    delete t;
  }
}

// Whether the process has its own handler for the signal (SigCgt in /proc/PID/status).
bool catches(qint64 pid, int signal) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("SigCgt:"))
      return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
  return false;
}

// SIGTERM and SIGINT end the program as its window's closing does, with exit code 0, rather
// than killing it where it stands.
TEST(UnixSignals, TerminationEndsTheProgramNormally) {
#ifndef LIR2GUI_BUILT
  GTEST_SKIP() << "lir2gui is not built";
#else
  const QString program = QStringLiteral(LIR2GUI_BUILT);
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    QTemporaryDir work;
    ASSERT_TRUE(QDir(work.path()).mkpath("data"));
    QProcess gui;  // offscreen, with a home of its own, as every test runs
    gui.setWorkingDirectory(work.path());
    gui.start(program, {"--simulated"});
    ASSERT_TRUE(gui.waitForStarted(5000));
    QDeadlineTimer deadline(10000);
    while (!catches(gui.processId(), signal) && !deadline.hasExpired()) QThread::msleep(10);
    ASSERT_TRUE(catches(gui.processId(), signal)) << "no handler installed";
    ::kill(static_cast<pid_t>(gui.processId()), signal);
    ASSERT_TRUE(gui.waitForFinished(10000));
    EXPECT_EQ(gui.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(gui.exitCode(), 0);
  }
#endif
}

}  // namespace
