#pragma once

#include "protocol/line_session.h"
#include "serial/port_control.h"
#include "serial/result_code.h"

namespace lir2 {

class WindowTimer;

// Translation: the line opened at the configured rate, then every 100 ms one awaited read into
// the read log and whatever else has arrived. Nothing is sent; a quiet line is no failure. The
// run ends with the user's Stop, or by itself when the line goes away.
class TranslationSession : public LineSession {
  Q_OBJECT
 public:
  explicit TranslationSession(DeviceLink& link);

  // From the windows' thread: starts translation on the port of settings.
  RunId start(const PortSettings& settings);

  static constexpr int kIntervalMs = 100;
  // Most bytes one tick takes beyond its first, so a chatty device cannot hold the line's thread.
  static constexpr int kBurst = 4096;

  // The tick of the translation timer (on the line's thread).
  void tick();
  void halted() override;

 signals:
  // The run ended by itself: the port did not open, or the line went away (an adapter
  // unplugged, the far end closed). reason says why in the user's words.
  void ended(RunId run, Result code, const QString& reason);

 private:
  void begin(RunId run, const PortSettings& settings);
  void endWith(Result code);

  WindowTimer* timer_ = nullptr;
  RunId running_ = 0;  // the run the timer ticks for, on the line's thread
};

}  // namespace lir2
