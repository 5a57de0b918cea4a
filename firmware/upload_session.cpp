#include "firmware/upload_session.h"

#include <algorithm>

#include "protocol/device_link.h"
#include "protocol/result_messages.h"
#include "serial/result_code.h"

namespace lir2 {

UploadSession::UploadSession(DeviceLink& link) : LineSession(link) {
  setObjectName(QStringLiteral("UploadSession"));
}

RunId UploadSession::start(const UploadJob& job) {
  return startRun([this, job](RunId run) { begin(run, job); });
}

void UploadSession::begin(RunId run, const UploadJob& job) {
  DeviceLink& line = link();
  Exchange& ex = line.exchange();
  length_ = job.programText.size();
  step_ = std::max<qint64>(1, length_ / 1000);
  shown_ = 0;
  Result code = Result::Ok;
  bool began = false;
  if (line.reopen(job.port, kUploadRate) != Result::Ok) {
    code = Result::OpenFailed;
  } else {
    // The line is open: no error so far (the opening has just emptied the error bar).
    setErrorText(resultMessage(Result::Ok));
    BootUpload upload(ex, *this, job.versions, job.keepSettings);
    if (upload.BootHandshake('l') == Result::Ok) {
      began = true;
      // Its code is also left in ResultCode, which is read below for both steps.
      (void)upload.TransferProgram(job.programText);
    }
    code = ex.ResultCode;
  }
  // The report on the windows' side owns the code from here.
  ex.ResultCode = Result::Ok;
  // Why: the port that went away or did not open, or the versions that did not match.
  const QString reason = line.port().PortOpen ? failureDetail : line.port().problem();
  // A run that another has replaced meanwhile leaves the port to it.
  if (line.activeRun() == run) {
    line.closePort();
    line.endRun(run);
  }
  const bool partial = began && code != Result::Ok;
  toWindows([this, run, code, reason, partial] { emit finished(run, code, reason, partial); });
}

void UploadSession::halted() {
  link().closePort();
}

void UploadSession::setBootVersionText(const QString& text) {
  toWindows([this, text] { emit bootVersionShown(text); });
}
void UploadSession::appendPowerBoardText(const QString& text) {
  toWindows([this, text] { emit powerBoardAppended(text); });
}
void UploadSession::setProgress(qint64 value) {
  if (value - shown_ < step_ && value != length_) return;
  shown_ = value;
  toWindows([this, value] { emit progressed(value); });
}
void UploadSession::setElapsedText(const QString& text) {
  toWindows([this, text] { emit elapsedShown(text); });
}
void UploadSession::setStateText(const QString& text) {
  toWindows([this, text] { emit stateShown(text); });
}
void UploadSession::setErrorText(const QString& text) {
  toWindows([this, text] { emit errorShown(text); });
}

}  // namespace lir2
