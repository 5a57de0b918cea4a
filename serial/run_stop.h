#pragma once

#include <QtGlobal>

#include <atomic>

namespace lir2 {

// A run's number on its line. Every run a line starts gets the next one, so that a stop, a
// report or a logged byte can say which run it belongs to; 0 is no run.
using RunId = quint64;

// The stop of one run: raised from any thread (the user's Stop, a window's close), looked at by
// the byte primitives between bytes. Each run has its own, so a stop meant for one run can never
// reach another, and no run's start can take back a stop meant for an earlier one.
struct RunStop {
  explicit RunStop(RunId run) : id(run) {}
  const RunId id;
  std::atomic<bool> raised{false};
};

}  // namespace lir2
