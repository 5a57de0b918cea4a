#include "serial/intel_hex.h"

#include <algorithm>

namespace lir2 {

namespace intel_hex {

namespace {

constexpr int kMaxRecordType = StartLinearAddress;
// Count, two address bytes, type and checksum: a record without data.
constexpr int kRecordFrameBytes = 5;

int hexValue(char c, bool lowerCase) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (lowerCase && c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

QString hexByte(int value) {
  return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

QString characterName(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u > 0x20 && u < 0x7F) return QStringLiteral("«%1»").arg(QLatin1Char(c));
  if (u == ' ') return QStringLiteral("пробел");
  return QStringLiteral("символ с кодом %1").arg(hexByte(u));
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

// The record on one line (without its line end, starting with ':'), or why it is none.
// `column` is where the line's text starts in the file's line.
std::optional<QString> readRecord(QByteArrayView line, qsizetype column, bool lowerCase,
                                  Record& out) {
  for (qsizetype k = 1; k < line.size(); ++k)
    if (hexValue(line[k], lowerCase) < 0)
      return QStringLiteral("недопустимый %1 в столбце %2: в записи бывают только цифры 0–9 и %3")
          .arg(characterName(line[k]), QString::number(column + k),
               lowerCase ? QStringLiteral("буквы A–F") : QStringLiteral("заглавные буквы A–F"));
  const qsizetype digits = line.size() - 1;
  if (digits % 2 != 0)
    return QStringLiteral(
               "нечётное число шестнадцатеричных цифр (%1): запись оборвана или в ней "
               "лишняя цифра")
        .arg(digits);
  const qsizetype bytes = digits / 2;
  if (bytes < kRecordFrameBytes)
    return QStringLiteral(
        "запись оборвана: в ней меньше пяти байт (счётчик, адрес, тип, контрольная сумма)");
  auto byteAt = [&](qsizetype i) {
    return hexValue(line[1 + 2 * i], lowerCase) * 16 + hexValue(line[2 + 2 * i], lowerCase);
  };
  const int count = byteAt(0);
  if (bytes != count + kRecordFrameBytes)
    return QStringLiteral("по счётчику записи в ней %1 байт данных, а в строке %2%3")
        .arg(count)
        .arg(bytes - kRecordFrameBytes)
        .arg(bytes < count + kRecordFrameBytes ? QStringLiteral(": запись оборвана") : QString());
  int sum = 0;
  for (qsizetype i = 0; i + 1 < bytes; ++i) sum += byteAt(i);
  const int expected = (0x100 - (sum & 0xFF)) & 0xFF;
  if (byteAt(bytes - 1) != expected)
    return QStringLiteral("неверная контрольная сумма записи: %1, а по её байтам должна быть %2")
        .arg(hexByte(byteAt(bytes - 1)), hexByte(expected));
  const int type = byteAt(3);
  if (type > kMaxRecordType)
    return QStringLiteral("неизвестный тип записи %1 (бывают 00–05)").arg(hexByte(type));
  out.type = static_cast<quint8>(type);
  out.address = static_cast<quint16>(byteAt(1) * 256 + byteAt(2));
  out.data.resize(count);
  for (int k = 0; k < count; ++k) out.data[k] = static_cast<char>(byteAt(4 + k));
  return std::nullopt;
}

}  // namespace

Parsed parse(QByteArrayView text, const Options& options) {
  const bool tolerant = options.strictness == Strictness::Tolerant;
  const qsizetype n = text.size();
  Parsed out;
  int line = 1;
  int lastFilledLine = 0;  // the last line with any character, skipped text included
  qsizetype lineStart = 0;
  // Steps over one line end (CR LF, CR or LF) at i, if there is one there.
  auto skipLineEnd = [&](qsizetype& i) {
    if (text[i] == '\n' || text[i] == '\r') {
      if (text[i++] == '\r' && i < n && text[i] == '\n') ++i;
      ++line;
      lineStart = i;
      return true;
    }
    return false;
  };
  auto fail = [&](Fault::Kind kind, int at, const QString& reason) {
    out.fault = Fault{kind, at, reason};
    return out;
  };

  qsizetype i = 0;
  if (tolerant && options.from == 0 && text.startsWith("\xEF\xBB\xBF")) i = lineStart = 3;
  while (i < options.from && i < n) {
    if (skipLineEnd(i)) continue;
    lastFilledLine = line;
    ++i;
  }
  bool endSeen = false;
  while (i < n) {
    if (skipLineEnd(i)) continue;  // blank lines mean nothing and harm nothing
    qsizetype end = i;
    while (end < n && text[end] != '\r' && text[end] != '\n') ++end;
    QByteArrayView body = text.sliced(i, end - i);
    qsizetype column = i - lineStart + 1;
    i = end;
    if (tolerant) {
      while (!body.isEmpty() && isBlank(body.front())) body = body.sliced(1), ++column;
      while (!body.isEmpty() && isBlank(body.back())) body.chop(1);
      if (body.isEmpty()) continue;
    }
    lastFilledLine = line;
    if (endSeen)
      return fail(Fault::Kind::AfterEnd, line,
                  QStringLiteral("после записи конца файла (:00000001FF) есть ещё строки"));
    if (options.comments && out.records.isEmpty() && body.front() == ';') {
      out.comments.append(body.sliced(1).toByteArray());
      continue;
    }
    if (body.front() != ':') {
      fail(Fault::Kind::NotARecord, line,
           QStringLiteral("строка не начинается с «:», как каждая запись Intel HEX"));
      out.fault->beforeFirstRecord = out.records.isEmpty();
      return out;
    }
    Record record;
    if (auto reason = readRecord(body, column, tolerant, record))
      return fail(Fault::Kind::BadRecord, line, *reason);
    record.line = line;
    endSeen = record.type == EndOfFile;
    out.records.append(std::move(record));
  }
  // What is missing is missing after the last line that holds anything.
  if (out.records.isEmpty())
    return fail(Fault::Kind::NoRecords, lastFilledLine + 1,
                QStringLiteral("в файле нет ни одной записи Intel HEX"));
  if (!endSeen)
    return fail(Fault::Kind::NoEndOfFile, lastFilledLine + 1,
                QStringLiteral("нет записи конца файла (:00000001FF): файл оборван"));
  return out;
}

QByteArray record(quint8 type, quint16 address, QByteArrayView data) {
  QByteArray bytes;
  bytes.append(static_cast<char>(data.size()));
  bytes.append(static_cast<char>(address >> 8));
  bytes.append(static_cast<char>(address & 0xFF));
  bytes.append(static_cast<char>(type));
  bytes.append(data.data(), data.size());
  quint8 sum = 0;
  for (char c : bytes) sum = static_cast<quint8>(sum + static_cast<quint8>(c));
  bytes.append(static_cast<char>(-sum));
  return ':' + bytes.toHex().toUpper();
}

QByteArray write(QByteArrayView image, quint32 address, int recordBytes, bool linearAddresses) {
  recordBytes = std::clamp(recordBytes, 1, 255);
  QByteArray out;
  qint64 upper = -1;
  qsizetype i = 0;
  while (i < image.size()) {
    const quint32 at = address + static_cast<quint32>(i);
    if (linearAddresses && static_cast<qint64>(at >> 16) != upper) {
      upper = at >> 16;
      const char ela[2] = {static_cast<char>(upper >> 8), static_cast<char>(upper & 0xFF)};
      out += record(ExtendedLinearAddress, 0, QByteArrayView(ela, 2)) + "\r\n";
    }
    const qsizetype toBoundary = 0x10000 - (at & 0xFFFF);
    const qsizetype n =
        std::min({static_cast<qsizetype>(recordBytes), image.size() - i, toBoundary});
    out += record(Data, static_cast<quint16>(at & 0xFFFF), image.sliced(i, n)) + "\r\n";
    i += n;
  }
  out += endOfFile() + "\r\n";
  return out;
}

}  // namespace intel_hex

}  // namespace lir2
