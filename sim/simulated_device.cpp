#include "sim/simulated_device.h"

#include <algorithm>
#include <limits>

namespace lir2 {

SimulatedSerialDevice::SimulatedSerialDevice(std::shared_ptr<DeviceModel> model, Clock& clock)
    : model_(std::move(model)), clock_(clock) {}

SerialDevice::OpenResult SimulatedSerialDevice::open(qint32 baudRate) {
  OpenResult r;
  if (openFails_) {
    open_ = false;
    r.message = QStringLiteral("Open COM port Error");
    r.detail = QStringLiteral("симулятор настроен не открываться");
    return r;
  }
  open_ = true;
  vanished_ = false;
  rx_.clear();
  ++opens_;
  model_->portOpened(clock_.nowMs(), baudRate);
  r.opened = true;
  return r;
}

void SimulatedSerialDevice::close() {
  open_ = false;
  rx_.clear();
}

void SimulatedSerialDevice::purge() {
  ++purges_;
  rx_.clear();
  if (open_ && !vanished_) model_->discardOutput(clock_.nowMs());
}

void SimulatedSerialDevice::pull() {
  rx_.append(model_->takeOutput(clock_.nowMs()));
}

SerialDevice::Read SimulatedSerialDevice::readByte(quint8& byte) {
  if (!open_ || vanished_) return Read::Failed;
  if (rx_.isEmpty()) pull();
  if (rx_.isEmpty()) return Read::Empty;
  byte = static_cast<quint8>(rx_.front());
  rx_.remove(0, 1);
  ++read_;
  return Read::Byte;
}

bool SimulatedSerialDevice::writeByte(quint8 byte) {
  if (!open_ || vanished_ || writeFails_) return false;
  model_->receive(byte, clock_.nowMs());
  ++written_;
  return true;
}

bool SimulatedSerialDevice::waitForReadyRead(int ms) {
  if (!open_ || vanished_) return false;
  const qint64 start = clock_.nowMs();
  const qint64 deadline = start + std::max(ms, 0);
  pull();
  if (!rx_.isEmpty()) {
    if (!waitIgnoresBuffered_) return true;
    clock_.sleepMs(static_cast<int>(deadline - start));
    return false;
  }
  for (;;) {
    const qint64 now = clock_.nowMs();
    if (now >= deadline) return false;
    const std::optional<qint64> next = model_->nextOutputAt(now);
    if (!next || *next > deadline) {
      clock_.sleepMs(static_cast<int>(deadline - now));
      pull();
      return !rx_.isEmpty();
    }
    // Never wait less than a millisecond, so a promise that does not come true cannot spin.
    const qint64 wake = std::max(*next, now + 1);
    clock_.sleepMs(static_cast<int>(std::min(wake, deadline) - now));
    pull();
    if (!rx_.isEmpty()) return true;
  }
}

}  // namespace lir2
