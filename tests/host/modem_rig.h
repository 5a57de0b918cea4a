#pragma once

// The modem dialogue against the simulated modem in process, in virtual time, with every byte
// the host writes and every failed primitive on record.
#include <QTemporaryDir>

#include <memory>

#include "app/app_windows.h"
#include "app/form_main.h"
#include "common/recorders.h"
#include "serial/clock.h"
#include "serial/exchange.h"
#include "serial/port_control.h"
#include "sim/device_model.h"
#include "sim/simulated_device.h"

// What went over the line, as the host's side of it saw it.
struct LineRecord {
  QByteArray written;
  int failedWrites = 0;
  int failedReads = 0;
  int purges = 0;
  qint32 openedAt = 0;
};

// The simulated device with a recorder in front of it.
class TappedDevice final : public SerialDevice {
 public:
  TappedDevice(std::shared_ptr<DeviceModel> model, Clock& clock, bool openFails,
               std::shared_ptr<LineRecord> record)
      : inner_(std::move(model), clock), record_(std::move(record)) {
    inner_.setOpenFails(openFails);
  }
  OpenResult open(qint32 rate) override {
    record_->openedAt = rate;
    return inner_.open(rate);
  }
  void close() override { inner_.close(); }
  bool isOpen() const override { return inner_.isOpen(); }
  void purge() override {
    ++record_->purges;
    inner_.purge();
  }
  Read readByte(quint8& byte) override {
    const Read r = inner_.readByte(byte);
    if (r == Read::Failed) ++record_->failedReads;
    return r;
  }
  bool waitForReadyRead(int ms) override { return inner_.waitForReadyRead(ms); }
  bool writeByte(quint8 byte) override {
    if (!inner_.writeByte(byte)) {
      ++record_->failedWrites;
      return false;
    }
    record_->written.append(static_cast<char>(byte));
    return true;
  }

 private:
  SimulatedSerialDevice inner_;
  std::shared_ptr<LineRecord> record_;
};

inline SimConfig modemConfig(bool silent = false) {
  SimConfig cfg = *simConfigForProfile(QStringLiteral("modem"));
  cfg.modem.silent = silent;
  return cfg;
}

// The exchange alone on the simulated modem, both logging switches on.
struct ModemLine {
  explicit ModemLine(const SimConfig& cfg = modemConfig(), bool openFails = false)
      : model(std::make_shared<DeviceModel>(cfg)) {
    port.setEntries({{"SIM", QString(), PortEntry::Kind::Simulated}});
    port.PortName = "SIM";
    switches.reads = switches.writes = true;
    openFails_ = openFails;
    port.OpenPort(19200);
    port.PurgePort();
  }
  const GsmModem& modem() const { return *model->modem(); }
  QByteArray replyLine() const {
    return QByteArray(reinterpret_cast<const char*>(ex.ReplyBuf.data()));
  }

  VirtualClock clock;
  std::shared_ptr<DeviceModel> model;
  std::shared_ptr<LineRecord> record = std::make_shared<LineRecord>();
  StatusRecorder status;
  LogRecorder log;
  Switches switches;
  bool openFails_ = false;
  PortControl port{&status, [this](const PortEntry&) {
                     return std::make_unique<TappedDevice>(model, clock, openFails_, record);
                   }};
  Exchange ex{port, clock, &log, &switches};
};

// All windows of the program on the simulated modem, in virtual time.
struct ModemApp {
  explicit ModemApp(const SimConfig& cfg = modemConfig(), bool openFails = false)
      : model(std::make_shared<DeviceModel>(cfg)) {
    AppOptions options;
    options.configPath = dir.filePath("data/config.txt");
    options.simulatedDevice = [this, openFails](const PortEntry&) {
      return std::make_unique<TappedDevice>(model, clock, openFails, record);
    };
    w = std::make_unique<AppWindows>(options, clock, sounds);
    w->FormMain->show();
  }
  TFormMain& main() { return *w->FormMain; }

  QTemporaryDir dir;
  VirtualClock clock;
  SoundRecorder sounds;
  std::shared_ptr<DeviceModel> model;
  std::shared_ptr<LineRecord> record = std::make_shared<LineRecord>();
  std::unique_ptr<AppWindows> w;
};
