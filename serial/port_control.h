#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <memory>

#include "serial/port_list.h"
#include "serial/result_code.h"
#include "serial/serial_device.h"

namespace lir2 {

class StatusBars;

// Which port and at which rate, as the hardware options leave them. The line takes a copy when a
// run starts, so a change in the options never touches a port that is in use.
struct PortSettings {
  QString PortName;
  qint32 BaudRate = 19200;
};

// The port state that the hardware options own: which port, at which rate, and the open line.
class PortControl {
 public:
  using DeviceFactory = std::function<std::unique_ptr<SerialDevice>(const PortEntry&)>;

  PortControl(StatusBars* status, DeviceFactory factory);
  ~PortControl();

  void setEntries(QList<PortEntry> entries) { entries_ = std::move(entries); }
  const QList<PortEntry>& entries() const { return entries_; }

  QString PortName;
  qint32 BaudRate = 19200;
  bool PortOpen = false;

  // Opens PortName at the rate: 0, or 2 when it cannot be opened ("Open COM port Error" in the
  // error bar). Port messages that do not stop the opening are shown but the result stays 0.
  Result OpenPort(qint32 rate);
  void ClosePort();
  void PurgePort();

  // Where port messages go (the error bar); may be null.
  StatusBars* status() const { return status_; }
  // The line of the last opening (the handle), even when that opening failed; may be null.
  SerialDevice* device() const { return device_.get(); }
  // Called by the byte primitives after a failed byte: a line that has gone away is closed.
  void noteLineFailure();
  // Why the port is not in use now, in words a user can act on: the last opening failed (the
  // path is missing, the port is busy, the user may not open it) or the open line went away.
  // Empty while the port is open, and for a line that gives no reason.
  const QString& problem() const { return problem_; }
  // The last opening failed (as against a line that went away after it opened).
  bool openFailed() const { return openFailed_; }
  // The line went away after the last successful opening, and no opening since has brought it
  // back (as against a port closed on purpose).
  bool lineLost() const { return lineLost_; }
  // For a run that had the line: "Связь с портом … потеряна: …", whether the line went away or
  // an opening since could not bring it back (then with why it does not open). Empty for a line
  // without a path (the simulated device).
  QString lostLineReason() const;
  // Closes the port and lets go of its handle, so the next opening makes a new one.
  void release();

 private:
  StatusBars* status_;
  DeviceFactory factory_;
  QList<PortEntry> entries_;
  std::unique_ptr<SerialDevice> device_;
  QString path_;  // what the last opening opened
  QString problem_;
  bool openFailed_ = false;
  bool lineLost_ = false;
};

}  // namespace lir2
