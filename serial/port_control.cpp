#include "port_control.h"

#include <QFileInfo>

#include "serial/port_reason.h"
#include "serial/result_code.h"
#include "serial/status.h"

namespace lir2 {

PortControl::PortControl(StatusBars* status, DeviceFactory factory)
    : status_(status), factory_(std::move(factory)) {}

PortControl::~PortControl() {
  release();
}

Result PortControl::OpenPort(qint32 rate) {
  // A new handle for every opening, as the operating system gives; the old one is closed first
  // by every caller.
  device_.reset();
  for (const PortEntry& entry : entries_) {
    if (entry.name == PortName) {
      if (factory_) device_ = factory_(entry);
      break;
    }
  }
  path_.clear();
  for (const PortEntry& entry : entries_)
    if (entry.name == PortName && entry.kind != PortEntry::Kind::Simulated)
      path_ = entry.path.isEmpty() ? entry.name : entry.path;
  SerialDevice::OpenResult result;
  if (device_) {
    result = device_->open(rate);
  } else {
    result.message = QStringLiteral("Open COM port Error");
  }
  if (!result.opened) {
    openFailed_ = true;
    problem_ = result.detail;
    QString text =
        result.message.isEmpty() ? QStringLiteral("Open COM port Error") : result.message;
    if (!problem_.isEmpty()) text += QStringLiteral(": ") + problem_;
    if (status_) status_->setErrorText(text);
    return Result::OpenFailed;
  }
  openFailed_ = false;
  lineLost_ = false;
  problem_.clear();
  PortOpen = true;
  if (status_) status_->setErrorText(result.message);
  return Result::Ok;
}

void PortControl::ClosePort() {
  if (device_ && PortOpen) device_->close();
  PortOpen = false;
}

void PortControl::PurgePort() {
  if (device_ && PortOpen) device_->purge();
}

void PortControl::release() {
  ClosePort();
  device_.reset();
}

QString PortControl::lostLineReason() const {
  if (path_.isEmpty()) return {};
  if (!openFailed_ && !problem_.isEmpty()) return problem_;
  const bool stillThere = QFileInfo::exists(path_);
  QString text = explainVanished(path_, stillThere).text;
  // A path that is still there yet does not open says more than "the line closed".
  if (openFailed_ && stillThere && !problem_.isEmpty())
    text += QStringLiteral(" Снова открыть его не удалось: ") + problem_;
  return text;
}

void PortControl::noteLineFailure() {
  if (PortOpen && device_ && !device_->isOpen()) {
    ClosePort();
    lineLost_ = true;
    // A system port says why; the simulated device has no path to look at.
    if (!path_.isEmpty()) problem_ = portVanishedReason(path_);
  }
}

}  // namespace lir2
