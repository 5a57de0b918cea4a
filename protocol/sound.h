#pragma once

#include <QString>

#include <memory>

// The two sounds of the program, played without waiting for them to end.
enum class Sound { Ok, Error };

class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  virtual void play(Sound sound) = 0;
};

// "data/ok.wav" and "data/error.wav" from the working folder, through Qt Multimedia. A missing
// file or a machine without sound plays nothing.
std::unique_ptr<SoundPlayer> makeWaveSoundPlayer(QString folder = QStringLiteral("data"));
QString soundFileName(Sound sound);
