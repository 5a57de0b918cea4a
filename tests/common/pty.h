#pragma once

// A pseudo-terminal whose master side a test holds, to stand in for a device on a real line.
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>

class TestPty {
 public:
  TestPty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    path_ = QString::fromLocal8Bit(ptsname(master_));
    // Keep a slave open in raw mode, so nothing is translated and the master never hangs up.
    slave_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    tcsetattr(slave_, TCSANOW, &t);
  }
  ~TestPty() { closeAll(); }
  bool ok() const { return master_ >= 0 && slave_ >= 0; }
  const QString& path() const { return path_; }
  void send(const std::string& bytes) { (void)!::write(master_, bytes.data(), bytes.size()); }
  // Reads what the host wrote, waiting up to ms for the first byte.
  std::string receive(int ms = 1000) {
    std::string out;
    pollfd p{master_, POLLIN, 0};
    while (::poll(&p, 1, out.empty() ? ms : 50) > 0 && (p.revents & POLLIN)) {
      char buf[256];
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, size_t(n));
    }
    return out;
  }
  // The peer goes away, as when a device or a simulator is switched off.
  void closeAll() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
    slave_ = master_ = -1;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  QString path_;
};
