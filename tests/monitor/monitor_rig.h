#pragma once

// The monitor run without its window: the exchange, the frames, the images and the poll cycle
// on a line of a test's choosing, in virtual time, with a surface that records what the cycle
// shows and how often it decodes.
#include <QRegularExpression>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

#include "common/recorders.h"
#include "common/scripted_device.h"
#include "monitor/monitor_run.h"
#include "protocol/frames.h"
#include "protocol/report.h"
#include "serial/exchange.h"
#include "serial/port_control.h"
#include "serial/window_timer.h"
#include "sim/device_model.h"
#include "sim/simulated_device.h"

// Everything the host wrote on any opening of the line, and a way to make one write fail.
struct LineRecord {
  QByteArray written;
  int opens = 0;
  // Called with what was written so far and the next byte; true makes that write fail.
  std::function<bool(const QByteArray&, quint8)> failWrite;
};

// Passes everything on to the line it wraps and keeps a record of it.
class RecordingDevice final : public SerialDevice {
 public:
  RecordingDevice(std::unique_ptr<SerialDevice> inner, std::shared_ptr<LineRecord> record)
      : inner_(std::move(inner)), record_(std::move(record)) {}
  OpenResult open(qint32 rate) override {
    ++record_->opens;
    return inner_->open(rate);
  }
  void close() override { inner_->close(); }
  bool isOpen() const override { return inner_->isOpen(); }
  void purge() override { inner_->purge(); }
  Read readByte(quint8& byte) override { return inner_->readByte(byte); }
  bool waitForReadyRead(int ms) override { return inner_->waitForReadyRead(ms); }
  bool writeByte(quint8 byte) override {
    if (record_->failWrite && record_->failWrite(record_->written, byte)) return false;
    if (!inner_->writeByte(byte)) return false;
    record_->written.append(static_cast<char>(byte));
    return true;
  }

 private:
  std::unique_ptr<SerialDevice> inner_;
  std::shared_ptr<LineRecord> record_;
};

// The text commands in what the host wrote, as "RD050", "PR400", ...
inline QStringList textCommands(const QByteArray& written) {
  static const QRegularExpression command(QStringLiteral("PC(RD|PR|WR)([0-9A-F]{3})"));
  QStringList found;
  auto it = command.globalMatch(QString::fromLatin1(written));
  while (it.hasNext()) {
    const auto m = it.next();
    found << m.captured(1) + m.captured(2);
  }
  return found;
}

// "RD" + the address in three hex digits.
inline QString readOf(int address) {
  return QStringLiteral("RD") + QString::number(address, 16).toUpper().rightJustified(3, '0');
}
inline QString blockOf(int address) {
  return QStringLiteral("PR") + QString::number(address, 16).toUpper().rightJustified(3, '0');
}

struct RecordingSurface final : MonitorSurface {
  QString watchedText = QStringLiteral("0");
  QStringList watchedShown;
  std::vector<int> activity;
  int eepromDecodes = 0;
  int ramDecodes = 0;
  int closes = 0;
  std::function<void()> onDecodeEeprom;
  std::function<void()> onFormClose;

  QString watchedAddressText() const override { return watchedText; }
  void showWatchedValue(const QString& text) override { watchedShown << text; }
  void showActivity(int position) override { activity.push_back(position); }
  void DecodeEeprom() override {
    ++eepromDecodes;
    if (onDecodeEeprom) onDecodeEeprom();
  }
  void DecodeRam() override { ++ramDecodes; }
  void FormClose() override {
    ++closes;
    if (onFormClose) onFormClose();
  }
};

// The simulated device of a profile, with its measurements held still so that images can be
// compared with it.
inline std::shared_ptr<DeviceModel> stillDevice(const QString& profile) {
  SimConfig cfg = *simConfigForProfile(profile);
  cfg.firmware.drift = false;
  return std::make_shared<DeviceModel>(cfg);
}

struct RunRig {
  VirtualClock clock;
  std::shared_ptr<DeviceModel> model;
  std::shared_ptr<LineRecord> record = std::make_shared<LineRecord>();
  // Makes the line behind each opening; by default the simulated device of the model.
  std::function<std::unique_ptr<SerialDevice>()> makeLine;
  StatusRecorder status;
  SoundRecorder sounds;
  LogRecorder log;
  Switches switches;
  PortControl port{&status, [this](const PortEntry&) -> std::unique_ptr<SerialDevice> {
                     return std::make_unique<RecordingDevice>(makeLine(), record);
                   }};
  Exchange ex{port, clock, &log, &switches};
  FrameState frameState;
  Frames frames{ex, frameState};
  DeviceImages images;
  PollState poll;
  WindowTimer timer3;
  RecordingSurface surface;
  FinalReport report{status, sounds, [] { return true; }};
  MonitorRun run{ex, frames, frameState, images, poll, timer3, surface};

  explicit RunRig(const QString& profile = QStringLiteral("gen9")) : model(stillDevice(profile)) {
    makeLine = [this] { return std::make_unique<SimulatedSerialDevice>(model, clock); };
    port.setEntries({{"COM1", "COM1", PortEntry::Kind::System}});
    port.PortName = "COM1";
    run.setFinalReport(&report);
    surface.onFormClose = [this] {
      timer3.setInterval(0);
      timer3.setEnabled(false);
    };
  }
  // What the main window does when the run starts.
  void start() {
    port.ClosePort();
    port.OpenPort(port.BaudRate);
    port.PurgePort();
    run.prepareRun();
  }
  // One tick as the timer gives it: its pause first. Returns the text commands it sent.
  QStringList tick() {
    if (timer3.isActive()) clock.advance(timer3.interval());
    const qsizetype before = record->written.size();
    run.PollTick();
    return textCommands(record->written.mid(before));
  }
  // The device's memory now.
  const DeviceMemory::Eeprom& deviceEeprom() { return model->memory().eeprom(); }
  DeviceMemory::Ram deviceRam() { return model->memory().ram(clock.nowMs()); }
};
