#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

#include "monitor/decode_context.h"
#include "monitor/device_images.h"
#include "monitor/monitor_view.h"

namespace lir2 {

// The device as its EEPROM says it is, in typed values: what it is (the identification) and
// how it is set (the settings and calibration). The EEPROM decode reads these first, then
// renders them into the window's view; the command line, the backup files and every other
// consumer read the same values, never the window's texts.

// What the device is. Read from the EEPROM image alone.
struct DeviceIdentification {
  quint8 boardType = 0;         // EEPROM 0: 2 LCD board, 3 LCD SIN board, else another device
  quint8 generation = 0;        // EEPROM 1 (G)
  quint8 firmwareMajor = 0;     // EEPROM 2, bits 0 to 4
  quint8 firmwareMinor = 0;     // EEPROM 2, bits 5 to 7
  quint16 firmwareVersion = 0;  // F = major × 10 + minor
  quint8 outputPeriod = 0;      // EEPROM 62: tenths of a millisecond; 0 none
  // The nominal power in units of 100 W; none when the power model (EEPROM 5) names no model
  // this board and firmware have.
  std::optional<quint16> powerRating;

  // The rest means something only on the boards this monitor decodes (knownBoard()).
  quint8 subVersion = 0;    // EEPROM 16 from generation 5 with firmware 5.0 on, else 0
  quint8 voltageClass = 0;  // EEPROM 6: 0 12 V, 1 24 V, 2 48 V
  // LCD SIN boards.
  quint8 variantFlag = 0;  // EEPROM 59: 0 the " -Pro" variant, else " -S"
  bool hybrid = false;     // EEPROM 315 is not 255
  // LCD SIN boards from generation 9 on: their Hi/Low part, second version number and mains part.
  bool lowSide = false;      // EEPROM 14 ≥ 4
  quint8 secondVersion = 0;  // EEPROM 12
  quint8 mainsCode = 0;      // EEPROM 13: 15 none; else bits 0-1 the number − 6, ≥ 4 "L"
  // From generation 5 on.
  bool externalSensor = false;  // EEPROM 19: the external ambient sensor is fitted
  quint8 fans = 0;              // EEPROM 82: how many fans
  // Generation 9 from firmware 11.0 on: the battery-voltage correction is entered in volts.
  bool voltsCorrection = false;  // EEPROM 34

  bool knownBoard() const { return boardType == 2 || boardType == 3; }
  // The output frequency in whole hertz (10000 div the period); none for a period of 0.
  std::optional<int> frequencyHz() const;
  // The texts the monitor shows: "LCD SIN  Ver 9Hi /3 /Net7L -Pro" (or "Другое устройство"),
  // "Ver 13.3", "3 кВт" (or "Не определена"), "24 В" (or "Не определено"; none for another
  // device, whose voltage class is not decoded). The hybrid mark belongs to LCD SIN boards.
  QString boardText() const;
  QString firmwareText() const;
  QString powerText() const;
  std::optional<QString> voltageText() const;
  bool hybridMark() const { return boardType == 3 && hybrid; }
  QString hybridText() const;  // "HYBRID" with the mark, else empty
};

// The measuring transistors an LCD SIN board is calibrated for.
struct MeasuringTransistors {
  quint8 value = 0;     // EEPROM 17
  bool direct = false;  // bit 3 of EEPROM 32: the value is stored as it is, not rescaled
  bool wide = false;    // a 48 V system, whose table is another
  // The transistors the value stands for: the type (1 IRF3004, 2 IRF2804, 3 IRF3808, 4 IRF3077,
  // as "Измерительные Транзисторы:" lists them) and how many in parallel; none when no row of the
  // table matches.
  struct Fit {
    int type = 0;
    int count = 0;
  };
  std::optional<Fit> fit;
  // "(90) IRF3004 x1"; unmatched "(92) ???", on a 48 V system "(92) ??? ".
  QString text() const;
};

// How the device is set: its settings and calibration as numbers with the device's scaling.
// Read from the EEPROM image with what the identification put into the decode context (board,
// G, F, voltage class, variant, power).
struct DeviceSettings {
  // Only the boards this monitor decodes are read; for another device everything stays unset.
  bool known = false;

  // LCD SIN boards.
  std::optional<MeasuringTransistors> transistors;  // none beyond the 48 V system
  bool transistorCopiesDiffer = false;     // generation 7 before 13.4: EEPROM 17 and 56 disagree
  std::optional<quint8> overloadAddition;  // EEPROM 30, percent
  std::optional<quint8> deadTime;          // EEPROM 23

  int toroid = 0;                // EEPROM 24 from generation 7 with 6.6 on, else 0; -1: no item
  quint8 temperatureSource = 0;  // EEPROM 33: 0 the transformer's sensor, else a BMS choice
  // Raw temperature limits (°C + 50).
  quint8 transformerTempLimit = 0;                // EEPROM 251
  quint8 transistorTempLimit = 0;                 // EEPROM 253
  quint8 tempYellowLevel = 0;                     // EEPROM 250
  quint8 tempCreamLevel = 0;                      // EEPROM 249
  long double batteryCurrentCorrection = 0;       // EEPROM 64 / 128
  long double shortCircuitCurrentCorrection = 0;  // EEPROM 70 / 128

  // Generation 6 on.
  struct Calibration {
    quint8 zeroCurrent = 0;                   // EEPROM 65
    quint8 zeroCurrentCharge = 0;             // EEPROM 61
    int zeroCorrectionGeneration = 0;         // EEPROM 20, signed
    int zeroCorrectionCharge = 0;             // EEPROM 21, signed
    long double chargeCurrentCorrection = 0;  // EEPROM 29 / 128
    long double powerCorrection = 0;          // EEPROM 28 / 128
    int batteryVoltageCorrection = 0;         // EEPROM 22, signed
    bool batteryVoltageInTenths = false;      // generation 9 from 11.0 on: tenths of a volt
  };
  std::optional<Calibration> calibration;

  bool gelBattery = false;                      // EEPROM 384: gel or AGM, else acid
  long double endOfChargeVolts = 0;             // EEPROM 389, scaled to the system
  long double secondStageVolts = 0;             // EEPROM 96
  std::optional<long double> floatChargeVolts;  // EEPROM 390 (391 before generation 6); none: off

  struct ShortCircuitLimits {
    long double sineCoefficient = 1;
    quint8 threshold1 = 0;                // EEPROM 107, percent
    quint8 threshold2 = 0;                // EEPROM 108, percent
    std::optional<qint64> underLoadAmps;  // generations 6 to 8, and 9 before 11.0
  };
  std::optional<ShortCircuitLimits> shortCircuit;

  struct HardShortCircuit {
    quint8 stored = 0;       // EEPROM 111
    int percent = 0;         // below 200 kept in steps of 2 %
    bool quartered = false;  // below 50: quartered with "КЗ_Hard_1/4"
  };
  std::optional<HardShortCircuit> hardShortCircuit;
};

// The identification of an EEPROM image.
DeviceIdentification identifyDevice(const DeviceImages::Eeprom& eeprom);
// What the decode context learns of it: board, G, F, power (kept when not determined), and for
// the known boards sub-version, variant, voltage class and the external sensor's check mark;
// `binaryFrames` becomes the frame format where the firmware decides it.
void learnIdentification(const DeviceIdentification& id, DecodeContext& ctx, bool& binaryFrames);
// The view of the identification, with the context it left.
MonitorView showIdentification(const DeviceIdentification& id, const DecodeContext& ctx);

// The settings of an EEPROM image, as the context's identification reads them.
DeviceSettings readDeviceSettings(const DeviceImages::Eeprom& eeprom, const DecodeContext& ctx);
// What the context learns: the temperature limits; and the alarms logged so far are forgotten.
void learnSettings(const DeviceSettings& settings, DecodeContext& ctx);
MonitorView showSettings(const DeviceSettings& settings, const DecodeContext& ctx);

}  // namespace lir2
