#pragma once

#include "sim/bootloader.h"
#include "sim/device_memory.h"
#include "sim/gsm_modem.h"
#include "sim/line_chatter.h"
#include "sim/monitor_firmware.h"
#include "sim/output_queue.h"
#include "sim/sim_config.h"

#include <QByteArray>
#include <QtGlobal>

#include <memory>
#include <optional>

namespace lir2 {

// The simulated device as its serial line sees it: bytes in, bytes out, and time. It never
// runs on its own; every call says what time it is (milliseconds, never going backwards), and
// the model works out what the device has done by then. It keeps its memory for its whole
// life, across any number of openings of the line.
class DeviceModel {
 public:
  explicit DeviceModel(SimConfig cfg);

  const SimConfig& config() const { return cfg_; }

  // The host (re)opened the line at this rate (0 = unknown). Whatever the device had sent and
  // was not read is gone; the built-in device restarts its bootloader window.
  void portOpened(qint64 nowMs, qint32 baudRate);
  // The host changed the rate of an open line.
  void hostRateChanged(qint64 nowMs, qint32 baudRate);
  // A byte from the host has arrived.
  void receive(quint8 byte, qint64 nowMs);
  // The bytes the device has sent by now.
  QByteArray takeOutput(qint64 nowMs);
  // The host purged its receive buffer: what the device has sent by now is lost.
  void discardOutput(qint64 nowMs);
  // When output is (or will be) readable without further input; nothing if never.
  std::optional<qint64> nextOutputAt(qint64 nowMs) const;

  // Inspection, for tests and the lir2-sim exit dumps.
  DeviceMemory& memory() { return memory_; }
  const Bootloader* bootloader() const { return boot_.get(); }
  const MonitorFirmware* firmware() const { return firmware_.get(); }
  const GsmModem* modem() const { return modem_.get(); }
  // Lir: the program (not the bootloader) has the line.
  bool firmwareHasLine() const { return !lirBoot_; }
  qint32 hostRate() const { return hostRate_; }
  int portOpenings() const { return openings_; }
  quint64 bytesReceived() const { return received_; }
  // Bytes lost to a line rate that does not match the device's.
  quint64 bytesUnheard() const { return unheard_; }

 private:
  enum class Listener { Line, Boot };
  bool hears(Listener who) const;
  OutputQueue& sink(Listener who);
  qint64 clampNow(qint64 now);
  void advance(qint64 now);
  void noteUploads();

  SimConfig cfg_;
  DeviceMemory memory_;
  std::unique_ptr<Bootloader> boot_;
  std::unique_ptr<MonitorFirmware> firmware_;
  std::unique_ptr<GsmModem> modem_;
  std::unique_ptr<LineChatter> chatter_;

  OutputQueue queue_;
  OutputQueue unheardSink_;  // output nobody can make sense of; emptied at once
  qint64 lastNow_ = 0;
  qint32 hostRate_ = 0;
  bool lirBoot_ = false;  // Lir: the bootloader has the line
  int uploadsSeen_ = 0;
  int openings_ = 0;
  quint64 received_ = 0;
  quint64 unheard_ = 0;
};

}  // namespace lir2
