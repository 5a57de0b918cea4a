#pragma once

// Rigs for the upload: the dialogue alone on an exchange, and the whole set of windows, both
// against the simulated bootloader in process and in virtual time.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <ostream>

#include "app/app_windows.h"
#include "app/form_main.h"
#include "common/recorders.h"
#include "firmware/upload.h"
#include "serial/clock.h"
#include "serial/exchange.h"
#include "serial/port_control.h"
#include "sim/device_model.h"
#include "sim/simulated_device.h"
#include "tools/firmware_writer.h"

// Readable failure messages for texts.
inline void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}

// A single-byte text as a plain text view holds it: its CR LF breaks become paragraph ends.
inline QString asMemoText(const QByteArray& text) {
  return QString::fromLatin1(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

// The versions lir2-sim's boot profile reports, and the header of a file made for them.
inline const QByteArray kBootHeader = "lir3v12_4&15#";

inline SimConfig bootConfig(const std::function<void(BootConfig&)>& change = {}) {
  SimConfig cfg = *simConfigForProfile(QStringLiteral("boot"));
  if (change) change(cfg.boot);
  return cfg;
}

// The upload's window, remembered.
struct WindowRecorder final : UploadWindow {
  QString bootVersion, powerBoardAppended, elapsed, state, error;
  QStringList elapsedTexts;
  qint64 progress = 0;
  int progressSteps = 0;
  bool keep = true;
  std::function<void(int step)> onProgress;  // runs at the n-th step of the gauge

  void setBootVersionText(const QString& t) override { bootVersion = t; }
  void appendPowerBoardText(const QString& t) override { powerBoardAppended += t; }
  void setProgress(qint64 v) override {
    progress = v;
    if (onProgress) onProgress(++progressSteps);
  }
  void setElapsedText(const QString& t) override { elapsedTexts.append(elapsed = t); }
  void setStateText(const QString& t) override { state = t; }
  void setErrorText(const QString& t) override { error = t; }
};

// Handshake, then the transfer when the handshake went through, as the upload runs them.
inline quint8 runUpload(Exchange& ex, WindowRecorder& window, const QByteArray& programText,
                        FileVersions file = {3, 1, 5}) {
  BootUpload u(ex, window, file, window.keep);
  const quint8 code = u.BootHandshake('l');
  return code != 0 ? code : u.TransferProgram(programText);
}

// BootUpload on an open line to the simulated bootloader.
struct BootRig {
  VirtualClock clock;
  StatusRecorder status;
  LogRecorder log;
  Switches switches;
  WindowRecorder window;
  std::shared_ptr<DeviceModel> model;
  SimulatedSerialDevice* device = nullptr;
  PortControl port{&status, [this](const PortEntry&) {
                     auto d = std::make_unique<SimulatedSerialDevice>(model, clock);
                     device = d.get();
                     return d;
                   }};
  Exchange ex{port, clock, &log, &switches};

  explicit BootRig(const SimConfig& cfg) : model(std::make_shared<DeviceModel>(cfg)) {
    port.setEntries({PortEntry{QStringLiteral("SIM"), {}, PortEntry::Kind::Simulated}});
    port.PortName = QStringLiteral("SIM");
    port.OpenPort(19200);
    port.PurgePort();
  }
  const Bootloader::Upload& received() const { return model->bootloader()->upload(); }
  quint8 upload(const QByteArray& programText, FileVersions file = {3, 1, 5}) {
    return runUpload(ex, window, programText, file);
  }
};

// A line through which a test can act between two bytes the program writes.
class HookedDevice final : public SerialDevice {
 public:
  HookedDevice(std::unique_ptr<SerialDevice> inner, std::function<void(quint64)>& onWrite)
      : inner_(std::move(inner)), onWrite_(onWrite) {}
  OpenResult open(qint32 rate) override { return inner_->open(rate); }
  void close() override { inner_->close(); }
  bool isOpen() const override { return inner_->isOpen(); }
  void purge() override { inner_->purge(); }
  Read readByte(quint8& byte) override { return inner_->readByte(byte); }
  bool waitForReadyRead(int ms) override { return inner_->waitForReadyRead(ms); }
  bool writeByte(quint8 byte) override {
    const bool written = inner_->writeByte(byte);
    if (onWrite_) onWrite_(++writes_);
    return written;
  }

 private:
  std::unique_ptr<SerialDevice> inner_;
  std::function<void(quint64)>& onWrite_;
  quint64 writes_ = 0;
};

// The program's windows against the simulated device in process, in virtual time.
struct SimAppRig {
  explicit SimAppRig(const SimConfig& cfg = bootConfig())
      : model(std::make_shared<DeviceModel>(cfg)) {
    AppOptions options;
    options.configPath = dir.filePath(QStringLiteral("data/config.txt"));
    options.simulatedDevice = [this](const PortEntry&) -> std::unique_ptr<SerialDevice> {
      auto d = std::make_unique<SimulatedSerialDevice>(model, clock);
      device = d.get();
      return std::make_unique<HookedDevice>(std::move(d), onWrite);
    };
    w = std::make_unique<AppWindows>(options, clock, sounds);
    main().messageBox = [this](const QString& text) { messages.append(text); };
    main().show();
  }
  TFormMain& main() { return *w->FormMain; }
  const Bootloader::Upload& received() const { return model->bootloader()->upload(); }

  // Opens a file written into the rig's folder; null bytes: a file that does not exist.
  QString open(const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!bytes.isNull() && (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()))
      ADD_FAILURE() << "cannot write " << path.toStdString();
    f.close();
    main().FileOpen1Accept(path);
    return path;
  }

  DeviceLink& link() { return *w->link; }

  QTemporaryDir dir;
  VirtualClock clock;
  SoundRecorder sounds;
  QStringList messages;
  std::shared_ptr<DeviceModel> model;
  SimulatedSerialDevice* device = nullptr;
  std::function<void(quint64 written)> onWrite;  // after each byte the program writes
  std::unique_ptr<AppWindows> w;
};

// The records of a firmware text (everything from the first ':'), as the device stores them.
inline QList<QByteArray> hexRecordsOf(const QByteArray& text) {
  QList<QByteArray> records;
  for (QByteArray line : text.mid(text.indexOf(':')).split('\n')) {
    line = line.trimmed();
    if (line.startsWith(':')) records.append(QByteArray::fromHex(line.mid(1)));
  }
  return records;
}

// The image a run of bytes at an address becomes in the device.
inline std::map<quint32, quint8> imageOf(const QByteArray& bytes, quint32 address = 0) {
  std::map<quint32, quint8> image;
  for (int i = 0; i < bytes.size(); ++i) image[address + i] = static_cast<quint8>(bytes[i]);
  return image;
}
