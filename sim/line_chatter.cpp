#include "sim/line_chatter.h"

#include <algorithm>

namespace lir2 {

namespace {

constexpr int kMaxCatchUpLines = 16;

const char* modeText(int mode) {
  switch (mode) {
    case 2:
      return "INVERTER";
    case 3:
      return "MAINS";
    case 4:
      return "MAINS+CHARGE";
    case 5:
      return "OFF+CHARGE";
    default:
      return "OFF";
  }
}

QByteArray decimal(int tenths) {
  const int whole = tenths / 10;
  return QByteArray::number(whole) + '.' + QByteArray::number(tenths % 10);
}

}  // namespace

LineChatter::LineChatter(const ChatterConfig& cfg, int quietMs, DeviceMemory& memory)
    : cfg_(cfg), quietMs_(std::max(quietMs, 0)), mem_(memory) {
  cfg_.periodMs = std::max(cfg_.periodMs, 1);
}

void LineChatter::restart(qint64 now) {
  quietSince_ = now;
  anyLine_ = false;
}

void LineChatter::noteActivity(qint64 now) {
  quietSince_ = std::max(quietSince_, now);
  anyLine_ = false;
}

std::optional<qint64> LineChatter::nextAt(qint64 quietFloor) const {
  if (!cfg_.enabled) return std::nullopt;
  // The first line a full period into the quiet spell (at least), then one per period.
  const qint64 first =
      std::max(quietSince_, quietFloor) + std::max<qint64>(quietMs_, cfg_.periodMs);
  return anyLine_ ? std::max(first, lastLine_ + cfg_.periodMs) : first;
}

void LineChatter::advance(qint64 now, OutputQueue& out, qint64 quietFloor) {
  std::optional<qint64> at = nextAt(quietFloor);
  if (at && now - *at > qint64(kMaxCatchUpLines) * cfg_.periodMs) {
    // A long unattended stretch: keep only the last few lines, as a terminal's scroll would.
    lastLine_ = now - qint64(kMaxCatchUpLines) * cfg_.periodMs;
    anyLine_ = true;
    at = nextAt(quietFloor);
  }
  while (at && *at <= now) {
    out.push(*at, statusLine(mem_, *at));
    lastLine_ = *at;
    anyLine_ = true;
    at = nextAt(quietFloor);
  }
}

QByteArray LineChatter::statusLine(DeviceMemory& memory, qint64 now) {
  const DeviceMemory::Ram ram = memory.ram(now);
  const int blocks = 1 << std::min<int>(memory.eeprom()[6], 2);
  const int battery = (ram[5] << 8) | ram[6];
  const int mains = ram[34] ? ram[34] + 100 : 0;
  const int output = ram[39] ? ram[39] + 100 : 0;
  QByteArray line = "LIR " + QByteArray::number(12 * blocks) + "V " + modeText(ram[0]);
  line += " Ubat=" + decimal(battery) + "V";
  line += " Ibat=" + QByteArray::number(ram[8] * 2) + "A";
  line += " Uin=" + QByteArray::number(mains) + "V";
  line += " Uout=" + QByteArray::number(output) + "V";
  line += " P=" + decimal(ram[0] == 2 ? ram[9] : ram[36]) + "kW";
  line += " T=" + QByteArray::number(ram[47] - 50) + "/" + QByteArray::number(ram[48] - 50) + "C";
  line += "\r\n";
  return line;
}

}  // namespace lir2
