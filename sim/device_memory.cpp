#include "sim/device_memory.h"

#include <algorithm>
#include <cmath>

namespace {

// RAM window offsets of the cells the device keeps up to date.
enum RamCell : int {
  kMode = 0,
  kChargeFlags = 2,
  kBatteryHi = 5,
  kBatteryLo = 6,
  kBatteryUnderLoad = 7,
  kBatteryCurrent = 8,
  kGenerationPower = 9,
  kSecondsToCharge = 12,
  kMainsVoltage = 34,
  kMainsCurrent = 35,
  kPower = 36,
  kOutputVoltage = 39,
  kSystemFaults = 42,
  kProtections = 43,
  kWarnings = 44,
  kEvents = 45,
  kAmbientTemp = 46,
  kTransformerTemp = 47,
  kTransistorTemp = 48,
  kMainsCurrentFine = 49,
  kChargeTimeHi = 55,
  kChargeTimeLo = 56,
  kMainsPowerLo = 67,
  kMainsPowerHi = 68,
};

constexpr qint64 kResetAlarmMs = 10000;
constexpr quint8 kProtectionResetBit = 0x80;
constexpr quint8 kEventNoMainsForChargeBit = 0x20;

quint8 clampByte(double v) {
  return static_cast<quint8>(std::clamp<long>(std::lround(v), 0, 255));
}

}  // namespace

DeviceMemory::DeviceMemory(const FirmwareConfig& cfg)
    : cfg_(cfg),
      eeprom_(defaultEeprom(cfg)),
      on_(cfg.deviceOn),
      chargeOn_(cfg.chargeOn),
      mains_(cfg.mainsPresent) {
  restoreRamDefaults();
  updateLive(0);
}

DeviceMemory::Eeprom DeviceMemory::defaultEeprom(const FirmwareConfig& cfg) {
  Eeprom e;
  e.fill(0xFF);  // cells never written hold what an erased EEPROM holds
  e[0] = cfg.boardType;
  e[1] = cfg.generation;
  e[2] = cfg.firmwareByte;
  e[3] = 0;
  e[4] = 0;
  e[5] = cfg.powerIndex;
  e[6] = cfg.voltageClass;
  e[12] = 3;  // second version number of the SIN board
  e[13] = 5;  // mains code: Net 7, "L"
  e[14] = 1;  // "Hi"
  e[16] = 2;  // board sub-version
  // Measuring transistor as stored by a board that scales it: one IRF3004 on 12/24 V, one
  // IRF3077 on 48 V.
  e[17] = cfg.voltageClass >= 2 ? 45 : 90;
  e[56] = e[17];
  e[19] = 0;  // no external ambient sensor
  e[20] = 0;
  e[21] = 0;
  e[22] = 0;
  e[23] = 16;   // dead time
  e[24] = 1;    // toroid "400в"
  e[28] = 128;  // corrections of 1.0
  e[29] = 128;
  e[30] = 0;
  e[32] = 0;
  e[33] = 0;  // transformer sensor in use
  e[34] = 0;
  e[59] = 0;  // " -Pro"
  e[61] = 127;
  e[62] = 200;  // 50 Hz
  e[64] = 128;
  e[65] = 128;
  e[70] = 128;
  e[71] = 23;  // sine coefficient 23/16
  e[80] = 0;
  e[82] = 2;    // two fans
  e[94] = 72;   // 22 °C
  e[96] = 142;  // 14.2 V per 12 V block
  e[105] = 100;
  e[107] = 150;
  e[108] = 200;
  e[111] = 60;
  e[249] = 90;   // cream from 40 °C
  e[250] = 110;  // yellow from 60 °C
  e[251] = 150;  // transformer limit 100 °C
  e[253] = 140;  // transistor limit 90 °C
  e[295] = 0;
  e[315] = 255;  // not a hybrid
  e[384] = 1;    // gel / AGM
  e[389] = 144;  // end of charge 14.4 V per block
  e[390] = 138;  // float 13.8 V per block
  e[391] = 138;
  return e;
}

void DeviceMemory::restoreRamDefaults() {
  ram_.fill(0);
  ram_[50] = 12;  // winding offsets
  ram_[51] = 7;
  ram_[52] = 2;  // short-circuit counters
  ram_[53] = 1;
  ram_[54] = 0;
  ram_[58] = 0x01;  // service values
  ram_[59] = 0x2C;
  ram_[60] = 0;  // every sensor present
  ram_[61] = 0x00;
  ram_[62] = 0x64;
}

int DeviceMemory::mode() const {
  if (!on_) return mains_ && chargeOn_ ? 5 : 1;
  if (!mains_) return 2;
  return chargeOn_ ? 4 : 3;
}

quint8 DeviceMemory::read(int address, qint64 now) {
  if (address < 0 || address > kLastAddress) return 0;
  if (address < kEepromSize) return eeprom_[address];
  updateLive(now);
  return ram_[address - kRamBase];
}

void DeviceMemory::write(int address, quint8 value) {
  if (address < 0 || address > kLastAddress) return;
  if (address < kEepromSize)
    eeprom_[address] = value;
  else
    ram_[address - kRamBase] = value;
}

bool DeviceMemory::command(quint8 code, qint64 now) {
  switch (code) {
    case 0:
    case 3:
      return true;
    case 1:
      on_ = false;
      return true;
    case 2:
      on_ = true;
      return true;
    case 4:
      chargeOn_ = false;
      return true;
    case 5:
      chargeOn_ = true;
      return true;
    case 6:
      // A restart of the controller: counters and service values start afresh, and the
      // protection log shows that a reset happened.
      restoreRamDefaults();
      resetAlarmUntil_ = now + kResetAlarmMs;
      ++resets_;
      return true;
    case 7:
      initialiseEeprom();
      return true;
    default:
      return false;
  }
}

void DeviceMemory::initialiseEeprom() {
  eeprom_ = defaultEeprom(cfg_);
  ++inits_;
}

DeviceMemory::Ram DeviceMemory::ram(qint64 now) {
  updateLive(now);
  return ram_;
}

void DeviceMemory::updateLive(qint64 now) {
  if (!live_) return;
  const qint64 t = cfg_.drift ? std::max<qint64>(now, 0) / 1000 : 0;  // whole seconds
  const double ts = static_cast<double>(t);
  const int blocks = 1 << std::min<int>(eeprom_[6], 2);  // 12 V blocks in the battery
  const int m = mode();
  const bool charging = m == 4 || m == 5;
  const bool passing = m >= 3;

  // A charge cycle of ten minutes: main charge, end of charge, float.
  const double phase = static_cast<double>(t % 600) / 600.0;
  const double loadKw = 0.6 + 0.2 * std::sin(ts / 45.0);
  double perBlock = 12.9;  // volts per 12 V block
  double batteryA = 0;
  quint8 flags = 0;
  if (charging) {
    if (phase < 0.7) {
      perBlock = 12.6 + 1.6 * (phase / 0.7);
      batteryA = 24;
    } else if (phase < 0.9) {
      perBlock = 14.2;
      batteryA = 24 - 20 * (phase - 0.7) / 0.2;
      flags = 0x04;
    } else {
      perBlock = 13.8;
      batteryA = 2;
      flags = 0x01;
    }
  } else if (m == 2) {
    perBlock = 12.7 - 0.8 * phase;
    batteryA = loadKw * 1000 / (perBlock * blocks);
  } else if (m == 3) {
    perBlock = 13.0;
  }

  const long batteryDeci = std::lround(perBlock * blocks * 10);
  ram_[kMode] = static_cast<quint8>(m);
  ram_[kChargeFlags] = flags;
  ram_[kBatteryHi] = static_cast<quint8>(batteryDeci >> 8);
  ram_[kBatteryLo] = static_cast<quint8>(batteryDeci & 0xFF);
  ram_[kBatteryUnderLoad] = clampByte((perBlock - (m == 2 ? 0.3 : 0.0)) * 10);
  ram_[kBatteryCurrent] = clampByte(batteryA / 2);
  ram_[kGenerationPower] = m == 2 ? clampByte(loadKw * 10) : 0;
  ram_[kSecondsToCharge] = 0;

  const double mainsV = mains_ ? 230 + 3 * std::sin(ts / 37.0) : 0;
  const double chargeKw = charging ? batteryA * perBlock * blocks / 1000.0 / 0.9 : 0;
  const double inKw = mains_ ? (passing ? loadKw : 0) + chargeKw : 0;
  const double mainsA = mains_ ? inKw * 1000 / mainsV : 0;
  ram_[kMainsVoltage] = mains_ ? clampByte(mainsV - 100) : 0;
  ram_[kMainsCurrent] = clampByte(mainsA);
  ram_[kMainsCurrentFine] = clampByte(mainsA * 16);
  ram_[kPower] = clampByte(inKw * 10);
  const long watts = std::lround(inKw * 1000);
  ram_[kMainsPowerLo] = static_cast<quint8>(watts & 0xFF);
  ram_[kMainsPowerHi] = static_cast<quint8>((watts >> 8) & 0xFF);

  if (m == 2)
    ram_[kOutputVoltage] = clampByte(130 + std::sin(ts / 23.0));
  else if (passing && mains_)
    ram_[kOutputVoltage] = ram_[kMainsVoltage];
  else
    ram_[kOutputVoltage] = 0;

  ram_[kSystemFaults] = 0;
  ram_[kProtections] = now < resetAlarmUntil_ ? kProtectionResetBit : 0;
  ram_[kWarnings] = 0;
  ram_[kEvents] = !mains_ && chargeOn_ ? kEventNoMainsForChargeBit : 0;

  const double busy = (charging || m == 2) ? 4 : 0;
  ram_[kAmbientTemp] = clampByte(75 + 2 * std::sin(ts / 300.0));  // about 25 °C
  ram_[kTransformerTemp] = clampByte(92 + busy + 4 * std::sin(ts / 200.0));
  ram_[kTransistorTemp] = clampByte(88 + busy + 3 * std::sin(ts / 170.0));

  const qint64 minutes = charging ? std::min<qint64>(t / 60, 0xFFFF) : 0;
  ram_[kChargeTimeHi] = static_cast<quint8>(minutes >> 8);
  ram_[kChargeTimeLo] = static_cast<quint8>(minutes & 0xFF);
}
