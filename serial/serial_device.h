#pragma once

#include <QString>
#include <QtGlobal>

namespace lir2 {

// One serial line as the byte primitives see it: a real port (QSerialPort), a pseudo-terminal
// path, or the built-in simulated device. Everything above this interface is the same for all.
class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  struct OpenResult {
    bool opened = false;
    // The last of the port messages raised while opening ("Open COM port Error",
    // "SetCommState Error", ...), empty when every step went through.
    QString message;
    // The operating system's own explanation, for a tooltip or a log; may be empty.
    QString detail;
  };

  // Opens the line at 8N1, no flow control, DTR off then RTS on, at the given rate.
  virtual OpenResult open(qint32 baudRate) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // Discards what is still waiting in both directions.
  virtual void purge() = 0;

  enum class Read {
    Byte,    // one byte was delivered
    Empty,   // nothing has arrived yet
    Failed,  // the line is gone (not open, peer closed, adapter unplugged)
  };
  // Takes at most one received byte; never blocks.
  virtual Read readByte(quint8& byte) = 0;
  // Blocks until a byte may be readable or ms have passed, without burning the processor.
  // Returns false on a time-out or when the line has failed.
  virtual bool waitForReadyRead(int ms) = 0;
  // Sends one byte; the wait for it to leave is bounded to about 100 ms.
  // Returns false when the byte was not written.
  virtual bool writeByte(quint8 byte) = 0;
};

}  // namespace lir2
