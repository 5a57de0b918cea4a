#include "cli/cli_line.h"

#include <QFileInfo>

#include <algorithm>

#include "monitor/monitor_run.h"
#include "monitor/monitor_session.h"
#include "protocol/device_link.h"
#include "protocol/result_messages.h"
#include "serial/port_reason.h"
#include "serial/qt_serial_device.h"
#include "serial/result_code.h"
#include "serial/shown_text.h"
#include "sim/device_model.h"
#include "sim/sim_config.h"
#include "sim/simulated_device.h"

namespace lir2 {

namespace {

const QString kSimulatedName = QStringLiteral("Симулятор LIR");

// The rates of the hardware options' list.
constexpr qint32 kRates[] = {2400, 9600, 19200, 57600, 115200};

}  // namespace

// Keeps what the last opening said, so a failure can be explained after the line gave up.
class CliLine::RecordingDevice final : public SerialDevice {
 public:
  RecordingDevice(std::unique_ptr<SerialDevice> inner, SerialDevice::OpenResult& last)
      : inner_(std::move(inner)), last_(last) {}
  OpenResult open(qint32 rate) override { return last_ = inner_->open(rate); }
  void close() override { inner_->close(); }
  bool isOpen() const override { return inner_->isOpen(); }
  void purge() override { inner_->purge(); }
  Read readByte(quint8& byte) override { return inner_->readByte(byte); }
  bool waitForReadyRead(int ms) override { return inner_->waitForReadyRead(ms); }
  bool writeByte(quint8 byte) override { return inner_->writeByte(byte); }

 private:
  std::unique_ptr<SerialDevice> inner_;
  SerialDevice::OpenResult& last_;
};

std::optional<LineChoice> lineChoice(const Invocation& inv, QString& error) {
  LineChoice choice;
  choice.simulated = inv.has(QStringLiteral("--simulated"));
  choice.path = inv.value(QStringLiteral("--port"));
  const bool hasPort = inv.has(QStringLiteral("--port"));
  if (hasPort == choice.simulated) {
    error = hasPort ? QStringLiteral("укажите что-то одно: --port или --simulated")
                    : QStringLiteral("укажите порт: --port ПУТЬ или --simulated");
    return std::nullopt;
  }
  if (hasPort && choice.path.isEmpty()) {
    error = QStringLiteral("пустой путь порта в --port");
    return std::nullopt;
  }
  if (hasPort) {
    const PortArgument port = resolvePortArgument(choice.path);
    choice.path = port.path;
    choice.note = port.note;
  }
  if (inv.has(QStringLiteral("--sim-profile"))) {
    if (!choice.simulated) {
      error = QStringLiteral("--sim-profile действует только вместе с --simulated");
      return std::nullopt;
    }
    choice.profile = inv.value(QStringLiteral("--sim-profile"));
    if (!simConfigForProfile(choice.profile)) {
      error = QStringLiteral("неизвестный профиль симулятора «%1» (есть: %2)")
                  .arg(choice.profile, simProfileNames().join(QStringLiteral(", ")));
      return std::nullopt;
    }
  }
  return choice;
}

qint32 monitorRate(const Invocation& inv) {
  if (!inv.has(QStringLiteral("--rate"))) return 19200;
  bool ok = false;
  const qint32 rate = inv.value(QStringLiteral("--rate")).toInt(&ok);
  return ok && std::find(std::begin(kRates), std::end(kRates), rate) != std::end(kRates) ? rate : 0;
}

std::optional<LineChoice> monitorLine(const Invocation& inv, qint32& rate) {
  QString error;
  const std::optional<LineChoice> choice = lineChoice(inv, error);
  rate = monitorRate(inv);
  if (choice && rate != 0) return choice;
  printError(shownText(choice ? QStringLiteral("скорость «%1» не из списка «Железо»: 2400, 9600, "
                                               "19200, 57600, 115200")
                                    .arg(inv.value(QStringLiteral("--rate")))
                              : error));
  return std::nullopt;
}

CliLine::CliLine(const LineChoice& choice) : choice_(choice) {
  PortEntry entry;
  if (choice.simulated) {
    model_ = std::make_shared<DeviceModel>(*simConfigForProfile(choice.profile));
    entry = {kSimulatedName, QString(), PortEntry::Kind::Simulated};
  } else {
    entry = {choice.path, choice.path, PortEntry::Kind::Path};
  }
  auto factory = [this](const PortEntry& e) -> std::unique_ptr<SerialDevice> {
    std::unique_ptr<SerialDevice> inner;
    if (e.kind == PortEntry::Kind::Simulated)
      inner = std::make_unique<SimulatedSerialDevice>(model_, clock_);
    else
      inner = std::make_unique<QtSerialDevice>(e.path);
    return std::make_unique<RecordingDevice>(std::move(inner), lastOpen_);
  };
  link_ = std::make_unique<DeviceLink>(factory, QList<PortEntry>{entry}, clock_, this, nullptr,
                                       nullptr);
}

CliLine::~CliLine() {
  Interrupt::watch(nullptr);
  link_->shutDown();
}

PortSettings CliLine::settings(qint32 rate) const {
  PortSettings s;
  s.PortName = choice_.simulated ? kSimulatedName : choice_.path;
  s.BaudRate = rate;
  return s;
}

QString CliLine::portText() const {
  return choice_.simulated ? QStringLiteral("%1 (профиль %2)").arg(kSimulatedName, choice_.profile)
                           : shownText(choice_.path);
}

void CliLine::setErrorText(const QString& text) {
  // The opening's own failure is told by finish(); what remains are the line settings the
  // port refused, which leave it open but deserve a word.
  if (text.isEmpty() || !lastOpen_.opened) return;
  printError(QStringLiteral("предупреждение: %1%2")
                 .arg(text, lastOpen_.detail.isEmpty()
                                ? QString()
                                : QStringLiteral(" (%1)").arg(lastOpen_.detail)));
}

int CliLine::finish(Result code, bool told) {
  // The line's own failure closes the port; whether it did tells a vanished line from a
  // silent one.
  const bool lineLost = link_->port().lineLost();
  link_->closePort();
  if (code == Result::Ok) return Exit::Ok;
  if (code == Result::Interrupted && Interrupt::caught()) {
    printError(resultMessage(code));
    return Exit::SignalBase + Interrupt::caught();
  }
  if (code == Result::OpenFailed) {
    printError(
        QStringLiteral("%1: %2%3")
            .arg(resultMessage(code), lastOpen_.detail.isEmpty() ? portText() : lastOpen_.detail,
                 choice_.note.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(choice_.note)));
    return Exit::PortUnavailable;
  }
  if (lineLost && !choice_.simulated &&
      (code == Result::WriteFailed || code == Result::NoReply || code == Result::ReadFailed)) {
    // Whether a write or a read met the loss first is chance: one status for both.
    printError(resultMessage(code) + QLatin1Char('\n') +
               portVanishedReason(portSystemLocation(choice_.path)));
    return Exit::LineLost;
  }
  if (answeringRate_ != 0) {
    const QString hint = QStringLiteral("Устройство отвечает на скорости %1 — укажите --rate %1")
                             .arg(answeringRate_);
    printError(told ? hint : resultMessage(code) + QStringLiteral(". ") + hint);
  } else if (!told) {
    printError(resultMessage(code));
  }
  // Codes above 27 are shown as 27, and so they end; no code then meets the statuses above.
  return std::min(codeOf(code), codeOf(Result::Unknown));
}

Result startMonitorRun(CliLine& line, MonitorSession& session, qint32 rate) {
  DeviceLink& link = line.link();
  session.start(line.settings(rate));
  if (link.allRunsStopped()) return Result::Interrupted;
  return link.port().PortOpen ? Result::Ok : Result::OpenFailed;
}

}  // namespace lir2
