#pragma once

#include <QByteArray>

#include "firmware/upload.h"
#include "protocol/line_session.h"
#include "serial/port_control.h"
#include "serial/result_code.h"

namespace lir2 {

// What an upload needs, taken from the opened firmware file and the options when it starts.
struct UploadJob {
  QByteArray programText;  // the firmware text without its header (prepareProgramText)
  FileVersions versions;   // the versions the device must report
  bool keepSettings = true;
  PortSettings port;  // which port; the upload always runs at 19200 bit/s
};

// The bootloader's fixed line rate.
inline constexpr qint32 kUploadRate = 19200;

// The upload as a run on the device line: the port reopened at 19200 bit/s and purged, the
// bootloader's handshake, the transfer, and the port closed at the end. What the upload shows
// comes to the windows as signals; the gauge moves often enough to look smooth (about a thousand
// steps), not with every character.
class UploadSession : public LineSession, private UploadWindow {
  Q_OBJECT
 public:
  explicit UploadSession(DeviceLink& link);

  // From the windows' thread: starts the upload of job.
  RunId start(const UploadJob& job);

  void halted() override;

 signals:
  void bootVersionShown(const QString& text);    // LVerBoot
  void powerBoardAppended(const QString& text);  // behind LVerPlatPow's text
  void progressed(qint64 value);                 // characters of the program text sent
  void elapsedShown(const QString& text);        // L_Time
  void stateShown(const QString& text);
  void errorShown(const QString& text);
  // The upload's end: its result code, and why: the port that went away or did not open, or the
  // versions that did not match. A port that does not open ends it at once with Result::OpenFailed
  // (nothing is sent into a port that is not there). A stopped run that had begun reports
  // Result::Interrupted. partial: the device had taken "run" and begun to receive the program,
  // which a failure leaves incomplete: the device needs a whole upload before it will work.
  void finished(RunId run, Result code, const QString& reason, bool partial);

 private:
  void begin(RunId run, const UploadJob& job);

  // UploadWindow, on the line's thread.
  void setBootVersionText(const QString& text) override;
  void appendPowerBoardText(const QString& text) override;
  void setProgress(qint64 value) override;
  void setElapsedText(const QString& text) override;
  void setStateText(const QString& text) override;
  void setErrorText(const QString& text) override;

  qint64 step_ = 1;
  qint64 length_ = 0;
  qint64 shown_ = 0;
};

}  // namespace lir2
