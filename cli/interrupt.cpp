#include "cli/interrupt.h"

#include <atomic>

#include "monitor/monitor_session.h"
#include "protocol/device_link.h"

namespace lir2 {

namespace {

std::atomic<int> g_signal{0};
std::atomic<DeviceLink*> g_link{nullptr};
std::atomic<MonitorSession*> g_restore{nullptr};
// The handler runs inside a signal (or on a thread of the system's): only lock-free steps.
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<DeviceLink*>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);  // DeviceLink's stop flag

}  // namespace

namespace Interrupt {

bool deliver(int sig) {
  int none = 0;
  if (!g_signal.compare_exchange_strong(none, sig)) return false;
  // A restore stops between two cells, as the window's Стоп does; anything else at its next byte.
  if (MonitorSession* restore = g_restore.load())
    restore->requestRestoreStop();
  else if (DeviceLink* link = g_link.load())
    link->stopAllRuns();
  return true;
}

void watch(DeviceLink* link) {
  g_link.store(link);
  if (link && g_signal.load() != 0) link->stopAllRuns();
}

void watchRestore(MonitorSession* session) {
  g_restore.store(session);
  if (session && g_signal.load() != 0) session->requestRestoreStop();
}

int caught() {
  return g_signal.load();
}

}  // namespace Interrupt

}  // namespace lir2
