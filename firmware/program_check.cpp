#include "firmware/program_check.h"

namespace {

constexpr int kMaxRecordType = 5;
// Count, two address bytes, type and checksum: a record without data.
constexpr int kRecordFrameBytes = 5;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // the upload reads upper-case digits only: anything else would go out wrong
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

// The reason one line (without its line end) is not a record that may follow the records
// before it; nothing when it is. `column` is where the line's text starts in the file's line.
std::optional<QString> recordFault(QByteArrayView line, qsizetype column, bool& endSeen) {
  if (endSeen) return QStringLiteral("после записи конца файла (:00000001FF) есть ещё строки");
  if (line.front() != ':')
    return QStringLiteral("строка не начинается с «:», как каждая запись Intel HEX");
  for (qsizetype k = 1; k < line.size(); ++k)
    if (hexValue(line[k]) < 0)
      return QStringLiteral(
                 "недопустимый %1 в столбце %2: в записи бывают только цифры 0–9 "
                 "и заглавные буквы A–F")
          .arg(characterName(line[k]), QString::number(column + k));
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
    return hexValue(line[1 + 2 * i]) * 16 + hexValue(line[2 + 2 * i]);
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
  endSeen = type == 1;
  return std::nullopt;
}

}  // namespace

std::optional<ProgramFault> checkIntelHexProgram(QByteArrayView text, qsizetype from) {
  const qsizetype n = text.size();
  int line = 1;
  int lastFilledLine = 0;  // the last line with any character, header included
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

  qsizetype i = 0;
  while (i < from && i < n) {
    if (skipLineEnd(i)) continue;
    lastFilledLine = line;
    ++i;
  }
  bool endSeen = false;
  bool anyRecord = false;
  while (i < n) {
    if (skipLineEnd(i)) continue;  // blank lines send nothing and harm nothing
    qsizetype end = i;
    while (end < n && text[end] != '\r' && text[end] != '\n') ++end;
    if (auto reason = recordFault(text.sliced(i, end - i), i - lineStart + 1, endSeen))
      return ProgramFault{line, *reason};
    anyRecord = true;
    lastFilledLine = line;
    i = end;
  }
  // What is missing is missing after the last line that holds anything.
  if (!anyRecord)
    return ProgramFault{lastFilledLine + 1, QStringLiteral("в файле нет программы: после "
                                                           "заголовка нет ни одной записи")};
  if (!endSeen)
    return ProgramFault{lastFilledLine + 1,
                        QStringLiteral("нет записи конца файла (:00000001FF): файл оборван")};
  return std::nullopt;
}

QString wrongFileText(const ProgramFault& fault) {
  return QStringLiteral("Не верный файл, строка %1: %2")
      .arg(QString::number(fault.line), fault.reason);
}
