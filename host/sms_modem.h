#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>
#include "serial/result_code.h"

namespace lir2 {

class Exchange;

// The GSM modem dialogue on the shared exchange: text-mode set-up, a short message to the fixed
// number, a raw command, and the receive poll. Every write pauses 500 ms (the modem's time to
// answer; its prompts are not awaited) and every read waits up to 1000 ms per character, both
// through the exchange's clock. What the modem answers ends up in ReplyBuf and the read log.
class SmsModem {
 public:
  static constexpr int kPauseMs = 500;
  static constexpr quint16 kReadTimeoutMs = 1000;
  // The interval the send leaves on the receive poll's timer.
  static constexpr int kPollIntervalMs = 3000;
  // Most stale bytes a send takes off the line before its command.
  static constexpr int kStaleLimit = 4096;

  // The destination of every message. "+7 000..." has an area code that begins with 0, which
  // the Russian numbering plan never assigns, so no real subscriber can ever receive the
  // messages of a test; a site that uses the modem puts its own number here.
  static constexpr char kDestination[] = "+70000000000";

  explicit SmsModem(Exchange& exchange) : ex_(exchange) {}

  // "atz", "ate0" and "at+cmgf=1", reading one, two and one answer lines. The answers are not
  // examined: a silent modem costs one time-out per read and nothing else.
  void ModemInit();
  // Sends text to the destination: the command, the text, then Ctrl-Z alone; the result is
  // that of the answer line read after it, 0 or 20.
  Result SendSms(QByteArrayView text);
  // Writes the text exactly as given (no line end is added), then reads two lines.
  void sendRaw(QByteArrayView text);
  // The receive poll: new-message indications on, then message 1 read, two lines each.
  void receivePoll();

  // The command that starts a message to the destination, with its line end.
  static QByteArray sendCommand();
  // A typed text as the modem gets it: Windows-1251, characters it lacks as '?'. In a message
  // Ctrl-Z, Esc and NUL are dropped: the first two would end the message where the user typed
  // them, the last would cut it off.
  static QByteArray messageBytes(const QString& text);
  static QByteArray commandBytes(const QString& text);

 private:
  void readLines(int count);
  void write(QByteArrayView text);
  // The modem's answers that no read took (the echo before "ate0" gives one more line than
  // the set-up reads) are taken off the line and logged, so the line read after a message is
  // the modem's answer to that message.
  void takeStaleAnswers();
  // The failures of this dialogue are shown nowhere, so none may be left for the next run.
  void forgetFailure();

  Exchange& ex_;
};

// How the window shows a send's result: the code and its message.
QString smsResultText(Result code);

}  // namespace lir2
