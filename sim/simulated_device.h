#pragma once

#include "serial/clock.h"
#include "serial/serial_device.h"
#include "sim/device_model.h"

#include <QByteArray>

#include <memory>

namespace lir2 {

// The simulated device behind the line interface, in process: what the port list's
// simulated entry opens, and what most host tests talk to. Time comes from the clock, so
// with the virtual clock a 3000 ms time-out costs no real time, and with the steady clock
// the waits sleep for real.
class SimulatedSerialDevice final : public SerialDevice {
 public:
  SimulatedSerialDevice(std::shared_ptr<DeviceModel> model, Clock& clock);

  OpenResult open(qint32 baudRate) override;
  void close() override;
  bool isOpen() const override { return open_; }
  void purge() override;
  Read readByte(quint8& byte) override;
  bool waitForReadyRead(int ms) override;
  bool writeByte(quint8 byte) override;

  // Fault knobs.
  // open() fails with "Open COM port Error".
  void setOpenFails(bool fails) { openFails_ = fails; }
  // writeByte() writes nothing and returns false.
  void setWriteFails(bool fails) { writeFails_ = fails; }
  // Like an unplugged USB adapter: the line stays "open", reads fail, writes fail, waits
  // return false at once. Lasts until the next successful open().
  void vanish() { vanished_ = true; }
  // Like the serial port of the platform: a wait does not report bytes that were already
  // waiting when it began (the host must look before it waits).
  void setWaitIgnoresBuffered(bool ignores) { waitIgnoresBuffered_ = ignores; }

  // Inspection.
  DeviceModel& model() { return *model_; }
  int openCount() const { return opens_; }
  int purgeCount() const { return purges_; }
  quint64 bytesWritten() const { return written_; }
  quint64 bytesRead() const { return read_; }

 private:
  void pull();

  std::shared_ptr<DeviceModel> model_;
  Clock& clock_;
  QByteArray rx_;  // taken from the model, not yet read
  bool open_ = false;
  bool openFails_ = false;
  bool writeFails_ = false;
  bool vanished_ = false;
  bool waitIgnoresBuffered_ = false;
  int opens_ = 0;
  int purges_ = 0;
  quint64 written_ = 0;
  quint64 read_ = 0;
};

}  // namespace lir2
