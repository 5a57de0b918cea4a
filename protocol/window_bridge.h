#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <mutex>

#include "protocol/sound.h"
#include "serial/status.h"
#include "serial/traffic_log.h"

// What the device line's thread may tell the windows: status texts, sounds and the logged
// traffic. It lives on the window thread and forwards everything there: at once when called on
// that thread, queued otherwise. Log characters are gathered under a lock and reach the log
// windows in one piece per turn of the window's event loop, so a byte costs the line's thread
// no more than appending to a string, however fast the traffic.
class WindowBridge final : public QObject,
                           public StatusBars,
                           public SoundPlayer,
                           public TrafficLog {
  Q_OBJECT
 public:
  WindowBridge(StatusBars& status, SoundPlayer& sounds, TrafficLog& logs,
               QObject* parent = nullptr);

  void setErrorText(const QString& text) override;
  void setStateText(const QString& text) override;
  void setFileNameText(const QString& text) override;
  void play(Sound sound) override;
  void appendRead(QStringView text) override;
  void appendWrite(QStringView text) override;
  // On the window thread: what is still on its way is dropped with the logs' text.
  void clearLogs() override;
  // On the window thread: brings what has been logged into the log windows now.
  void flushLogs();

 private:
  void append(QString& pending, QStringView text);

  StatusBars& status_;
  SoundPlayer& sounds_;
  TrafficLog& logs_;
  std::mutex mutex_;
  QString read_;
  QString write_;
  std::atomic<bool> flushPosted_{false};
};
