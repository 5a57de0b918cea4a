// lir2-sim: the simulated device on a pseudo-terminal, so that a program can reach it through
// its real serial port code. Prints the terminal's path on stdout, serves until SIGINT or
// SIGTERM.
//
// The host's openings are seen through inotify on the terminal (IN_OPEN / IN_CLOSE), its
// purges and its changes of the port's settings through the master's packet mode, and its rate
// by reading the terminal's settings when they changed.
//
// With --emulate-rate every byte takes its 10 bit times each way. A byte goes to the host at
// its deadline to within a few microseconds: the server sleeps until a little before it (the
// wake-up's usual lateness, learnt as it goes) and waits out the rest on the clock.

#include "serial/safe_save.h"
#include "serial/shown_text.h"
#include "sim/device_model.h"
#include "sim/line_pacer.h"
#include "sim/sim_options.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace lir2 {

namespace {

volatile sig_atomic_t g_stop = 0;
void onSignal(int) {
  g_stop = 1;
}

constexpr qint64 kNsPerMs = 1000000;
constexpr qint64 kNsPerUs = 1000;
constexpr std::size_t kMaxInFlight = 65536;
// Bounds of the early wake-up before a byte's deadline: the time spent on the clock instead of
// asleep. Later wake-ups than the upper bound (a busy machine) are not chased.
constexpr qint64 kMinMarginNs = 10 * kNsPerUs;
constexpr qint64 kMaxMarginNs = 100 * kNsPerUs;

// In packet mode the master hears of every change of the terminal's settings while the local
// mode flag EXTPROC is set (Linux).
#ifndef TIOCPKT_IOCTL
#define TIOCPKT_IOCTL 64
#endif

qint64 monotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<qint64>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

qint32 rateOf(speed_t s) {
  struct Pair {
    speed_t code;
    qint32 rate;
  };
  static const Pair table[] = {
      {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},
      {B150, 150},         {B200, 200},         {B300, 300},         {B600, 600},
      {B1200, 1200},       {B1800, 1800},       {B2400, 2400},       {B4800, 4800},
      {B9600, 9600},       {B19200, 19200},     {B38400, 38400},     {B57600, 57600},
      {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
      {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000},
      {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000},
      {B3500000, 3500000}, {B4000000, 4000000},
  };
  for (const Pair& p : table)
    if (p.code == s) return p.rate;
  return 0;
}

qint32 terminalRate(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return 0;
  return rateOf(cfgetospeed(&t));
}

// Sets EXTPROC again if a host cleared it, so the next change is heard of too.
void keepHearingSettings(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0 || (t.c_lflag & EXTPROC)) return;
  t.c_lflag |= EXTPROC;
  tcsetattr(fd, TCSANOW, &t);
}

void say(bool verbose, const QString& text) {
  if (verbose) std::fprintf(stderr, "lir2-sim: %s\n", text.toLocal8Bit().constData());
}

QByteArray hexRecords(const Bootloader* boot) {
  QByteArray text;
  if (!boot) return text;
  for (const QByteArray& record : boot->upload().records)
    text += ':' + record.toHex().toUpper() + "\r\n";
  return text;
}

// Saved as every file of the project is saved: whole, or the old file kept and the reason told.
void writeFile(const QString& path, const QByteArray& bytes) {
  QString reason;
  if (!saveFile(path, bytes, &reason))
    std::fprintf(stderr, "lir2-sim: cannot write %s: %s\n",
                 shownPath(path).toLocal8Bit().constData(), reason.toLocal8Bit().constData());
}

class PtyServer {
 public:
  explicit PtyServer(SimProgramOptions opt) : opt_(std::move(opt)), model_(opt_.config) {}
  ~PtyServer();
  // Returns the process exit code.
  int run();

 private:
  bool setUp();
  void serve();
  void hostOpened(qint64 now);
  void hostClosed();
  void readMaster(qint64 now);
  void readInotify(qint64 now);
  void writeDue(qint64 now);
  void noteRate(qint64 now);
  void learnLateness(qint64 lateNs);
  void dump();
  qint64 ms(qint64 ns) const { return (ns - t0_) / kNsPerMs; }
  bool attached() const { return inotify_ < 0 || clients_ > 0; }

  SimProgramOptions opt_;
  DeviceModel model_;
  LinePacer pacer_;
  int master_ = -1;
  int slave_ = -1;
  int inotify_ = -1;
  bool packetMode_ = false;
  bool linkPlaced_ = false;
  QByteArray slavePath_;
  qint64 t0_ = 0;
  int clients_ = 0;
  qint32 rate_ = 0;
  bool settingsChanged_ = true;    // read the rate before serving the next byte
  qint64 lateNs_ = 50 * kNsPerUs;  // usual lateness of a wake-up, an upper quantile
  bool wantWrite_ = false;
  std::deque<std::pair<qint64, quint8>> toDevice_;  // host bytes still on the wire
  std::deque<std::pair<qint64, quint8>> toHost_;    // device bytes still on the wire
};

PtyServer::~PtyServer() {
  if (linkPlaced_) ::unlink(QFile::encodeName(opt_.link).constData());
  if (inotify_ >= 0) ::close(inotify_);
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

bool PtyServer::setUp() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    std::perror("lir2-sim: pseudo-terminal");
    return false;
  }
  const char* name = ptsname(master_);
  if (!name) {
    std::perror("lir2-sim: ptsname");
    return false;
  }
  slavePath_ = name;
  // Our own descriptor of the terminal stays open for good: without it the master reports a
  // hang-up to poll() whenever no host has the port open, and poll() would never sleep.
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) {
    std::perror("lir2-sim: open terminal");
    return false;
  }
  termios t{};
  tcgetattr(slave_, &t);
  cfmakeraw(&t);  // no byte is translated, held back or turned into a signal
  t.c_lflag |= EXTPROC;
  cfsetispeed(&t, B19200);
  cfsetospeed(&t, B19200);
  tcsetattr(slave_, TCSANOW, &t);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  int on = 1;
  packetMode_ = ioctl(master_, TIOCPKT, &on) == 0;

  inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_ >= 0 && inotify_add_watch(inotify_, name, IN_OPEN | IN_CLOSE) < 0) {
    ::close(inotify_);
    inotify_ = -1;
  }
  if (inotify_ < 0)
    std::fprintf(stderr,
                 "lir2-sim: cannot watch the terminal; reopenings are seen only by a purge\n");

  if (!opt_.link.isEmpty()) {
    const QByteArray link = QFile::encodeName(opt_.link);
    struct stat st {};
    if (::lstat(link.constData(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        std::fprintf(stderr, "lir2-sim: %s exists and is not a symlink\n", link.constData());
        return false;
      }
      ::unlink(link.constData());
    }
    if (::symlink(name, link.constData()) != 0) {
      std::perror("lir2-sim: symlink");
      return false;
    }
    linkPlaced_ = true;
  }
  if (opt_.emulateRate) prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);  // microsecond wake-ups
  return true;
}

int PtyServer::run() {
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  // The signals are let through only while waiting in ppoll(), so none is lost between the
  // check of the flag and the wait.
  sigset_t block;
  sigemptyset(&block);
  sigaddset(&block, SIGINT);
  sigaddset(&block, SIGTERM);
  sigprocmask(SIG_BLOCK, &block, nullptr);

  if (!setUp()) return 1;
  std::printf("%s\n", slavePath_.constData());
  std::fflush(stdout);

  t0_ = monotonicNs();
  rate_ = terminalRate(slave_);
  pacer_.setRate(opt_.emulateRate ? (opt_.fixedRate ? opt_.fixedRate : rate_) : 0);
  if (inotify_ < 0) model_.portOpened(0, rate_);
  serve();
  dump();
  return 0;
}

void PtyServer::noteRate(qint64 now) {
  settingsChanged_ = false;
  if (packetMode_) keepHearingSettings(slave_);
  const qint32 rate = terminalRate(slave_);
  if (rate == rate_) return;
  rate_ = rate;
  model_.hostRateChanged(ms(now), rate);
  if (opt_.emulateRate && !opt_.fixedRate) pacer_.setRate(rate);
  say(opt_.verbose, QString("rate changed to %1 bit/s").arg(rate));
}

void PtyServer::learnLateness(qint64 lateNs) {
  // Quick to follow a later wake-up, slow to forget it: about the 90th percentile.
  if (lateNs > lateNs_)
    lateNs_ += (lateNs - lateNs_) / 4;
  else
    lateNs_ -= (lateNs_ - lateNs) / 32;
}

void PtyServer::hostOpened(qint64 now) {
  ++clients_;
  settingsChanged_ = true;
  rate_ = terminalRate(slave_);
  toDevice_.clear();
  toHost_.clear();
  pacer_.reset();
  if (opt_.emulateRate && !opt_.fixedRate) pacer_.setRate(rate_);
  model_.portOpened(ms(now), rate_);
  say(opt_.verbose, QString("port opened at %1 bit/s").arg(rate_));
}

void PtyServer::hostClosed() {
  if (clients_ > 0) --clients_;
  if (clients_ > 0) return;
  toDevice_.clear();
  toHost_.clear();
  // What the device said to nobody must not greet the next host.
  tcflush(slave_, TCIOFLUSH);
  say(opt_.verbose, "port closed");
}

void PtyServer::readInotify(qint64 now) {
  alignas(inotify_event) char buf[4096];
  for (;;) {
    const ssize_t n = ::read(inotify_, buf, sizeof buf);
    if (n <= 0) return;
    for (ssize_t i = 0; i < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buf + i);
      if (e->mask & IN_OPEN) hostOpened(now);
      if (e->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) hostClosed();
      i += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
  }
}

void PtyServer::readMaster(qint64 now) {
  unsigned char buf[4096];
  for (;;) {
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) return;
    int start = 0;
    if (packetMode_) {
      if (buf[0] != TIOCPKT_DATA) {
        if (buf[0] & TIOCPKT_IOCTL) settingsChanged_ = true;
        if (buf[0] & TIOCPKT_FLUSHREAD) {
          // The host purged its receive buffer: what is still on the wire to it is gone.
          toHost_.clear();
          if (inotify_ < 0) model_.portOpened(ms(now), terminalRate(slave_));
        }
        continue;
      }
      start = 1;
    }
    if (!attached()) continue;
    for (ssize_t i = start; i < n; ++i) {
      toDevice_.emplace_back(pacer_.inputComplete(now), buf[i]);
      if (toDevice_.size() > kMaxInFlight) toDevice_.pop_front();
    }
  }
}

void PtyServer::writeDue(qint64 now) {
  wantWrite_ = false;
  while (!toHost_.empty() && toHost_.front().first <= now) {
    const unsigned char b = toHost_.front().second;
    const ssize_t n = ::write(master_, &b, 1);
    if (n == 1) {
      toHost_.pop_front();
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      wantWrite_ = true;  // the host is not reading; try again when there is room
      return;
    }
    toHost_.pop_front();  // the terminal refuses it: lost on the line
  }
}

void PtyServer::serve() {
  sigset_t waitMask;
  sigprocmask(SIG_SETMASK, nullptr, &waitMask);
  sigdelset(&waitMask, SIGINT);
  sigdelset(&waitMask, SIGTERM);

  while (!g_stop) {
    qint64 now = monotonicNs();
    // Without packet mode nothing tells of a change: look every time.
    if (attached() && (settingsChanged_ || !packetMode_)) noteRate(now);
    const auto toHost = [this](const QByteArray& out, qint64 readyAt) {
      if (!attached()) return;
      for (char c : out) {
        toHost_.emplace_back(pacer_.outputArrives(readyAt), static_cast<quint8>(c));
        if (toHost_.size() > kMaxInFlight) toHost_.pop_front();
      }
    };
    while (!toDevice_.empty() && toDevice_.front().first <= now) {
      const qint64 due = toDevice_.front().first;
      model_.receive(toDevice_.front().second, ms(due));
      toDevice_.pop_front();
      // What a byte makes the device say (its echo, a reply) is on its way from the moment the
      // byte was complete: a late wake-up of this loop must not stretch the emulated line.
      toHost(model_.takeOutput(ms(due)), due);
    }
    toHost(model_.takeOutput(ms(now)), now);
    writeDue(now);

    qint64 wake = std::numeric_limits<qint64>::max();
    if (!toDevice_.empty()) wake = std::min(wake, toDevice_.front().first);
    if (const std::optional<qint64> next = model_.nextOutputAt(ms(now)))
      wake = std::min(wake, t0_ + std::max(*next, ms(now) + 1) * kNsPerMs);
    // Only a byte to the host needs its deadline kept exactly: what the device does with a byte
    // from the host is dated from the byte's deadline, however late the server wakes for it.
    bool exact = false;
    if (!toHost_.empty() && !wantWrite_ && toHost_.front().first <= wake) {
      wake = toHost_.front().first;
      exact = opt_.emulateRate;
    }
    const qint64 margin =
        exact ? std::clamp(lateNs_ + kMinMarginNs, kMinMarginNs, kMaxMarginNs) : 0;
    const qint64 sleepUntil = wake == std::numeric_limits<qint64>::max() ? wake : wake - margin;

    pollfd fds[2] = {{master_, static_cast<short>(POLLIN | (wantWrite_ ? POLLOUT : 0)), 0},
                     {inotify_, POLLIN, 0}};
    timespec ts{};
    timespec* timeout = nullptr;
    if (sleepUntil != std::numeric_limits<qint64>::max()) {
      const qint64 wait = std::max<qint64>(sleepUntil - now, 0);
      ts.tv_sec = static_cast<time_t>(wait / 1000000000LL);
      ts.tv_nsec = static_cast<long>(wait % 1000000000LL);
      timeout = &ts;
    }
    const int rc = ppoll(fds, inotify_ >= 0 ? 2 : 1, timeout, &waitMask);
    if (rc < 0) {
      if (errno == EINTR) continue;
      std::perror("lir2-sim: ppoll");
      return;
    }
    now = monotonicNs();
    if (rc == 0 && exact) {
      if (ts.tv_sec || ts.tv_nsec) learnLateness(now - sleepUntil);  // it did sleep
      while (now < wake) now = monotonicNs();  // the last few microseconds on the clock
    }
    if (inotify_ >= 0 && (fds[1].revents & POLLIN)) readInotify(now);
    if (fds[0].revents & (POLLIN | POLLPRI)) readMaster(now);
    if ((fds[0].revents & POLLHUP) && !(fds[0].revents & POLLIN)) {
      // Should not happen while our own descriptor is open; do not spin if it does.
      const timespec pause{0, 10 * kNsPerMs};
      nanosleep(&pause, nullptr);
    }
  }
}

void PtyServer::dump() {
  if (!opt_.dumpImage.isEmpty()) writeFile(opt_.dumpImage, hexRecords(model_.bootloader()));
  if (!opt_.dumpEeprom.isEmpty()) {
    const DeviceMemory::Eeprom& e = model_.memory().eeprom();
    writeFile(opt_.dumpEeprom,
              QByteArray(reinterpret_cast<const char*>(e.data()), static_cast<int>(e.size())));
  }
  if (const Bootloader* boot = model_.bootloader())
    say(opt_.verbose, QString("uploads completed: %1").arg(boot->completedUploads()));
}

}  // namespace

}  // namespace lir2

using namespace lir2;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const SimArgumentsOutcome parsed = parseSimArguments(app.arguments());
  if (parsed.help) {
    std::printf("%s", parsed.text.toLocal8Bit().constData());
    return 0;
  }
  if (!parsed.options) {
    std::fprintf(stderr, "lir2-sim: %s\n", parsed.text.toLocal8Bit().constData());
    return 2;
  }
  PtyServer server(*parsed.options);
  return server.run();
}
