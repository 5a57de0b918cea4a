// The machine's shutdown on Windows: enable the shutdown privilege, then ask to exit.
#include <QString>

#include <windows.h>

#include "host/system/system_shutdown.h"

namespace lir2 {

namespace {

class WindowsShutdown final : public ShutdownBackend {
 public:
  bool requestExit(quint32 flags) override {
    // Every Windows that runs this program is of the NT family, so the privilege is always
    // adjusted. Its outcome is not examined: a missing privilege shows up as a refused exit.
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) {
      TOKEN_PRIVILEGES privileges{};
      privileges.PrivilegeCount = 1;
      privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
      if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
      CloseHandle(token);
    }
    if (ExitWindowsEx(flags, 0)) return true;
    // Refused: the caller learns it from the result; the system's reason goes to the log.
    qWarning("ExitWindowsEx(%u) refused: %s", flags, qPrintable(qt_error_string(GetLastError())));
    return false;
  }
};

}  // namespace

std::unique_ptr<ShutdownBackend> makeSystemShutdownBackend() {
  return std::make_unique<WindowsShutdown>();
}

}  // namespace lir2
