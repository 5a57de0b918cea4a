#pragma once

#include "sim/sim_config.h"

#include <QtGlobal>

#include <array>

// The device's address space: EEPROM 0..1023 (settings, calibration, identification) and the
// 69-byte status window of its working memory at 1024..1092, with the operating state behind
// it. The live cells of the window (mode, voltages, currents, power, temperatures, alarms,
// charge time) are worked out from the state and the time whenever they are read, so a
// monitor sees a device that charges, cools and warms slowly.
class DeviceMemory {
 public:
  static constexpr int kEepromSize = 1024;
  static constexpr int kRamBase = 1024;
  static constexpr int kRamSize = 69;
  static constexpr int kLastAddress = kRamBase + kRamSize - 1;  // 1092

  using Eeprom = std::array<quint8, kEepromSize>;
  using Ram = std::array<quint8, kRamSize>;

  explicit DeviceMemory(const FirmwareConfig& cfg);

  // The factory image for an identity: what an EEPROM initialisation restores.
  static Eeprom defaultEeprom(const FirmwareConfig& cfg);

  // address must be 0..kLastAddress; RAM cells show their value at now.
  quint8 read(int address, qint64 now);
  // EEPROM or RAM cell; a live RAM cell is overwritten again by the next read.
  void write(int address, quint8 value);

  // Acts on a code of the command register. 0 does nothing; 3 (the EEPROM write announcement)
  // is the firmware's business and changes nothing here. False for a code the device lacks.
  bool command(quint8 code, qint64 now);
  void initialiseEeprom();

  const Eeprom& eeprom() const { return eeprom_; }
  Ram ram(qint64 now);
  // Test setup: false stops the live cells from being recomputed, so the window holds
  // exactly what was written into it.
  void setLive(bool live) { live_ = live; }

  // 0 or 1 off, 2 generating, 3 passing the mains, 4 passing and charging, 5 off but charging.
  int mode() const;
  bool deviceOn() const { return on_; }
  bool chargeOn() const { return chargeOn_; }
  bool mainsPresent() const { return mains_; }
  void setMainsPresent(bool present) { mains_ = present; }
  int resets() const { return resets_; }
  int eepromInitialisations() const { return inits_; }

 private:
  void updateLive(qint64 now);
  void restoreRamDefaults();

  FirmwareConfig cfg_;
  Eeprom eeprom_{};
  Ram ram_{};
  bool live_ = true;
  bool on_;
  bool chargeOn_;
  bool mains_;
  qint64 resetAlarmUntil_ = -1;
  int resets_ = 0;
  int inits_ = 0;
};
