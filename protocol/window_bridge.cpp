#include "protocol/window_bridge.h"

#include "serial/run_in.h"

#include <QThread>

#include <algorithm>

namespace lir2 {

WindowBridge::WindowBridge(StatusBars& status, SoundPlayer& sounds, TrafficLog& logs,
                           QObject* parent)
    : QObject(parent), status_(status), sounds_(sounds), logs_(logs) {}

void WindowBridge::setErrorText(const QString& text) {
  runIn(this, [this, text] { status_.setErrorText(text); });
}
void WindowBridge::setStateText(const QString& text) {
  runIn(this, [this, text] { status_.setStateText(text); });
}
void WindowBridge::setFileNameText(const QString& text) {
  runIn(this, [this, text] { status_.setFileNameText(text); });
}
void WindowBridge::play(Sound sound) {
  runIn(this, [this, sound] { sounds_.play(sound); });
}

void WindowBridge::appendRead(QStringView text, RunId run) {
  append(read_, text, run);
}
void WindowBridge::appendWrite(QStringView text, RunId run) {
  append(write_, text, run);
}

void WindowBridge::append(QString& pending, QStringView text, RunId run) {
  {
    std::lock_guard lock(mutex_);
    if (run < shownRun_) return;
    pending.append(text);
  }
  // One flush on its way is enough for any number of appends.
  if (!flushPosted_.exchange(true)) runIn(this, [this] { flushLogs(); });
}

void WindowBridge::flushLogs() {
  QString read;
  QString write;
  RunId clearFor = 0;
  flushPosted_ = false;
  {
    std::lock_guard lock(mutex_);
    read.swap(read_);
    write.swap(write_);
    std::swap(clearFor, clearFor_);
  }
  // The emptying comes first: whatever is pending now is the new run's.
  if (clearFor != 0) logs_.clearLogs(clearFor);
  if (!read.isEmpty()) logs_.appendRead(read, 0);
  if (!write.isEmpty()) logs_.appendWrite(write, 0);
}

void WindowBridge::clearLogs(RunId run) {
  {
    std::lock_guard lock(mutex_);
    shownRun_ = std::max(shownRun_, run);
    clearFor_ = shownRun_;
    read_.clear();
    write_.clear();
  }
  // On the windows' thread the logs are emptied now; from another, by the next flush.
  if (thread() == QThread::currentThread())
    flushLogs();
  else if (!flushPosted_.exchange(true))
    runIn(this, [this] { flushLogs(); });
}

}  // namespace lir2
