#pragma once

#include <QStringView>
#include <QtGlobal>

// How a caller asks a byte primitive to copy traffic into the port logs.
enum LogMode : int {
  LogNone = 0,  // nothing
  LogChar = 1,  // each byte as one character
  LogHex = 2,   // each byte as two upper-case hexadecimal digits
};

// The read log and the write log (the two port log windows).
class TrafficLog {
 public:
  virtual ~TrafficLog() = default;
  virtual void appendRead(QStringView text) = 0;
  virtual void appendWrite(QStringView text) = 0;
  virtual void clearLogs() = 0;
};

// The two logging switches of the software options, read at the moment a byte is logged.
class LogSwitches {
 public:
  virtual ~LogSwitches() = default;
  virtual bool logReads() const = 0;   // "Протокол Чтение RS232"
  virtual bool logWrites() const = 0;  // "Протокол Запись RS232"
};

// The characters a byte becomes in a log: the byte itself as a single-byte (Windows-1251)
// character, or its two hexadecimal digits.
int formatLoggedByte(quint8 byte, int mode, QChar out[2]);
QChar cp1251ToUnicode(quint8 byte);
