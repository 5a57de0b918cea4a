#pragma once

#include <QByteArray>

#include "host/sms_modem.h"
#include "protocol/line_session.h"
#include "serial/port_control.h"
#include "serial/result_code.h"

namespace lir2 {

// The modem mode on the device line: the port opened at the configured rate and the modem set up
// for text messages, then messages and raw commands as the window asks. The mode has no stop of
// its own; a later run mode ends it. A message or a command asked for after another run mode has
// taken the line opens the port again at the same rate and goes out as a new modem run, so the
// window works whatever ran before it.
class ModemSession : public LineSession {
  Q_OBJECT
 public:
  explicit ModemSession(DeviceLink& link);

  // From the windows' thread.
  // The mode's start: the port reopened at the configured rate, then the modem's set-up.
  RunId start(const PortSettings& settings);
  // A short message to the fixed destination; sent tells its result.
  void sendSms(const QByteArray& text);
  // The text exactly as given, then two answer lines read.
  void sendRaw(const QByteArray& text);
  // The receive poll.
  void receivePoll();

 signals:
  void sent(Result code);

 private:
  // Runs step in the modem's run, or in a new one when another run has taken the line.
  void onLine(std::function<void()> step);

  SmsModem modem_;
  PortSettings settings_;  // of the mode's start, on the windows' thread
};

}  // namespace lir2
