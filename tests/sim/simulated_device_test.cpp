// The in-process line: waits in virtual time, the fault knobs, and a device that outlives
// the line.

#include "sim/simulated_device.h"
#include "serial/clock.h"

#include <gtest/gtest.h>

namespace {

struct Rig {
  explicit Rig(const QString& profile, void (*tweak)(SimConfig&) = nullptr) {
    SimConfig cfg = *simConfigForProfile(profile);
    if (tweak) tweak(cfg);
    model = std::make_shared<DeviceModel>(cfg);
    line = std::make_unique<SimulatedSerialDevice>(model, clock);
  }
  // Reads one byte the way the host's primitive does: look first, then wait for the rest.
  std::optional<quint8> readByte(int timeoutMs = 3000) {
    quint8 b = 0;
    const qint64 end = clock.nowMs() + timeoutMs;
    for (;;) {
      const SerialDevice::Read r = line->readByte(b);
      if (r == SerialDevice::Read::Byte) return b;
      if (r == SerialDevice::Read::Failed) return std::nullopt;
      const qint64 left = end - clock.nowMs();
      if (left <= 0 || !line->waitForReadyRead(static_cast<int>(left))) {
        if (line->readByte(b) == SerialDevice::Read::Byte) return b;
        return std::nullopt;
      }
    }
  }
  QByteArray readBytes(int n) {
    QByteArray out;
    while (out.size() < n) {
      const std::optional<quint8> b = readByte();
      if (!b) break;
      out.append(static_cast<char>(*b));
    }
    return out;
  }
  // A monitor command: every byte echoed, then the reply read and echoed up to LF.
  QByteArray command(const QByteArray& frame) {
    for (char c : frame) {
      if (!line->writeByte(static_cast<quint8>(c))) return "write failed";
      const std::optional<quint8> echo = readByte();
      if (!echo || *echo != static_cast<quint8>(c)) return "wrong echo";
    }
    QByteArray reply;
    while (const std::optional<quint8> b = readByte()) {
      reply.append(static_cast<char>(*b));
      line->writeByte(*b);
      if (*b == '\n') break;
    }
    return reply;
  }

  VirtualClock clock;
  std::shared_ptr<DeviceModel> model;
  std::unique_ptr<SimulatedSerialDevice> line;
};

TEST(SimulatedSerialDevice, SilentDeviceCostsTheWholeTimeoutInVirtualTime) {
  Rig rig("gen9");
  ASSERT_TRUE(rig.line->open(19200).opened);
  EXPECT_FALSE(rig.line->waitForReadyRead(3000));
  EXPECT_EQ(rig.clock.nowMs(), 3000);
  quint8 b = 0;
  EXPECT_EQ(rig.line->readByte(b), SerialDevice::Read::Empty);
}

TEST(SimulatedSerialDevice, WaitEndsWhenTheDeviceSpeaks) {
  Rig rig("boot");
  rig.clock.advance(1000);
  ASSERT_TRUE(rig.line->open(19200).opened);
  EXPECT_FALSE(rig.line->waitForReadyRead(100));
  EXPECT_EQ(rig.clock.nowMs(), 1100);
  EXPECT_TRUE(rig.line->waitForReadyRead(3000));
  EXPECT_EQ(rig.clock.nowMs(), 1150);
  EXPECT_EQ(rig.readBytes(6), "Load\r\n");
  EXPECT_EQ(rig.clock.nowMs(), 1150);
}

TEST(SimulatedSerialDevice, PendingBytesNeedNoWait) {
  Rig rig("echo");
  rig.line->open(19200);
  ASSERT_TRUE(rig.line->writeByte('a'));
  EXPECT_TRUE(rig.line->waitForReadyRead(3000));
  EXPECT_EQ(rig.clock.nowMs(), 0);
  EXPECT_EQ(rig.readByte(), 'a');
}

TEST(SimulatedSerialDevice, WaitCanIgnoreBytesAlreadyThereLikeThePlatformPort) {
  Rig rig("echo");
  rig.line->open(19200);
  rig.line->setWaitIgnoresBuffered(true);
  rig.line->writeByte('a');
  EXPECT_FALSE(rig.line->waitForReadyRead(100));
  EXPECT_EQ(rig.clock.nowMs(), 100);
  quint8 b = 0;
  EXPECT_EQ(rig.line->readByte(b), SerialDevice::Read::Byte);
  EXPECT_EQ(b, 'a');
}

TEST(SimulatedSerialDevice, DelayedAnswerWakesTheWaitAtItsTime) {
  Rig rig("modem");
  rig.line->open(19200);
  for (char c : QByteArray("ate0\r\nat+cmgf=1\r\nat+cmgs=\"+7\"\r\nhi\x1a")) rig.line->writeByte(c);
  rig.line->purge();
  EXPECT_TRUE(rig.line->waitForReadyRead(1000));
  EXPECT_EQ(rig.clock.nowMs(), 300);
  EXPECT_EQ(rig.readBytes(14), "+CMGS: 1\r\nOK\r\n");
}

TEST(SimulatedSerialDevice, ClosedLineFailsAtOnce) {
  Rig rig("echo");
  quint8 b = 0;
  EXPECT_FALSE(rig.line->isOpen());
  EXPECT_EQ(rig.line->readByte(b), SerialDevice::Read::Failed);
  EXPECT_FALSE(rig.line->writeByte('a'));
  EXPECT_FALSE(rig.line->waitForReadyRead(3000));
  EXPECT_EQ(rig.clock.nowMs(), 0);
  rig.line->open(19200);
  rig.line->writeByte('a');
  rig.line->close();
  EXPECT_EQ(rig.line->readByte(b), SerialDevice::Read::Failed);
}

TEST(SimulatedSerialDevice, OpenCanFail) {
  Rig rig("boot");
  rig.line->setOpenFails(true);
  const SerialDevice::OpenResult r = rig.line->open(19200);
  EXPECT_FALSE(r.opened);
  EXPECT_EQ(r.message, "Open COM port Error");
  EXPECT_FALSE(rig.line->isOpen());
  EXPECT_EQ(rig.model->portOpenings(), 0);
  quint8 b = 0;
  EXPECT_EQ(rig.line->readByte(b), SerialDevice::Read::Failed);
}

TEST(SimulatedSerialDevice, WriteCanFail) {
  Rig rig("echo");
  rig.line->open(19200);
  rig.line->setWriteFails(true);
  EXPECT_FALSE(rig.line->writeByte('a'));
  EXPECT_EQ(rig.model->bytesReceived(), 0u);
  rig.line->setWriteFails(false);
  EXPECT_TRUE(rig.line->writeByte('a'));
  EXPECT_EQ(rig.model->bytesReceived(), 1u);
}

TEST(SimulatedSerialDevice, VanishedAdapterFailsEverythingUntilReopened) {
  Rig rig("echo");
  rig.line->open(19200);
  rig.line->writeByte('a');
  rig.line->vanish();
  quint8 b = 0;
  EXPECT_TRUE(rig.line->isOpen());
  EXPECT_EQ(rig.line->readByte(b), SerialDevice::Read::Failed);
  EXPECT_FALSE(rig.line->writeByte('b'));
  EXPECT_FALSE(rig.line->waitForReadyRead(3000));
  EXPECT_EQ(rig.clock.nowMs(), 0);
  ASSERT_TRUE(rig.line->open(19200).opened);
  EXPECT_TRUE(rig.line->writeByte('c'));
  EXPECT_EQ(rig.readByte(), 'c');
}

TEST(SimulatedSerialDevice, PurgeDiscardsWhatIsWaiting) {
  Rig rig("echo");
  rig.line->open(19200);
  rig.line->writeByte('a');
  EXPECT_TRUE(rig.line->waitForReadyRead(0));
  rig.line->writeByte('b');
  rig.line->purge();
  quint8 b = 0;
  EXPECT_EQ(rig.line->readByte(b), SerialDevice::Read::Empty);
  EXPECT_EQ(rig.line->purgeCount(), 1);
}

TEST(SimulatedSerialDevice, MonitorCommandsInBothFormats) {
  Rig rig("gen9");
  rig.line->open(19200);
  rig.line->purge();
  EXPECT_EQ(rig.command("PCRD0016F\r\n"), "MOk09F7\r\n");
  EXPECT_EQ(rig.command(QByteArray::fromHex("720000018D0A")).toHex(), "6f09880a");
  EXPECT_EQ(rig.clock.nowMs(), 0) << "a device that answers at once costs no waiting";
}

TEST(SimulatedSerialDevice, TheDeviceOutlivesTheLine) {
  Rig rig("lir");
  rig.line->open(19200);
  EXPECT_EQ(rig.command("PCWR000036D\r\n"), "MOk\r\n");
  EXPECT_EQ(rig.command("PCWR0145A11\r\n"), "MOk\r\n");
  rig.line.reset();
  SimulatedSerialDevice again(rig.model, rig.clock);
  again.open(19200);
  EXPECT_TRUE(again.waitForReadyRead(3000));  // the bootloader window after the new opening
  EXPECT_EQ(rig.clock.nowMs(), 500);
  EXPECT_EQ(rig.model->memory().eeprom()[0x14], 0x5A);
  EXPECT_EQ(again.openCount(), 1);
  EXPECT_EQ(rig.model->portOpenings(), 2);
}

TEST(SimulatedSerialDevice, LongWaitOnAChattyDeviceWakesForTheFirstLine) {
  Rig rig("translate");
  rig.line->open(19200);
  EXPECT_TRUE(rig.line->waitForReadyRead(3000));
  EXPECT_EQ(rig.clock.nowMs(), 1000);
}

}  // namespace
