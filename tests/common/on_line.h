#pragma once

// Runs a step on the device line's thread and waits for it: how a test looks at the line's state
// while the line runs on its own thread (at once when it does not).
#include <QMetaObject>
#include <QThread>

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include "protocol/device_link.h"

using namespace lir2;

template <typename F>
void onLine(DeviceLink& link, F step) {
  runInAndWait(&link, step);
}

// Lets the windows run their event loop until the condition holds or the patience runs out. The
// loop sleeps between events (a timer wakes it to look at the condition), so the line's thread
// has the processor to itself meanwhile.
template <typename Condition>
bool runUntil(Condition done, int ms = 20000) {
  QDeadlineTimer deadline(ms);
  QTimer look;
  look.start(10);
  while (!done() && !deadline.hasExpired())
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return done();
}
