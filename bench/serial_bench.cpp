// The byte primitives on a real serial line: lir2-sim serving a pseudo-terminal.
//  - one echoed byte through ExchangeByte, as fast as the line goes and with the line's
//    timing emulated at 19200 bit/s (a byte and its echo take 2 × 10 / 19200 s = 1042 µs);
//  - the processor time a read spends waiting 3000 ms for a byte that never comes.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include "common/pty.h"
#include "common/sim_process.h"
#include "serial/clock.h"
#include "serial/exchange.h"
#include "serial/port_control.h"
#include "serial/qt_serial_device.h"

using namespace lir2;

namespace {

double cpuSeconds() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  return use.ru_utime.tv_sec + use.ru_stime.tv_sec +
         (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

struct Line {
  SteadyClock clock;
  PortControl port{nullptr,
                   [](const PortEntry& e) { return std::make_unique<QtSerialDevice>(e.path); }};
  Exchange ex{port, clock, nullptr, nullptr};
  bool open(const QString& path) {
    port.setEntries({{path, path, PortEntry::Kind::Path}});
    port.PortName = path;
    return port.OpenPort(19200) == Result::Ok;
  }
};

void echoedBytes(benchmark::State& state, const QStringList& simArgs) {
  SimProcess sim;
  const QString path = sim.start(simArgs);
  Line line;
  if (path.isEmpty() || !line.open(path)) {
    state.SkipWithError("lir2-sim did not start");
    return;
  }
  quint8 b = 0;
  const double cpu0 = cpuSeconds();
  QElapsedTimer wall;
  wall.start();
  for (auto _ : state) {
    line.ex.TxByte = b++;
    if (line.ex.ExchangeByte(LogNone, false) != Result::Ok) {
      state.SkipWithError("echo failed");
      break;
    }
  }
  const double us = wall.nsecsElapsed() / 1000.0 / state.iterations();
  state.counters["wall_us_per_byte"] = us;
  // What a byte and its echo take on the line at 19200 bit/s: 2 × 10 bits.
  state.counters["vs_line_19200"] = us / (2 * 10 * 1e6 / 19200);
  state.counters["cpu_share_pct"] = (cpuSeconds() - cpu0) * 100 / (wall.nsecsElapsed() / 1e9);
}

void BM_EchoedByte(benchmark::State& state) {
  echoedBytes(state, {"--profile", "echo"});
}
BENCHMARK(BM_EchoedByte)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseRealTime();

void BM_EchoedByteAt19200(benchmark::State& state) {
  echoedBytes(state, {"--profile", "echo", "--emulate-rate", "--rate", "19200"});
}
BENCHMARK(BM_EchoedByteAt19200)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseRealTime();

void BM_IdleReadWait(benchmark::State& state) {
  TestPty pty;
  Line line;
  if (!pty.ok() || !line.open(pty.path())) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  double cpu = 0;
  for (auto _ : state) {
    const double before = cpuSeconds();
    benchmark::DoNotOptimize(line.ex.ReadByte(LogNone));
    cpu += cpuSeconds() - before;
  }
  state.counters["cpu_ms"] = cpu * 1000 / state.iterations();
  state.counters["cpu_share_pct"] = cpu * 100 / (3.0 * state.iterations());
}
BENCHMARK(BM_IdleReadWait)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace
