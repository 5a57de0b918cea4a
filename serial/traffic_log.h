#pragma once

#include <QStringView>
#include <QtGlobal>

#include <atomic>

#include "serial/run_stop.h"

namespace lir2 {

// How a caller asks a byte primitive to copy traffic into the port logs.
enum LogMode : int {
  LogNone = 0,  // nothing
  LogChar = 1,  // each byte as one character
  LogHex = 2,   // each byte as two upper-case hexadecimal digits
};

// The read log and the write log (the two port log windows). Each piece of text names the run
// whose traffic it is.
class TrafficLog {
 public:
  virtual ~TrafficLog() = default;
  virtual void appendRead(QStringView text, RunId run) = 0;
  virtual void appendWrite(QStringView text, RunId run) = 0;
  // Empties both logs for run: the traffic of earlier runs that is still on its way is dropped.
  virtual void clearLogs(RunId run) = 0;
};

// The two logging switches of the software options, read at the moment a byte is logged.
class LogSwitches {
 public:
  virtual ~LogSwitches() = default;
  virtual bool logReads() const = 0;   // "Протокол Чтение RS232"
  virtual bool logWrites() const = 0;  // "Протокол Запись RS232"
};

// The switches as the line's thread reads them: the window that owns the check boxes sets them
// when the user changes one, the byte primitives read them on any thread.
class AtomicLogSwitches final : public LogSwitches {
 public:
  bool logReads() const override { return reads.load(std::memory_order_relaxed); }
  bool logWrites() const override { return writes.load(std::memory_order_relaxed); }
  std::atomic<bool> reads{false};
  std::atomic<bool> writes{false};
};

// The characters a byte becomes in a log: the byte itself as a single-byte (Windows-1251)
// character, or its two hexadecimal digits.
int formatLoggedByte(quint8 byte, int mode, QChar out[2]);
QChar cp1251ToUnicode(quint8 byte);

}  // namespace lir2
