#include "report.h"

#include "protocol/result_messages.h"
#include "protocol/sound.h"
#include "serial/status.h"

namespace lir2 {

FinalReport::FinalReport(StatusBars& status, SoundPlayer& sounds, std::function<bool()> soundsOn)
    : status_(status), sounds_(sounds), soundsOn_(std::move(soundsOn)) {}

void FinalReport::run(Result& resultCode, bool close, const std::function<void()>& closeMonitor,
                      const QString& reason) {
  status_.setStateText(QStringLiteral("Выключенно"));
  if (resultCode != Result::Ok) {
    if (codeOf(resultCode) > codeOf(Result::Unknown)) resultCode = Result::Unknown;
    status_.setErrorText(reason.isEmpty()
                             ? resultMessage(resultCode)
                             : resultMessage(resultCode) + QStringLiteral(": ") + reason);
    if (soundsOn_ && soundsOn_()) sounds_.play(Sound::Error);
  } else {
    sounds_.play(Sound::Ok);
  }
  resultCode = Result::Ok;
  if (close && closeMonitor) closeMonitor();
}

}  // namespace lir2
