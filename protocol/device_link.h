#pragma once

#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "protocol/frames.h"
#include "serial/exchange.h"
#include "serial/port_control.h"
#include "serial/result_code.h"
#include "serial/run_in.h"
#include "serial/run_stop.h"

namespace lir2 {

class Clock;
class LineSession;

// The device line: the one object that owns the port, the exchange context with its byte
// primitives, and the frame state, and the one place where runs start and stop. Every run mode
// (the upload, the monitor, translation, the modem, the command line's runs) is a session that
// lives on the line's thread; a window starts a run through its session, which asks the line with
// startRun(), and stops it with stopRun(). Nothing a window does waits for the device.
//
// A new run ends the runs before it, as the next run mode always closes the port: the one holding
// the line stops at its next byte and its session is halted, those still queued never begin; then
// the line becomes the new run's and its begin step runs. Each run has a stop of its own: a stop
// reaches the run it names whether that run is running or still queued, a queued run that was
// stopped never begins and never reports, and nothing that starts later can undo it.
//
// In the program the line lives on a thread of its own (LinkThread); in most tests it stays on
// the test's thread, where a run's begin step runs at once inside startRun(), so the protocol
// code stays synchronous and testable in virtual time.
class DeviceLink : public QObject {
  Q_OBJECT
 public:
  DeviceLink(PortControl::DeviceFactory factory, QList<PortEntry> entries, Clock& clock,
             StatusBars* status, TrafficLog* log, const LogSwitches* switches,
             QObject* parent = nullptr);
  ~DeviceLink() override;

  // From any thread.

  // Queues a run of session and returns its number at once; the runs before it are stopped. The
  // logs are emptied for it now; when its turn comes, begin runs on the line's thread with the
  // line made this run's.
  RunId startRun(LineSession& session, std::function<void(RunId)> begin);
  // Stops run: its exchange ends at its next byte (Result::Interrupted), its session is halted on
  // the line's thread, and if it is still queued it never begins. A run that has ended, or 0, is
  // left alone; no other run is touched.
  void stopRun(RunId run);
  // Stops every run, the present one and all to come: the program ends, or Ctrl-C. Only raises a
  // lock-free flag, so a signal handler may call it.
  void stopAllRuns() { lineStop_.store(true, std::memory_order_relaxed); }
  bool allRunsStopped() const { return lineStop_.load(std::memory_order_relaxed); }
  // The same, and once the line is free the running session is halted and the port closed: the
  // program's main window has closed.
  void endAllRuns();
  // The last run started, on the thread that starts runs: a session asks whether a later run has
  // taken the line since its own.
  RunId lastStartedRun() const { return lastStarted_.load(std::memory_order_relaxed); }

  // The ports the line may open, as the port list has them now.
  void setEntries(QList<PortEntry> entries);

  // The rest runs on the line's thread, for the sessions.

  // The run that holds the line now, or 0.
  RunId activeRun() const { return active_ ? active_->id : 0; }
  // Whether session's run holds the line and has not been stopped.
  bool heldBy(const LineSession& session) const {
    return active_ && activeSession_ == &session && !exchange_.stopped();
  }
  // Runs step on the line's thread as part of run; dropped when that run has been stopped or has
  // let the line go by the time the step's turn comes. From any thread.
  void postToRun(RunId run, std::function<void()> step);
  // The session ends its own run (an upload that finished, a monitor run that reported its
  // failure): the line is free; the port stays as the session left it.
  void endRun(RunId run);
  // A session is being destroyed: if its run holds the line, the line is free.
  void sessionGone(const LineSession& session);
  // The run has been asked to stop (its own stop or the line's).
  bool stopRequested() const { return exchange_.stopped(); }

  // The one place the line is closed, opened and purged: takes the settings of a run, closes
  // the port, opens it at rate and purges both directions. Returns 0 or Result::OpenFailed.
  Result reopen(const PortSettings& settings, qint32 rate);
  // The same with the run's settings at their configured rate (the monitor's silent reconnect).
  Result reopen();
  // The end of a run: both directions purged, the port closed.
  void closePort();
  // The settings of the current run.
  const PortSettings& settings() const { return settings_; }
  // After a first exchange that met silence or garbage (isGarbledLine): a parameter read at
  // each other rate of the options, then the line back at the run's own rate. The rate that
  // answered, or 0. The run's settings are never changed.
  qint32 findAnsweringRate();
  // Whether a failure is the line's silence or garbage, which another rate may explain; the
  // device's own refusals are not.
  static bool isGarbledLine(Result code);

  // Before the thread ends: every run stopped, the running one's session halted, timers stopped,
  // the port closed and let go, so nothing of the line is left to be destroyed from another
  // thread.
  void shutDown();

  PortControl& port() { return port_; }
  Exchange& exchange() { return exchange_; }
  FrameState& frameState() { return frameState_; }
  Frames& frames() { return frames_; }
  Clock& clock() { return clock_; }

 private:
  // The run's turn on the line: the run before it let go, the line made this one's.
  void activate(const std::shared_ptr<RunStop>& run, LineSession& session);
  // The run holding the line lets it go: its session is halted and it is forgotten.
  void haltActive();
  void forget(RunId run);

  Clock& clock_;
  PortControl port_;
  Exchange exchange_;
  FrameState frameState_;
  Frames frames_;
  PortSettings settings_;
  TrafficLog* log_;
  std::atomic<bool> lineStop_{false};
  std::atomic<RunId> lastStarted_{0};
  // Runs started and not yet ended, queued or running, by number: where a stop finds its run.
  std::mutex runsMutex_;
  std::map<RunId, std::shared_ptr<RunStop>> runs_;
  // On the line's thread: the run that holds the line and its session.
  std::shared_ptr<RunStop> active_;
  LineSession* activeSession_ = nullptr;
};

// The thread the device line runs on in the program. Made after the line and its helpers (its
// children move with it); its end stops every run, drops those still queued, closes the port on
// the line's thread and waits for the thread, which a stopped exchange leaves within a few tens
// of milliseconds.
class LinkThread {
 public:
  explicit LinkThread(DeviceLink& link);
  ~LinkThread();

  QThread& thread() { return thread_; }

 private:
  DeviceLink& link_;
  QThread thread_;
};

}  // namespace lir2
