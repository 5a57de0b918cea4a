#include "protocol/device_link.h"

#include <QCoreApplication>
#include <QPointer>

#include "protocol/line_session.h"
#include "serial/clock.h"
#include "serial/port_list.h"
#include "serial/result_code.h"
#include "serial/window_timer.h"

namespace lir2 {

DeviceLink::DeviceLink(PortControl::DeviceFactory factory, QList<PortEntry> entries, Clock& clock,
                       StatusBars* status, TrafficLog* log, const LogSwitches* switches,
                       QObject* parent)
    : QObject(parent),
      clock_(clock),
      port_(status, std::move(factory)),
      exchange_(port_, clock, log, switches),
      frames_(exchange_, frameState_),
      log_(log) {
  setObjectName(QStringLiteral("DeviceLink"));
  port_.setEntries(std::move(entries));
  exchange_.setLineStop(&lineStop_);
}

DeviceLink::~DeviceLink() {
  // The sessions go while the line they tell of is still whole.
  qDeleteAll(findChildren<LineSession*>(Qt::FindDirectChildrenOnly));
}

void DeviceLink::sessionGone(const LineSession& session) {
  if (activeSession_ != &session) return;
  if (active_) forget(active_->id);
  active_.reset();
  activeSession_ = nullptr;
}

RunId DeviceLink::startRun(LineSession& session, std::function<void(RunId)> begin) {
  static_assert(std::atomic<RunId>::is_always_lock_free);
  auto run = std::make_shared<RunStop>(lastStarted_.fetch_add(1, std::memory_order_relaxed) + 1);
  const RunId id = run->id;
  {
    std::lock_guard lock(runsMutex_);
    // A new run mode ends the ones before it, as the next run always closes the port: the one
    // holding the line stops at its next byte instead of keeping the new one waiting, and those
    // still queued never begin.
    for (auto& [earlier, stop] : runs_) stop->raised.store(true, std::memory_order_relaxed);
    runs_[id] = run;
  }
  session.run_ = id;
  // From here on the logs show this run's traffic only, whatever earlier runs still send.
  if (log_) log_->clearLogs(id);
  runIn(this, [this, run, session = QPointer<LineSession>(&session), begin = std::move(begin)] {
    if (run->raised.load(std::memory_order_relaxed) || allRunsStopped() || !session) {
      forget(run->id);
      return;
    }
    activate(run, *session);
    begin(run->id);
  });
  return id;
}

void DeviceLink::stopRun(RunId run) {
  if (run == 0) return;
  {
    std::lock_guard lock(runsMutex_);
    const auto found = runs_.find(run);
    if (found == runs_.end()) return;
    found->second->raised.store(true, std::memory_order_relaxed);
  }
  // A queued run is dropped when its turn comes; a running one is halted once its exchange has
  // given the line back.
  runIn(this, [this, run] {
    if (activeRun() == run) haltActive();
  });
}

void DeviceLink::setEntries(QList<PortEntry> entries) {
  runIn(this, [this, entries = std::move(entries)] { port_.setEntries(entries); });
}

void DeviceLink::endAllRuns() {
  stopAllRuns();
  runIn(this, [this] {
    haltActive();
    closePort();
  });
}

void DeviceLink::postToRun(RunId run, std::function<void()> step) {
  runIn(this, [this, run, step = std::move(step)] {
    if (activeRun() == run && !exchange_.stopped()) step();
  });
}

void DeviceLink::activate(const std::shared_ptr<RunStop>& run, LineSession& session) {
  // The run before gives the line up, as a Stop would end it.
  if (active_) {
    active_->raised.store(true, std::memory_order_relaxed);
    haltActive();
  }
  active_ = run;
  activeSession_ = &session;
  exchange_.setRun(run);
  exchange_.ResultCode = Result::Ok;
}

void DeviceLink::haltActive() {
  if (!active_) return;
  LineSession* session = activeSession_;
  const RunId run = active_->id;
  // The exchange keeps the stopped run's stop until the next run: a byte asked for after the
  // halt still fails at once.
  active_.reset();
  activeSession_ = nullptr;
  forget(run);
  if (session) session->halted();
}

void DeviceLink::endRun(RunId run) {
  if (run == 0 || activeRun() != run) return;
  active_.reset();
  activeSession_ = nullptr;
  exchange_.setRun(nullptr);
  forget(run);
}

void DeviceLink::forget(RunId run) {
  std::lock_guard lock(runsMutex_);
  runs_.erase(run);
}

Result DeviceLink::reopen(const PortSettings& settings, qint32 rate) {
  settings_ = settings;
  port_.PortName = settings.PortName;
  port_.BaudRate = settings.BaudRate;
  port_.ClosePort();
  const Result code = port_.OpenPort(rate);
  port_.PurgePort();
  return code;
}

Result DeviceLink::reopen() {
  port_.ClosePort();
  const Result code = port_.OpenPort(port_.BaudRate);
  port_.PurgePort();
  return code;
}

bool DeviceLink::isGarbledLine(Result code) {
  return code == Result::NoReply || code == Result::WrongEcho || code == Result::BadReplyLine ||
         code == Result::NotHexDigit || code == Result::ReplyChecksum;
}

qint32 DeviceLink::findAnsweringRate() {
  const PortSettings settings = settings_;
  const Result code = exchange_.ResultCode;
  qint32 answering = 0;
  for (qint32 rate : kLineRates) {
    if (rate == settings.BaudRate) continue;
    if (reopen(settings, rate) != Result::Ok) break;
    exchange_.ResultCode = Result::Ok;
    if (frames_.ReadDeviceMemory(2, 0) == Result::Ok) {
      answering = rate;
      break;
    }
    if (stopRequested()) break;
  }
  // Back to the user's rate; a failure here shows as the closed port the next exchange meets.
  (void)reopen(settings, settings.BaudRate);
  exchange_.ResultCode = code;
  return stopRequested() ? 0 : answering;
}

void DeviceLink::closePort() {
  port_.PurgePort();
  port_.ClosePort();
}

void DeviceLink::shutDown() {
  stopAllRuns();
  haltActive();
  for (QObject* child : findChildren<QObject*>())
    if (auto* timer = qobject_cast<WindowTimer*>(child)) timer->setEnabled(false);
  port_.release();
}

LinkThread::LinkThread(DeviceLink& link) : link_(link) {
  thread_.setObjectName(QStringLiteral("DeviceLinkThread"));
  link_.moveToThread(&thread_);
  thread_.start();
}

LinkThread::~LinkThread() {
  link_.stopAllRuns();
  if (thread_.isRunning()) {
    QThread* home = QCoreApplication::instance() ? QCoreApplication::instance()->thread()
                                                 : QThread::currentThread();
    // Runs after whatever the line is doing, which the stop ends at its next byte, and after the
    // runs still queued, which the stop turns into nothing. The line comes back to this thread
    // with its timers stopped, so it can be destroyed here.
    runInAndWait(&link_, [this, home] {
      link_.shutDown();
      link_.moveToThread(home);
    });
    thread_.quit();
    thread_.wait();
  }
}

}  // namespace lir2
