// The sounds on Windows: the system's own asynchronous sound call on the WAV files, no
// multimedia framework needed.
#include <QDir>
#include <QFileInfo>

// windows.h first: mmsystem.h builds on its types.
#include <windows.h>

#include <mmsystem.h>

#include "app/wave_sound.h"

namespace lir2 {

namespace {

class WindowsWaveSoundPlayer final : public SoundPlayer {
 public:
  explicit WindowsWaveSoundPlayer(QString folder) : folder_(std::move(folder)) {}

  void play(Sound sound) override {
    const QFileInfo file(QDir(folder_), soundFileName(sound));
    if (!file.isFile()) return;
    // Returns at once; a sound still playing is cut off by the next, as the system does it.
    // SND_NODEFAULT: a file the system cannot play stays silent rather than beeping.
    const QString path = QDir::toNativeSeparators(file.absoluteFilePath());
    PlaySoundW(reinterpret_cast<LPCWSTR>(path.utf16()), nullptr,
               SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
  }

 private:
  QString folder_;
};

}  // namespace

std::unique_ptr<SoundPlayer> makeWaveSoundPlayer(QString folder) {
  return std::make_unique<WindowsWaveSoundPlayer>(std::move(folder));
}

}  // namespace lir2
