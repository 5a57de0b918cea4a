#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

namespace lir2 {

// An alarm that appeared since the last RAM pass: its byte's RAM offset, its bit and its text.
struct AlarmEvent {
  quint8 ramOffset = 0;
  quint8 bit = 0;
  QString text;
  bool operator==(const AlarmEvent&) const = default;
};

// A temperature sensor as the device reports it: the raw byte (°C + 50), and whether the device
// says the sensor is missing.
struct TemperatureReading {
  quint8 raw = 0;
  bool absent = false;
  int celsius() const { return raw - 50; }
};

// What the RAM window says, as numbers with the device's scaling applied: the values behind the
// monitor's labels, computed once per RAM pass. The labels, the CSV recording and the trend
// chart all read these, so they always agree.
struct RamValues {
  // State and charging.
  quint8 mode = 0;         // RAM 0: 0 to 5
  quint8 chargeFlags = 0;  // RAM 2
  // The countdown to the charge, in seconds, while the device shows one.
  std::optional<int> secondsToCharge;
  int chargeMinutes = 0;  // RAM 55/56

  // Measurements.
  long double batteryVolts = 0;           // 0.1 V × RAM 5/6; shown with 15 digits
  long double batteryVoltsUnderLoad = 0;  // 0.1 V × RAM 7 × 2^class; 15 digits
  int batteryAmps = 0;                    // RAM 8 × 2
  int mainsVolts = 0;                     // RAM 34 + 100, 0 for none
  int outputVolts = 0;                    // RAM 39 + 100, 0 for none
  // The mains current's size; below 16 A (generation 5 on) in sixteenths, shown with two
  // significant digits, else in whole amperes.
  long double mainsAmps = 0;
  bool mainsAmpsFine = false;
  // Generation 5 on: the direction is known, and reverse means the device feeds the mains.
  bool mainsDirectionKnown = false;
  bool mainsReverse = false;
  long double powerKw = 0;  // 0.1 kW × RAM 9 (generating) or RAM 36; two significant digits

  // Temperatures: none before generation 5.
  bool temperaturesKnown = false;
  TemperatureReading ambient;      // RAM 46
  TemperatureReading transformer;  // RAM 47
  TemperatureReading transistors;  // RAM 48
  quint8 storedAmbientRaw = 0;     // EEPROM 94: the second ambient value shown beside RAM 46
  // The transformer's sensor is not selected (a BMS in its place): its label is hidden.
  bool transformerHidden = false;

  // Service values and counters, as plain numbers.
  quint8 service1High = 0, service1Low = 0;                              // RAM 58, 59
  quint8 service2High = 0, service2Low = 0;                              // RAM 61, 62
  quint8 inductiveOffset = 0;                                            // RAM 50
  quint8 windingOffset = 0;                                              // RAM 51
  quint8 shortCircuits1 = 0, shortCircuits2 = 0, hardShortCircuits = 0;  // RAM 52, 53, 54
  quint8 sensorAbsent = 0;  // RAM 60 where the firmware reports it, else 0

  // The four alarm bytes, RAM offsets 42, 43, 44 and 45 in this order.
  std::array<quint8, 4> alarmBytes{};
  // Alarms that appeared since the last pass, in the log's order.
  QList<AlarmEvent> newAlarms;
  // Every alarm standing in this pass, in the same order: a recording begun while an alarm
  // stands starts with it.
  QList<AlarmEvent> standingAlarms;
};

}  // namespace lir2

Q_DECLARE_METATYPE(lir2::RamValues)
