#pragma once

#include <QObject>

#include <functional>

namespace lir2 {

// SIGTERM and SIGINT (a logout, a service manager, Ctrl+C in a terminal) run `action` on the
// thread of `context` as an ordinary event, instead of ending the process where it stands: the
// program then closes its port and removes its lock file as on any normal exit. The signal
// handler itself only writes a byte into a socket pair that a QSocketNotifier watches. Returns
// false where that cannot be set up (the signals then keep their default effect); on systems
// without these signals it does nothing and returns false.
bool handleTerminationSignals(QObject* context, std::function<void()> action);

}  // namespace lir2
