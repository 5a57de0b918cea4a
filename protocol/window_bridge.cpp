#include "protocol/window_bridge.h"

#include "serial/run_in.h"

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

void WindowBridge::appendRead(QStringView text) {
  append(read_, text);
}
void WindowBridge::appendWrite(QStringView text) {
  append(write_, text);
}

void WindowBridge::append(QString& pending, QStringView text) {
  {
    std::lock_guard lock(mutex_);
    pending.append(text);
  }
  // One flush on its way is enough for any number of appends.
  if (!flushPosted_.exchange(true)) runIn(this, [this] { flushLogs(); });
}

void WindowBridge::flushLogs() {
  QString read;
  QString write;
  flushPosted_ = false;
  {
    std::lock_guard lock(mutex_);
    read.swap(read_);
    write.swap(write_);
  }
  if (!read.isEmpty()) logs_.appendRead(read);
  if (!write.isEmpty()) logs_.appendWrite(write);
}

void WindowBridge::clearLogs() {
  {
    std::lock_guard lock(mutex_);
    read_.clear();
    write_.clear();
  }
  logs_.clearLogs();
}
