// Start-up: the command line, where the run-time files are, Qt's own texts in Russian.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTranslator>

#include "app/data_paths.h"
#include "app/qt_translation.h"
#include "app/startup.h"

using namespace lir2;

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
  } cases[] = {
      {"-s|--help", ""},  // help and version are looked at below
      {"--version", ""},
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
// option ends with the usage and status 2. lir2-window-shots likewise, and it makes no folder
// named like an option and puts nothing but pictures into the one it fills.
TEST(Startup, HelpVersionAndWrongOptionEndTheProgram) {
#if !defined(LIR2GUI_BUILT) || !defined(LIR2_WINDOW_SHOTS_BUILT)
  GTEST_SKIP() << "lir2gui or lir2-window-shots is not built";
#else
  const QString gui = QStringLiteral(LIR2GUI_BUILT),
                shots = QStringLiteral(LIR2_WINDOW_SHOTS_BUILT);
  QTemporaryDir work;
  const struct {
    QString program;
    QStringList args;
    int status;
    const char *out, *err;
  } cases[] = {
      {gui, {"--help"}, 0, "Использование: lir2gui [-s]", ""},
      {gui, {"--version"}, 0, "lir2gui 8.0", ""},
      {gui, {"-s", "--bogus"}, 2, "", "lir2gui: неизвестный ключ: --bogus"},
      {shots, {"--help"}, 0, "Usage:", ""},
      {shots, {"--", "--help"}, 2, "", ""},
      {shots, {"-x"}, 2, "", "lir2-window-shots: Unknown option 'x'."},
      {shots, {"pictures"}, 0, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (c.program == gui)
      for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(work.path());
    p.start(c.program, c.args);
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), c.status);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(out.startsWith(QString::fromUtf8(c.out)) || !*c.out) << out.toStdString();
    EXPECT_TRUE(err.contains(QString::fromUtf8(c.err)) || !*c.err) << err.toStdString();
    if (c.program == gui) {
      EXPECT_EQ(c.status == 2, err.contains("Использование:"));
    }
  }
  EXPECT_EQ(QDir(work.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
            QStringList{"pictures"});
  const QDir pictures(work.filePath("pictures"));
  EXPECT_TRUE(pictures.exists("FormMain.png"));
  EXPECT_EQ(pictures.entryList({"*.png"}, QDir::Files), pictures.entryList(QDir::Files));
#endif
}

// The run-time files of a checkout, a Windows folder (portable or under Program Files), an
// installed Linux program and a build tree.
TEST(DataPaths, DataFolderFirstThenBesideTheProgramThenTheInstalledLayout) {
  QTemporaryDir root;
  const QDir r(root.path());
  for (const char* dir :
       {"work/data", "plain", "LIR2Gui/data", "usr/bin", "usr/share/lir2gui/sounds", "build/app"})
    ASSERT_TRUE(r.mkpath(QString::fromLatin1(dir)));
  const QString config = r.filePath("home/.config/LIR2Gui");
  const QString userConfig = config + "/config.txt";
  const QString windows = r.filePath("LIR2Gui/data");
  const struct {
    const char* name;
    const char *working, *program;
    bool closed;  // the user may not write in the data folder
    QString configPath, soundsFolder;
  } cases[] = {
      {"data/ in the working folder", "work", "usr/bin", false, "data/config.txt", "data"},
      {"data/ in the working folder, closed", "work", "usr/bin", true, userConfig, "data"},
      {"portable, started from elsewhere", "plain", "LIR2Gui", false, windows + "/config.txt",
       windows},
      {"under Program Files", "plain", "LIR2Gui", true, userConfig, windows},
      {"under Program Files, from its folder", "LIR2Gui", "LIR2Gui", true, userConfig, "data"},
      {"installed", "plain", "usr/bin", false, userConfig, r.filePath("usr/share/lir2gui/sounds")},
      {"build tree", "plain", "build/app", false, "data/config.txt", "data"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const DataPaths p = chooseDataPaths(r.filePath(c.working), r.filePath(c.program), config,
                                        [&](const QString&) { return !c.closed; });
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

}  // namespace
