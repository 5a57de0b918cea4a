#include "app/unix_signals.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <errno.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lir2 {

namespace {

// [0]: written by the handler; [1]: read on the event loop. Kept for the whole process, so a
// signal arriving late never writes into a closed or reused descriptor.
int signalFds[2] = {-1, -1};

void onTerminationSignal(int) {
  const int saved = errno;
  const char byte = 1;
  // Non-blocking: when the pair is full, a wake-up is already pending.
  (void)!::write(signalFds[0], &byte, 1);
  errno = saved;
}

}  // namespace

bool handleTerminationSignals(QObject* context, std::function<void()> action) {
  if (signalFds[0] < 0 &&
      ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, signalFds) != 0)
    return false;
  auto* notifier = new QSocketNotifier(signalFds[1], QSocketNotifier::Read, context);
  QObject::connect(notifier, &QSocketNotifier::activated, context, [action = std::move(action)] {
    char buf[16];
    while (::read(signalFds[1], buf, sizeof buf) > 0) {
    }
    action();
  });
  struct sigaction sa {};
  sa.sa_handler = onTerminationSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  return ::sigaction(SIGTERM, &sa, nullptr) == 0 && ::sigaction(SIGINT, &sa, nullptr) == 0;
}

}  // namespace lir2

#else

namespace lir2 {

bool handleTerminationSignals(QObject*, std::function<void()>) {
  return false;
}

}  // namespace lir2

#endif
