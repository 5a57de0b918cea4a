#include "monitor/eeprom_backup.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <functional>

#include "monitor/device_data.h"
#include "monitor/eeprom_cells.h"
#include "monitor/record_time.h"
#include "protocol/result_messages.h"
#include "serial/intel_hex.h"
#include "serial/safe_save.h"
#include "serial/shown_text.h"

namespace lir2 {

using namespace Qt::StringLiterals;

namespace {

constexpr int kBytesPerRecord = 16;
// Far more than any EEPROM file of 1024 bytes needs, even with long comments.
constexpr qint64 kLargestFile = 256 * 1024;

// The header's first field marks our own files; the others are "name: value".
const QString kHeaderMark = u"EEPROM LIR"_s;
const QString kFieldSeparator = u" | "_s;

QString hexText(quint32 value, int digits) {
  return u"0x"_s + QString::number(value, 16).toUpper().rightJustified(digits, u'0');
}

// The header's identification, when the comment is one of ours.
std::optional<EepromIdentity> parseHeader(const QString& comment, QString* saved) {
  const QStringList fields = comment.split(kFieldSeparator);
  if (fields.isEmpty() || fields.first().trimmed() != kHeaderMark) return std::nullopt;
  EepromIdentity id;
  for (const QString& field : fields.mid(1)) {
    const qsizetype colon = field.indexOf(u": "_s);
    if (colon < 0) continue;
    const QString key = field.left(colon);
    // Shown in labels and on terminals as the file has it, control characters excepted.
    const QString value = shownText(field.mid(colon + 2));
    if (key == u"плата")
      id.board = value;
    else if (key == u"ПО")
      id.firmware = value;
    else if (key == u"мощность")
      id.power = value;
    else if (key == u"напряжение")
      id.voltage = value;
    else if (key == u"сохранено")
      *saved = value;
  }
  return id;
}

QString lineError(int line, const QString& what) {
  return u"строка %1: "_s.arg(line) + what;
}

}  // namespace

QString EepromIdentity::describe() const {
  QStringList parts;
  for (const QString& p : {board, firmware, power, voltage})
    if (!p.isEmpty()) parts << p;
  return parts.isEmpty() ? u"устройство не опознано"_s : parts.join(u", "_s);
}

EepromIdentity identityOf(const DeviceImages::Eeprom& eeprom) {
  return identityOf(identifyDevice(eeprom));
}

EepromIdentity identityOf(const DeviceIdentification& id) {
  return {id.boardText(), id.firmwareText(), id.powerText(), id.voltageText().value_or(QString())};
}

QByteArray writeEepromHex(const DeviceImages::Eeprom& eeprom, const QDateTime& saved,
                          const QString& programVersion) {
  const EepromIdentity id = identityOf(eeprom);
  const QStringList header = {kHeaderMark,
                              u"плата: "_s + id.board,
                              u"ПО: "_s + id.firmware,
                              u"мощность: "_s + id.power,
                              u"напряжение: "_s + id.voltage,
                              u"сохранено: "_s + isoLocalTime(saved),
                              u"программа: LIR2Gui "_s + programVersion};
  // The whole image from address 0, 16 bytes a record: no address record is needed below 64 KiB.
  const QByteArray records = intel_hex::write(
      QByteArrayView(reinterpret_cast<const char*>(eeprom.data()), qsizetype(eeprom.size())), 0,
      kBytesPerRecord, false);
  return "; " + header.join(kFieldSeparator).toUtf8() + "\r\n" + records;
}

std::optional<EepromIdentity> EepromHexFile::deviceIdentity() const {
  if (identity) return identity;
  // Without a header the file's own identification cells tell, when it has them.
  for (int a : {0, 1, 2, 5, 6})
    if (!present[a]) return std::nullopt;
  return identityOf(data);
}

EepromHexRead readEepromHex(const QByteArray& bytes) {
  // Tolerant: a backup may have passed through an editor or another program.
  const intel_hex::Parsed parsed =
      intel_hex::parse(bytes, {.strictness = intel_hex::Strictness::Tolerant, .comments = true});
  EepromHexFile file;
  for (const QByteArray& comment : parsed.comments) {
    if (file.identity) break;
    file.identity = parseHeader(QString::fromUtf8(comment).trimmed(), &file.savedText);
  }
  // The records read before any fault, in the file's order: what an EEPROM file may not hold
  // is told at its own line, before a fault further down.
  for (const intel_hex::Record& r : parsed.records) {
    const int number = r.line;
    switch (r.type) {
      case intel_hex::Data: {
        const int length = int(r.data.size());
        const int last = r.address + length - 1;
        if (last >= DeviceImages::kEepromSize)
          return {std::nullopt,
                  lineError(number,
                            u"данные по адресам %1–%2 выходят за пределы EEPROM "
                            u"(0–1023)"_s.arg(hexText(r.address, 4), hexText(last, 4)))};
        for (int k = 0; k < length; ++k) {
          const int address = r.address + k;
          const quint8 value = quint8(r.data[k]);
          if (file.present[address] && file.data[address] != value)
            return {std::nullopt, lineError(number, u"адрес %1 уже задан другим значением"_s.arg(
                                                        hexText(address, 3)))};
          file.data[address] = value;
          file.present[address] = true;
        }
        break;
      }
      case intel_hex::EndOfFile:
        break;
      case intel_hex::ExtendedSegmentAddress:
      case intel_hex::ExtendedLinearAddress:
        return {std::nullopt,
                lineError(number,
                          u"запись расширенного адреса (тип %1) не принимается: EEPROM "
                          u"занимает адреса 0–1023, и в её файле таких записей нет"_s.arg(
                              hexText(r.type, 2)))};
      default:  // the start address records
        return {std::nullopt, lineError(number,
                                        u"запись стартового адреса (тип %1) — это файл программы, "
                                        u"а не EEPROM"_s.arg(hexText(r.type, 2)))};
    }
  }
  if (const auto& fault = parsed.fault) {
    using Kind = intel_hex::Fault::Kind;
    switch (fault->kind) {
      case Kind::NotARecord:
        if (fault->beforeFirstRecord)
          return {std::nullopt,
                  u"это не файл Intel HEX: строка %1 не начинается с «:»"_s.arg(fault->line)};
        return {std::nullopt,
                lineError(fault->line, u"ожидалась запись Intel HEX, начинающаяся с «:»"_s)};
      case Kind::NoRecords:
        return {std::nullopt, u"это не файл Intel HEX: в нём нет ни одной записи"_s};
      case Kind::NoEndOfFile:
        return {std::nullopt, u"файл обрывается: нет записи конца файла (:00000001FF)"_s};
      case Kind::BadRecord:
      case Kind::AfterEnd:
        return {std::nullopt, lineError(fault->line, fault->reason)};
    }
  }
  if (file.present.none()) return {std::nullopt, u"в файле нет ни одного байта EEPROM"_s};
  return {std::move(file), QString()};
}

EepromHexRead readEepromHexFile(const QString& path) {
  // A FIFO would hold the reader until something writes into it.
  if (const QFileInfo info(path); info.exists() && !info.isFile())
    return {std::nullopt, u"это не обычный файл"_s};
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return {std::nullopt, u"файл не открывается: "_s + f.errorString()};
  if (f.size() > kLargestFile)
    return {std::nullopt,
            u"файл слишком велик для EEPROM (%1 байт): это не её копия"_s.arg(f.size())};
  const QByteArray bytes = f.read(kLargestFile + 1);
  if (f.error() != QFileDevice::NoError)
    return {std::nullopt, u"файл не читается: "_s + f.errorString()};
  return readEepromHex(bytes);
}

QList<CellDifference> compareEeprom(const DeviceImages::Eeprom& device, const EepromHexFile& file) {
  QList<CellDifference> out;
  for (int a = 0; a < DeviceImages::kEepromSize; ++a) {
    if (!file.present[a] || file.data[a] == device[a]) continue;
    out.append({static_cast<quint16>(a), device[a], file.data[a],
                eepromCellMeaning(static_cast<quint16>(a))});
  }
  return out;
}

QString cellAddressText(quint16 address) {
  return hexText(address, 3) + u" ("_s + QString::number(address) + u")"_s;
}

QString cellValueText(quint8 value) {
  return hexText(value, 2) + u" ("_s + QString::number(value) + u")"_s;
}

QString cellList(const QList<EepromWrite>& cells, int most) {
  QStringList parts;
  for (qsizetype i = 0; i < cells.size() && i < most; ++i)
    parts << cellAddressText(cells[i].address);
  QString text = parts.join(u", "_s);
  if (cells.size() > most) text += u" и ещё %1"_s.arg(cells.size() - most);
  return text;
}

namespace {

QString boardKindText(quint8 type) {
  return type == 2 ? u"LCD"_s : type == 3 ? u"LCD SIN"_s : u"тип %1"_s.arg(type);
}

QString voltageText(quint8 voltageClass) {
  return voltageClass <= 2 ? u"%1 В"_s.arg(12 << voltageClass) : u"класс %1"_s.arg(voltageClass);
}

}  // namespace

QString otherDeviceKind(const EepromHexFile& file, const DeviceImages::Eeprom& device) {
  struct Part {
    int address;
    QString name;
    std::function<QString(const DeviceImages::Eeprom&)> text;
  };
  const Part parts[] = {
      {0, u"плата"_s, [](const auto& e) { return boardKindText(e[0]); }},
      {1, u"поколение"_s, [](const auto& e) { return QString::number(e[1]); }},
      {6, u"напряжение"_s, [](const auto& e) { return voltageText(e[6]); }},
      {5, u"мощность"_s, [](const auto& e) { return identifyDevice(e).powerText(); }},
  };
  QStringList differ;
  for (const Part& p : parts) {
    // A file without the cell cannot say; the comparison then only warns.
    if (!file.present[p.address] || file.data[p.address] == device[p.address]) continue;
    differ << u"%1 %2 в файле, %3 на линии"_s.arg(p.name, p.text(file.data), p.text(device));
  }
  return differ.join(u"; "_s);
}

RestoreOutcome describeRestore(const EepromRestoreResult& r, const EepromHexFile& file) {
  RestoreOutcome out;
  if (!r.refusal.isEmpty()) {
    out.text = u"Ничего не записано: %1."_s.arg(r.refusal);
    out.failure = true;
    return out;
  }
  if (r.failed) {
    // The cells the device holds: those it confirmed, and the failed one when reading it back
    // found it written. A cell that could not be read back is counted apart, as what it is.
    const QString cell = cellAddressText(r.failed->address);
    out.text = u"Запись прервана на ячейке %1: %2. "_s.arg(cell, resultMessage(r.code));
    QList<EepromWrite> held = r.written;
    switch (r.failedCell) {
      case EepromRestoreResult::FailedCell::NotWritten:
        break;
      case EepromRestoreResult::FailedCell::Written:
        out.text += u"Ячейка %1 прочитана заново: значение записано. "_s.arg(cell);
        held.append(*r.failed);
        break;
      case EepromRestoreResult::FailedCell::Unchanged:
        out.text += u"Ячейка %1 прочитана заново: не записана. "_s.arg(cell);
        break;
      case EepromRestoreResult::FailedCell::Unknown:
        out.text +=
            u"Ячейка %1 возможно записана: ответ устройства на запись искажён или "
            u"потерян, а прочитать её заново не удалось. "_s.arg(cell);
        break;
    }
    if (held.isEmpty())
      out.text += r.failedCell == EepromRestoreResult::FailedCell::Unknown
                      ? u"Других ячеек не записано."_s
                      : u"Ни одна ячейка не записана."_s;
    else
      out.text += u"Записаны ячейки (%1): %2."_s.arg(held.size()).arg(cellList(held));
    out.failure = true;
    return out;
  }
  out.text = r.stopped ? u"Запись остановлена. Записано ячеек: %1"_s.arg(r.written.size())
                       : u"Записано ячеек: %1"_s.arg(r.written.size());
  if (r.stopped && !r.written.isEmpty()) out.text += u" ("_s + cellList(r.written) + u")"_s;
  out.text += u". "_s;
  if (!r.readBack) {
    out.text += u"EEPROM не прочитана заново: %1."_s.arg(resultMessage(r.code));
    out.failure = true;
    return out;
  }
  out.remaining = compareEeprom(r.eeprom, file);
  out.text += out.remaining->isEmpty()
                  ? u"EEPROM прочитана заново и совпадает с файлом."_s
                  : u"EEPROM прочитана заново: от файла отличаются ещё ячеек: %1."_s.arg(
                        out.remaining->size());
  for (const EepromWrite& w : r.written) out.failure |= r.eeprom[w.address] != w.value;
  return out;
}

QString saveEepromHexFile(const QString& path, const DeviceImages::Eeprom& eeprom,
                          const QDateTime& saved, const QString& programVersion) {
  QString reason;
  return saveFile(path, writeEepromHex(eeprom, saved, programVersion), &reason) ? QString()
                                                                                : reason;
}

}  // namespace lir2
