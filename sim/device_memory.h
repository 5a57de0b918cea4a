#pragma once

#include "sim/sim_config.h"

#include <QtGlobal>

#include <algorithm>
#include <array>

namespace lir2 {

// The device's address space: EEPROM 0..1023 (settings, calibration, identification) and the
// 69-byte status window of its working memory at 1024..1092, with the operating state behind
// it. The live cells of the window are worked out from the state and the time whenever they
// are read.
//
// Left alone, the device lives through a day of kDayMs, the same every day, so that what it
// shows depends only on the time and on what the user told it:
//   0 s    charging from the mains: main charge (flags 0) for 240 s, end of charge (flag
//          bit 2) for 100 s, then float (flag bit 0) while the mains lasts;
//   600 s  the mains fails: generation from the battery, which runs down; 40 s before it is
//          flat the warning "battery discharged" stands;
//   780 s  the battery is flat: the device switches itself off (mode 0, protection bit 0);
//   840 s  the mains returns: passing it through, and the charger counts down 60 s (RAM 12,
//          flag bit 1) before the next day's charge.
// Every ~20 minutes on average each alarm group raises one of its occasional alarms for 20 to
// 50 s, at times fixed by a hash of the time. Battery and mains short circuits count up the
// counters of RAM 52 and 53.
//
// The user's commands win over the walk: a device switched off (1) stays off until switched on
// (2) and then shows mode 1, or 5 while it charges; a charger switched off (4) does not charge
// until switched on (5), which starts the charge at once if the mains' countdown is over.
class DeviceMemory {
 public:
  static constexpr int kEepromSize = 1024;
  static constexpr int kRamBase = 1024;
  static constexpr int kRamSize = 69;
  static constexpr int kLastAddress = kRamBase + kRamSize - 1;  // 1092

  // The walk's timetable, in milliseconds.
  static constexpr qint64 kDayMs = 900000;
  static constexpr qint64 kMainsFailsAtMs = 600000;
  static constexpr qint64 kMainsReturnsAtMs = 840000;
  static constexpr qint64 kReserveMs = 180000;     // generation until the battery is flat
  static constexpr qint64 kChargeDelayMs = 60000;  // countdown after the mains returned
  static constexpr qint64 kMainChargeMs = 240000;
  static constexpr qint64 kEndChargeMs = 100000;
  static constexpr qint64 kAlarmSlotMs = 300000;  // at most one occasional alarm per group
  static constexpr qint64 kResetAlarmMs = 10000;  // "reset happened" stands this long

  // Charge flags (RAM 2).
  static constexpr quint8 kFlagFloat = 0x01;
  static constexpr quint8 kFlagWaiting = 0x02;  // counting down to the charge
  static constexpr quint8 kFlagEndOfCharge = 0x04;

  using Eeprom = std::array<quint8, kEepromSize>;
  using Ram = std::array<quint8, kRamSize>;

  explicit DeviceMemory(const FirmwareConfig& cfg);

  // The factory image for an identity: what an EEPROM initialisation restores.
  static Eeprom defaultEeprom(const FirmwareConfig& cfg);

  // address must be 0..kLastAddress; RAM cells show their value at now.
  quint8 read(int address, qint64 now);
  // EEPROM or RAM cell; a live or pinned RAM cell shows its own value again at the next read.
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

  // 0 switched itself off (flat battery), 1 switched off, 2 generating, 3 passing the mains,
  // 4 passing and charging, 5 switched off but charging.
  int mode(qint64 now) const { return stateAt(walkTime(now)).mode; }
  bool deviceOn() const { return on_; }
  bool chargeOn() const { return chargeOn_; }
  int resets() const { return resets_; }
  int eepromInitialisations() const { return inits_; }

 private:
  struct State {
    int mode = 1;
    quint8 flags = 0;
    bool mains = false;
    qint64 waitMs = 0;     // countdown left before the charge starts
    qint64 chargeMs = -1;  // time since the charge started; -1 not charging
    qint64 outageMs = 0;   // time since the mains failed
  };
  struct AlarmWindow {
    qint64 start = 0;
    qint64 end = 0;
    quint8 bit = 0;  // 0: no alarm in this slot
  };

  qint64 walkTime(qint64 now) const { return cfg_.drift ? std::max<qint64>(now, 0) : 0; }
  bool mainsAt(qint64 t) const;
  State stateAt(qint64 t) const;
  AlarmWindow alarmWindow(int group, qint64 slot) const;
  quint8 occasionalAlarms(int group, qint64 t) const;
  void countShortCircuits(qint64 t);
  void warmUp(const State& s, qint64 t);
  void updateLive(qint64 now);
  void restoreRamDefaults();

  FirmwareConfig cfg_;
  Eeprom eeprom_{};
  Ram ram_{};
  bool live_ = true;
  bool on_;
  bool chargeOn_;
  qint64 chargerOnAt_;  // walk time the user last switched the charger on
  qint64 resetAt_ = 0;  // walk time of the last reset: older occasional alarms are gone
  qint64 resetAlarmUntil_ = -1;
  qint64 countedSlots_ = 0;  // alarm slots whose short circuits are counted
  double heat_[2] = {};      // transformer and transistors, °C above the ambient
  qint64 heatAt_ = 0;
  int resets_ = 0;
  int inits_ = 0;
};

}  // namespace lir2
