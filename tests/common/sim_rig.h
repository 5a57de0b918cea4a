#pragma once

// The simulated device in process, in virtual time: behind an exchange alone (SimLine) or behind
// all the program's windows (SimApp). Every byte the host writes is on record, and a test can act
// after any of them.
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include "app/app_windows.h"
#include "app/form_main.h"
#include "common/recorders.h"
#include "protocol/device_link.h"
#include "sim/simulated_device.h"

using namespace lir2;

inline SimConfig simProfile(const char* name) {
  return *simConfigForProfile(QString::fromLatin1(name));
}

struct SimWire {
  explicit SimWire(const SimConfig& cfg) : model(std::make_shared<DeviceModel>(cfg)) {}
  PortControl::DeviceFactory factory(bool openFails = false) {
    return [this, openFails](const PortEntry&) { return std::make_unique<Tap>(*this, openFails); };
  }

  VirtualClock clock;
  std::shared_ptr<DeviceModel> model;
  SimulatedSerialDevice* device = nullptr;  // the last one opened
  QByteArray wire;                          // every byte the host wrote
  std::function<void()> onWrite;            // after each byte the host tries to write

 private:
  struct Tap final : SerialDevice {
    Tap(SimWire& w, bool openFails) : w(w), inner(w.model, w.clock) {
      inner.setOpenFails(openFails);
      w.device = &inner;
    }
    OpenResult open(qint32 rate) override { return inner.open(rate); }
    void close() override { inner.close(); }
    bool isOpen() const override { return inner.isOpen(); }
    void purge() override { inner.purge(); }
    Read readByte(quint8& byte) override { return inner.readByte(byte); }
    bool waitForReadyRead(int ms) override { return inner.waitForReadyRead(ms); }
    bool writeByte(quint8 byte) override {
      const bool written = inner.writeByte(byte);
      if (written) w.wire.append(static_cast<char>(byte));
      if (w.onWrite) w.onWrite();
      return written;
    }
    SimWire& w;
    SimulatedSerialDevice inner;
  };
};

// The exchange on the simulated device, opened at 19200 bit/s and purged.
struct SimLine : SimWire {
  explicit SimLine(const SimConfig& cfg) : SimWire(cfg) {
    port.setEntries({{QStringLiteral("SIM"), {}, PortEntry::Kind::Simulated}});
    port.PortName = QStringLiteral("SIM");
    EXPECT_EQ(port.OpenPort(19200), Result::Ok);
    port.PurgePort();
  }
  StatusRecorder status;
  LogRecorder log;
  Switches switches;
  PortControl port{&status, factory()};
  Exchange ex{port, clock, &log, &switches};
};

// The program's windows on the simulated device; message boxes are only recorded.
struct SimApp : SimWire {
  explicit SimApp(const SimConfig& cfg, bool openFails = false) : SimWire(cfg) {
    AppOptions options;
    options.configPath = dir.filePath(QStringLiteral("data/config.txt"));
    options.simulatedDevice = factory(openFails);
    w = std::make_unique<AppWindows>(options, clock, sounds);
    main().dialogs.error = [this](const QString& text) { messages.append(text); };
    main().show();
  }
  TFormMain& main() { return *w->FormMain; }
  DeviceLink& link() { return *w->link; }

  QTemporaryDir dir;
  SoundRecorder sounds;
  QStringList messages;
  std::unique_ptr<AppWindows> w;
};
