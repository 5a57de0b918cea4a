#pragma once

#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>

#include "protocol/frames.h"
#include "serial/exchange.h"
#include "serial/port_control.h"
#include "serial/run_in.h"

class Clock;
class WindowTimer;

// The device line: the one object that owns the port, the exchange context with its byte
// primitives, and the frame state. Every exchange with the device runs in its thread: the
// upload, the monitor's ticks and writes, translation and the modem. The windows hand it work
// with post() and learn what happened through queued calls of their own; nothing they do waits
// for the device.
//
// In the program the line lives on a thread of its own (LinkThread); in most tests it stays on
// the test's thread, where post() runs the work at once, so the protocol code stays synchronous
// and testable in virtual time.
class DeviceLink : public QObject {
  Q_OBJECT
 public:
  DeviceLink(PortControl::DeviceFactory factory, QList<PortEntry> entries, Clock& clock,
             StatusBars* status, TrafficLog* log, const LogSwitches* switches,
             QObject* parent = nullptr);
  ~DeviceLink() override;

  // Runs job on the line's thread.
  void post(std::function<void()> job) { runIn(this, std::move(job)); }

  // From any thread: asks whatever runs on the line to end at its next byte (Result::Interrupted).
  void requestStop() { stop_.store(true, std::memory_order_relaxed); }
  bool stopRequested() const { return stop_.load(std::memory_order_relaxed); }

  // The rest runs on the line's thread.

  // A run starts: a stop asked of an earlier run no longer counts.
  void beginRun() { stop_.store(false, std::memory_order_relaxed); }
  // The one place the line is closed, opened and purged: takes the settings of a run, closes
  // the port, opens it at rate and purges both directions. Returns 0 or Result::OpenFailed.
  quint8 reopen(const PortSettings& settings, qint32 rate);
  // The same with the run's settings at their configured rate (the monitor's silent reconnect).
  quint8 reopen();
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
  static bool isGarbledLine(quint8 code);

  // Translation: every 100 ms one awaited read into the read log, then whatever else arrived.
  void startTranslation();
  void stopTranslation();
  void TranslationTick();
  WindowTimer* TranslationTimer = nullptr;
  static constexpr int kTranslationIntervalMs = 100;
  // Most bytes one translation tick takes beyond its first, so a chatty device cannot hold the
  // line's thread.
  static constexpr int kTranslationBurst = 4096;

  // Before the thread ends: timers stopped, the port closed and let go, so nothing of the line
  // is left to be destroyed from another thread.
  void shutDown();

  PortControl& port() { return port_; }
  Exchange& exchange() { return exchange_; }
  FrameState& frameState() { return frameState_; }
  Frames& frames() { return frames_; }
  Clock& clock() { return clock_; }

 signals:
  // Translation ended by itself: the line has gone (an adapter unplugged, the far end closed).
  void translationEnded(quint8 code, const QString& reason);

 private:
  Clock& clock_;
  PortControl port_;
  Exchange exchange_;
  FrameState frameState_;
  Frames frames_;
  PortSettings settings_;
  std::atomic<bool> stop_{false};
};

// The thread the device line runs on in the program. Made after the line and its helpers (its
// children move with it); its end stops what runs, closes the port on the line's thread and
// waits for the thread, which a stopped exchange leaves within a few tens of milliseconds.
class LinkThread {
 public:
  explicit LinkThread(DeviceLink& link);
  ~LinkThread();

  QThread& thread() { return thread_; }

 private:
  DeviceLink& link_;
  QThread thread_;
};
