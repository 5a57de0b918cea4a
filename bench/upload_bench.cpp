// The upload of the 64 KB sample to lir2-sim on a pseudo-terminal, through the real serial code:
//  - at an emulated 19200 bit/s: wall time against the line's floor (every transfer byte and its
//    echo, 10 bits each) and the program's processor time as a share of the wall time;
//  - without emulation: microseconds per echoed byte, the program's own cost per byte.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "app/app_windows.h"
#include "app/form_main.h"
#include "bare_echo.h"
#include "firmware/upload.h"
#include "protocol/sound.h"
#include "serial/clock.h"
#include "upload_wire.h"

using namespace lir2;

namespace {

struct Silence final : SoundPlayer {
  void play(Sound) override {}
};

struct Run {
  double wallS = 0, cpuS = 0;
  QString error;
};

Run uploadOnce(const QStringList& simArgs) {
  Run run;
  QProcess sim;
  sim.start(QStringLiteral(LIR2_SIM_BUILT),
            QStringList{"--profile", "boot", "--greet-first-ms", "20", "--greet-period-ms", "20"} +
                simArgs);
  QDeadlineTimer deadline(5000);
  while (!sim.canReadLine() && !deadline.hasExpired()) sim.waitForReadyRead(100);
  const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
  if (path.isEmpty()) {
    run.error = QStringLiteral("lir2-sim did not start");
    return run;
  }
  {
    QTemporaryDir dir;
    SteadyClock clock;
    Silence silence;
    AppOptions options;
    options.portPath = path;
    options.configPath = dir.filePath(QStringLiteral("data/config.txt"));
    // As in the program: the line on its own thread, the window on this one.
    options.lineThread = true;
    AppWindows w(options, clock, silence);
    w.FormMain->show();
    w.FormMain->FileOpen1Accept(samplePath());
    QApplication::processEvents();
    QElapsedTimer wall;
    const double cpu0 = processCpuSeconds();
    wall.start();
    w.FormMain->findChild<QAction*>(QStringLiteral("LoadProg"))->trigger();
    // The window's thread sleeps in its event loop meanwhile; a timer looks for the end.
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
      if (!w.FormMain->findChild<QAction*>(QStringLiteral("StopExec"))->isEnabled()) loop.quit();
    });
    look.start(20);
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);
    loop.exec();
    run.wallS = wall.nsecsElapsed() / 1e9;
    run.cpuS = processCpuSeconds() - cpu0;
    if (w.FormMain->errorText() != QStringLiteral("Нет ошибок"))
      run.error = w.FormMain->errorText();
  }
  sim.terminate();
  sim.waitForFinished(5000);
  return run;
}

QByteArray sampleProgram() {
  QFile f(samplePath());
  if (!f.open(QIODevice::ReadOnly)) return {};
  return prepareProgramText(f.readAll()).text;
}

void BM_UploadAtLineRate(benchmark::State& state) {
  const qint64 wire = transferWireBytes(sampleProgram());
  const double floorS = wire * 2.0 * 10.0 / 19200.0;
  for (auto _ : state) {
    const Run run = uploadOnce({"--emulate-rate", "--rate", "19200"});
    if (!run.error.isEmpty()) {
      state.SkipWithError(run.error.toLocal8Bit().constData());
      return;
    }
    state.SetIterationTime(run.wallS);
    state.counters["wire_bytes"] = static_cast<double>(wire);
    state.counters["floor_s"] = floorS;
    state.counters["wall_s"] = run.wallS;
    state.counters["wall_over_floor"] = run.wallS / floorS;
    state.counters["cpu_s"] = run.cpuS;
    state.counters["cpu_share_pct"] = 100.0 * run.cpuS / run.wallS;
  }
}
BENCHMARK(BM_UploadAtLineRate)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_UploadUnpaced(benchmark::State& state) {
  const qint64 wire = transferWireBytes(sampleProgram());
  for (auto _ : state) {
    const Run run = uploadOnce({});
    if (!run.error.isEmpty()) {
      state.SkipWithError(run.error.toLocal8Bit().constData());
      return;
    }
    state.SetIterationTime(run.wallS);
    state.counters["wire_bytes"] = static_cast<double>(wire);
    state.counters["us_per_echoed_byte"] = run.wallS * 1e6 / wire;
    state.counters["cpu_us_per_byte"] = run.cpuS * 1e6 / wire;
  }
}
BENCHMARK(BM_UploadUnpaced)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same number of echoed bytes by the barest host there is (bare_echo.h), for comparison.
void BM_BareEchoAtLineRate(benchmark::State& state) {
  const qint64 wire = transferWireBytes(sampleProgram());
  for (auto _ : state) {
    const BareEcho bare = bareEcho(wire);
    if (!bare.error.isEmpty()) {
      state.SkipWithError(bare.error.toLocal8Bit().constData());
      return;
    }
    const double floorS = wire * 2.0 * 10.0 / 19200.0;
    state.SetIterationTime(bare.wallS);
    state.counters["wire_bytes"] = static_cast<double>(wire);
    state.counters["wall_s"] = bare.wallS;
    state.counters["wall_over_floor"] = bare.wallS / floorS;
    state.counters["cpu_share_pct"] = 100.0 * bare.cpuS / bare.wallS;
  }
}
BENCHMARK(BM_BareEchoAtLineRate)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
