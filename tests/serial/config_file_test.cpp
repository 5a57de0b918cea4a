#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "serial/config_file.h"

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void write(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(data);
}

TEST(ConfigFile, MissingFileAndFolderAreCreatedWithCom1) {
  QTemporaryDir dir;
  const QString path = dir.filePath("data/config.txt");
  ConfigFile config(path);
  QString error;
  EXPECT_TRUE(config.load(&error)) << error.toStdString();
  EXPECT_EQ(config.line1(), "COM1");
  EXPECT_EQ(readAll(path), "COM1\r\n");
}

TEST(ConfigFile, OnlyLineOneChanges) {
  QTemporaryDir dir;
  const QString path = dir.filePath("config.txt");
  // Other lines keep their bytes, whatever they are; LF-only endings come back as CR LF.
  write(path, QByteArray("COM3\nsecond line \xC0\xFF\r\n\r\nthird\n"));
  ConfigFile config(path);
  ASSERT_TRUE(config.load());
  EXPECT_EQ(config.line1(), "COM3");
  config.setLine1("COM10");
  ASSERT_TRUE(config.save());
  EXPECT_EQ(readAll(path), QByteArray("COM10\r\nsecond line \xC0\xFF\r\n\r\nthird\r\n"));
}

TEST(ConfigFile, EmptyFileGetsALineOne) {
  QTemporaryDir dir;
  const QString path = dir.filePath("config.txt");
  write(path, "");
  ConfigFile config(path);
  ASSERT_TRUE(config.load());
  EXPECT_EQ(config.line1(), "");
  config.setLine1("ttyUSB0");
  ASSERT_TRUE(config.save());
  EXPECT_EQ(readAll(path), "ttyUSB0\r\n");
}

TEST(ConfigFile, FolderThatCannotBeMadeIsReported) {
  QTemporaryDir dir;
  write(dir.filePath("data"), "a file where the folder should be");
  ConfigFile config(dir.filePath("data/config.txt"));
  QString error;
  EXPECT_FALSE(config.load(&error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(config.line1(), "COM1");  // the program runs on
  config.setLine1("COM2");
  EXPECT_FALSE(config.save(&error));
  EXPECT_EQ(config.line1(), "COM2");
}

TEST(ConfigFile, UnreadableFileIsNeverOverwritten) {
  QTemporaryDir dir;
  const QString path = dir.filePath("config.txt");
  ASSERT_TRUE(QDir(dir.path()).mkdir("config.txt"));  // exists, but cannot be read as a file
  ConfigFile config(path);
  QString error;
  EXPECT_FALSE(config.load(&error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(config.save(&error));
  EXPECT_TRUE(QFileInfo(path).isDir());
}

}  // namespace
