#include "monitor/csv_recording.h"

#include "monitor/decoders.h"
#include "monitor/number_format.h"
#include "monitor/record_time.h"

#include "serial/safe_save.h"
#include "serial/shown_text.h"

namespace lir2 {

using namespace Qt::StringLiterals;

namespace {

// The columns, in order. Alarm rows fill the first two and the last three.
const QStringList& columnNames() {
  static const QStringList columns = {
      u"Время"_s,
      u"Запись"_s,
      u"Режим"_s,
      u"Режим работы"_s,
      u"Напряжение АКБ, В"_s,
      u"Напряжение АКБ под нагрузкой, В"_s,
      u"Ток АКБ, А"_s,
      u"Вход сети, В"_s,
      u"Выход ЛИР, В"_s,
      u"Ток сети, А"_s,
      u"Мощность, кВт"_s,
      u"Температура окр. среды, °C"_s,
      u"Температура транса, °C"_s,
      u"Температура транзисторов, °C"_s,
      u"До заряда, с"_s,
      u"Системные ошибки (42)"_s,
      u"Защиты (43)"_s,
      u"Предупреждения (44)"_s,
      u"События (45)"_s,
      u"Тревога: байт"_s,
      u"Тревога: бит"_s,
      u"Тревога"_s,
  };
  return columns;
}

QByteArray rowBytes(const QStringList& fields) {
  QString line;
  for (qsizetype i = 0; i < fields.size(); ++i) {
    if (i) line += u',';
    line += csvField(fields[i]);
  }
  return line.toUtf8() + "\r\n";
}

// A temperature as the label shows it, in whole degrees; empty where the label shows none.
QString celsiusText(const RamValues& v, const TemperatureReading& t, bool hidden = false) {
  if (!v.temperaturesKnown || t.absent || hidden) return {};
  return QString::number(t.celsius());
}

}  // namespace

QString csvField(const QString& text) {
  const bool quote = text.contains(u',') || text.contains(u'"') || text.contains(u'\r') ||
                     text.contains(u'\n') ||
                     (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
  if (!quote) return text;
  QString quoted = text;
  quoted.replace(u"\""_s, u"\"\""_s);
  return u'"' + quoted + u'"';
}

QStringList csvColumns() {
  return columnNames();
}

QByteArray csvHeaderRow() {
  return rowBytes(columnNames());
}

QByteArray csvValueRow(const RamValues& v, const QDateTime& at) {
  QStringList f;
  f.reserve(columnNames().size());
  f << isoLocalTime(at, true) << u"Значения"_s << QString::number(v.mode) << modeText(v)
    << formatGeneral15(v.batteryVolts, Separator::Point)
    << formatGeneral15(v.batteryVoltsUnderLoad, Separator::Point) << QString::number(v.batteryAmps)
    << QString::number(v.mainsVolts) << QString::number(v.outputVolts)
    << mainsCurrentText(v, Separator::Point) << formatGeneral2(v.powerKw, Separator::Point)
    << celsiusText(v, v.ambient) << celsiusText(v, v.transformer, v.transformerHidden)
    << celsiusText(v, v.transistors)
    << (v.secondsToCharge ? QString::number(*v.secondsToCharge) : QString());
  for (quint8 b : v.alarmBytes) f << QString::number(b);
  f << QString() << QString() << QString();
  return rowBytes(f);
}

QByteArray csvAlarmRow(const AlarmEvent& alarm, const QDateTime& at) {
  QStringList f(columnNames().size());
  f[0] = isoLocalTime(at, true);
  f[1] = u"Тревога"_s;
  f[f.size() - 3] = QString::number(alarm.ramOffset);
  f[f.size() - 2] = QString::number(alarm.bit);
  f[f.size() - 1] = alarm.text;
  return rowBytes(f);
}

CsvRecording::CsvRecording(QObject* parent) : QObject(parent) {
  setObjectName(u"CsvRecording"_s);
}

CsvRecording::~CsvRecording() {
  if (file_.isOpen()) file_.close();
}

void CsvRecording::start(const QString& path) {
  stop();
  rows_ = 0;
  goodSize_ = 0;
  lastRowAt_ = QDateTime();
  // The header is saved as every file is: an earlier file at the path stays as it was unless the
  // new one has its header on the disk; a device or a FIFO is never taken for the file.
  const QByteArray header = csvHeaderRow();
  QString reason;
  if (!saveFile(path, header, &reason)) {
    emit stopped(path, 0, u"Файл записи «%1» не создаётся: %2"_s.arg(shownPath(path), reason));
    return;
  }
  file_.setFileName(path);
  // Unbuffered: every row goes to the system as it is written, and a failure names its cause.
  if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
    emit stopped(
        path, 0,
        u"Файл записи «%1» не открывается: %2"_s.arg(shownPath(path), file_.errorString()));
    return;
  }
  goodSize_ = header.size();
  emit started(path);
}

void CsvRecording::stop() {
  if (!file_.isOpen()) return;
  file_.close();
  emit stopped(file_.fileName(), rows_, QString());
}

void CsvRecording::record(const RamValues& values, const QDateTime& at) {
  if (!file_.isOpen()) return;
  // The values and the alarms of one decode reach the file together, or not at all.
  // A file's first decode names the alarms already standing; later ones, those that appear.
  const QList<AlarmEvent>& alarms = rows_ == 0 ? values.standingAlarms : values.newAlarms;
  QByteArray rows = csvValueRow(values, at);
  for (const AlarmEvent& alarm : alarms) rows += csvAlarmRow(alarm, at);
  if (QString reason; !append(rows, &reason)) {
    fail(reason);
    return;
  }
  rows_ += 1 + alarms.size();
  lastRowAt_ = at;
  emit rowsWritten(rows_);
}

bool CsvRecording::append(const QByteArray& bytes, QString* reason) {
  if (!writeWhole(file_, bytes, reason)) return false;
  if (syncEachRow_ && !syncToDisk(file_, reason)) return false;
  goodSize_ += bytes.size();
  return true;
}

void CsvRecording::fail(const QString& reason) {
  const QString path = file_.fileName();
  // A row cut short by a full disk is taken off again, so the file ends with a whole row.
  file_.unsetError();
  const bool trimmed = file_.resize(goodSize_);
  file_.close();
  QString error = u"Запись в файл «%1» остановлена: %2. "_s.arg(shownPath(path), reason);
  if (rows_ == 0)
    error += u"Строк с данными в файле нет."_s;
  else
    error += u"В файле %1 строк, последняя — за %2."_s.arg(rows_).arg(
        lastRowAt_.toLocalTime().toString(u"HH:mm:ss"_s));
  if (!trimmed && goodSize_ > 0) error += u" Последняя строка могла остаться неполной."_s;
  emit stopped(path, rows_, error);
}

}  // namespace lir2
