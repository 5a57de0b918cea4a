#pragma once

#include <QtGlobal>

#include <algorithm>

namespace lir2 {

// The timing of an asynchronous serial line: every byte is 10 bit times long (start bit,
// 8 data bits, stop bit), and bytes in one direction follow each other, never overlap.
// Times are nanoseconds on any monotonic scale. A rate of 0 means no timing: bytes arrive
// the moment they are sent.
class LinePacer {
 public:
  void setRate(qint32 bitsPerSecond) { rate_ = bitsPerSecond > 0 ? bitsPerSecond : 0; }
  qint32 rate() const { return rate_; }
  qint64 byteTimeNs() const { return rate_ > 0 ? 10LL * 1000000000LL / rate_ : 0; }

  // A byte from the host that the device could first see at sentAt is complete (and usable
  // by the device) at the returned time.
  qint64 inputComplete(qint64 sentAt) {
    inputFree_ = std::max(sentAt, inputFree_) + byteTimeNs();
    return inputFree_;
  }
  // A byte the device sends at readyAt has fully reached the host at the returned time.
  qint64 outputArrives(qint64 readyAt) {
    outputFree_ = std::max(readyAt, outputFree_) + byteTimeNs();
    return outputFree_;
  }
  // The line was idle (or reopened): nothing is in flight.
  void reset() {
    inputFree_ = 0;
    outputFree_ = 0;
  }

 private:
  qint32 rate_ = 0;
  qint64 inputFree_ = 0;
  qint64 outputFree_ = 0;
};

}  // namespace lir2
