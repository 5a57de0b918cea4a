#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace lir2 {

// A window timer with the two settings the program's handlers use: an enabled switch and an
// interval, where an interval of 0 keeps an enabled timer from ticking. (A QTimer of interval 0
// would fire on every pass of the event loop instead.)
class WindowTimer : public QObject {
  Q_OBJECT
 public:
  explicit WindowTimer(QObject* parent = nullptr);

  void setEnabled(bool enabled);
  void setInterval(int ms);
  bool isEnabled() const { return enabled_; }
  int interval() const { return interval_; }
  // Ticking: enabled with a non-zero interval.
  bool isActive() const { return timer_.isActive(); }

 signals:
  void timeout();

 private:
  void apply();

  QTimer timer_{this};  // a child, so it moves to the thread its owner moves to
  bool enabled_ = false;
  int interval_ = 0;
};

}  // namespace lir2
