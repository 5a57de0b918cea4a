#pragma once

#include <QtGlobal>

namespace lir2 {

// Every wait of the program goes through a clock, so tests can run a 3000 ms time-out in no
// real time. The real clock sleeps in the operating system; the virtual one only moves a number.
class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start; never goes backwards.
  virtual qint64 nowMs() = 0;
  // Pauses the caller for ms milliseconds (the modem's pauses; the simulated line's waits).
  virtual void sleepMs(int ms) = 0;
};

// Wall time: QElapsedTimer for the time, a blocking sleep for the pauses.
class SteadyClock final : public Clock {
 public:
  SteadyClock();
  qint64 nowMs() override;
  void sleepMs(int ms) override;

 private:
  qint64 originNs_;
};

// Test time: starts at 0 and moves only when somebody sleeps or advances it.
class VirtualClock final : public Clock {
 public:
  qint64 nowMs() override { return now_; }
  void sleepMs(int ms) override {
    if (ms > 0) now_ += ms;
  }
  void advance(qint64 ms) { now_ += ms; }

 private:
  qint64 now_ = 0;
};

}  // namespace lir2
