#pragma once

#include <QSerialPort>

#include "serial/serial_device.h"

// A port of the machine (or any device path, a pseudo-terminal's say) through QSerialPort.
class QtSerialDevice final : public SerialDevice {
 public:
  explicit QtSerialDevice(const QString& path);
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

  QSerialPort port_;
};
