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

#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "app/app_windows.h"
#include "app/form_main.h"
#include "firmware/upload.h"
#include "upload_wire.h"
#include "protocol/sound.h"
#include "serial/clock.h"

namespace {

struct Silence final : SoundPlayer {
  void play(Sound) override {}
};

double processCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

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
    AppWindows w(options, clock, silence);
    w.FormMain->show();
    w.FormMain->FileOpen1Accept(samplePath());
    QApplication::processEvents();
    QElapsedTimer wall;
    const double cpu0 = processCpuSeconds();
    wall.start();
    w.FormMain->LoadProg->trigger();
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

// The same number of echoed bytes through lir2-sim's echo profile by the barest host there is:
// write a byte, block in poll() until its echo is readable, read it. What the emulated line and
// the simulator allow any host, for comparison with the upload above.
void BM_BareEchoAtLineRate(benchmark::State& state) {
  const qint64 wire = transferWireBytes(sampleProgram());
  for (auto _ : state) {
    QProcess sim;
    sim.start(QStringLiteral(LIR2_SIM_BUILT),
              {"--profile", "echo", "--emulate-rate", "--rate", "19200"});
    QDeadlineTimer deadline(5000);
    while (!sim.canReadLine() && !deadline.hasExpired()) sim.waitForReadyRead(100);
    const QByteArray path = sim.readLine().trimmed();
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY);
    if (path.isEmpty() || fd < 0) {
      state.SkipWithError("lir2-sim did not start");
      return;
    }
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B19200);
    cfsetospeed(&t, B19200);
    tcsetattr(fd, TCSANOW, &t);
    ::usleep(50000);  // the simulator sees the opening
    tcflush(fd, TCIOFLUSH);
    QElapsedTimer wall;
    const double cpu0 = processCpuSeconds();
    wall.start();
    qint64 echoed = 0;
    for (qint64 i = 0; i < wire; ++i) {
      const unsigned char out = static_cast<unsigned char>(i * 37);
      unsigned char in = 0;
      if (::write(fd, &out, 1) != 1) break;
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 3000) != 1 || ::read(fd, &in, 1) != 1) break;
      echoed += in == out;
    }
    const double wallS = wall.nsecsElapsed() / 1e9;
    const double cpuS = processCpuSeconds() - cpu0;
    ::close(fd);
    sim.terminate();
    sim.waitForFinished(5000);
    if (echoed != wire) {
      state.SkipWithError("echo lost");
      return;
    }
    const double floorS = wire * 2.0 * 10.0 / 19200.0;
    state.SetIterationTime(wallS);
    state.counters["wire_bytes"] = static_cast<double>(wire);
    state.counters["wall_s"] = wallS;
    state.counters["wall_over_floor"] = wallS / floorS;
    state.counters["cpu_share_pct"] = 100.0 * cpuS / wallS;
  }
}
BENCHMARK(BM_BareEchoAtLineRate)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
