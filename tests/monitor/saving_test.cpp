// Files on a disk that is full or failing: a backup's bytes, config.txt and a recording keep the
// old file as it was and say why in the system's words; a recording that meets the fault later
// stops with that reason and a file that ends with its last whole row.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <functional>

#include "common/small_tmpfs.h"
#include "monitor/csv_recording.h"
#include "serial/config_file.h"
#include "serial/safe_save.h"

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// The error of one recording's start; or, when beforeRows is given, of the rows written after
// it until one fails (rows counts those that went through).
QString Record(const QString& path, const std::function<void()>& beforeRows = {},
               qint64* rows = nullptr) {
  CsvRecording recording;
  QString error;
  QObject::connect(&recording, &CsvRecording::stopped,
                   [&](const QString&, qint64 n, const QString& e) {
                     error = e;
                     if (rows) *rows = n;
                   });
  recording.start(path);
  if (!error.isEmpty() || !beforeRows) return error;
  beforeRows();
  // A page of a file system holds a few dozen rows: the fault shows within a hundred.
  for (int i = 0; i < 100 && recording.isRecording(); ++i)
    recording.record(RamValues{}, QDateTime::currentDateTime());
  EXPECT_FALSE(recording.isRecording());
  return error;
}

TEST(Saving, AFullOrFailingDiskKeepsTheOldFileAndSaysWhy) {
  const struct {
    const char* name;
    std::function<QString(const QString&)> save;  // the error, empty when saved
  } savers[] = {
      {"backup.hex",
       [](const QString& path) {
         QString reason;
         return SaveFile(path, QByteArray(8192, ':'), &reason) ? QString() : reason;
       }},
      {"config.txt",
       [](const QString& path) {
         ConfigFile config(path);
         QString error;
         EXPECT_TRUE(config.load(&error));
         config.setLine1("COM7");
         return config.save(&error) ? QString() : error;
       }},
      {"values.csv", [](const QString& path) { return Record(path); }},
  };
  SmallTmpfs disk;
  QTemporaryDir plain;
  // A real full disk where the test may mount one; always a plain folder whose writes fail as a
  // full disk makes them fail.
  for (const bool real : {true, false}) {
    if (real && !disk.ok()) continue;
    SCOPED_TRACE(real ? "full tmpfs" : "injected ENOSPC");
    for (const auto& s : savers) {
      SCOPED_TRACE(s.name);
      const QString path = real ? disk.path(s.name) : plain.filePath(s.name);
      const QByteArray old = "COM3\r\nold, whole\r\n";
      ASSERT_TRUE(SaveFile(path, old, nullptr));
      real ? disk.fill() : InjectSaveWriteError(ENOSPC);
      const QString error = s.save(path);
      real ? disk.free() : InjectSaveWriteError(0);
      EXPECT_TRUE(error.contains(qt_error_string(ENOSPC))) << error.toStdString();
      EXPECT_EQ(ReadAll(path), old);
      EXPECT_TRUE(s.save(path).isEmpty());  // with room again, the same save goes through
      EXPECT_NE(ReadAll(path), old);
    }
    // A recording whose row meets the fault: stopped with the reason, not "Unknown error".
    const QString csv = real ? disk.path("later.csv") : plain.filePath("later.csv");
    qint64 rows = -1;
    const QString error = Record(
        csv, [&] { real ? disk.fill() : InjectSaveWriteError(EIO); }, &rows);
    real ? disk.free() : InjectSaveWriteError(0);
    EXPECT_TRUE(error.contains(qt_error_string(real ? ENOSPC : EIO))) << error.toStdString();
    const QByteArray kept = ReadAll(csv);
    EXPECT_TRUE(kept.startsWith(CsvHeaderRow()) && kept.endsWith("\r\n"));
    EXPECT_EQ(kept.count("\r\n"), 1 + rows);  // whole rows only
  }
  if (!disk.ok()) GTEST_SKIP() << "no tmpfs may be mounted here: only the injected failure ran";
}

}  // namespace
