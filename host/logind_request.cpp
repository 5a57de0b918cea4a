#include "logind_request.h"

#include "host/shutdown.h"

namespace lir2 {

QDBusMessage logindShutdownMessage(quint32 flags) {
  const bool reboot = (flags & ExitFlags::Reboot) != 0;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QString::fromLatin1(Logind::kService), QString::fromLatin1(Logind::kPath),
      QString::fromLatin1(Logind::kInterface),
      reboot ? QStringLiteral("Reboot") : QStringLiteral("PowerOff"));
  // interactive = false: no password prompt; a refusal is the answer instead.
  call << false;
  return call;
}

}  // namespace lir2
