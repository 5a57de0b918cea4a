#pragma once

class QEventLoop;

namespace lir2 {

// Ctrl-C and SIGTERM (on Windows: Ctrl-C, Ctrl-Break and the console's closing): the signal stops
// every run on the watched line, the present one at its next byte and any later one before it
// begins (the handler only raises the line's atomic stop flag). A second signal ends the program
// at once.
class DeviceLink;
class MonitorSession;

namespace Interrupt {
void install();
void watch(DeviceLink* link);
// While a restore writes: a signal stops it before its next cell instead of the line at its next
// byte, so no cell is left half-announced. nullptr ends it.
void watchRestore(MonitorSession* session);
// The signal caught (SIGINT or SIGTERM), or 0.
int caught();
// Makes loop quit when a signal comes while it runs, instead of asking caught() in turns.
void quitOnSignal(QEventLoop& loop);

// For the platform's handler: records sig and stops the watched run. False when a signal had
// come before: the program is then to end at once. Async-signal-safe.
bool deliver(int sig);
}  // namespace Interrupt

}  // namespace lir2
