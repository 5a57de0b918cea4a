#pragma once

#include <QtGlobal>

#include <array>

namespace lir2 {

// What the EEPROM decode learns of the device and every later decode step reads: which board,
// which generation (G) and firmware (F), its power and voltage class, its temperature limits,
// and the state the RAM decode carries from one pass to the next. It lives with the monitor run
// and is kept from one run to the next, like the images.
struct DecodeContext {
  quint8 BoardType = 0;         // EEPROM 0: 2 LCD board, 3 LCD SIN board, else another device
  quint8 BoardGeneration = 0;   // EEPROM 1: G
  quint16 FirmwareVersion = 0;  // EEPROM 2: F = major × 10 + minor
  quint8 BoardSubVersion = 0;
  quint16 PowerRating = 0;          // units of 100 W; kept when the model is not determined
  quint8 VariantFlag = 0;           // EEPROM 59, LCD SIN boards only: 0 " -Pro", else " -S"
  quint8 VoltageClass = 0;          // EEPROM 6: 0 12 V, 1 24 V, 2 48 V
  quint8 TransformerTempLimit = 0;  // raw (°C + 50): EEPROM 251
  quint8 TransistorTempLimit = 0;   // EEPROM 253
  quint8 TempYellowLevel = 0;       // EEPROM 250
  quint8 TempCreamLevel = 0;        // EEPROM 249
  quint8 SensorAbsent = 0;  // bit 0 ambient, bit 1 transformer, bit 2 transistor sensor absent
  // Alarm bytes of RAM offsets 42, 45, 43 and 44 as the last alarm step left them.
  std::array<quint8, 4> PreviousAlarms{};
  bool LirOn = false;     // the device is switched on
  bool ChargeOn = false;  // its charger is on
  // The check mark of "Внешний Датчик" (CB_TempOkr) as the decodes and the user's clicks left
  // it: the ambient temperature is shown differently with and without the external sensor.
  bool TempOkrChecked = false;
  // The program runs with the service switch: the decode may show service controls.
  bool ServiceMode = false;
};

}  // namespace lir2
