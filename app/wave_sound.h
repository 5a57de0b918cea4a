#pragma once

#include <QString>

#include <memory>

#include "protocol/sound.h"

namespace lir2 {

// "ok.wav" and "error.wav" from the folder, through Qt Multimedia (on Windows through the
// system's sound call). A missing file or a machine without sound plays nothing.
std::unique_ptr<SoundPlayer> makeWaveSoundPlayer(QString folder = QStringLiteral("data"));

}  // namespace lir2
