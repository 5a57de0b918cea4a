#pragma once

#include <QString>
#include <QtGlobal>

#include <span>

namespace lir2 {

// What an EEPROM cell means, for the cells the monitor's decoders read: one line of Russian text
// each, as a service engineer would name the setting. Cells the monitor does not decode have no
// meaning here.
struct EepromCell {
  quint16 address;
  const char16_t* meaning;
};

// Every decoded cell, by address.
std::span<const EepromCell> eepromCells();

// The meaning of the cell at address, or an empty text.
QString eepromCellMeaning(quint16 address);

}  // namespace lir2
