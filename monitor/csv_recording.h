#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>

#include "monitor/ram_values.h"

namespace lir2 {

// The live recording of the monitor's values to a CSV file: UTF-8, a header row, RFC 4180
// quoting, CR LF rows, ISO 8601 local time with its offset, numbers with a decimal point. One
// row per RAM decode, and one more for each alarm that appeared in it (in the first, each alarm
// already standing). The numbers are those the labels show, from the same RamValues.

// One field, quoted when it holds a comma, a quote, a line break or blanks at its ends.
QString csvField(const QString& text);
// The header row and the rows of a decode, each ending in CR LF.
QByteArray csvHeaderRow();
QByteArray csvValueRow(const RamValues& values, const QDateTime& at);
QByteArray csvAlarmRow(const AlarmEvent& alarm, const QDateTime& at);
// The fields of the header row, in order.
QStringList csvColumns();

// A recording into one file at a time. It runs on the thread it lives on (the device line's,
// beside the monitor, so that writing to a slow disk never holds a window); every row reaches
// the disk before the next decode. A file that cannot be created or written stops the recording
// with a message; the monitor goes on.
class CsvRecording : public QObject {
  Q_OBJECT
 public:
  explicit CsvRecording(QObject* parent = nullptr);
  ~CsvRecording() override;

  // Starts a new file at path (replacing one that is there) with its header row; a recording
  // already running ends first.
  void start(const QString& path);
  // Ends the recording, if one runs.
  void stop();
  // The rows of one RAM decode.
  void record(const RamValues& values, const QDateTime& at);

  bool isRecording() const { return file_.isOpen(); }
  qint64 rows() const { return rows_; }
  // Every row is forced to the disk, not only handed to the system (on by default; the
  // benchmark measures both).
  void setSyncEachRow(bool on) { syncEachRow_ = on; }

 signals:
  void started(const QString& path);
  // Rows written so far (the header not counted).
  void rowsWritten(qint64 rows);
  // The recording ended: by stop() (error empty), or because the file failed (error says why
  // and what the file holds).
  void stopped(const QString& path, qint64 rows, const QString& error);

 private:
  // Writes bytes as one whole piece; false with the system's reason when the file failed.
  bool append(const QByteArray& bytes, QString* reason);
  void fail(const QString& reason);

  QFile file_;
  qint64 rows_ = 0;
  qint64 goodSize_ = 0;  // the file's size after the last whole row
  QDateTime lastRowAt_;
  bool syncEachRow_ = true;
};

}  // namespace lir2
