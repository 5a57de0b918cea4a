#pragma once

#include <QObject>

#include <functional>

#include "serial/run_stop.h"

namespace lir2 {

class DeviceLink;

// A run mode on the device line: an object that lives on the line's thread, is asked for work by
// queued calls, and answers the windows with signals. Its runs start and stop only through the
// line (DeviceLink::startRun, stopRun); the line halts it when its run is stopped or another run
// takes the line.
class LineSession : public QObject {
  Q_OBJECT
 public:
  // A child of the line, so it lives on the line's thread.
  explicit LineSession(DeviceLink& link);
  // A session that goes while its run holds the line leaves the line free.
  ~LineSession() override;

  DeviceLink& link() { return link_; }
  // On the thread that starts runs: the number of this session's last run, 0 before the first. It
  // is set before the run's begin step runs, so a run that works on the caller's thread knows it.
  RunId run() const { return run_; }
  // From the thread that starts runs: stops this session's last run (see DeviceLink::stopRun).
  void stop();

  // On the line's thread, called by the line only: this session's run was stopped, or another
  // run took the line. Whatever the session keeps going between exchanges (its timers) ends here.
  virtual void halted() {}

 protected:
  // Starts a run of this session through the line and remembers its number; begin gets it.
  RunId startRun(std::function<void(RunId)> begin);
  // Whether this session's run holds the line (on the line's thread).
  bool holdsLine() const;
  // Emits a signal in the windows' thread: what the windows hear from the line always arrives
  // through the one handover of runIn, in the order it was said, and never after the session is
  // gone.
  void toWindows(std::function<void()> signal);

 private:
  friend class DeviceLink;  // numbers the run before its begin step can run

  DeviceLink& link_;
  RunId run_ = 0;
};

}  // namespace lir2
