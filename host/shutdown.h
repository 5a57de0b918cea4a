#pragma once

#include <QtGlobal>

namespace lir2 {

// Asking the operating system to power the machine off or restart it.
//
// The request is a set of exit flags, whatever the platform: power off 8 or restart 2, plus 4
// when running programs may be closed without asking them (so 8, 12, 2 or 6). A backend turns
// the flags into the platform's own call.
namespace ExitFlags {
constexpr quint32 Reboot = 0x02;
constexpr quint32 Force = 0x04;
constexpr quint32 PowerOff = 0x08;
}  // namespace ExitFlags

// The flags of one request.
constexpr quint32 shutdownFlags(bool reboot, bool force) {
  return (reboot ? ExitFlags::Reboot : ExitFlags::PowerOff) | (force ? ExitFlags::Force : 0u);
}

// Where a shutdown request goes. The program gets the system's backend; tests a recording one.
class ShutdownBackend {
 public:
  virtual ~ShutdownBackend() = default;
  // Hands the request to the system; true when the system accepted it.
  virtual bool requestExit(quint32 flags) = 0;
};

// The request as the main window makes it: false when there is nobody to ask.
inline bool requestShutdown(ShutdownBackend* backend, bool reboot, bool force) {
  return backend != nullptr && backend->requestExit(shutdownFlags(reboot, force));
}

}  // namespace lir2
