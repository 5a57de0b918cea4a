#include "qt_serial_device.h"

#include <QFileInfo>

#include "serial/port_reason.h"

namespace lir2 {

QString canonicalPortPath(const QString& path) {
  // A bare name ("ttyUSB0") is QSerialPort's to place under /dev, not a file in this folder.
  if (!path.contains(QLatin1Char('/'))) return path;
  const QString canonical = QFileInfo(path).canonicalFilePath();
  return canonical.isEmpty() ? path : canonical;
}

QtSerialDevice::QtSerialDevice(const QString& path, SerialIoctl ioctl)
    : path_(path), ioctl_(std::move(ioctl)) {
  port_.setPortName(path);
}

QtSerialDevice::~QtSerialDevice() {
  close();
}

SerialDevice::OpenResult QtSerialDevice::open(qint32 baudRate) {
  OpenResult result;
  // Resolved at every open: a by-id link may lead to another device after a replug.
  port_.setPortName(canonicalPortPath(path_));
  if (!port_.open(QIODevice::ReadWrite)) {
    result.message = QStringLiteral("Open COM port Error");
    // Not Qt's words but the reason and the remedy (missing, busy, no permission), for the
    // path as the user named it.
    result.detail = portOpenReason(path_, port_.error(), port_.errorString());
    return result;
  }
  result.opened = true;
  // QSerialPort reads the line settings as part of opening; setting them may still fail.
  const bool set = port_.setBaudRate(baudRate) && port_.setDataBits(QSerialPort::Data8) &&
                   port_.setParity(QSerialPort::NoParity) &&
                   port_.setStopBits(QSerialPort::OneStop) &&
                   port_.setFlowControl(QSerialPort::NoFlowControl);
  if (!set) {
    result.message = QStringLiteral("SetCommState Error");
    result.detail = port_.errorString();
  }
  // DTR off, then RTS on. A pseudo-terminal refuses both; that is no reason to fail the line.
  port_.setDataTerminalReady(false);
  port_.setRequestToSend(true);
  port_.clearError();
  // Where the driver refuses, the line works as before, only with its usual delays.
  requestLowLatency(port_.handle(), ioctl_);
  return result;
}

void QtSerialDevice::close() {
  if (port_.isOpen()) port_.close();
}

void QtSerialDevice::purge() {
  if (port_.isOpen()) port_.clear(QSerialPort::AllDirections);
}

bool QtSerialDevice::lineGone() const {
  const auto e = port_.error();
  return e == QSerialPort::ReadError || e == QSerialPort::WriteError ||
         e == QSerialPort::ResourceError;
}

SerialDevice::Read QtSerialDevice::readByte(quint8& byte) {
  if (!port_.isOpen()) return Read::Failed;
  if (port_.bytesAvailable() > 0) {
    char c = 0;
    if (port_.read(&c, 1) == 1) {
      byte = static_cast<quint8>(c);
      return Read::Byte;
    }
  }
  if (lineGone()) {
    close();
    return Read::Failed;
  }
  return Read::Empty;
}

bool QtSerialDevice::waitForReadyRead(int ms) {
  if (!port_.isOpen()) return false;
  if (port_.bytesAvailable() > 0) return true;
  // Blocks in the operating system's wait; returns early when a byte comes.
  if (port_.waitForReadyRead(ms)) return true;
  if (lineGone()) close();
  return false;
}

bool QtSerialDevice::writeByte(quint8 byte) {
  if (!port_.isOpen()) return false;
  const char c = static_cast<char>(byte);
  if (port_.write(&c, 1) != 1) {
    if (lineGone()) close();
    return false;
  }
  // Usually the byte leaves at once; only a full output buffer makes it wait, at most 100 ms.
  port_.flush();
  if (port_.bytesToWrite() == 0 || port_.waitForBytesWritten(100) || port_.bytesToWrite() == 0)
    return true;
  // Not sent within the bound: drop it rather than let it leave late, out of step.
  if (lineGone()) {
    close();
  } else {
    port_.clear(QSerialPort::Output);
  }
  return false;
}

}  // namespace lir2
