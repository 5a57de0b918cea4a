// config.txt, the window's EEPROM backup and a recording on a disk that is full or failing: the old
// file stays as it was and the error gives the system's reason; a recording that meets the fault
// later stops with it and ends with its last whole row. (The backup's full disk: lir2-cli's tests.)
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <functional>

#include "common/small_tmpfs.h"
#include "monitor/csv_recording.h"
#include "monitor/eeprom_backup.h"
#include "serial/config_file.h"
#include "serial/safe_save.h"

using namespace lir2;

namespace {

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A recording's error: of its start, or with fault given, of the rows written after it.
QString recordTo(const QString& path, const std::function<void()>& fault = {}) {
  CsvRecording r;
  QString error;
  QObject::connect(&r, &CsvRecording::stopped,
                   [&](const QString&, qint64, const QString& e) { error = e; });
  r.start(path);
  if (error.isEmpty() && fault) fault();
  // A page of the file system holds a few dozen rows: a full one shows within a hundred.
  for (int i = 0; fault && i < 100 && r.isRecording(); ++i)
    r.record(RamValues{}, QDateTime::currentDateTime());
  return error;
}

QString saveConfig(const QString& path) {
  ConfigFile config(path);
  QString error;
  EXPECT_TRUE(config.load(&error));
  config.setLine1("COM7");
  return config.save(&error) ? QString() : error;
}

TEST(Saving, AFullOrFailingDiskKeepsTheOldFileAndSaysWhy) {
  SmallTmpfs disk;
  QTemporaryDir plain;
  // A real full disk where one may be mounted; always writes failing as on a full disk.
  for (const bool real : {true, false}) {
    if (real && !disk.ok()) continue;
    SCOPED_TRACE(real ? "full tmpfs" : "injected");
    const QString path = real ? disk.path("saved") : plain.filePath("saved");
    const auto fail = [&](int error) { real ? disk.fill() : injectSaveWriteError(error); };
    const auto mend = [&] { real ? disk.free() : injectSaveWriteError(0); };
    const std::function<QString(const QString&)> savers[] = {
        saveConfig, [](const QString& p) { return recordTo(p); },
        [](const QString& p) {
          return saveEepromHexFile(p, {}, QDateTime::currentDateTime(), "8.0");
        }};
    for (const auto& save : savers) {
      const QByteArray old = "COM3\r\nold, whole\r\n";
      ASSERT_TRUE(saveFile(path, old, nullptr));
      fail(ENOSPC);
      const QString error = save(path);
      mend();
      EXPECT_TRUE(error.contains(qt_error_string(ENOSPC))) << error.toStdString();
      EXPECT_EQ(fileBytes(path), old);
    }
    const QString error = recordTo(path, [&] { fail(EIO); });
    mend();
    EXPECT_TRUE(error.contains(qt_error_string(real ? ENOSPC : EIO))) << error.toStdString();
    const QByteArray kept = fileBytes(path);
    const qsizetype row = csvValueRow(RamValues{}, QDateTime::currentDateTime()).size();
    EXPECT_TRUE(kept.startsWith(csvHeaderRow()) && kept.endsWith("\r\n"));
    EXPECT_EQ((kept.size() - csvHeaderRow().size()) % row, 0);  // whole rows only
  }
  if (!disk.ok()) GTEST_SKIP() << "no tmpfs may be mounted here: only the injected failure ran";
}

}  // namespace
