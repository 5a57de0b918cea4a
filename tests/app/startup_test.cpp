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
