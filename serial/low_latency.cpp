#include "serial/low_latency.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace lir2 {

bool requestLowLatency(SerialHandle fd, const SerialIoctl& ioctl) {
#ifdef Q_OS_LINUX
  const SerialIoctl call = ioctl ? ioctl : [](int f, unsigned long request, void* arg) {
    return ::ioctl(f, request, arg);
  };
  serial_struct serial{};
  if (fd < 0 || call(fd, TIOCGSERIAL, &serial) != 0) return false;
  if (serial.flags & ASYNC_LOW_LATENCY) return true;
  // Only the one flag changes; the driver keeps its other settings as they were.
  serial.flags |= ASYNC_LOW_LATENCY;
  return call(fd, TIOCSSERIAL, &serial) == 0;
#else
  Q_UNUSED(fd);
  Q_UNUSED(ioctl);
  return false;
#endif
}

}  // namespace lir2
