#include "firmware/upload_session.h"

#include "protocol/device_link.h"
#include "protocol/result_messages.h"
#include "serial/result_code.h"

quint8 runUploadSession(DeviceLink& link, const UploadJob& job, UploadWindow& window) {
  Exchange& ex = link.exchange();
  link.beginRun();
  ex.ResultCode = Result::Ok;
  if (link.reopen(job.port, kUploadRate) != Result::Ok) return ex.ResultCode = Result::OpenFailed;
  // The line is open: no error so far (the opening has just emptied the error bar).
  window.setErrorText(resultMessage(Result::Ok));
  BootUpload upload(ex, window, job.versions, job.keepSettings);
  if (upload.BootHandshake('l') == Result::Ok) upload.TransferProgram(job.programText);
  return ex.ResultCode;
}
