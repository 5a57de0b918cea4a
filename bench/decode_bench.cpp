// The monitor's decoders on their own: one RAM decode of a busy device (it runs after every
// changed slice of the RAM window, several times a second) and one whole EEPROM decode.
#include <benchmark/benchmark.h>

#include <QLocale>

#include "monitor/decoders.h"

using namespace lir2;

namespace {

// A generation-9 LCD SIN board, 48 V, charging, mains fed back, hot, with standing alarms.
DeviceImages busyDevice() {
  DeviceImages im;
  auto& ee = im.EepromImage;
  ee[0] = 3, ee[1] = 9, ee[2] = 0x6D, ee[5] = 7, ee[6] = 2, ee[12] = 3, ee[13] = 5, ee[14] = 1;
  ee[17] = 45, ee[19] = 1, ee[22] = 0xF6, ee[28] = 130, ee[29] = 126, ee[33] = 0, ee[34] = 1;
  ee[62] = 200, ee[64] = 129, ee[70] = 128, ee[71] = 24, ee[82] = 2, ee[94] = 70;
  ee[107] = 150, ee[108] = 200, ee[111] = 40, ee[249] = 80, ee[250] = 100, ee[251] = 140;
  ee[253] = 130, ee[315] = 0, ee[384] = 1, ee[389] = 144, ee[96] = 141, ee[390] = 135;
  auto& ram = im.RamImage;
  ram[0] = 4, ram[2] = 1, ram[5] = 2, ram[6] = 11, ram[7] = 130, ram[8] = 20, ram[12] = 30;
  ram[34] = 120, ram[35] = 7, ram[36] = 45, ram[39] = 120, ram[46] = 75, ram[47] = 128;
  ram[48] = 110, ram[49] = 120, ram[52] = 3, ram[53] = 130, ram[54] = 250, ram[55] = 1;
  ram[56] = 44, ram[58] = 1, ram[59] = 2, ram[67] = 0x10, ram[68] = 0xFF;
  return im;
}

void BM_DecodeRam(benchmark::State& state) {
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  DeviceImages im = busyDevice();
  DecodeContext ctx;
  bool binary = false;
  DecodeEeprom(im, ctx, binary);
  const QDateTime now = QDateTime::currentDateTime();
  int pass = 0;
  for (auto _ : state) {
    // Every pass logs one fresh alarm, as a device whose alarms come and go.
    im.RamImage[44] = (++pass & 1) ? 0x81 : 0x01;
    benchmark::DoNotOptimize(DecodeRam(im, ctx, now));
  }
}
BENCHMARK(BM_DecodeRam)->Unit(benchmark::kMicrosecond);

void BM_DecodeEeprom(benchmark::State& state) {
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  const DeviceImages im = busyDevice();
  DecodeContext ctx;
  bool binary = false;
  for (auto _ : state) benchmark::DoNotOptimize(DecodeEeprom(im, ctx, binary));
}
BENCHMARK(BM_DecodeEeprom)->Unit(benchmark::kMicrosecond);

}  // namespace
