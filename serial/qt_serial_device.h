#pragma once

#include <QSerialPort>

#include "serial/low_latency.h"
#include "serial/serial_device.h"

namespace lir2 {

// The path a port is opened by: the device a symlink leads to (a /dev/serial/by-id/ name, a
// simulator's link), so that every name of one device shares QSerialPort's lock file; the path
// as given when it does not lead to a file (a bare port name, a path that is gone).
QString canonicalPortPath(const QString& path);

// A port of the machine (or any device path, a pseudo-terminal's say) through QSerialPort.
class QtSerialDevice final : public SerialDevice {
 public:
  // ioctl: the driver's requests go through it (a test's stand-in); empty: the system's.
  explicit QtSerialDevice(const QString& path, SerialIoctl ioctl = {});
  ~QtSerialDevice() override;

  OpenResult open(qint32 baudRate) override;
  void close() override;
  bool isOpen() const override { return port_.isOpen(); }
  void purge() override;
  Read readByte(quint8& byte) override;
  bool waitForReadyRead(int ms) override;
  bool writeByte(quint8 byte) override;

 private:
  // A read or write error means the line has gone (peer closed, adapter unplugged).
  bool lineGone() const;

  QString path_;
  SerialIoctl ioctl_;
  QSerialPort port_;
};

}  // namespace lir2
