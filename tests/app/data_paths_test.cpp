#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTranslator>

#include "app/data_paths.h"
#include "app/qt_translation.h"

namespace {

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

}  // namespace
