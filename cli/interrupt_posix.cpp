// SIGINT and SIGTERM through sigaction; a self-pipe wakes an event loop.
#include <QEventLoop>
#include <QSocketNotifier>

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "cli/cli_app.h"
#include "cli/interrupt.h"

namespace lir2 {

namespace {

// The self-pipe of the signals: its read end wakes an event loop.
int g_wakeRead = -1;
int g_wakeWrite = -1;

extern "C" void onSignal(int sig) {
  // Only async-signal-safe steps: atomics and one byte into a pipe.
  if (!Interrupt::deliver(sig)) _exit(Exit::SignalBase + sig);
  const int saved = errno;
  if (g_wakeWrite >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_wakeWrite, &byte, 1);
  }
  errno = saved;
}

}  // namespace

namespace Interrupt {

void install() {
  int fds[2];
  if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
    g_wakeRead = fds[0];
    g_wakeWrite = fds[1];
  }
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

void quitOnSignal(QEventLoop& loop) {
  if (g_wakeRead < 0) return;
  auto* wake = new QSocketNotifier(g_wakeRead, QSocketNotifier::Read, &loop);
  QObject::connect(wake, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
}

}  // namespace Interrupt

}  // namespace lir2
