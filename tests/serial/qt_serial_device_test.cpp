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

namespace {

// The byte primitives on a real serial line (a pseudo-terminal), in real time.
struct PtyRig {
  TestPty pty;
  SteadyClock clock;
  StatusRecorder status;
  LogRecorder log;
  Switches switches;
  PortControl port{&status,
                   [](const PortEntry& e) { return std::make_unique<QtSerialDevice>(e.path); }};
  Exchange ex{port, clock, &log, &switches};

  PtyRig() {
    port.setEntries({{pty.path(), pty.path(), PortEntry::Kind::Path}});
    port.PortName = pty.path();
  }
};

TEST(QtSerialDevice, OpensAPseudoTerminalAndExchangesBytes) {
  PtyRig rig;
  ASSERT_TRUE(rig.pty.ok());
  ASSERT_EQ(rig.port.OpenPort(19200), 0);
  EXPECT_EQ(rig.status.error, "");  // DTR and RTS refused by a pseudo-terminal are no failure
  rig.ex.TxByte = 0xC3;
  ASSERT_EQ(rig.ex.WriteByte(LogHex), 0);
  EXPECT_EQ(rig.pty.receive(), "\xC3");
  rig.pty.send("\x0A");
  ASSERT_EQ(rig.ex.ReadByte(LogHex), 0);
  EXPECT_EQ(rig.ex.RxByte, 0x0A);
  EXPECT_EQ(rig.log.read, "0A");
  EXPECT_EQ(rig.log.write, "C3");
  // Purging drops what arrived unread.
  rig.pty.send("junk");
  QThread::msleep(50);
  rig.port.PurgePort();
  rig.pty.send("!");
  ASSERT_EQ(rig.ex.ReadByte(LogNone), 0);
  EXPECT_EQ(rig.ex.RxByte, '!');
}

TEST(QtSerialDevice, ReadTimesOutAfterMoreThan3000msOfRealTime) {
  PtyRig rig;
  ASSERT_EQ(rig.port.OpenPort(19200), 0);
  QElapsedTimer t;
  t.start();
  EXPECT_EQ(rig.ex.ReadByte(LogChar), 20);
  EXPECT_GT(t.elapsed(), 3000);
  EXPECT_TRUE(rig.port.PortOpen);
}

TEST(QtSerialDevice, VanishedPeerEndsReadsAndWrites) {
  PtyRig rig;
  ASSERT_EQ(rig.port.OpenPort(19200), 0);
  rig.pty.closeAll();
  EXPECT_EQ(rig.ex.ReadByte(LogChar), 20);
  EXPECT_FALSE(rig.port.PortOpen);
  rig.ex.TxByte = 'x';
  EXPECT_EQ(rig.ex.WriteByte(LogChar), 4);
  EXPECT_EQ(rig.ex.ExchangeByte(LogChar, true), 4);
}

TEST(QtSerialDevice, PortThatCannotBeOpened) {
  StatusRecorder status;
  PortControl port(&status,
                   [](const PortEntry& e) { return std::make_unique<QtSerialDevice>(e.path); });
  port.setEntries({{"ttyNONE", "/dev/does-not-exist-lir2", PortEntry::Kind::System}});
  port.PortName = "ttyNONE";
  EXPECT_EQ(port.OpenPort(19200), 2);
  // The message, then why: here, that the path does not exist.
  EXPECT_TRUE(status.error.startsWith("Open COM port Error: ")) << status.error.toStdString();
  EXPECT_FALSE(port.problem().isEmpty());
  EXPECT_TRUE(port.openFailed());
  EXPECT_FALSE(port.PortOpen);
  // A name that is not in the list ("Нет COM", a port gone since) fails the same way.
  port.PortName = "Нет COM";
  status.error.clear();
  EXPECT_EQ(port.OpenPort(19200), 2);
  EXPECT_EQ(status.error, "Open COM port Error");
}

TEST(QtSerialDevice, SecondOpenOfTheSameLineFails) {
  PtyRig rig;
  ASSERT_EQ(rig.port.OpenPort(19200), 0);
  QtSerialDevice other(rig.pty.path());
  const auto result = other.open(19200);
  EXPECT_FALSE(result.opened);
  EXPECT_EQ(result.message, "Open COM port Error");
}

// A symlink and its target are one device: a second program naming the port differently is
// refused rather than breaking into the running line.
TEST(QtSerialDevice, SymlinkAndTargetShareOneLock) {
  TestPty pty;
  ASSERT_TRUE(pty.ok());
  QTemporaryDir dir;
  const QString link = dir.filePath(QStringLiteral("lir2-link"));
  ASSERT_TRUE(QFile::link(pty.path(), link));
  EXPECT_EQ(canonicalPortPath(link), pty.path());
  EXPECT_EQ(canonicalPortPath(QStringLiteral("/dev/gone-lir2")), "/dev/gone-lir2");
  EXPECT_EQ(canonicalPortPath(QStringLiteral("ttyS0")), "ttyS0");
  QtSerialDevice running(pty.path());
  QtSerialDevice second(link);
  ASSERT_TRUE(running.open(19200).opened);
  EXPECT_FALSE(second.open(19200).opened);
  running.close();
  EXPECT_TRUE(second.open(19200).opened);  // the lock went with the first's close
}

// Low latency is asked for by changing only its flag; every refusal leaves the line as it was.
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

  // Opening a real line asks its driver; a pseudo-terminal's refuses, and the line still works.
  TestPty pty;
  ASSERT_TRUE(pty.ok());
  int refusals = 0;
  QtSerialDevice device(pty.path(), [&](int fd, unsigned long request, void* arg) {
    const int r = ::ioctl(fd, request, arg);
    refusals += request == TIOCGSERIAL && fd >= 0 && r != 0;
    return r;
  });
  ASSERT_TRUE(device.open(19200).opened);
  EXPECT_EQ(refusals, 1);
  ASSERT_TRUE(device.writeByte(0x5A));
  EXPECT_EQ(pty.receive(), "Z");
}

}  // namespace
