#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "common/exchange_rig.h"

using namespace lir2;

namespace {

using Rig = ExchangeRig;

// A failure leaves its code in ResultCode; a success leaves the last failure's code alone. The
// write switch alone governs the logging of the byte and its echo (the read switch is on); the
// code byte after 'Z' is always logged, in hexadecimal.
TEST(Exchange, ExchangeByteOutcomes) {
  const struct {
    const char* name;
    quint8 sent;
    QByteArray reply;
    bool checkError;
    quint8 code;
    const char* readLog = "";
    bool writes = false;
  } cases[] = {
      {"echo", 0x41, "A", true, 0},
      {"wrong echo", 0x41, "B", false, 5},
      {"error one", 0x41, "Z1", true, 21, "31"},
      {"error zero", 0x41, "Z0", true, 20, "30"},
      {"error $", 0x3A, "Z$", true, 8, "24"},
      {"Z as the echo of Z is still the marker", 'Z', "Z!", true, 5, "21"},
      {"Z without check-error is a wrong echo", 0x41, "Z1", false, 5},
      {"Z echoed without check-error is fine", 'Z', "Z", false, 0},
      {"Z and then silence", 0x41, "Z", true, 20},
      {"silence", 0x41, "", true, 20},
      {"echo, logged", 0x41, "A", true, 0, "A", true},
      {"error, logged", 0x41, "Z%", true, 9, "Z25", true},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.switches.reads = true;
    rig.switches.writes = c.writes;
    rig.line->respond = [&](quint8) { return c.reply; };
    rig.ex.ResultCode = Result::BadReplyLine;
    rig.ex.TxByte = c.sent;
    EXPECT_EQ(codeOf(rig.ex.ExchangeByte(LogChar, c.checkError)), c.code) << c.name;
    EXPECT_EQ(codeOf(rig.ex.ResultCode), c.code ? c.code : 17) << c.name;
    EXPECT_EQ(rig.line->received, QByteArray(1, char(c.sent))) << c.name;
    EXPECT_EQ(rig.log.read, c.readLog) << c.name;
    EXPECT_EQ(rig.log.write, c.writes ? "A" : "") << c.name;
  }
}

// A byte is waited for a little more than 3000 ms and no longer.
TEST(Exchange, ReadWaitsJustOver3000ms) {
  for (const qint64 at : {2900, 3001, 3002}) {
    Rig rig;
    rig.line->later = "3";
    rig.line->laterAtMs = at;
    EXPECT_EQ(codeOf(rig.ex.ReadByte(LogHex)), at <= 3001 ? 0 : 20) << at;
    EXPECT_EQ(rig.clock.nowMs(), std::min<qint64>(at, 3001)) << at;
    EXPECT_EQ(rig.log.read, at <= 3001 ? "33" : "") << at;
  }
}

// A byte the line refuses is code 4 and still logged; a line that has gone fails every
// primitive at once and closes the port.
TEST(Exchange, FailedWritesAndAVanishedLine) {
  Rig rig;
  rig.switches.writes = true;
  rig.line->writeFails = true;
  rig.ex.TxByte = 'x';
  EXPECT_EQ(codeOf(rig.ex.ExchangeByte(LogChar, true)), 4);
  EXPECT_EQ(rig.log.write, "x");
  ASSERT_TRUE(rig.port.PortOpen);
  rig.line->vanished = true;
  EXPECT_EQ(codeOf(rig.ex.ReadByte(LogChar)), 20);
  EXPECT_EQ(rig.clock.nowMs(), 0);
  EXPECT_FALSE(rig.port.PortOpen);
  EXPECT_EQ(codeOf(rig.ex.ModemReadLine(1000)), 20);
  EXPECT_EQ(codeOf(rig.ex.ModemWriteString("at\r\n", 500)), 4);
}

// A modem line ends at its LF or after 254 characters; each character is waited for afresh.
TEST(Exchange, ModemReadLine) {
  Rig rig;
  rig.switches.reads = true;
  rig.line->send("OK\r\n" + QByteArray(300, 'x'));
  EXPECT_EQ(codeOf(rig.ex.ModemReadLine(1000)), 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(rig.ex.ReplyBuf.data()), "OK\r\n");
  EXPECT_EQ(codeOf(rig.ex.ModemReadLine(1000)), 0);
  EXPECT_EQ(rig.ex.ReplyBuf[253], 'x');
  EXPECT_EQ(rig.ex.ReplyBuf[254], 0);
  EXPECT_EQ(rig.log.read, "OK\r\n" + QString(254, 'x'));
  EXPECT_EQ(codeOf(rig.ex.ModemReadLine(1000)), 20);
  EXPECT_EQ(rig.log.read.size(), 4 + 300);
  EXPECT_GT(rig.clock.nowMs(), 1000);
  EXPECT_LE(rig.clock.nowMs(), 1002);
}

TEST(Exchange, ModemWriteStringPausesAndLogsBySwitch) {
  for (bool writes : {false, true}) {
    Rig rig;
    rig.switches.writes = writes;
    EXPECT_EQ(codeOf(rig.ex.ModemWriteString(QByteArrayView("atz\r\n"), 500)), 0);
    EXPECT_EQ(rig.line->received, "atz\r\n");
    EXPECT_EQ(rig.clock.nowMs(), 500);
    EXPECT_EQ(rig.log.write, writes ? "atz\r\n" : "");
    // An empty text only pauses.
    EXPECT_EQ(codeOf(rig.ex.ModemWriteString(QByteArrayView(""), 500)), 0);
    EXPECT_EQ(rig.clock.nowMs(), 1000);
  }
}

// The user's stop reaches a wait for a silent device within one look at the flag, whatever is
// waiting: a read, an echo, the modem's pause. Afterwards nothing more goes out.
TEST(Exchange, StopEndsAWaitAtItsNextLook) {
  struct StoppingClock final : Clock {
    VirtualClock time;
    std::atomic<bool> stop{false};
    qint64 nowMs() override { return time.nowMs(); }
    void sleepMs(int ms) override {
      time.sleepMs(ms);
      if (time.nowMs() >= 1000) stop = true;
    }
  };
  const std::function<Result(Exchange&)> waits[] = {
      [](Exchange& ex) { return ex.ReadByte(LogChar); },
      [](Exchange& ex) { return ex.ExchangeByte(LogChar, true); },
      [](Exchange& ex) {
        return ex.ModemWriteString("atz\r\n", 5000) != Result::Ok ? ex.ResultCode : ex.ReadByte(0);
      },
  };
  for (const auto& wait : waits) {
    StoppingClock clock;
    auto line = std::make_shared<ScriptedLine>();
    PortControl port(
        nullptr, [&](const PortEntry&) { return std::make_unique<ScriptedDevice>(line, clock); });
    port.setEntries({{"COM1", "COM1", PortEntry::Kind::System}});
    port.PortName = "COM1";
    ASSERT_EQ(port.OpenPort(19200), Result::Ok);
    Exchange ex(port, clock, nullptr, nullptr);
    ex.setLineStop(&clock.stop);
    EXPECT_EQ(wait(ex), Result::Interrupted);
    EXPECT_EQ(codeOf(ex.ResultCode), 1);
    EXPECT_LE(clock.nowMs(), 1000 + Exchange::kStopCheckMs);
    const QByteArray sent = line->received;
    ex.TxByte = 'x';
    EXPECT_EQ(codeOf(ex.WriteByte(LogNone)), 1);
    EXPECT_EQ(line->received, sent);
  }
}

}  // namespace
