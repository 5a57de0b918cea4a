// The in-process line: waits in virtual time, purges and the fault knobs.

#include "sim/simulated_device.h"
#include "serial/clock.h"

#include <gtest/gtest.h>

#include <functional>

using namespace lir2;

namespace {

using Read = SerialDevice::Read;

struct Rig {
  explicit Rig(const QString& profile)
      : model(std::make_shared<DeviceModel>(*simConfigForProfile(profile))),
        line(std::make_unique<SimulatedSerialDevice>(model, clock)) {}
  // Up to n bytes, looking before each wait as the host's primitive does.
  QByteArray read(int n) {
    QByteArray out;
    quint8 b = 0;
    while (out.size() < n) {
      const Read r = line->readByte(b);
      if (r == Read::Byte)
        out.append(static_cast<char>(b));
      else if (r == Read::Failed || !line->waitForReadyRead(3000))
        break;
    }
    return out;
  }
  void write(const QByteArray& bytes) {
    for (char c : bytes) ASSERT_TRUE(line->writeByte(static_cast<quint8>(c)));
  }

  VirtualClock clock;
  std::shared_ptr<DeviceModel> model;
  std::unique_ptr<SimulatedSerialDevice> line;
};

// A wait ends when the device speaks, and costs all of its time when it does not. The
// platform's port does not report bytes that were already waiting when a wait began; the line
// can be told to behave the same, to show that the host looks before it waits.
TEST(SimulatedSerialDevice, WaitsInVirtualTime) {
  Rig boot("boot");
  boot.clock.advance(1000);
  ASSERT_TRUE(boot.line->open(19200).opened);
  EXPECT_FALSE(boot.line->waitForReadyRead(100));
  EXPECT_EQ(boot.clock.nowMs(), 1100);
  EXPECT_TRUE(boot.line->waitForReadyRead(3000));
  EXPECT_EQ(boot.clock.nowMs(), 1150);
  EXPECT_EQ(boot.read(6), "Load\r\n");
  EXPECT_EQ(boot.clock.nowMs(), 1150);
  for (const bool ignores : {false, true}) {
    Rig rig("echo");
    rig.line->open(19200);
    rig.line->setWaitIgnoresBuffered(ignores);
    rig.write("a");
    EXPECT_EQ(rig.line->waitForReadyRead(100), !ignores) << ignores;
    EXPECT_EQ(rig.clock.nowMs(), ignores ? 100 : 0);
    EXPECT_EQ(rig.read(1), "a");
  }
}

// A purge drops what the device has sent, read from it or not, but not what it sends later.
TEST(SimulatedSerialDevice, PurgeKeepsOnlyTheDelayedAnswer) {
  Rig rig("modem");
  rig.line->open(19200);
  rig.write("ate0\r\n");
  EXPECT_TRUE(rig.line->waitForReadyRead(0));  // taken from the device, not yet read
  rig.write("at+cmgf=1\r\nat+cmgs=\"+7\"\r\nhi\x1a");
  rig.line->purge();
  EXPECT_TRUE(rig.line->waitForReadyRead(1000));
  EXPECT_EQ(rig.clock.nowMs(), 300);
  EXPECT_EQ(rig.read(14), "+CMGS: 1\r\nOK\r\n");
}

// (A port that refuses to open is in the modem window's tests.)
TEST(SimulatedSerialDevice, ABrokenLineFailsAtOnceUntilReopened) {
  const std::pair<const char*, std::function<void(SimulatedSerialDevice&)>> breaks[] = {
      {"never opened", [](SimulatedSerialDevice&) {}},
      {"closed", [](SimulatedSerialDevice& l) { l.open(19200), l.writeByte('a'), l.close(); }},
      {"vanished", [](SimulatedSerialDevice& l) { l.open(19200), l.writeByte('a'), l.vanish(); }},
  };
  for (const auto& [name, breakIt] : breaks) {
    SCOPED_TRACE(name);
    Rig rig("echo");
    breakIt(*rig.line);
    quint8 b = 0;
    EXPECT_EQ(rig.line->readByte(b), Read::Failed);
    EXPECT_FALSE(rig.line->writeByte('b'));
    EXPECT_FALSE(rig.line->waitForReadyRead(3000));
    EXPECT_EQ(rig.clock.nowMs(), 0);
    ASSERT_TRUE(rig.line->open(19200).opened);
    rig.write("c");
    EXPECT_EQ(rig.read(1), "c");
  }
}

TEST(SimulatedSerialDevice, WriteCanFail) {
  Rig rig("echo");
  rig.line->open(19200);
  rig.line->setWriteFails(true);
  EXPECT_FALSE(rig.line->writeByte('a'));
  EXPECT_EQ(rig.model->bytesReceived(), 0u);
  rig.line->setWriteFails(false);
  rig.write("b");
  EXPECT_EQ(rig.read(1), "b");
}

}  // namespace
