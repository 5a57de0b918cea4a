// The byte primitives on a real serial line (a pseudo-terminal), in real time.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <linux/serial.h>
#include <sys/ioctl.h>

#include "common/pty.h"
#include "common/recorders.h"
#include "serial/clock.h"
#include "serial/exchange.h"
#include "serial/port_control.h"
#include "serial/qt_serial_device.h"

using namespace lir2;

namespace {

// Opening asks the driver for low latency (a pseudo-terminal's refuses, harmlessly); then bytes
// both ways, a purge, a read that times out with the line still open, and the peer going away:
// reads and writes fail and close the port.
TEST(QtSerialDevice, ExchangesBytesTimesOutAndNoticesAVanishedPeer) {
  TestPty pty;
  ASSERT_TRUE(pty.ok());
  SteadyClock clock;
  StatusRecorder status;
  LogRecorder log;
  int refusals = 0;
  PortControl port{&status, [&](const PortEntry& e) {
                     return std::make_unique<QtSerialDevice>(
                         e.path, [&](int fd, unsigned long request, void* arg) {
                           const int r = ::ioctl(fd, request, arg);
                           refusals += request == TIOCGSERIAL && fd >= 0 && r != 0;
                           return r;
                         });
                   }};
  Exchange ex{port, clock, &log, nullptr};
  port.setEntries({{pty.path(), pty.path(), PortEntry::Kind::Path}});
  port.PortName = pty.path();
  ASSERT_EQ(port.OpenPort(19200), Result::Ok);
  EXPECT_EQ(status.error, "");  // DTR and RTS refused by a pseudo-terminal are no failure
  EXPECT_EQ(refusals, 1);
  ex.TxByte = 0xC3;
  ASSERT_EQ(codeOf(ex.WriteByte(LogHex)), 0);
  EXPECT_EQ(pty.receive(), "\xC3");
  pty.send("\x0A");
  ASSERT_EQ(codeOf(ex.ReadByte(LogHex)), 0);
  EXPECT_EQ(log.read + log.write, "0AC3");
  pty.send("junk");
  QThread::msleep(50);
  port.PurgePort();
  pty.send("!");
  ASSERT_EQ(codeOf(ex.ReadByte(LogNone)), 0);
  EXPECT_EQ(ex.RxByte, '!');

  QElapsedTimer t;
  t.start();
  EXPECT_EQ(codeOf(ex.ReadByte(LogChar)), 20);
  EXPECT_GT(t.elapsed(), 3000);
  EXPECT_TRUE(port.PortOpen);

  pty.closeAll();
  EXPECT_EQ(codeOf(ex.ReadByte(LogChar)), 20);
  EXPECT_FALSE(port.PortOpen);
  EXPECT_EQ(codeOf(ex.WriteByte(LogChar)), 4);
  EXPECT_EQ(codeOf(ex.ExchangeByte(LogChar, true)), 4);
}

// A line is opened once: a second program naming it again, or by a symlink, is refused rather
// than breaking into the running line.
TEST(QtSerialDevice, ALineAndItsSymlinksShareOneLock) {
  TestPty pty;
  ASSERT_TRUE(pty.ok());
  QTemporaryDir dir;
  const QString link = dir.filePath(QStringLiteral("lir2-link"));
  ASSERT_TRUE(QFile::link(pty.path(), link));
  EXPECT_EQ(canonicalPortPath(link), pty.path());
  EXPECT_EQ(canonicalPortPath(QStringLiteral("/dev/gone-lir2")), "/dev/gone-lir2");
  EXPECT_EQ(canonicalPortPath(QStringLiteral("ttyS0")), "ttyS0");
  QtSerialDevice running(pty.path());
  QtSerialDevice again(pty.path());
  QtSerialDevice second(link);
  ASSERT_TRUE(running.open(19200).opened);
  EXPECT_EQ(again.open(19200).message, "Open COM port Error");
  EXPECT_FALSE(second.open(19200).opened);
  running.close();
  EXPECT_TRUE(second.open(19200).opened);  // the lock went with the first's close
}

// Low latency is asked for by changing only its flag; every refusal leaves the flags as they were.
TEST(QtSerialDevice, LowLatencyIsRequestedAndARefusalIsHarmless) {
  const struct {
    const char* name;
    int getResult, setResult;
    int flags;
    bool granted;
    int setFlags;  // what TIOCSSERIAL was given; -1: not called
  } cases[] = {
      {"granted", 0, 0, ASYNC_SPD_HI, true, ASYNC_SPD_HI | ASYNC_LOW_LATENCY},
      {"not a serial driver", -1, 0, 0, false, -1},
      {"setting refused", 0, -1, 0, false, ASYNC_LOW_LATENCY},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int setFlags = -1;
    const bool granted = requestLowLatency(7, [&](int, unsigned long request, void* arg) {
      auto* serial = static_cast<serial_struct*>(arg);
      if (request == TIOCGSERIAL) {
        serial->flags = c.flags;
        return c.getResult;
      }
      setFlags = serial->flags;
      return c.setResult;
    });
    EXPECT_EQ(granted, c.granted);
    EXPECT_EQ(setFlags, c.setFlags);
  }
}

}  // namespace
