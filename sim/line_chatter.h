#pragma once

#include "sim/device_memory.h"
#include "sim/output_queue.h"
#include "sim/sim_config.h"

#include <QByteArray>
#include <QtGlobal>

#include <limits>
#include <optional>

namespace lir2 {

// The status lines a device prints on its own (what the translation mode is for): one ASCII
// line ending in CR LF per period, made from the live state of the device, once the host has
// been quiet for a while.
class LineChatter {
 public:
  LineChatter(const ChatterConfig& cfg, int quietMs, DeviceMemory& memory);

  // Start counting the quiet time (and the period) from now.
  void restart(qint64 now);
  // The host said something: lines wait for a new quiet spell.
  void noteActivity(qint64 now);
  // quietFloor: the quiet spell starts no earlier than this (the device was busy until then).
  void advance(qint64 now, OutputQueue& out, qint64 quietFloor = kNoFloor);
  std::optional<qint64> nextAt(qint64 quietFloor = kNoFloor) const;

  static constexpr qint64 kNoFloor = std::numeric_limits<qint64>::min();

  static QByteArray statusLine(DeviceMemory& memory, qint64 now);

 private:
  ChatterConfig cfg_;
  int quietMs_;
  DeviceMemory& mem_;
  qint64 quietSince_ = 0;
  qint64 lastLine_ = 0;
  bool anyLine_ = false;
};

}  // namespace lir2
