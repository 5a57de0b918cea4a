#pragma once

// The modem dialogue against the simulated modem in process, in virtual time.
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

inline SimConfig modemConfig(bool silent = false) {
  SimConfig cfg = *simConfigForProfile(QStringLiteral("modem"));
  cfg.modem.silent = silent;
  return cfg;
}

// Opens the simulated device, or fails to.
inline auto simulatedModem(std::shared_ptr<DeviceModel> model, Clock& clock, bool openFails) {
  return [=, &clock](const PortEntry&) {
    auto d = std::make_unique<SimulatedSerialDevice>(model, clock);
    d->setOpenFails(openFails);
    return d;
  };
}

// The simulated device, with every byte the host put on the line on record.
struct TappedDevice final : SerialDevice {
  TappedDevice(std::shared_ptr<DeviceModel> model, Clock& clock, QByteArray& wire)
      : inner(std::move(model), clock), wire(wire) {}
  OpenResult open(qint32 rate) override { return inner.open(rate); }
  void close() override { inner.close(); }
  bool isOpen() const override { return inner.isOpen(); }
  void purge() override { inner.purge(); }
  Read readByte(quint8& byte) override { return inner.readByte(byte); }
  bool waitForReadyRead(int ms) override { return inner.waitForReadyRead(ms); }
  bool writeByte(quint8 byte) override {
    if (!inner.writeByte(byte)) return false;
    wire.append(static_cast<char>(byte));
    return true;
  }

  SimulatedSerialDevice inner;
  QByteArray& wire;
};

// The exchange alone on the simulated modem, both logging switches on.
struct ModemLine {
  ModemLine() {
    port.setEntries({{"SIM", QString(), PortEntry::Kind::Simulated}});
    port.PortName = "SIM";
    switches.reads = switches.writes = true;
    port.OpenPort(19200);
    port.PurgePort();
  }

  VirtualClock clock;
  std::shared_ptr<DeviceModel> model = std::make_shared<DeviceModel>(modemConfig());
  QByteArray wire;  // what the host wrote
  StatusRecorder status;
  LogRecorder log;
  Switches switches;
  PortControl port{&status, [this](const PortEntry&) {
                     return std::make_unique<TappedDevice>(model, clock, wire);
                   }};
  Exchange ex{port, clock, &log, &switches};
};

// All windows of the program on the simulated modem, in virtual time.
struct ModemApp {
  explicit ModemApp(bool silent = false, bool openFails = false)
      : model(std::make_shared<DeviceModel>(modemConfig(silent))) {
    AppOptions options;
    options.configPath = dir.filePath("data/config.txt");
    options.simulatedDevice = simulatedModem(model, clock, openFails);
    w = std::make_unique<AppWindows>(options, clock, sounds);
    w->FormMain->show();
  }
  TFormMain& main() { return *w->FormMain; }

  QTemporaryDir dir;
  VirtualClock clock;
  SoundRecorder sounds;
  std::shared_ptr<DeviceModel> model;
  std::unique_ptr<AppWindows> w;
};
