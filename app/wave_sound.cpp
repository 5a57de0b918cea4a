#include "app/wave_sound.h"

#include <QDir>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace lir2 {

namespace {

class WaveSoundPlayer final : public SoundPlayer {
 public:
  explicit WaveSoundPlayer(QString folder) : folder_(std::move(folder)) {}

  void play(Sound sound) override {
    const QFileInfo file(QDir(folder_), soundFileName(sound));
    if (!file.isFile()) return;
    // One effect per sound, made at its first use so the program starts without the audio
    // back end; the effect loads and plays on its own, the call returns at once.
    std::unique_ptr<QSoundEffect>& effect = sound == Sound::Ok ? ok_ : error_;
    const QUrl url = QUrl::fromLocalFile(file.absoluteFilePath());
    if (!effect) effect = std::make_unique<QSoundEffect>();
    if (effect->source() != url) effect->setSource(url);
    effect->play();
  }

 private:
  QString folder_;
  std::unique_ptr<QSoundEffect> ok_, error_;
};

}  // namespace

std::unique_ptr<SoundPlayer> makeWaveSoundPlayer(QString folder) {
  return std::make_unique<WaveSoundPlayer>(std::move(folder));
}

}  // namespace lir2
