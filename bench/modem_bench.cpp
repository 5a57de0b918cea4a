// The modem set-up against a modem that never answers, on a real pseudo-terminal through the
// real serial code path: three 500 ms pauses and four 1000 ms time-outs. The figure to watch
// is the processor time the wait costs against the wall time it takes.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <ctime>

#include "common/pty.h"
#include "host/sms_modem.h"
#include "serial/clock.h"
#include "serial/exchange.h"
#include "serial/port_control.h"
#include "serial/qt_serial_device.h"

using namespace lir2;

namespace {

double processCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

void BM_ModemInitSilentLine(benchmark::State& state) {
  TestPty pty;
  if (!pty.ok()) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  SteadyClock clock;
  PortControl port(nullptr, [](const PortEntry& e) -> std::unique_ptr<SerialDevice> {
    return std::make_unique<QtSerialDevice>(e.path);
  });
  port.setEntries({{pty.path(), pty.path(), PortEntry::Kind::Path}});
  port.PortName = pty.path();
  if (port.OpenPort(19200) != Result::Ok) {
    state.SkipWithError("the pseudo-terminal does not open");
    return;
  }
  Exchange ex(port, clock, nullptr, nullptr);
  SmsModem modem(ex);
  double cpuMs = 0, wallMs = 0;
  for (auto _ : state) {
    const double cpu0 = processCpuMs();
    const qint64 wall0 = clock.nowMs();
    modem.ModemInit();
    cpuMs += processCpuMs() - cpu0;
    wallMs += static_cast<double>(clock.nowMs() - wall0);
    pty.receive(0);  // what the host wrote, so the line's buffer never fills
  }
  state.counters["wall_ms"] = wallMs / state.iterations();
  state.counters["cpu_ms"] = cpuMs / state.iterations();
  state.counters["cpu_share"] = wallMs > 0 ? cpuMs / wallMs : 0;
}
BENCHMARK(BM_ModemInitSilentLine)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
