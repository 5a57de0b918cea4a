// lir2-cli upload of the 64 KB sample to lir2-sim on a pseudo-terminal at an emulated
// 19200 bit/s: wall time against the line's floor (every transfer byte and its echo, 10 bits
// each), and the program's processor time as a share of the wall time. The window's figure for
// the same upload is upload_bench's BM_UploadAtLineRate; run both to compare.
#include <benchmark/benchmark.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <sys/resource.h>

#include "firmware/upload.h"
#include "upload_wire.h"

using namespace lir2;

namespace {

// The sample's transfer, as the program prepares it.
qint64 sampleWireBytes() {
  QFile f(samplePath());
  if (!f.open(QIODevice::ReadOnly)) return 0;
  return transferWireBytes(prepareProgramText(f.readAll()).text);
}

// Processor time of the children waited for so far.
double childrenCpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_CHILDREN, &ru);
  return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
         (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

void BM_CliUploadAtLineRate(benchmark::State& state) {
  const qint64 wire = sampleWireBytes();
  const double floorS = wire * 2.0 * 10.0 / 19200.0;
  for (auto _ : state) {
    QProcess sim;
    sim.start(QStringLiteral(LIR2_SIM_BUILT),
              {"--profile", "boot", "--greet-first-ms", "20", "--greet-period-ms", "20",
               "--emulate-rate", "--rate", "19200"});
    QDeadlineTimer deadline(5000);
    while (!sim.canReadLine() && !deadline.hasExpired()) sim.waitForReadyRead(100);
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
    if (path.isEmpty()) {
      state.SkipWithError("lir2-sim did not start");
      return;
    }
    QProcess cli;
    // Standard output is a pipe: the plain progress lines, as in a script.
    cli.setProcessChannelMode(QProcess::MergedChannels);
    const double cpu0 = childrenCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    cli.start(QStringLiteral(LIR2_CLI_BUILT), {"upload", samplePath(), "--port", path});
    const bool ended = cli.waitForFinished(10 * 60 * 1000);
    const double wallS = wall.nsecsElapsed() / 1e9;
    const double cpuS = childrenCpuSeconds() - cpu0;
    const QByteArray output = cli.readAll();
    sim.terminate();
    sim.waitForFinished(5000);
    if (!ended || cli.exitCode() != 0) {
      state.SkipWithError(output.right(300).constData());
      return;
    }
    state.SetIterationTime(wallS);
    state.counters["wire_bytes"] = static_cast<double>(wire);
    state.counters["floor_s"] = floorS;
    state.counters["wall_s"] = wallS;
    state.counters["wall_over_floor"] = wallS / floorS;
    state.counters["cpu_s"] = cpuS;
    state.counters["cpu_share_pct"] = 100.0 * cpuS / wallS;
  }
}
BENCHMARK(BM_CliUploadAtLineRate)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
