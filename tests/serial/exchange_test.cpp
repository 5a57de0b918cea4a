#include <gtest/gtest.h>

#include "common/exchange_rig.h"
#include "serial/exchange.h"
#include "serial/port_control.h"

#include <atomic>
#include <functional>

namespace {

using Rig = ExchangeRig;

// The device's answer to one byte: echo it, or say something else.
QByteArray answer(const char* bytes, int n) {
  return QByteArray(bytes, n);
}

TEST(Exchange, ExchangeByteOutcomes) {
  const struct {
    const char* name;
    quint8 sent;
    QByteArray reply;
    bool checkError;
    quint8 code;
  } cases[] = {
      {"echo", 0x41, answer("A", 1), true, 0},
      {"wrong echo", 0x41, answer("B", 1), false, 5},
      {"error one", 0x41, answer("Z1", 2), true, 21},
      {"error zero", 0x41, answer("Z0", 2), true, 20},
      {"error $", 0x3A, answer("Z$", 2), true, 8},
      {"Z as the echo of Z is still the marker", 'Z', answer("Z!", 2), true, 5},
      {"Z without check-error is a wrong echo", 0x41, answer("Z1", 2), false, 5},
      {"Z echoed without check-error is fine", 'Z', answer("Z", 1), false, 0},
      {"Z and then silence", 0x41, answer("Z", 1), true, 20},
      {"silence", 0x41, QByteArray(), true, 20},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.line->respond = [&](quint8) { return c.reply; };
    rig.ex.TxByte = c.sent;
    EXPECT_EQ(rig.ex.ExchangeByte(LogChar, c.checkError), c.code) << c.name;
    EXPECT_EQ(rig.ex.ResultCode, c.code) << c.name;
    EXPECT_EQ(rig.line->received, QByteArray(1, char(c.sent))) << c.name;
  }
}

TEST(Exchange, SuccessLeavesTheLastFailureCode) {
  Rig rig;
  rig.line->respond = echoByte;
  rig.ex.ResultCode = 17;
  rig.ex.TxByte = 1;
  EXPECT_EQ(rig.ex.ExchangeByte(LogNone, false), 0);
  EXPECT_EQ(rig.ex.ResultCode, 17);
}

TEST(Exchange, ReadTimesOutJustAfter3000ms) {
  Rig rig;
  EXPECT_EQ(rig.ex.ReadByte(LogChar), 20);
  EXPECT_EQ(rig.ex.ResultCode, 20);
  EXPECT_GT(rig.clock.nowMs(), 3000);
  EXPECT_LE(rig.clock.nowMs(), 3002);
}

TEST(Exchange, ByteArrivingLateIsStillRead) {
  Rig rig;
  rig.line->later = QByteArray(1, 0x33);
  rig.line->laterAtMs = 2900;
  EXPECT_EQ(rig.ex.ReadByte(LogHex), 0);
  EXPECT_EQ(rig.ex.RxByte, 0x33);
  EXPECT_EQ(rig.clock.nowMs(), 2900);
  EXPECT_EQ(rig.log.read, "33");
}

TEST(Exchange, LogFormats) {
  const struct {
    quint8 byte;
    int mode;
    QString text;
  } cases[] = {
      {0x0A, LogHex, "0A"},  {0xC3, LogHex, "C3"}, {0x00, LogHex, "00"},
      {0xC3, LogChar, "Г"},  {0x41, LogChar, "A"}, {0xA8, LogChar, "Ё"},
      {0x0A, LogChar, "\n"}, {0x41, 7, "A"},       {0x41, LogNone, ""},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.line->send(QByteArray(1, char(c.byte)));
    ASSERT_EQ(rig.ex.ReadByte(c.mode), 0);
    rig.ex.TxByte = c.byte;
    ASSERT_EQ(rig.ex.WriteByte(c.mode), 0);
    EXPECT_EQ(rig.log.read, c.text) << int(c.byte) << " mode " << c.mode;
    EXPECT_EQ(rig.log.write, c.text) << int(c.byte) << " mode " << c.mode;
  }
}

TEST(Exchange, WriteSwitchGovernsExchangeLogging) {
  for (bool writes : {false, true}) {
    Rig rig;
    rig.switches.writes = writes;
    rig.switches.reads = true;  // the read switch has no say here
    rig.line->respond = [](quint8 b) { return b == 'q' ? QByteArray("Z\x25", 2) : echoByte(b); };
    rig.ex.TxByte = 0x55;
    ASSERT_EQ(rig.ex.ExchangeByte(LogHex, true), 0);
    rig.ex.TxByte = 'q';
    ASSERT_EQ(rig.ex.ExchangeByte(LogChar, true), 9);
    // The error byte after 'Z' is always logged, in hexadecimal.
    EXPECT_EQ(rig.log.read, writes ? "55Z25" : "25");
    EXPECT_EQ(rig.log.write, writes ? "55q" : "");
  }
}

TEST(Exchange, FailedWriteIsCode4AndStillLogged) {
  Rig rig;
  rig.switches.writes = true;
  rig.line->writeFails = true;
  rig.ex.TxByte = 'x';
  EXPECT_EQ(rig.ex.ExchangeByte(LogChar, true), 4);
  EXPECT_EQ(rig.ex.BytesWritten, 0u);
  EXPECT_EQ(rig.log.write, "x");
  EXPECT_EQ(rig.ex.WriteByte(LogNone), 4);
}

TEST(Exchange, VanishedLineFailsAtOnceAndClosesThePort) {
  Rig rig;
  ASSERT_TRUE(rig.port.PortOpen);
  rig.line->vanished = true;
  EXPECT_EQ(rig.ex.ReadByte(LogChar), 20);
  EXPECT_EQ(rig.clock.nowMs(), 0);  // no waiting on a line that is gone
  EXPECT_FALSE(rig.port.PortOpen);
  rig.ex.TxByte = 1;
  EXPECT_EQ(rig.ex.WriteByte(LogChar), 4);
  EXPECT_EQ(rig.ex.ModemReadLine(1000), 20);
  EXPECT_EQ(rig.ex.ModemWriteString("at\r\n", 500), 4);
}

TEST(Exchange, ModemReadLine) {
  Rig rig;
  rig.switches.reads = true;
  rig.ex.ReplyBuf.fill(0xEE);
  rig.line->send("OK\r\nnext");
  EXPECT_EQ(rig.ex.ModemReadLine(1000), 0);
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(rig.ex.ReplyBuf.data())), "OK\r\n");
  EXPECT_EQ(rig.ex.ReplyBuf[254], 0);
  EXPECT_EQ(rig.ex.ReplyBuf[255], 0xEE);  // only the first 255 bytes are cleared
  EXPECT_EQ(rig.log.read, "OK\r\n");
  // "next" has no LF: each character waits afresh, the fifth times out after 1000 ms.
  EXPECT_EQ(rig.ex.ModemReadLine(1000), 20);
  EXPECT_GT(rig.clock.nowMs(), 1000);
  EXPECT_LE(rig.clock.nowMs(), 1002);
}

TEST(Exchange, ModemReadLineStopsAfter254Characters) {
  Rig rig;
  rig.line->send(QByteArray(300, 'x'));
  EXPECT_EQ(rig.ex.ModemReadLine(1000), 0);
  EXPECT_EQ(rig.ex.ReplyBuf[253], 'x');
  EXPECT_EQ(rig.ex.ReplyBuf[254], 0);
  EXPECT_EQ(rig.line->pending.size(), 300u - 254u);
}

TEST(Exchange, ModemWriteStringPausesAndLogsBySwitch) {
  for (bool writes : {false, true}) {
    Rig rig;
    rig.switches.writes = writes;
    EXPECT_EQ(rig.ex.ModemWriteString(QByteArrayView("atz\r\n"), 500), 0);
    EXPECT_EQ(rig.line->received, "atz\r\n");
    EXPECT_EQ(rig.clock.nowMs(), 500);
    EXPECT_EQ(rig.log.write, writes ? "atz\r\n" : "");
    // An empty text only pauses.
    EXPECT_EQ(rig.ex.ModemWriteString(QByteArrayView(""), 500), 0);
    EXPECT_EQ(rig.clock.nowMs(), 1000);
  }
}

}  // namespace

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
  const std::function<quint8(Exchange&)> waits[] = {
      [](Exchange& ex) { return ex.ReadByte(LogChar); },
      [](Exchange& ex) { return ex.ExchangeByte(LogChar, true); },
      [](Exchange& ex) { return ex.ModemWriteString("atz\r\n", 5000) ? ex.ResultCode : ex.ReadByte(0); },
  };
  for (const auto& wait : waits) {
    StoppingClock clock;
    auto line = std::make_shared<ScriptedLine>();
    PortControl port(nullptr, [&](const PortEntry&) { return std::make_unique<ScriptedDevice>(line, clock); });
    port.setEntries({{"COM1", "COM1", PortEntry::Kind::System}});
    port.PortName = "COM1";
    port.OpenPort(19200);
    Exchange ex(port, clock, nullptr, nullptr);
    ex.setStopFlag(&clock.stop);
    EXPECT_EQ(wait(ex), 1);
    EXPECT_EQ(ex.ResultCode, 1);
    EXPECT_LE(clock.nowMs(), 1000 + Exchange::kStopCheckMs);
    const QByteArray sent = line->received;
    ex.TxByte = 'x';
    EXPECT_EQ(ex.WriteByte(LogNone), 1);
    EXPECT_EQ(line->received, sent);
  }
}
