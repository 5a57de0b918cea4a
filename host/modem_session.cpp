#include "host/modem_session.h"

#include "protocol/device_link.h"

namespace lir2 {

ModemSession::ModemSession(DeviceLink& link) : LineSession(link), modem_(link.exchange()) {
  setObjectName(QStringLiteral("ModemSession"));
}

RunId ModemSession::start(const PortSettings& settings) {
  settings_ = settings;
  return startRun([this, settings](RunId) {
    // A port that does not open is shown in the error bar; the mode goes on, and each exchange
    // then fails with its own code.
    (void)link().reopen(settings, settings.BaudRate);
    modem_.ModemInit();
  });
}

void ModemSession::onLine(std::function<void()> step) {
  if (run() != 0 && link().lastStartedRun() == run()) {
    link().postToRun(run(), std::move(step));
    return;
  }
  startRun([this, settings = settings_, step = std::move(step)](RunId) {
    // As at the start: a port that does not open was shown, the step fails on its own.
    (void)link().reopen(settings, settings.BaudRate);
    step();
  });
}

void ModemSession::sendSms(const QByteArray& text) {
  onLine([this, text] {
    const Result code = modem_.SendSms(text);
    toWindows([this, code] { emit sent(code); });
  });
}

void ModemSession::sendRaw(const QByteArray& text) {
  onLine([this, text] { modem_.sendRaw(text); });
}

void ModemSession::receivePoll() {
  onLine([this] { modem_.receivePoll(); });
}

}  // namespace lir2
