#include "window_timer.h"

namespace lir2 {

WindowTimer::WindowTimer(QObject* parent) : QObject(parent) {
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &WindowTimer::timeout);
}

void WindowTimer::setEnabled(bool enabled) {
  enabled_ = enabled;
  apply();
}

void WindowTimer::setInterval(int ms) {
  interval_ = ms < 0 ? 0 : ms;
  apply();
}

void WindowTimer::apply() {
  // Setting either property restarts the count, as a window timer does.
  if (enabled_ && interval_ > 0)
    timer_.start(interval_);
  else
    timer_.stop();
}

}  // namespace lir2
