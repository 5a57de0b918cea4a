#pragma once

#include <QString>

#include <array>

namespace lir2 {

// The device's alarm bytes: four bytes of its RAM window, each bit one alarm, bit n naming entry
// n of an eight-entry table. The texts are the device family's own, padding blanks included.
using AlarmMessageTable = std::array<QString, 8>;

// All alarm tables, built once at first use and never changed.
struct AlarmTables {
  AlarmMessageTable systemFault;       // RAM offset 42
  AlarmMessageTable warning;           // RAM offset 44
  AlarmMessageTable protectionFirst;   // RAM offset 43, older boards and firmware
  AlarmMessageTable protectionSecond;  // RAM offset 43
  AlarmMessageTable eventFirst;        // RAM offset 45, boards before generation 5
  AlarmMessageTable eventSecond;       // RAM offset 45
};
const AlarmTables& alarmMessages();

// Which variant the device's firmware means (G board generation, F firmware version).
bool protectionSecondVariant(quint8 generation, quint16 firmwareVersion);
bool eventSecondVariant(quint8 generation);

// One alarm byte and the table that names its bits.
struct AlarmGroup {
  int ramOffset;
  const AlarmMessageTable* messages;
};
// The groups in the order the log lists them (offsets 42, 45, 43, 44), with the tables this
// device's firmware means. Index i is also the group's slot in DecodeContext::PreviousAlarms.
std::array<AlarmGroup, 4> alarmGroupsFor(quint8 generation, quint16 firmwareVersion);

}  // namespace lir2
