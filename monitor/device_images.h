#pragma once

#include <QMetaType>
#include <QtGlobal>

#include <array>

namespace lir2 {

// The monitor's copies of the device's memory: its EEPROM (addresses 0 to 1023) and the status
// window of its working memory (addresses 1024 to 1092). They start zeroed and are kept from one
// monitor run to the next.
struct DeviceImages {
  static constexpr int kEepromSize = 1024;
  static constexpr int kRamBase = 1024;
  static constexpr int kRamSize = 69;
  static constexpr int kLastAddress = kRamBase + kRamSize - 1;  // 1092

  using Eeprom = std::array<quint8, kEepromSize>;
  Eeprom EepromImage{};
  std::array<quint8, kRamSize> RamImage{};  // index = address - 1024
};

// Where the poll cycle stands.
struct PollState {
  quint16 RamOffset = 0;       // next byte of the RAM window to read (0 to 68)
  quint16 RamSingles = 0;      // bytes still to read one at a time at the end of a pass
  bool EepromRefresh = false;  // re-read the parameter list on the next tick and decode it
  bool RamChanged = false;     // a byte of the RAM window changed since the last RAM decode
  bool DumpRequest = false;    // the EEPROM map was asked for; the next tick serves it
  quint8 ActivityCount = 0;    // ticks, wrapping at 256; drives the activity bar
};

// One byte for the device's EEPROM (or any address of its memory): what a settings control asks
// the device line to write.
struct EepromWrite {
  quint16 address = 0;
  quint8 value = 0;
  bool operator==(const EepromWrite&) const = default;
};

}  // namespace lir2

Q_DECLARE_METATYPE(lir2::EepromWrite)
