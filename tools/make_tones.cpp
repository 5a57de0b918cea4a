// Writes the program's two sounds: data/ok.wav (two short rising beeps) and data/error.wav
// (a low double buzz). 16-bit mono PCM at 22050 Hz, made from sine and square waves here, so
// the sounds are ours and reproducible.
#include <QByteArray>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "serial/safe_save.h"

namespace lir2 {

namespace {

constexpr int kRate = 22050;

struct Tone {
  double hz;
  double seconds;
  bool square;
};

std::vector<int16_t> render(const std::vector<Tone>& tones) {
  std::vector<int16_t> samples;
  for (const Tone& t : tones) {
    const int n = static_cast<int>(t.seconds * kRate);
    for (int i = 0; i < n; ++i) {
      // A 5 ms fade at both ends keeps the tone free of clicks.
      const double edge = std::min(1.0, std::min(i, n - 1 - i) / (0.005 * kRate));
      double v = t.hz > 0 ? std::sin(2 * M_PI * t.hz * i / kRate) : 0.0;
      if (t.square) v = v >= 0 ? 0.6 : -0.6;
      samples.push_back(static_cast<int16_t>(v * edge * 0.5 * 32767));
    }
  }
  return samples;
}

void put32(QByteArray& f, uint32_t v) {
  for (int i = 0; i < 4; ++i) f += char((v >> (8 * i)) & 0xFF);
}
void put16(QByteArray& f, uint16_t v) {
  f += char(v & 0xFF);
  f += char(v >> 8);
}

bool writeWave(const std::string& path, const std::vector<int16_t>& samples) {
  QByteArray f;
  const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
  f += "RIFF";
  put32(f, 36 + bytes);
  f += "WAVEfmt ";
  put32(f, 16);
  put16(f, 1);  // PCM
  put16(f, 1);  // mono
  put32(f, kRate);
  put32(f, kRate * 2);
  put16(f, 2);
  put16(f, 16);
  f += "data";
  put32(f, bytes);
  for (int16_t s : samples) put16(f, static_cast<uint16_t>(s));
  QString reason;
  if (saveFile(QString::fromStdString(path), f, &reason)) return true;
  std::fprintf(stderr, "lir2-make-tones: %s: %s\n", path.c_str(), reason.toUtf8().constData());
  return false;
}

}  // namespace

}  // namespace lir2

using namespace lir2;

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "data";
  const bool ok = writeWave(folder + "/ok.wav",
                            render({{880, 0.09, false}, {0, 0.04, false}, {1320, 0.14, false}})) &&
                  writeWave(folder + "/error.wav",
                            render({{196, 0.16, true}, {0, 0.06, false}, {147, 0.26, true}}));
  if (!ok) {
    std::fprintf(stderr, "make_tones: cannot write the wave files into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
