#pragma once

#include "sim/device_memory.h"
#include "sim/output_queue.h"
#include "sim/sim_config.h"

#include <QByteArray>
#include <QtGlobal>

#include <limits>

namespace lir2 {

// The device's monitor firmware: memory commands in the text format ("PCRD", "PCPR", "PCWR",
// answered "MOk"/"MEr") and, on boards that have it, the binary format ("r"/"w", answered
// "o"/"e").
//
// Line discipline: every byte from the host is echoed as it arrives. A reply goes out in
// lock-step: its next byte only after the host's echo of the previous one came back. A byte
// that is not the expected echo ends the reply and is taken as new input; a reply whose echo
// does not come back within replyEchoTimeoutMs is given up.
class MonitorFirmware {
 public:
  // Error byte bits, one failure each.
  static constexpr quint8 kErrChecksum = 0x01;
  static constexpr quint8 kErrNoEcho = 0x02;
  static constexpr quint8 kErrFrame = 0x04;
  static constexpr quint8 kErrNotHex = 0x08;
  static constexpr quint8 kErrNotAnnounced = 0x10;
  static constexpr quint8 kErrReserved = 0x20;

  // After a reset (command 6) has been acknowledged the controller restarts: this long it
  // neither echoes nor answers. Longer than the monitor's 300 ms between ticks, so the host's
  // next tick meets it and recovers by reconnecting, as with a real device.
  static constexpr qint64 kResetSilenceMs = 500;

  MonitorFirmware(const FirmwareConfig& cfg, DeviceMemory& memory);

  // The line was (re)opened: a partial command, a reply in progress and a pending EEPROM
  // write announcement are forgotten (a restart after a reset goes on).
  void reset();
  void receive(quint8 byte, qint64 now, OutputQueue& out);

  // Neither receiving a command nor waiting for a reply's echo (stale ones do not count).
  bool idle(qint64 now) const;
  // From when on it is idle if nothing more arrives.
  qint64 busyUntil() const;
  bool silent() const;
  bool binaryEnabled() const { return binary_; }
  int commandsAnswered() const { return answered_; }
  int echoMismatches() const { return echoMismatches_; }
  bool writeAnnounced() const { return announced_; }

 private:
  enum class Rx { Idle, Text, Binary };
  struct Outcome {
    quint8 error = 0;  // non-zero: answer with this error byte
    QByteArray data;   // bytes read (empty for a write)
    bool write = false;
  };

  bool faultActive() const {
    const int command = answered_ + 1;
    return command >= cfg_.faultFromFrame &&
           (cfg_.faultFrames <= 0 || command < cfg_.faultFromFrame + cfg_.faultFrames);
  }
  // The injected error reply stands in for the command: nothing is read or written.
  bool forcedError() const { return faultActive() && cfg_.errorByte != 0; }
  void inputByte(quint8 byte, qint64 now, OutputQueue& out);
  void textByte(quint8 byte, qint64 now, OutputQueue& out);
  void binaryByte(quint8 byte, qint64 now, OutputQueue& out);
  Outcome runTextLine(qint64 now);
  Outcome runBinaryFrame(qint64 now);
  Outcome readMemory(int address, int count, qint64 now);
  Outcome writeMemory(int address, const QByteArray& data, qint64 now);
  QByteArray textReply(const Outcome& o) const;
  QByteArray binaryReply(const Outcome& o) const;
  void answer(Outcome o, bool binary, qint64 now, OutputQueue& out);
  void sendNextReplyByte(qint64 now, OutputQueue& out);

  FirmwareConfig cfg_;
  DeviceMemory& mem_;
  bool binary_;

  Rx rx_ = Rx::Idle;
  qint64 lastRxAt_ = 0;
  QByteArray line_;

  // Binary command being received.
  quint8 binLetter_ = 0;
  quint8 binSum_ = 0;
  bool binEscape_ = false;
  bool binBroken_ = false;
  bool binHaveChecksum_ = false;
  quint8 binChecksum_ = 0;
  QByteArray binFields_;  // count, address high, address low, data

  // Reply in progress.
  QByteArray reply_;
  int replyPos_ = 0;
  qint64 lastReplyAt_ = 0;

  bool announced_ = false;
  bool resetAfterReply_ = false;
  qint64 restartingUntil_ = std::numeric_limits<qint64>::min();
  int answered_ = 0;
  int echoMismatches_ = 0;
};

}  // namespace lir2
