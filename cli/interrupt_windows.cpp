// Ctrl-C and Ctrl-Break through the console's control handler, as SIGINT on Linux; the console's
// closing, the user's logoff and the system's shutdown as SIGTERM. The system calls the handler
// on a thread of its own; an event wakes the event loop.
#include <QEventLoop>
#include <QWinEventNotifier>

#include <csignal>
#include <cstdlib>

#include <windows.h>

#include "cli/cli_app.h"
#include "cli/interrupt.h"

namespace lir2 {

namespace {

// Manual reset: once set it stays set, as the self-pipe's byte stays unread on Linux.
HANDLE g_wake = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
  const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  const int sig = interrupt ? SIGINT : SIGTERM;
  if (!Interrupt::deliver(sig)) _exit(Exit::SignalBase + sig);
  if (g_wake) SetEvent(g_wake);
  if (!interrupt) {
    // After the handler returns from a closing, the system ends the process at once. Waiting here
    // lets the run stop, the port close and the files end; the program's own end finishes this
    // thread too (the system allows a few seconds before it ends the process regardless).
    Sleep(INFINITE);
  }
  return TRUE;
}

}  // namespace

namespace Interrupt {

void install() {
  g_wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void quitOnSignal(QEventLoop& loop) {
  if (!g_wake) return;
  auto* wake = new QWinEventNotifier(g_wake, &loop);
  QObject::connect(wake, &QWinEventNotifier::activated, &loop, &QEventLoop::quit);
}

}  // namespace Interrupt

}  // namespace lir2
