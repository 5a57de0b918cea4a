#pragma once

#include <QMetaObject>
#include <QObject>

#include <functional>

namespace lir2 {

// Runs job in the thread that context lives in: at once when that is the caller's thread, as a
// queued call otherwise (dropped if context is gone by then). The windows ask the device line
// for work this way, and the line tells the windows what happened the same way, so the same
// code runs synchronously in tests and across threads in the program.
void runIn(QObject* context, std::function<void()> job);

// The same, but the caller waits until job has run. Only for the end of the line's thread and
// for tests that look at the line's state: a window never waits for the line.
void runInAndWait(QObject* context, std::function<void()> job);

}  // namespace lir2
