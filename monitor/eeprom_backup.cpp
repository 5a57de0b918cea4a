#include "monitor/eeprom_backup.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <functional>

#include "monitor/decoders.h"
#include "monitor/eeprom_cells.h"
#include "monitor/record_time.h"
#include "protocol/result_messages.h"
#include "serial/shown_text.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kBytesPerRecord = 16;
// Far more than any EEPROM file of 1024 bytes needs, even with long comments.
constexpr qint64 kLargestFile = 256 * 1024;

// The header's first field marks our own files; the others are "name: value".
const QString kHeaderMark = u"EEPROM LIR"_s;
const QString kFieldSeparator = u" | "_s;

constexpr char kHex[] = "0123456789ABCDEF";

void AppendHexByte(QByteArray& out, quint8 b) {
  out += kHex[b >> 4];
  out += kHex[b & 0xF];
}

QString Hex(quint32 value, int digits) {
  return u"0x"_s + QString::number(value, 16).toUpper().rightJustified(digits, u'0');
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The header's identification, when the comment is one of ours.
std::optional<EepromIdentity> ParseHeader(const QString& comment, QString* saved) {
  const QStringList fields = comment.split(kFieldSeparator);
  if (fields.isEmpty() || fields.first().trimmed() != kHeaderMark) return std::nullopt;
  EepromIdentity id;
  for (const QString& field : fields.mid(1)) {
    const qsizetype colon = field.indexOf(u": "_s);
    if (colon < 0) continue;
    const QString key = field.left(colon);
    // Shown in labels and on terminals as the file has it, control characters excepted.
    const QString value = ShownText(field.mid(colon + 2));
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

QString LineError(int line, const QString& what) {
  return u"строка %1: "_s.arg(line) + what;
}

}  // namespace

QString EepromIdentity::describe() const {
  QStringList parts;
  for (const QString& p : {board, firmware, power, voltage})
    if (!p.isEmpty()) parts << p;
  return parts.isEmpty() ? u"устройство не опознано"_s : parts.join(u", "_s);
}

EepromIdentity IdentityOf(const DeviceImages::Eeprom& eeprom) {
  DeviceImages images;
  images.EepromImage = eeprom;
  DecodeContext context;
  bool binary = false;
  const MonitorView view = DecodeIdentification(images, context, binary);
  return {view.textOf(u"Lb_VerPl"_s), view.textOf(u"Lb_VerPO"_s), view.textOf(u"Lb_Plir"_s),
          view.textOf(u"Lb_Ulir"_s)};
}

QByteArray WriteEepromHex(const DeviceImages::Eeprom& eeprom, const QDateTime& saved,
                          const QString& programVersion) {
  const EepromIdentity id = IdentityOf(eeprom);
  const QStringList header = {kHeaderMark,
                              u"плата: "_s + id.board,
                              u"ПО: "_s + id.firmware,
                              u"мощность: "_s + id.power,
                              u"напряжение: "_s + id.voltage,
                              u"сохранено: "_s + IsoLocalTime(saved),
                              u"программа: LIR2Gui "_s + programVersion};
  QByteArray out = "; " + header.join(kFieldSeparator).toUtf8() + "\r\n";
  for (int address = 0; address < DeviceImages::kEepromSize; address += kBytesPerRecord) {
    QByteArray record;
    record += ':';
    quint8 sum = kBytesPerRecord + (address >> 8) + (address & 0xFF);
    AppendHexByte(record, kBytesPerRecord);
    AppendHexByte(record, address >> 8);
    AppendHexByte(record, address & 0xFF);
    AppendHexByte(record, 0x00);
    for (int i = 0; i < kBytesPerRecord; ++i) {
      const quint8 b = eeprom[address + i];
      AppendHexByte(record, b);
      sum += b;
    }
    AppendHexByte(record, static_cast<quint8>(-sum));
    out += record + "\r\n";
  }
  out += ":00000001FF\r\n";
  return out;
}

std::optional<EepromIdentity> EepromHexFile::deviceIdentity() const {
  if (identity) return identity;
  // Without a header the file's own identification cells tell, when it has them.
  for (int a : {0, 1, 2, 5, 6})
    if (!present[a]) return std::nullopt;
  return IdentityOf(data);
}

EepromHexRead ReadEepromHex(const QByteArray& bytes) {
  QByteArray text = bytes;
  if (text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);
  text.replace("\r\n", "\n");
  text.replace('\r', '\n');
  const QList<QByteArray> lines = text.split('\n');

  EepromHexFile file;
  bool recordsStarted = false;
  bool ended = false;
  for (int i = 0; i < lines.size(); ++i) {
    const int number = i + 1;
    const QByteArray line = lines[i].trimmed();
    if (line.isEmpty()) continue;
    if (ended) return {std::nullopt, LineError(number, u"данные после записи конца файла"_s)};
    if (line.startsWith(';') && !recordsStarted) {
      if (!file.identity)
        file.identity = ParseHeader(QString::fromUtf8(line.mid(1)).trimmed(), &file.savedText);
      continue;
    }
    if (!line.startsWith(':')) {
      if (!recordsStarted)
        return {std::nullopt,
                u"это не файл Intel HEX: строка %1 не начинается с «:»"_s.arg(number)};
      return {std::nullopt, LineError(number, u"ожидалась запись Intel HEX, начинающаяся с «:»"_s)};
    }
    recordsStarted = true;

    const QByteArray digits = line.mid(1);
    for (char c : digits)
      if (HexDigit(c) < 0)
        return {std::nullopt, LineError(number, u"«%1» — не шестнадцатеричная цифра"_s.arg(
                                                    ShownText(QString(QChar(uchar(c))))))};
    if (digits.size() % 2 != 0)
      return {std::nullopt, LineError(number, u"нечётное число шестнадцатеричных цифр"_s)};
    QByteArray record;
    for (qsizetype k = 0; k < digits.size(); k += 2)
      record += static_cast<char>(HexDigit(digits[k]) * 16 + HexDigit(digits[k + 1]));
    if (record.size() < 5)
      return {std::nullopt, LineError(number,
                                      u"запись обрывается: в ней нет даже длины, адреса, "
                                      u"типа и контрольной суммы"_s)};
    const int length = quint8(record[0]);
    if (record.size() < length + 5)
      return {std::nullopt,
              LineError(number, u"запись обрывается: в ней %1 байт данных из %2 заявленных"_s
                                    .arg(record.size() - 5)
                                    .arg(length))};
    if (record.size() > length + 5)
      return {std::nullopt,
              LineError(number, u"в записи больше данных, чем заявлено (%1 байт)"_s.arg(length))};
    quint8 sum = 0;
    for (qsizetype k = 0; k + 1 < record.size(); ++k) sum += quint8(record[k]);
    const quint8 expected = static_cast<quint8>(-sum);
    const quint8 written = quint8(record.back());
    if (written != expected)
      return {std::nullopt,
              LineError(number,
                        u"неверная контрольная сумма: записано %1, по "
                        u"данным должно быть %2"_s.arg(Hex(written, 2), Hex(expected, 2)))};

    const int address = quint8(record[1]) * 256 + quint8(record[2]);
    const quint8 type = quint8(record[3]);
    switch (type) {
      case 0x00: {
        const int last = address + length - 1;
        if (last >= DeviceImages::kEepromSize)
          return {std::nullopt, LineError(number,
                                          u"данные по адресам %1–%2 выходят за пределы EEPROM "
                                          u"(0–1023)"_s.arg(Hex(address, 4), Hex(last, 4)))};
        for (int k = 0; k < length; ++k) {
          const quint8 value = quint8(record[4 + k]);
          if (file.present[address + k] && file.data[address + k] != value)
            return {std::nullopt, LineError(number, u"адрес %1 уже задан другим значением"_s.arg(
                                                        Hex(address + k, 3)))};
          file.data[address + k] = value;
          file.present[address + k] = true;
        }
        break;
      }
      case 0x01:
        ended = true;
        break;
      case 0x02:
      case 0x04:
        return {std::nullopt,
                LineError(
                    number,
                    u"запись расширенного адреса (тип %1) не принимается: EEPROM "
                    u"занимает адреса 0–1023, и в её файле таких записей нет"_s.arg(Hex(type, 2)))};
      case 0x03:
      case 0x05:
        return {std::nullopt, LineError(number,
                                        u"запись стартового адреса (тип %1) — это файл программы, "
                                        u"а не EEPROM"_s.arg(Hex(type, 2)))};
      default:
        return {std::nullopt, LineError(number, u"неизвестный тип записи %1"_s.arg(Hex(type, 2)))};
    }
  }
  if (!recordsStarted) return {std::nullopt, u"это не файл Intel HEX: в нём нет ни одной записи"_s};
  if (!ended) return {std::nullopt, u"файл обрывается: нет записи конца файла (:00000001FF)"_s};
  if (file.present.none()) return {std::nullopt, u"в файле нет ни одного байта EEPROM"_s};
  return {std::move(file), QString()};
}

EepromHexRead ReadEepromHexFile(const QString& path) {
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
  return ReadEepromHex(bytes);
}

QList<CellDifference> CompareEeprom(const DeviceImages::Eeprom& device, const EepromHexFile& file) {
  QList<CellDifference> out;
  for (int a = 0; a < DeviceImages::kEepromSize; ++a) {
    if (!file.present[a] || file.data[a] == device[a]) continue;
    out.append({static_cast<quint16>(a), device[a], file.data[a],
                EepromCellMeaning(static_cast<quint16>(a))});
  }
  return out;
}

QString CellAddressText(quint16 address) {
  return Hex(address, 3) + u" ("_s + QString::number(address) + u")"_s;
}

QString CellValueText(quint8 value) {
  return Hex(value, 2) + u" ("_s + QString::number(value) + u")"_s;
}

QString CellList(const QList<EepromWrite>& cells, int most) {
  QStringList parts;
  for (qsizetype i = 0; i < cells.size() && i < most; ++i)
    parts << CellAddressText(cells[i].address);
  QString text = parts.join(u", "_s);
  if (cells.size() > most) text += u" и ещё %1"_s.arg(cells.size() - most);
  return text;
}

namespace {

QString BoardKindText(quint8 type) {
  return type == 2 ? u"LCD"_s : type == 3 ? u"LCD SIN"_s : u"тип %1"_s.arg(type);
}

QString VoltageText(quint8 voltageClass) {
  return voltageClass <= 2 ? u"%1 В"_s.arg(12 << voltageClass) : u"класс %1"_s.arg(voltageClass);
}

}  // namespace

QString OtherDeviceKind(const EepromHexFile& file, const DeviceImages::Eeprom& device) {
  struct Part {
    int address;
    QString name;
    std::function<QString(const DeviceImages::Eeprom&)> text;
  };
  const Part parts[] = {
      {0, u"плата"_s, [](const auto& e) { return BoardKindText(e[0]); }},
      {1, u"поколение"_s, [](const auto& e) { return QString::number(e[1]); }},
      {6, u"напряжение"_s, [](const auto& e) { return VoltageText(e[6]); }},
      {5, u"мощность"_s, [](const auto& e) { return IdentityOf(e).power; }},
  };
  QStringList differ;
  for (const Part& p : parts) {
    // A file without the cell cannot say; the comparison then only warns.
    if (!file.present[p.address] || file.data[p.address] == device[p.address]) continue;
    differ << u"%1 %2 в файле, %3 на линии"_s.arg(p.name, p.text(file.data), p.text(device));
  }
  return differ.join(u"; "_s);
}

RestoreOutcome DescribeRestore(const EepromRestoreResult& r, const EepromHexFile& file) {
  RestoreOutcome out;
  if (!r.refusal.isEmpty()) {
    out.text = u"Ничего не записано: %1."_s.arg(r.refusal);
    out.failure = true;
    return out;
  }
  if (r.failed) {
    // The cells the device holds: those it confirmed, and the failed one when reading it back
    // found it written. A cell that could not be read back is counted apart, as what it is.
    const QString cell = CellAddressText(r.failed->address);
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
      out.text += u"Записаны ячейки (%1): %2."_s.arg(held.size()).arg(CellList(held));
    out.failure = true;
    return out;
  }
  out.text = r.stopped ? u"Запись остановлена. Записано ячеек: %1"_s.arg(r.written.size())
                       : u"Записано ячеек: %1"_s.arg(r.written.size());
  if (r.stopped && !r.written.isEmpty()) out.text += u" ("_s + CellList(r.written) + u")"_s;
  out.text += u". "_s;
  if (!r.readBack) {
    out.text += u"EEPROM не прочитана заново: %1."_s.arg(resultMessage(r.code));
    out.failure = true;
    return out;
  }
  out.remaining = CompareEeprom(r.eeprom, file);
  out.text += out.remaining->isEmpty()
                  ? u"EEPROM прочитана заново и совпадает с файлом."_s
                  : u"EEPROM прочитана заново: от файла отличаются ещё ячеек: %1."_s.arg(
                        out.remaining->size());
  for (const EepromWrite& w : r.written) out.failure |= r.eeprom[w.address] != w.value;
  return out;
}

QString SaveEepromHexFile(const QString& path, const DeviceImages::Eeprom& eeprom,
                          const QDateTime& saved, const QString& programVersion) {
  const QByteArray bytes = WriteEepromHex(eeprom, saved, programVersion);
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
    return {};
  return file.errorString();
}
