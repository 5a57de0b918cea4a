#include "sim/device_memory.h"

#include <cmath>
#include <limits>
#include <vector>

namespace lir2 {

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
  kShortCircuits1 = 52,
  kShortCircuits2 = 53,
  kChargeTimeHi = 55,
  kChargeTimeLo = 56,
  kServiceValue1Hi = 58,
  kServiceValue1Lo = 59,
  kSensorAbsent = 60,
  kMainsPowerLo = 67,
  kMainsPowerHi = 68,
};

// Alarm bits the walk raises by itself.
constexpr quint8 kProtectionFlatBattery = 0x01;
constexpr quint8 kProtectionBatteryShort = 0x08;
constexpr quint8 kProtectionMainsShort = 0x20;
constexpr quint8 kProtectionReset = 0x80;
constexpr quint8 kWarningDischarged = 0x01;
constexpr quint8 kEventNoMainsForCharge = 0x20;
constexpr quint8 kSystemSensorFault = 0x08;
constexpr quint8 kTransformerSensorAbsent = 0x02;

// The alarm groups in RAM order (42 to 45) and the alarms each raises now and then.
constexpr int kAlarmGroups = 4;
const std::array<std::vector<quint8>, kAlarmGroups> kOccasional = {{
    {0x02, kSystemSensorFault, 0x10},                        // EEPROM write, sensor, other error
    {0x02, kProtectionBatteryShort, kProtectionMainsShort},  // high voltage, short circuits
    {0x02, 0x04, 0x08, 0x10},                                // overload, above rating, hot, fan
    {0x02, 0x04, 0x08, 0x80},                                // mains out of range, spikes, unstable
}};

constexpr qint64 kSecond = 1000;
constexpr qint64 kWarnBeforeFlatMs = 40 * kSecond;
constexpr double kHeatTauMs = 150.0 * kSecond;
constexpr double kChargeAmps = 25;

quint8 clampByte(double v) {
  return static_cast<quint8>(std::clamp<long>(std::lround(v), 0, 255));
}

quint64 mix(quint64 x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

// Volts per 12 V block from an EEPROM charge voltage cell, or the usual value when the cell
// holds nothing sensible.
double perBlockVolts(quint8 cell, double usual) {
  return cell >= 120 && cell <= 160 ? cell / 10.0 : usual;
}

}  // namespace

DeviceMemory::DeviceMemory(const FirmwareConfig& cfg)
    : cfg_(cfg),
      eeprom_(defaultEeprom(cfg)),
      on_(cfg.deviceOn),
      chargeOn_(cfg.chargeOn),
      chargerOnAt_(std::numeric_limits<qint64>::min()) {
  for (const auto& [address, value] : cfg_.eepromAtStart)
    if (address >= 0 && address < kEepromSize) eeprom_[address] = value;
  restoreRamDefaults();
  ram_[kShortCircuits1] = 2;  // what the counters held before the simulation began
  ram_[kShortCircuits2] = 1;
  warmUp(stateAt(0), -1);  // the device has been at work for a while
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
  e[12] = cfg.sinVersion;
  e[13] = cfg.netCode;
  e[14] = cfg.hiLowCode;
  e[16] = cfg.subVersion;
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
  e[59] = cfg.variantFlag;
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
  e[315] = cfg.hybridMarker;
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
  ram_[61] = 0x00;  // service value 2
  ram_[62] = 0x64;
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
  const qint64 t = walkTime(now);
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
      if (!chargeOn_) chargerOnAt_ = t;
      chargeOn_ = true;
      return true;
    case 6:
      // A restart of the controller: counters, alarms and service values start afresh, and
      // the protection byte shows for a while that a reset happened.
      restoreRamDefaults();
      resetAt_ = t;
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

bool DeviceMemory::mainsAt(qint64 t) const {
  if (!cfg_.mainsPresent) return false;
  const qint64 p = t % kDayMs;
  return p < kMainsFailsAtMs || p >= kMainsReturnsAtMs;
}

DeviceMemory::State DeviceMemory::stateAt(qint64 t) const {
  State s;
  const qint64 dayStart = t - t % kDayMs;
  s.mains = mainsAt(t);
  if (!s.mains) {
    // Without any mains (--no-mains) the battery is taken to be kept up by other means.
    s.outageMs = cfg_.mainsPresent ? t - (dayStart + kMainsFailsAtMs) : 0;
    if (!on_)
      s.mode = 1;
    else
      s.mode = s.outageMs >= kReserveMs ? 0 : 2;
    return s;
  }
  const qint64 mainsSince = t % kDayMs >= kMainsReturnsAtMs ? dayStart + kMainsReturnsAtMs
                                                            : dayStart - kDayMs + kMainsReturnsAtMs;
  const qint64 chargeFrom = std::max(mainsSince + kChargeDelayMs, chargerOnAt_);
  if (chargeOn_ && t >= chargeFrom) {
    s.chargeMs = t - chargeFrom;
    if (s.chargeMs >= kMainChargeMs + kEndChargeMs)
      s.flags = kFlagFloat;
    else if (s.chargeMs >= kMainChargeMs)
      s.flags = kFlagEndOfCharge;
    s.mode = on_ ? 4 : 5;
  } else {
    s.mode = on_ ? 3 : 1;
    if (chargeOn_) {
      s.flags = kFlagWaiting;
      s.waitMs = chargeFrom - t;
    }
  }
  return s;
}

DeviceMemory::AlarmWindow DeviceMemory::alarmWindow(int group, qint64 slot) const {
  const quint64 h = mix(static_cast<quint64>(slot) * kAlarmGroups + group);
  AlarmWindow w;
  if (h % 4 != 0) return w;  // one slot in four
  const std::vector<quint8>& bits = kOccasional[group];
  w.start = slot * kAlarmSlotMs + 10 * kSecond + static_cast<qint64>((h >> 8) % 230) * kSecond;
  w.end = w.start + 20 * kSecond + static_cast<qint64>((h >> 16) % 30) * kSecond;
  w.bit = bits[(h >> 24) % bits.size()];
  return w;
}

quint8 DeviceMemory::occasionalAlarms(int group, qint64 t) const {
  const AlarmWindow w = alarmWindow(group, t / kAlarmSlotMs);
  // A reset clears the alarms that stood before it.
  return w.bit && t >= w.start && t < w.end && w.start > resetAt_ ? w.bit : 0;
}

void DeviceMemory::countShortCircuits(qint64 t) {
  const int protections = kProtections - kSystemFaults;
  const qint64 slot = t / kAlarmSlotMs;
  countedSlots_ = std::max(countedSlots_, slot - 1000);  // after a long sleep: the last few
  for (; countedSlots_ <= slot; ++countedSlots_) {
    const AlarmWindow w = alarmWindow(protections, countedSlots_);
    if (w.bit && w.start > t) break;  // not yet: counted when it comes
    if (!w.bit || w.start <= resetAt_) continue;
    if (w.bit == kProtectionBatteryShort)
      ram_[kShortCircuits2] = static_cast<quint8>(std::min(ram_[kShortCircuits2] + 1, 255));
    if (w.bit == kProtectionMainsShort)
      ram_[kShortCircuits1] = static_cast<quint8>(std::min(ram_[kShortCircuits1] + 1, 255));
  }
}

// The transformer and the transistors warm towards what the work of the moment makes of them.
void DeviceMemory::warmUp(const State& s, qint64 t) {
  double rise[2] = {0, 0};
  switch (s.mode) {
    case 2:
      rise[0] = 50, rise[1] = 45;
      break;
    case 4:
    case 5:
      if (s.flags == 0)
        rise[0] = 26, rise[1] = 22;
      else if (s.flags & kFlagEndOfCharge)
        rise[0] = 18, rise[1] = 15;
      else
        rise[0] = 10, rise[1] = 8;
      break;
    case 3:
      rise[0] = 6, rise[1] = 3;
      break;
    default:
      break;
  }
  const double keep = t < 0 ? 0 : std::exp(-static_cast<double>(t - heatAt_) / kHeatTauMs);
  for (int i = 0; i < 2; ++i) heat_[i] = rise[i] + (heat_[i] - rise[i]) * keep;
  heatAt_ = std::max<qint64>(t, 0);
}

void DeviceMemory::updateLive(qint64 now) {
  if (!live_) return;
  const qint64 t = walkTime(now);
  const double ts = static_cast<double>(t) / kSecond;
  const State s = stateAt(t);
  const int blocks = 1 << std::min<int>(eeprom_[6], 2);  // 12 V blocks in the battery
  const bool charging = s.chargeMs >= 0;
  const bool passing = s.mode == 3 || s.mode == 4;
  const double loadKw = std::max(0.2, 0.6 + 0.25 * std::sin(ts / 45) + 0.08 * std::sin(ts / 7.3));

  // Battery: volts per 12 V block and amperes.
  const double endVolts = perBlockVolts(eeprom_[389], 14.4);
  const quint8 floatCell = eeprom_[1] >= 6 ? eeprom_[390] : eeprom_[391];
  const double floatVolts = floatCell == 0 ? 13.2 : perBlockVolts(floatCell, 13.8);
  double perBlock = 12.9;
  double batteryA = 0;
  double sag = 0;  // under load
  if (charging) {
    if (s.flags == 0) {
      perBlock = 12.5 + (endVolts - 12.5) * static_cast<double>(s.chargeMs) / kMainChargeMs;
      batteryA = kChargeAmps;
    } else if (s.flags & kFlagEndOfCharge) {
      perBlock = endVolts;
      batteryA = kChargeAmps - 20 * static_cast<double>(s.chargeMs - kMainChargeMs) / kEndChargeMs;
    } else {
      perBlock = floatVolts;
      batteryA = 2 + std::sin(ts / 13);
    }
  } else if (s.mode == 2) {
    perBlock = 12.8 - 1.6 * static_cast<double>(s.outageMs) / kReserveMs;
    batteryA = loadKw * 1000 / (perBlock * blocks);
    sag = 0.3 * loadKw;
  } else if (s.mode == 0) {
    // Resting after the cut-off, the flat battery recovers a little.
    perBlock = 11.2 + 0.3 * std::min(1.0, static_cast<double>(s.outageMs - kReserveMs) / 60000);
  } else if (s.flags & kFlagWaiting) {
    perBlock = 12.5;
  } else if (!s.mains) {
    perBlock = 12.6;
  }
  const long batteryDeci = std::lround(perBlock * blocks * 10);
  ram_[kMode] = static_cast<quint8>(s.mode);
  ram_[kChargeFlags] = s.flags;
  ram_[kBatteryHi] = static_cast<quint8>(batteryDeci >> 8);
  ram_[kBatteryLo] = static_cast<quint8>(batteryDeci & 0xFF);
  ram_[kBatteryUnderLoad] = clampByte((perBlock - sag) * 10);
  ram_[kBatteryCurrent] = clampByte(batteryA / 2);
  ram_[kGenerationPower] = s.mode == 2 ? clampByte(loadKw * 10) : 0;
  ram_[kSecondsToCharge] = clampByte(std::ceil(static_cast<double>(s.waitMs) / kSecond));

  // Mains. Now and then, at light load, the device feeds the mains for 20 s: its power
  // direction turns negative.
  const double mainsV = s.mains ? 230 + 3 * std::sin(ts / 37) : 0;
  const double chargeKw = charging ? batteryA * perBlock * blocks / 1000.0 / 0.9 : 0;
  double inKw = s.mains ? (passing ? loadKw : 0) + chargeKw : 0;
  if (passing && (s.chargeMs < 0 || s.flags == kFlagFloat) && (t / (20 * kSecond)) % 9 == 4)
    inKw = -(0.3 + 0.1 * std::sin(ts / 5));
  const double mainsA = s.mains ? std::abs(inKw) * 1000 / mainsV : 0;
  ram_[kMainsVoltage] = s.mains ? clampByte(mainsV - 100) : 0;
  ram_[kMainsCurrent] = clampByte(mainsA);
  ram_[kMainsCurrentFine] = clampByte(mainsA * 16);
  ram_[kPower] = clampByte(std::abs(inKw) * 10);
  const long watts = std::lround(inKw * 1000);
  ram_[kMainsPowerLo] = static_cast<quint8>(watts & 0xFF);
  ram_[kMainsPowerHi] = static_cast<quint8>((watts >> 8) & 0xFF);
  if (s.mode == 2)
    ram_[kOutputVoltage] = clampByte(120 + std::sin(ts / 23));
  else
    ram_[kOutputVoltage] = passing ? ram_[kMainsVoltage] : 0;

  // Temperatures, raw °C + 50.
  warmUp(s, t);
  const double ambient = 25 + 2 * std::sin(ts / 300);
  ram_[kAmbientTemp] = clampByte(50 + ambient);
  ram_[kTransformerTemp] = clampByte(50 + ambient + heat_[0]);
  ram_[kTransistorTemp] = clampByte(50 + ambient + heat_[1]);

  const qint64 minutes = charging ? std::min<qint64>(s.chargeMs / 60000, 0xFFFF) : 0;
  ram_[kChargeTimeHi] = static_cast<quint8>(minutes >> 8);
  ram_[kChargeTimeLo] = static_cast<quint8>(minutes & 0xFF);
  // Service value 1: seconds since the last reset.
  const qint64 uptime = std::min<qint64>((t - resetAt_) / kSecond, 0xFFFF);
  ram_[kServiceValue1Hi] = static_cast<quint8>(uptime >> 8);
  ram_[kServiceValue1Lo] = static_cast<quint8>(uptime & 0xFF);

  // Alarms: what the walk brings, the occasional ones, and the pinned ones.
  countShortCircuits(t);
  quint8 alarms[kAlarmGroups];
  for (int g = 0; g < kAlarmGroups; ++g) alarms[g] = occasionalAlarms(g, t);
  quint8& protections = alarms[kProtections - kSystemFaults];
  if (s.mode == 0) protections |= kProtectionFlatBattery;
  if (now < resetAlarmUntil_) protections |= kProtectionReset;
  if ((s.mode == 2 && s.outageMs >= kReserveMs - kWarnBeforeFlatMs) || s.mode == 0)
    alarms[kWarnings - kSystemFaults] |= kWarningDischarged;
  if (!s.mains && chargeOn_) alarms[kEvents - kSystemFaults] |= kEventNoMainsForCharge;
  for (int g = 0; g < kAlarmGroups; ++g) ram_[kSystemFaults + g] = alarms[g];
  // A broken sensor reads as an absent one.
  ram_[kSensorAbsent] = alarms[0] & kSystemSensorFault ? kTransformerSensorAbsent : 0;
  for (const auto& [offset, bits] : cfg_.pinnedAlarms)
    if (offset >= 0 && offset < kRamSize) ram_[offset] |= bits;
  for (const auto& [offset, value] : cfg_.pinnedRam)
    if (offset >= 0 && offset < kRamSize) ram_[offset] = value;
}

}  // namespace lir2
