#pragma once

#include <QString>

#include <array>

namespace lir2 {

// The EEPROM map's text: a header with the column numbers, an empty line, then 128 lines of
// eight bytes each, "000:  " to "3F8:  ", in upper-case hexadecimal; every line ends in CR LF.
QString FormatEepromMap(const std::array<quint8, 1024>& eeprom);

}  // namespace lir2
