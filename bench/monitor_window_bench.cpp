// The monitor window's side of a RAM decode: the decode on the line's thread plus applying its
// view to the window, as after every changed slice of the RAM window; and the alarm log's
// append once it holds 100,000 lines.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLocale>
#include <QPlainTextEdit>

#include "monitor/decoders.h"
#include "monitor/form_monitor.h"
#include "monitor/monitor_session.h"
#include "protocol/device_link.h"
#include "serial/clock.h"

using namespace lir2;

namespace {

struct Window {
  SteadyClock clock;
  DeviceLink link{[](const PortEntry&) { return std::unique_ptr<SerialDevice>(); },
                  {},
                  clock,
                  nullptr,
                  nullptr,
                  nullptr};
  MonitorSession* session = new MonitorSession(link, nullptr);
  TFormMonitor form{QStringLiteral("monitor"), *session};
  DeviceImages images;
  DecodeContext ctx;

  Window() {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    auto& ee = images.EepromImage;
    ee[0] = 3, ee[1] = 9, ee[2] = 0x6D, ee[5] = 3, ee[6] = 1, ee[62] = 200, ee[251] = 150;
    ee[253] = 140, ee[250] = 110, ee[249] = 90, ee[384] = 1, ee[389] = 144;
    bool binary = false;
    emit session->eepromDecoded(DecodeEeprom(images, ctx, binary), ctx, images);
    form.show();
    QApplication::processEvents();
  }
  // One RAM pass: new measurements and, when asked, an alarm that appears.
  void pass(int n, bool alarm) {
    auto& ram = images.RamImage;
    ram[0] = 4, ram[5] = 1, ram[6] = static_cast<quint8>(n), ram[8] = n % 20;
    ram[34] = 120 + n % 5, ram[35] = n % 30, ram[36] = n % 60, ram[47] = 90 + n % 40;
    ram[44] = alarm ? static_cast<quint8>(1u << (n % 8)) : 0;
    emit session->ramDecoded(DecodeRam(images, ctx, QDateTime::currentDateTime()), ctx, images);
  }
};

void BM_DecodeRamAndApply(benchmark::State& state) {
  Window w;
  int n = 0;
  for (auto _ : state) w.pass(++n, false);
}
BENCHMARK(BM_DecodeRamAndApply)->Unit(benchmark::kMicrosecond);

// A log of 100,000 alarm lines, then one more line a pass.
void BM_AlarmAppendAfter100k(benchmark::State& state) {
  Window w;
  for (int n = 0; n < 100000; ++n) w.pass(2 * n, true), w.pass(2 * n + 1, false);
  QApplication::processEvents();
  int n = 0;
  for (auto _ : state) {
    w.pass(2 * n, true);
    w.pass(2 * n + 1, false);
    ++n;
  }
  state.counters["lines"] =
      w.form.findChild<QPlainTextEdit*>(QStringLiteral("RichEditErr"))->blockCount();
}
BENCHMARK(BM_AlarmAppendAfter100k)->Unit(benchmark::kMicrosecond)->Iterations(2000);

}  // namespace
