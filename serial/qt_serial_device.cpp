#include "qt_serial_device.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <errno.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include "serial/port_reason.h"

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

int QtSerialDevice::descriptor() const {
#ifdef Q_OS_UNIX
  return port_.isOpen() ? static_cast<int>(port_.handle()) : -1;
#else
  return -1;
#endif
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
#ifdef Q_OS_UNIX
  if (const int fd = descriptor(); fd >= 0) {
    char c = 0;
    const ssize_t n = ::read(fd, &c, 1);
    if (n == 1) {
      byte = static_cast<quint8>(c);
      return Read::Byte;
    }
    // Nothing there yet: a raw terminal answers 0, or "try again" when opened without waiting.
    if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return Read::Empty;
    // The far end has gone (EIO on a terminal whose other side closed, an unplugged adapter).
    close();
    return Read::Failed;
  }
#endif
  if (lineGone()) {
    close();
    return Read::Failed;
  }
  return Read::Empty;
}

bool QtSerialDevice::waitForReadyRead(int ms) {
  if (!port_.isOpen()) return false;
  if (port_.bytesAvailable() > 0) return true;
#ifdef Q_OS_UNIX
  if (const int fd = descriptor(); fd >= 0) {
    // Blocks in the system's wait; returns early when a byte comes.
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return false;
    // A hang-up or an error with no byte left to read: the line has gone.
    int left = 0;
    if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) &&
        (::ioctl(fd, FIONREAD, &left) != 0 || left == 0)) {
      close();
      return false;
    }
    return (p.revents & POLLIN) != 0;
  }
#endif
  // Blocks in the operating system's wait; returns early when a byte comes.
  if (port_.waitForReadyRead(ms)) return true;
  if (lineGone()) close();
  return false;
}

bool QtSerialDevice::writeByte(quint8 byte) {
  if (!port_.isOpen()) return false;
  const char c = static_cast<char>(byte);
#ifdef Q_OS_UNIX
  if (const int fd = descriptor(); fd >= 0) {
    // Usually the byte leaves at once; only a full output buffer makes it wait, at most 100 ms.
    for (int attempt = 0; attempt < 2; ++attempt) {
      const ssize_t n = ::write(fd, &c, 1);
      if (n == 1) return true;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        close();
        return false;
      }
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, 100) <= 0) break;
    }
    // Not sent within the bound: drop it rather than let it leave late, out of step.
    port_.clear(QSerialPort::Output);
    return false;
  }
#endif
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
