// The monitor's poll ticks against lir2-sim with the line's timing emulated at 19200 bit/s:
// how close a parameter refresh and a whole RAM pass come to what the line allows.
//
// Every byte goes in lock-step (the device echoes each command byte, the host echoes each reply
// byte, and neither sends the next before the echo is back), so the floor is every byte sent
// and every byte received, one after the other, ten bit times each.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>

#include <memory>

#include "bare_echo.h"
#include "common/sim_process.h"
#include "monitor/monitor_session.h"
#include "protocol/device_link.h"
#include "serial/clock.h"
#include "serial/port_control.h"
#include "serial/qt_serial_device.h"
#include "serial/traffic_log.h"

using namespace lir2;

namespace {

constexpr qint32 kRate = 19200;
constexpr double kByteSeconds = 10.0 / kRate;

struct Counts {
  quint64 written = 0;
  quint64 read = 0;
};

// The real serial port, counting what passes.
class CountingDevice final : public SerialDevice {
 public:
  CountingDevice(const QString& path, Counts& counts) : inner_(path), counts_(counts) {}
  OpenResult open(qint32 rate) override { return inner_.open(rate); }
  void close() override { inner_.close(); }
  bool isOpen() const override { return inner_.isOpen(); }
  void purge() override { inner_.purge(); }
  Read readByte(quint8& byte) override {
    const Read r = inner_.readByte(byte);
    if (r == Read::Byte) ++counts_.read;
    return r;
  }
  bool waitForReadyRead(int ms) override { return inner_.waitForReadyRead(ms); }
  bool writeByte(quint8 byte) override {
    const bool ok = inner_.writeByte(byte);
    if (ok) ++counts_.written;
    return ok;
  }

 private:
  QtSerialDevice inner_;
  Counts& counts_;
};

// lir2-sim serving a profile, and the monitor window on its terminal, one run started.
struct Bench {
  SimProcess sim;
  SteadyClock clock;
  Counts counts;
  std::unique_ptr<DeviceLink> link;
  MonitorSession* monitor = nullptr;
  QString error;

  explicit Bench(const char* profile) {
    const QString path = sim.start({"--profile", profile, "--emulate-rate"});
    if (path.isEmpty()) {
      error = "lir2-sim did not start: " + sim.errors();
      return;
    }
    link = std::make_unique<DeviceLink>(
        [this, path](const PortEntry&) { return std::make_unique<CountingDevice>(path, counts); },
        QList<PortEntry>{{path, path, PortEntry::Kind::Path}}, clock, nullptr, nullptr, nullptr);
    monitor = new MonitorSession(*link, nullptr);
    monitor->start({path, kRate});
    if (!link->port().PortOpen) {
      error = "the terminal did not open";
      return;
    }
    // The first tick identifies the device and settles the frame format.
    tick();
  }
  // One tick as the timer would run it, without the pause before it; its wall time in seconds.
  double tick() {
    QElapsedTimer t;
    t.start();
    monitor->Timer3Timer();
    return t.nsecsElapsed() / 1e9;
  }
  bool failed(benchmark::State& state) {
    if (error.isEmpty() && link->exchange().ReconnectCount != 0)
      error = "a tick failed and reconnected";
    if (!error.isEmpty()) state.SkipWithError(error.toStdString().c_str());
    return !error.isEmpty();
  }
};

// Wall time per iteration against the line's floor for the bytes it exchanged.
void report(benchmark::State& state, double wall, double bytes) {
  const double floor = bytes * kByteSeconds;
  state.counters["bytes"] = bytes;
  state.counters["floor_ms"] = floor * 1e3;
  state.counters["wall_ms"] = wall * 1e3;
  state.counters["ratio"] = wall / floor;
}

// The same bytes, as many as all iterations exchanged, by the barest host (bare_echo.h) right
// after: its ratio to the floor, and the monitor's ratio over it, both measured in the same run.
void compareWithBare(benchmark::State& state, double wall, double bytes) {
  const BareEcho bare = bareEcho(static_cast<qint64>(bytes / 2));
  if (!bare.error.isEmpty()) return;
  const double bareRatio = bare.wallS / (bytes * kByteSeconds);
  state.counters["bare_ratio"] = bareRatio;
  state.counters["over_bare"] = wall / (bytes * kByteSeconds) / bareRatio;
}

quint64 total(const Counts& c) {
  return c.written + c.read;
}

// Times one step of the monitor per iteration against the line's floor for the bytes it
// exchanged; the step reports a failure by returning false.
template <typename Step>
void measure(benchmark::State& state, const char* profile, Step step) {
  Bench bench(profile);
  if (bench.failed(state)) return;
  double wall = 0;
  quint64 bytes = 0;
  for (auto _ : state) {
    const quint64 start = total(bench.counts);
    QElapsedTimer t;
    t.start();
    const bool done = step(bench);
    const double seconds = t.nsecsElapsed() / 1e9;
    if (!done) {
      state.SkipWithError("the device's reads failed");
      return;
    }
    bytes += total(bench.counts) - start;
    wall += seconds;
    state.SetIterationTime(seconds);
  }
  if (bench.failed(state)) return;
  const double n = double(state.iterations());
  report(state, wall / n, bytes / n);
  compareWithBare(state, wall, double(bytes));
}

// A tick that re-reads the 46 parameters (after a write, or a reconnect): the refresh, the
// polled cell, the watched cell and one RAM slice.
void BM_ParameterRefresh(benchmark::State& state, const char* profile) {
  measure(state, profile, [](Bench& bench) {
    bench.monitor->poll().EepromRefresh = true;
    bench.tick();
    return true;
  });
}
BENCHMARK_CAPTURE(BM_ParameterRefresh, gen9_binary, "gen9")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_ParameterRefresh, gen5_text, "gen5")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// A whole pass over the RAM window: four block ticks and the tick of the five single bytes,
// each with the polled and the watched cell.
void BM_RamPass(benchmark::State& state, const char* profile) {
  Bench bench(profile);
  if (bench.failed(state)) return;
  double wall = 0, blockTicks = 0, singlesTick = 0;
  quint64 bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // Up to the first block of a pass.
    while (bench.monitor->poll().RamOffset != 0 || bench.monitor->poll().RamSingles != 0)
      bench.tick();
    state.ResumeTiming();
    const quint64 start = total(bench.counts);
    double pass = 0;
    for (int i = 0; i < 5; ++i) {
      const double t = bench.tick();
      pass += t;
      (i < 4 ? blockTicks : singlesTick) += t;
    }
    bytes += total(bench.counts) - start;
    wall += pass;
    state.SetIterationTime(pass);
  }
  if (bench.failed(state)) return;
  const double n = double(state.iterations());
  report(state, wall / n, bytes / n);
  compareWithBare(state, wall, double(bytes));
  state.counters["block_tick_ms"] = blockTicks / (4 * n) * 1e3;
  state.counters["singles_tick_ms"] = singlesTick / n * 1e3;
}
BENCHMARK_CAPTURE(BM_RamPass, gen9_binary, "gen9")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_RamPass, gen5_text, "gen5")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The EEPROM map: 64 block reads on an LCD SIN board (gen9), 1024 single reads on the older LCD
// board (gen5), in one tick.
void BM_EepromMap(benchmark::State& state, const char* profile) {
  measure(state, profile,
          [](Bench& bench) { return bench.monitor->DumpEeprom(0, 1023) == Result::Ok; });
}
BENCHMARK_CAPTURE(BM_EepromMap, gen9_blocks, "gen9")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(BM_EepromMap, gen5_singles, "gen5")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// One parameter write as a button sends it: the announcing command 3, then the byte.
void BM_ParameterWrite(benchmark::State& state, const char* profile) {
  measure(state, profile, [](Bench& bench) {
    bench.monitor->writeEeprom({{64, 128}});
    return true;
  });
}
BENCHMARK_CAPTURE(BM_ParameterWrite, gen9_binary, "gen9")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_ParameterWrite, gen5_text, "gen5")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// The same line with nothing but echoed bytes: what every byte costs beyond its bit times on
// this machine, whatever frames it belongs to. Without the rate's emulation (argument 0) it is
// the cost of the terminal, the simulator and the host alone.
void BM_EchoedByteBaseline(benchmark::State& state) {
  SimProcess sim;
  QStringList args = {"--profile", "echo"};
  if (state.range(0) != 0) args << "--emulate-rate";
  const QString path = sim.start(args);
  SteadyClock clock;
  Counts counts;
  PortControl port(
      nullptr, [&](const PortEntry&) { return std::make_unique<CountingDevice>(path, counts); });
  port.setEntries({{path, path, PortEntry::Kind::Path}});
  port.PortName = path;
  if (path.isEmpty() || port.OpenPort(kRate) != Result::Ok) {
    state.SkipWithError("lir2-sim did not start");
    return;
  }
  Exchange ex(port, clock, nullptr, nullptr);
  QElapsedTimer wall;
  wall.start();
  for (auto _ : state) {
    ex.TxByte = static_cast<quint8>(counts.written);
    if (ex.ExchangeByte(LogNone, false) != Result::Ok) {
      state.SkipWithError("echo failed");
      return;
    }
  }
  const double wallPerByte = wall.nsecsElapsed() / 1e9 / state.iterations();
  if (state.range(0) != 0) report(state, wallPerByte, 2);
  state.counters["round_trip_us"] = wallPerByte * 1e6;
}
BENCHMARK(BM_EchoedByteBaseline)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(2000)
    ->UseRealTime();

}  // namespace
