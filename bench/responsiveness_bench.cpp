// How the windows fare while the device says nothing: a 20 ms timer in the window thread, and
// the longest gap between two of its ticks during 10 s of a silent device in the monitor, in
// translation and in the modem window. The device line waits on its own thread, so the gap
// should stay near the timer's own 20 ms.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "app/app_windows.h"
#include "app/form_main.h"
#include "protocol/sound.h"
#include "serial/clock.h"
#include "sim/device_model.h"
#include "sim/simulated_device.h"

using namespace lir2;

namespace {

struct Silence final : SoundPlayer {
  void play(Sound) override {}
};

void BM_WindowGapWhileSilent(benchmark::State& state, const char* mode) {
  SimConfig cfg = *simConfigForProfile(QStringLiteral("gen9"));
  cfg.firmware.silentAfterFrames = 0;
  cfg.modem.silent = true;
  cfg.chatter.enabled = false;
  cfg.kind = QLatin1String(mode) == QLatin1String("modem") ? SimKind::Modem : cfg.kind;
  auto model = std::make_shared<DeviceModel>(cfg);
  QTemporaryDir dir;
  SteadyClock clock;
  Silence silence;
  AppOptions options;
  options.configPath = dir.filePath(QStringLiteral("config.txt"));
  options.selectSimulated = true;
  options.lineThread = true;
  options.simulatedDevice = [&](const PortEntry&) -> std::unique_ptr<SerialDevice> {
    return std::make_unique<SimulatedSerialDevice>(model, clock);
  };
  qint64 worstMs = 0;
  for (auto _ : state) {
    AppWindows w(options, clock, silence);
    w.FormMain->show();
    QTimer tick;
    QElapsedTimer since;
    qint64 worst = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] { worst = std::max(worst, since.restart()); });
    tick.start(20);
    since.start();
    if (QLatin1String(mode) == QLatin1String("monitor"))
      w.FormMain->findChild<QAction*>(QStringLiteral("Monitor"))->trigger();
    if (QLatin1String(mode) == QLatin1String("translation"))
      w.FormMain->findChild<QAction*>(QStringLiteral("Translate"))->trigger();
    if (QLatin1String(mode) == QLatin1String("modem"))
      w.FormMain->findChild<QPushButton*>(QStringLiteral("B_Modem"))->click();
    QEventLoop loop;
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    worstMs = std::max(worstMs, worst);
    w.FormMain->close();
  }
  state.counters["worst_gap_ms"] = double(worstMs);
  // The windows' thread and the line's together: waiting for a silent device costs next to
  // nothing (the benchmark's own CPU column is this process's time).
}
BENCHMARK_CAPTURE(BM_WindowGapWhileSilent, monitor, "monitor")
    ->Unit(benchmark::kSecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_WindowGapWhileSilent, translation, "translation")
    ->Unit(benchmark::kSecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_WindowGapWhileSilent, modem, "modem")->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
