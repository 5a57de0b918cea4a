#include "clock.h"

#include <QElapsedTimer>
#include <QThread>

namespace lir2 {

namespace {
QElapsedTimer& processTimer() {
  static QElapsedTimer timer = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return timer;
}
}  // namespace

SteadyClock::SteadyClock() : originNs_(processTimer().nsecsElapsed()) {}

qint64 SteadyClock::nowMs() {
  return (processTimer().nsecsElapsed() - originNs_) / 1000000;
}

void SteadyClock::sleepMs(int ms) {
  if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}

}  // namespace lir2
