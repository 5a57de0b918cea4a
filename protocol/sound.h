#pragma once

#include <QString>

namespace lir2 {

// The two sounds of the program, played without waiting for them to end.
enum class Sound { Ok, Error };

class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  virtual void play(Sound sound) = 0;
};

// The file of a sound in the sounds folder ("ok.wav", "error.wav").
inline QString soundFileName(Sound sound) {
  return sound == Sound::Ok ? QStringLiteral("ok.wav") : QStringLiteral("error.wav");
}

}  // namespace lir2
