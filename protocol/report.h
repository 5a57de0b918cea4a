#pragma once

#include <QtGlobal>

#include <QString>

#include <functional>

#include "serial/result_code.h"

namespace lir2 {

class SoundPlayer;
class StatusBars;

// The final report of an exchange: "Выключенно" in the state bar, the message of a failure in
// the error bar with the error sound when sounds are on, the success sound always, and the
// code cleared. The monitor puts its silent reconnect in front of it.
class FinalReport {
 public:
  FinalReport(StatusBars& status, SoundPlayer& sounds, std::function<bool()> soundsOn);

  // Reports resultCode and clears it; with closeMonitor set, runs closeMonitor afterwards. A
  // reason (why the port is not there) follows the failure's message in the error bar.
  void run(Result& resultCode, bool close, const std::function<void()>& closeMonitor = {},
           const QString& reason = {});

 private:
  StatusBars& status_;
  SoundPlayer& sounds_;
  std::function<bool()> soundsOn_;
};

}  // namespace lir2
