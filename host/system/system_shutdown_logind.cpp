// The machine's shutdown through the login manager (Linux and other systemd hosts).
#include <QDBusConnection>
#include <QDBusMessage>

#include "host/logind_request.h"
#include "host/system/system_shutdown.h"

namespace lir2 {

namespace {

class LogindShutdown final : public ShutdownBackend {
 public:
  bool requestExit(quint32 flags) override {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return false;
    // logind answers at once: with a non-interactive call the policy decides without a prompt,
    // and the shutdown itself runs after the reply.
    const QDBusMessage reply = bus.call(logindShutdownMessage(flags), QDBus::Block, kReplyMs);
    return reply.type() == QDBusMessage::ReplyMessage;
  }

 private:
  static constexpr int kReplyMs = 10000;
};

}  // namespace

std::unique_ptr<ShutdownBackend> makeSystemShutdownBackend() {
  return std::make_unique<LogindShutdown>();
}

}  // namespace lir2
