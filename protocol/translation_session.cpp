#include "protocol/translation_session.h"

#include "protocol/device_link.h"
#include "serial/result_code.h"
#include "serial/window_timer.h"

namespace lir2 {

TranslationSession::TranslationSession(DeviceLink& link) : LineSession(link) {
  setObjectName(QStringLiteral("TranslationSession"));
  timer_ = new WindowTimer(this);
  timer_->setObjectName(QStringLiteral("TranslationTimer"));
  connect(timer_, &WindowTimer::timeout, this, &TranslationSession::tick);
}

RunId TranslationSession::start(const PortSettings& settings) {
  return startRun([this, settings](RunId run) { begin(run, settings); });
}

void TranslationSession::begin(RunId run, const PortSettings& settings) {
  running_ = run;
  if (link().reopen(settings, settings.BaudRate) != Result::Ok) {
    // Nothing can come through a port that did not open: the run ends with the reason.
    endWith(Result::OpenFailed);
    return;
  }
  timer_->setInterval(kIntervalMs);
  timer_->setEnabled(true);
}

void TranslationSession::tick() {
  if (!holdsLine()) return;
  Exchange& ex = link().exchange();
  // Translation shows what comes and reports nothing: a quiet line is no failure, so its
  // time-out must not linger in ResultCode and surface in the next run.
  if (ex.ReadByte(LogChar) != Result::Ok) {
    ex.ResultCode = Result::Ok;
    // A line that has gone cannot come back by waiting: the run ends and says so.
    if (!link().port().PortOpen && !link().stopRequested()) endWith(Result::ReadFailed);
    return;
  }
  // One byte a tick is ten a second: a device that says more would fill the line's buffer
  // until bytes are lost. What has already arrived is shown at once.
  ex.readReceived(LogChar, kBurst);
}

void TranslationSession::endWith(Result code) {
  timer_->setEnabled(false);
  const RunId run = running_;
  const QString reason = link().port().problem();
  link().closePort();
  link().endRun(run);
  toWindows([this, run, code, reason] { emit ended(run, code, reason); });
}

void TranslationSession::halted() {
  timer_->setEnabled(false);
  link().closePort();
}

}  // namespace lir2
