#pragma once

// The barest host there is, for the benchmarks' comparisons: through lir2-sim's echo profile at an
// emulated line rate, write a byte, block in poll() until its echo is readable, read it, and so on
// for as many bytes as the measured run exchanged. What the emulated line and the simulator allow
// any host on this machine at this moment.
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>

#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

inline double processCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

struct BareEcho {
  double wallS = 0, cpuS = 0;
  QString error;
};

// bytes echoed bytes at 19200 bit/s; the floor of that is bytes * 2 * 10 / 19200 seconds.
inline BareEcho bareEcho(qint64 bytes) {
  BareEcho run;
  QProcess sim;
  sim.start(QStringLiteral(LIR2_SIM_BUILT),
            {"--profile", "echo", "--emulate-rate", "--rate", "19200"});
  QDeadlineTimer deadline(5000);
  while (!sim.canReadLine() && !deadline.hasExpired()) sim.waitForReadyRead(100);
  const QByteArray path = sim.readLine().trimmed();
  const int fd = path.isEmpty() ? -1 : ::open(path.constData(), O_RDWR | O_NOCTTY);
  if (fd < 0) {
    run.error = QStringLiteral("lir2-sim did not start");
    return run;
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
  for (qint64 i = 0; i < bytes; ++i) {
    const unsigned char out = static_cast<unsigned char>(i * 37);
    unsigned char in = 0;
    if (::write(fd, &out, 1) != 1) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 3000) != 1 || ::read(fd, &in, 1) != 1) break;
    echoed += in == out;
  }
  run.wallS = wall.nsecsElapsed() / 1e9;
  run.cpuS = processCpuSeconds() - cpu0;
  ::close(fd);
  sim.terminate();
  sim.waitForFinished(5000);
  if (echoed != bytes) run.error = QStringLiteral("echo lost");
  return run;
}
