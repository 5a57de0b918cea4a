#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "serial/config_file.h"

using namespace lir2;

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Loading and then saving with line 1 set to "COM10": only line 1 changes, a missing file is
// made with "COM1", and what cannot be read or made is reported and never written over.
TEST(ConfigFile, OnlyLineOneChangesAndNothingUnreadIsOverwritten) {
  const struct {
    const char* name;
    const char* path;
    QByteArray before;  // written first (at `at`, else at the path); null: nothing written
    const char* line1;  // after the load
    QByteArray after;   // after the save; null: load and save fail, and the error says why
    const char* error = "";
    const char* at = nullptr;
    bool folderAtPath = false;
  } cases[] = {
      {"missing file and folder", "data/config.txt", QByteArray(), "COM1", "COM10\r\n"},
      // Other lines keep their bytes, whatever they are; LF-only endings come back as CR LF.
      {"other lines", "config.txt", "COM3\nsecond line \xC0\xFF\r\n\r\nthird\n", "COM3",
       "COM10\r\nsecond line \xC0\xFF\r\n\r\nthird\r\n"},
      {"empty file", "config.txt", "", "", "COM10\r\n"},
      {"a file where the folder should be", "data/config.txt", "x", "COM1", QByteArray(),
       "Не удалось создать папку", "data"},
      {"a folder where the file should be", "config.txt", QByteArray(), "COM1", QByteArray(),
       "не перезаписывается", nullptr, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString path = dir.filePath(c.path);
    if (!c.before.isNull()) {
      QFile f(c.at ? dir.filePath(c.at) : path);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(c.before);
    }
    if (c.folderAtPath) {
      ASSERT_TRUE(QDir().mkdir(path));
    }
    ConfigFile config(path);
    QString error;
    EXPECT_EQ(config.load(&error), !c.after.isNull());
    EXPECT_NE(error.isEmpty(), c.after.isNull());
    EXPECT_EQ(config.line1(), c.line1);  // after a failed load the program runs on with COM1
    if (c.before.isNull() && !c.after.isNull()) {
      EXPECT_EQ(readAll(path), "COM1\r\n");
    }
    config.setLine1("COM10");
    EXPECT_EQ(config.save(&error), !c.after.isNull());
    EXPECT_TRUE(error.contains(QString::fromUtf8(c.error))) << error.toStdString();
    if (!c.after.isNull()) {
      EXPECT_EQ(readAll(path), c.after);
    }
  }
}

// Writing is tried, and the try leaves nothing behind.
TEST(ConfigFile, FolderWritableIsFoundByTrying) {
  QTemporaryDir root;
  const QDir r(root.path());
  ASSERT_TRUE(r.mkdir("open"));
  QFile file(r.filePath("a file"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  EXPECT_TRUE(folderWritable(r.filePath("open")));
  EXPECT_TRUE(QDir(r.filePath("open")).isEmpty());
  EXPECT_FALSE(folderWritable(r.filePath("missing")));
  EXPECT_FALSE(folderWritable(r.filePath("a file")));
}

}  // namespace
