#include "monitor/eeprom_map.h"

namespace lir2 {

namespace {
constexpr char kHex[] = "0123456789ABCDEF";
constexpr int kBytesPerLine = 8;
}  // namespace

QString FormatEepromMap(const std::array<quint8, 1024>& eeprom) {
  // Header, then per line 6 characters of address and 3 per byte, and the line ends.
  QString text;
  text.reserve(32 + int(eeprom.size() / kBytesPerLine) * (6 + 3 * kBytesPerLine + 2));
  text += QStringLiteral("      00 01 02 03 04 05 06 07 \r\n\r\n");
  for (int line = 0; line * kBytesPerLine < int(eeprom.size()); ++line) {
    const int address = line * kBytesPerLine;
    text += QLatin1Char(kHex[(address >> 8) & 0xF]);
    text += QLatin1Char(kHex[(address >> 4) & 0xF]);
    text += QLatin1Char(kHex[address & 0xF]);
    text += QLatin1String(":  ");
    for (int i = 0; i < kBytesPerLine; ++i) {
      const quint8 b = eeprom[address + i];
      text += QLatin1Char(kHex[b >> 4]);
      text += QLatin1Char(kHex[b & 0xF]);
      text += QLatin1Char(' ');
    }
    text += QLatin1String("\r\n");
  }
  return text;
}

}  // namespace lir2
