// How closely lir2-sim's emulated line keeps to the line's own timing, seen by a bare echo
// client: a poll/write/read loop on the pseudo-terminal, no program code above the port.
// Each byte and its echo take 2 × 10 bit times on the line: at 19200 bit/s 1042 µs, the
// floor. Reported: wall time per echoed byte (mean and median; the median is what a busy
// machine disturbs least), their ratios to the floor, and the simulator's processor time per
// second of line (from /proc/PID/stat, every thread of the process).
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "common/sim_process.h"

namespace {

// utime + stime of a process, in seconds.
double processCpuSeconds(qint64 pid) {
  QFile f(QString("/proc/%1/stat").arg(pid));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const QByteArray stat = f.readAll();
  // Fields after the command name (which may hold blanks) start after the last ')'.
  const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
  if (fields.size() < 13) return 0;
  const double ticks = fields[11].toDouble() + fields[12].toDouble();  // utime, stime
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The bare client: the terminal opened raw at 19200 bit/s, one byte out, wait, one byte in.
class BareClient {
 public:
  explicit BareClient(const QString& path) {
    fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY);
    if (fd_ < 0) return;
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B19200);
    cfsetospeed(&t, B19200);
    tcsetattr(fd_, TCSANOW, &t);
    tcflush(fd_, TCIOFLUSH);
  }
  ~BareClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  bool echo(unsigned char b) {
    if (::write(fd_, &b, 1) != 1) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 3000) != 1) return false;
    unsigned char r = 0;
    return ::read(fd_, &r, 1) == 1 && r == b;
  }

 private:
  int fd_ = -1;
};

void bareEcho(benchmark::State& state, const QStringList& simArgs) {
  SimProcess sim;
  const QString path = sim.start(simArgs);
  BareClient client(path);
  if (path.isEmpty() || !client.ok()) {
    state.SkipWithError("lir2-sim did not start");
    return;
  }
  // Let the simulator see the opening before the first byte.
  for (int i = 0; i < 20; ++i) client.echo(0x55);
  unsigned char b = 0;
  std::vector<qint64> each;  // ns per echoed byte
  each.reserve(100000);
  const double cpu0 = processCpuSeconds(sim.pid());
  QElapsedTimer wall;
  wall.start();
  qint64 last = 0;
  for (auto _ : state) {
    if (!client.echo(b++)) {
      state.SkipWithError("echo failed");
      break;
    }
    const qint64 now = wall.nsecsElapsed();
    each.push_back(now - last);
    last = now;
  }
  if (each.empty()) return;
  const double seconds = wall.nsecsElapsed() / 1e9;
  const double us = seconds * 1e6 / static_cast<double>(state.iterations());
  std::nth_element(each.begin(), each.begin() + each.size() / 2, each.end());
  const double medianUs = each[each.size() / 2] / 1000.0;
  const double floorUs = 2 * 10 * 1e6 / 19200;
  state.counters["wall_us_per_byte"] = us;
  state.counters["median_us_per_byte"] = medianUs;
  // Against the line's floor at 19200 bit/s; meaningless for the unpaced line.
  state.counters["vs_floor_19200"] = us / floorUs;
  state.counters["median_vs_floor"] = medianUs / floorUs;
  state.counters["sim_cpu_ms_per_s"] = (processCpuSeconds(sim.pid()) - cpu0) * 1000 / seconds;
}

void BM_BareEchoUnpaced(benchmark::State& state) {
  bareEcho(state, {"--profile", "echo"});
}
BENCHMARK(BM_BareEchoUnpaced)->Unit(benchmark::kMicrosecond)->MinTime(3.0)->UseRealTime();

void BM_BareEchoAt19200(benchmark::State& state) {
  bareEcho(state, {"--profile", "echo", "--emulate-rate"});
}
BENCHMARK(BM_BareEchoAt19200)->Unit(benchmark::kMicrosecond)->MinTime(5.0)->UseRealTime();

}  // namespace
