#pragma once

// The device line of one lir2-cli run: a port path or the built-in simulated device, the
// DeviceLink on it (working on the calling thread), Ctrl-C, and how a failed run is told.
#include <QString>

#include <memory>
#include <optional>

#include "cli/cli_app.h"
#include "cli/interrupt.h"
#include "serial/clock.h"
#include "serial/port_control.h"
#include "serial/result_code.h"
#include "serial/serial_device.h"
#include "serial/status.h"

namespace lir2 {

class DeviceLink;
class DeviceModel;
class MonitorSession;

// What the command line chose to talk to.
struct LineChoice {
  QString path;  // --port, a relative name taken in the current folder or under /dev
  QString note;  // how a relative --port was taken; empty for a path that stands as typed
  bool simulated = false;
  QString profile = QStringLiteral("lir");
};

// --port, --simulated and --sim-profile; nothing with the usage error's text in error.
std::optional<LineChoice> lineChoice(const Invocation& inv, QString& error);
// --rate: one of the rates of the hardware options, 19200 when not given; 0 when not allowed.
qint32 monitorRate(const Invocation& inv);
// Both for a subcommand that talks to the monitor: nothing, the usage error told, when either
// is wrong.
std::optional<LineChoice> monitorLine(const Invocation& inv, qint32& rate);

class CliLine final : public StatusBars {
 public:
  explicit CliLine(const LineChoice& choice);
  ~CliLine() override;

  DeviceLink& link() { return *link_; }
  PortSettings settings(qint32 rate) const;
  // "/dev/ttyUSB0" or "Симулятор LIR (профиль lir)".
  QString portText() const;

  // Ends a run that returned code: the port closed, the message of the code (with why the port
  // did not open or why the line went away) on standard error, and the exit status. With told,
  // the caller has already said the code's message: only what it lacks follows.
  // A device found answering at another rate than --rate: finish() names it with the option.
  int finish(Result code, bool told = false);
  void noteAnsweringRate(qint32 rate) { answeringRate_ = rate; }

  // StatusBars: port messages that do not stop an opening are shown as warnings.
  void setErrorText(const QString& text) override;
  void setStateText(const QString&) override {}
  void setFileNameText(const QString&) override {}

 private:
  class RecordingDevice;

  LineChoice choice_;
  SteadyClock clock_;
  std::shared_ptr<DeviceModel> model_;
  SerialDevice::OpenResult lastOpen_;
  std::unique_ptr<DeviceLink> link_;
  qint32 answeringRate_ = 0;
};

// Starts session's monitor run on line at rate: 0 when the port is open and the run has the line,
// Result::Interrupted after Ctrl-C, Result::OpenFailed when the port did not open.
Result startMonitorRun(CliLine& line, MonitorSession& session, qint32 rate);

}  // namespace lir2
