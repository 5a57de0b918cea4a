// Start-up: the command line, where the run-time files are, Qt's own texts in Russian.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTranslator>

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
