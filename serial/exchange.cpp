#include "exchange.h"

#include <algorithm>

#include "serial/clock.h"
#include "serial/port_control.h"
#include "serial/result_code.h"
#include "serial/serial_device.h"

namespace lir2 {

Exchange::Exchange(PortControl& port, Clock& clock, TrafficLog* log, const LogSwitches* switches)
    : port_(port), clock_(clock), log_(log), switches_(switches) {}

void Exchange::appendRead(quint8 byte, int logMode) {
  QChar text[2];
  if (const int n = formatLoggedByte(byte, logMode, text); n > 0 && log_)
    log_->appendRead(QStringView(text, n), run());
}

void Exchange::appendWrite(quint8 byte, int logMode) {
  QChar text[2];
  if (const int n = formatLoggedByte(byte, logMode, text); n > 0 && log_)
    log_->appendWrite(QStringView(text, n), run());
}

bool Exchange::receive(int timeoutMs) {
  const qint64 start = clock_.nowMs();
  SerialDevice* device = port_.device();
  for (;;) {
    BytesRead = 0;
    quint8 byte = 0;
    const auto got = device ? device->readByte(byte) : SerialDevice::Read::Failed;
    if (got == SerialDevice::Read::Byte) {
      BytesRead = 1;
      RxByte = byte;
      return true;
    }
    if (got == SerialDevice::Read::Failed) {
      // No line to wait on (never opened, or gone): waiting could only burn time.
      port_.noteLineFailure();
      return false;
    }
    const qint64 elapsed = clock_.nowMs() - start;
    if (elapsed > timeoutMs || stopped()) return false;
    // The wait ends 1 ms past the limit, so the test above sees "more than" the time-out; with a
    // stop flag it wakes now and then to look at it.
    qint64 wait = timeoutMs - elapsed + 1;
    if (run_ || lineStop_) wait = std::min<qint64>(wait, kStopCheckMs);
    device->waitForReadyRead(static_cast<int>(wait));
  }
}

bool Exchange::send() {
  BytesWritten = 0;
  if (stopped()) return false;
  SerialDevice* device = port_.device();
  if (device && device->writeByte(TxByte)) {
    BytesWritten = 1;
    return true;
  }
  port_.noteLineFailure();
  return false;
}

Result Exchange::failRead() {
  ResultCode = stopped() ? Result::Interrupted : Result::NoReply;
  return ResultCode;
}

Result Exchange::ReadByte(int logMode) {
  if (!receive(kReadTimeoutMs)) return failRead();
  appendRead(RxByte, logMode);
  return Result::Ok;
}

int Exchange::readReceived(int logMode, int max) {
  SerialDevice* device = port_.device();
  int taken = 0;
  quint8 byte = 0;
  while (device && taken < max && !stopped() &&
         device->readByte(byte) == SerialDevice::Read::Byte) {
    RxByte = byte;
    appendRead(byte, logMode);
    ++taken;
  }
  return taken;
}

Result Exchange::WriteByte(int logMode) {
  if (stopped()) return ResultCode = Result::Interrupted;
  appendWrite(TxByte, logMode);
  if (!send()) return ResultCode = stopped() ? Result::Interrupted : Result::WriteFailed;
  return Result::Ok;
}

Result Exchange::ExchangeByte(int logMode, bool checkError) {
  // One switch governs the logging of the byte sent and of its echo.
  if (!logWrites()) logMode = LogNone;
  if (WriteByte(logMode) != Result::Ok) return ResultCode;
  if (ReadByte(logMode) != Result::Ok) return ResultCode;
  if (checkError && RxByte == 'Z') {
    // The device announces a failure: its code byte always goes to the read log, in hex.
    if (ReadByte(LogHex) != Result::Ok) return ResultCode;
    ResultCode = resultFromCode(static_cast<quint8>(RxByte - 28));
    return ResultCode;
  }
  if (RxByte == TxByte) return Result::Ok;
  return ResultCode = Result::WrongEcho;
}

Result Exchange::ModemWriteString(QByteArrayView text, int pauseMs) {
  for (char c : text) {
    if (c == '\0') break;
    TxByte = static_cast<quint8>(c);
    const bool sent = send();
    if (logWrites()) appendWrite(TxByte, LogChar);
    if (!sent) return ResultCode = stopped() ? Result::Interrupted : Result::WriteFailed;
  }
  // The modem's pause; a stop cuts it short.
  for (qint64 end = clock_.nowMs() + pauseMs; !stopped();) {
    const qint64 left = end - clock_.nowMs();
    if (left <= 0) break;
    clock_.sleepMs(
        static_cast<int>(run_ || lineStop_ ? std::min<qint64>(left, kStopCheckMs) : left));
  }
  return Result::Ok;
}

Result Exchange::ModemReadLine(quint16 timeoutMs) {
  std::fill(ReplyBuf.begin(), ReplyBuf.begin() + 255, quint8(0));
  for (int i = 0; i < 254; ++i) {
    if (!receive(timeoutMs)) return failRead();
    if (logReads()) appendRead(RxByte, LogChar);
    ReplyBuf[i] = RxByte;
    if (RxByte == '\n') {
      ReplyBuf[i + 1] = 0;
      return Result::Ok;
    }
  }
  return Result::Ok;
}

}  // namespace lir2
