#include "sms_modem.h"

#include "protocol/result_messages.h"
#include "serial/exchange.h"
#include "serial/port_control.h"
#include "serial/serial_device.h"

namespace lir2 {

namespace {

constexpr char kCtrlZ = 0x1A;
constexpr char kEscape = 0x1B;

char toCp1251(QChar c) {
  if (c.unicode() < 0x80) return static_cast<char>(c.unicode());
  for (int b = 0x80; b <= 0xFF; ++b)
    if (cp1251ToUnicode(static_cast<quint8>(b)) == c) return static_cast<char>(b);
  return '?';
}

}  // namespace

QByteArray SmsModem::sendCommand() {
  return QByteArray("at+cmgs=\"") + kDestination + "\"\r\n";
}

QByteArray SmsModem::commandBytes(const QString& text) {
  QByteArray bytes;
  bytes.reserve(text.size());
  for (QChar c : text) bytes.append(toCp1251(c));
  return bytes;
}

QByteArray SmsModem::messageBytes(const QString& text) {
  QByteArray bytes = commandBytes(text);
  bytes.removeIf([](char c) { return c == kCtrlZ || c == kEscape || c == '\0'; });
  return bytes;
}

// The modem's answers are only logged, never judged: a write or a read that fails shows in the
// port's log, and the steps after it go on as they would.
void SmsModem::readLines(int count) {
  for (int i = 0; i < count; ++i) (void)ex_.ModemReadLine(kReadTimeoutMs);
}

void SmsModem::write(QByteArrayView text) {
  (void)ex_.ModemWriteString(text, kPauseMs);
}

void SmsModem::forgetFailure() {
  ex_.ResultCode = Result::Ok;
}

void SmsModem::ModemInit() {
  write("atz\r\n");
  readLines(1);
  write("ate0\r\n");
  readLines(2);
  write("at+cmgf=1\r\n");
  readLines(1);
  forgetFailure();
}

void SmsModem::takeStaleAnswers() {
  const int mode = ex_.logReads() ? LogChar : LogNone;
  int taken = ex_.readReceived(mode, kStaleLimit);
  // A real port shows only what it has fetched from the system; one look without waiting
  // fetches the rest.
  SerialDevice* device = ex_.port().device();
  if (taken < kStaleLimit && device && ex_.port().PortOpen && device->waitForReadyRead(0))
    taken += ex_.readReceived(mode, kStaleLimit - taken);
}

Result SmsModem::SendSms(QByteArrayView text) {
  takeStaleAnswers();
  write(sendCommand());
  write(text);
  const char ctrlZ[] = {kCtrlZ};
  write(QByteArrayView(ctrlZ, 1));
  const Result code = ex_.ModemReadLine(kReadTimeoutMs);
  forgetFailure();
  return code;
}

void SmsModem::sendRaw(QByteArrayView text) {
  write(text);
  readLines(2);
  forgetFailure();
}

void SmsModem::receivePoll() {
  write("at+cnmi=1,1,0,0,0\r\n");
  readLines(2);
  write("at+cmgr=1\r\n");
  readLines(2);
  forgetFailure();
}

QString smsResultText(Result code) {
  return QStringLiteral("%1: %2").arg(codeOf(code)).arg(resultMessage(code));
}

}  // namespace lir2
