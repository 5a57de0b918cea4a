#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <mutex>

#include "protocol/sound.h"
#include "serial/status.h"
#include "serial/traffic_log.h"

namespace lir2 {

// What the device line's thread may tell the windows: status texts, sounds and the logged
// traffic. It lives on the window thread and forwards everything there: at once when called on
// that thread, queued otherwise. Log characters are gathered under a lock and reach the log
// windows in one piece per turn of the window's event loop, so a byte costs the line's thread
// no more than appending to a string, however fast the traffic. Every piece names its run, so the
// tail of a run that has been stopped never lands in the logs after the next run emptied them.
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
  // Traffic of a run older than the one the logs were last emptied for is dropped here.
  void appendRead(QStringView text, RunId run) override;
  void appendWrite(QStringView text, RunId run) override;
  // From any thread: the logs emptied for run; what is still on its way, and whatever earlier
  // runs send later, is dropped.
  void clearLogs(RunId run) override;
  // On the window thread: brings what has been logged into the log windows now.
  void flushLogs();

 private:
  void append(QString& pending, QStringView text, RunId run);

  StatusBars& status_;
  SoundPlayer& sounds_;
  TrafficLog& logs_;
  std::mutex mutex_;
  QString read_;
  QString write_;
  RunId shownRun_ = 0;  // the run the logs were last emptied for
  RunId clearFor_ = 0;  // the windows still to be emptied for this run
  std::atomic<bool> flushPosted_{false};
};

}  // namespace lir2
