#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <array>
#include <atomic>
#include <memory>

#include "serial/result_code.h"
#include "serial/run_stop.h"
#include "serial/traffic_log.h"

namespace lir2 {

class Clock;
class PortControl;

// The exchange context shared by every run mode: the byte primitives on the open line and the
// state they leave behind. Failures are result codes (0 = success), never exceptions.
class Exchange {
 public:
  Exchange(PortControl& port, Clock& clock, TrafficLog* log, const LogSwitches* switches);

  static constexpr int kReplyBufSize = 516;
  static constexpr int kReadTimeoutMs = 3000;

  quint8 RxByte = 0;               // the byte of the last successful read
  quint8 TxByte = 0;               // the byte the next write sends
  quint32 BytesRead = 0;           // bytes the last read delivered (0 or 1)
  quint32 BytesWritten = 0;        // bytes the last write delivered (0 or 1)
  Result ResultCode = Result::Ok;  // code of the last failure; cleared by the result report
  quint8 ReconnectCount = 0;       // silent reconnects not yet paid back by good poll ticks
  std::array<quint8, kReplyBufSize> ReplyBuf{};  // the last line received

  // Waits up to 3000 ms for one byte: 0 with the byte in RxByte, or 20 (1 when stopped).
  Result ReadByte(int logMode);
  // Takes, without waiting, up to max bytes that have already arrived; each becomes RxByte in
  // turn and is logged. A stop ends it. Returns how many were taken.
  int readReceived(int logMode, int max);
  // Sends TxByte: 0, or 4 when it was not written.
  Result WriteByte(int logMode);
  // Sends TxByte and checks the echo: 0, 4, 5, 20, or, with checkError, the code the device
  // announces with 'Z' and one more byte (that byte minus 28).
  Result ExchangeByte(int logMode, bool checkError);
  // Sends the characters of text without echo, then pauses: 0 or 4.
  Result ModemWriteString(QByteArrayView text, int pauseMs);
  // Reads one line up to LF into ReplyBuf, each character within timeoutMs: 0 or 20.
  Result ModemReadLine(quint16 timeoutMs);

  // The run whose exchanges these are: its stop, raised from any thread, makes reads and writes
  // fail at once with Result::Interrupted instead of waiting out their time-outs, and its number
  // goes with every logged byte. Waits look at the stop every kStopCheckMs, so a silent device
  // never holds a stop for longer. Set by the line when a run gets it; null between runs.
  void setRun(std::shared_ptr<const RunStop> run) { run_ = std::move(run); }
  RunId run() const { return run_ ? run_->id : 0; }
  // A second stop that ends every run, this one and all to come: the program's end, Ctrl-C.
  void setLineStop(const std::atomic<bool>* flag) { lineStop_ = flag; }
  bool stopped() const {
    return (lineStop_ && lineStop_->load(std::memory_order_relaxed)) ||
           (run_ && run_->raised.load(std::memory_order_relaxed));
  }
  static constexpr int kStopCheckMs = 25;

  PortControl& port() { return port_; }
  Clock& clock() { return clock_; }
  TrafficLog* log() const { return log_; }
  const LogSwitches* switches() const { return switches_; }
  bool logReads() const { return switches_ && switches_->logReads(); }
  bool logWrites() const { return switches_ && switches_->logWrites(); }

  void appendRead(quint8 byte, int logMode);
  void appendWrite(quint8 byte, int logMode);

 private:
  // One byte into RxByte within timeoutMs, blocking in the line's wait between attempts.
  bool receive(int timeoutMs);
  bool send();
  Result failRead();

  PortControl& port_;
  Clock& clock_;
  TrafficLog* log_;
  const LogSwitches* switches_;
  std::shared_ptr<const RunStop> run_;
  const std::atomic<bool>* lineStop_ = nullptr;
};

}  // namespace lir2
