#pragma once

#include <QDBusMessage>
#include <QtGlobal>

namespace lir2 {

// The login manager's call for a shutdown request (see shutdown.h for the flags): PowerOff or
// Reboot of org.freedesktop.login1.Manager on the system bus, never interactive, because
// nothing may be shown to the user. The message is only built here; sending it is the
// system backend's business.
//
// logind has no counterpart of the force flag. Its shutdown is always the orderly one: every
// program is asked to end and is killed if it does not, and the delay inhibitors are waited
// for (at most InhibitDelayMaxSec). What force cannot do there is override a blocking
// inhibitor (a program that holds "shutdown" in block mode): the call is then refused, and
// the request reports false, as it does when the policy does not allow this user to shut down.
// So force is accepted and changes nothing in the call.
QDBusMessage logindShutdownMessage(quint32 flags);

namespace Logind {
inline constexpr char kService[] = "org.freedesktop.login1";
inline constexpr char kPath[] = "/org/freedesktop/login1";
inline constexpr char kInterface[] = "org.freedesktop.login1.Manager";
}  // namespace Logind

}  // namespace lir2
