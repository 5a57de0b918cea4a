// The modem dialogue, byte for byte, against the simulated modem and a scripted one.
#include <gtest/gtest.h>

#include "common/exchange_rig.h"
#include "host/sms_modem.h"
#include "modem_rig.h"

namespace {

const QByteArray kInitWire = "atz\r\nate0\r\nat+cmgf=1\r\n";
const QByteArray kSendWire = "at+cmgs=\"+70000000000\"\r\n";
const QByteArray kMessage =
    "\",\"+79161234567\",,\"24/05/01,12:00:00+12\"\r\nLIR: test message\r\n";

TEST(SmsModem, DialogueWithTheSimulatedModemByteForByte) {
  ModemLine line;
  SmsModem modem(line.ex);
  qsizetype wrote = 0, read = 0;
  qint64 start = 0;
  // What the step since the last one put on the line and in both logs, and the time it took.
  auto expectStep = [&](const char* name, const QByteArray& wire, const QByteArray& readLog,
                        qint64 ms) {
    SCOPED_TRACE(name);
    EXPECT_EQ(line.wire.mid(wrote), wire);
    EXPECT_EQ(line.log.write.mid(wrote), QString::fromLatin1(wire));
    EXPECT_EQ(line.log.read.mid(read), QString::fromLatin1(readLog));
    EXPECT_EQ(line.clock.nowMs() - start, ms);
    // Nothing in the modem mode reports a failure, so none may linger for the next run.
    EXPECT_EQ(line.ex.ResultCode, 0);
    wrote = line.wire.size();
    read = line.log.read.size();
    start = line.clock.nowMs();
  };
  modem.ModemInit();
  // Four lines read: the last "OK" waits on the line.
  expectStep("set-up", kInitWire, "atz\r\nOK\r\nate0\r\nOK\r\n", 1500);
  // The waiting "OK" is taken first, so the line read is the answer to the message.
  EXPECT_EQ(modem.SendSms("hell"), 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(line.ex.ReplyBuf.data()), "> +CMGS: 1\r\n");
  expectStep("message", kSendWire + "hell\x1A", "OK\r\n> +CMGS: 1\r\n", 1500);
  // No line end, so the modem waits: one line was still there, the second times out.
  modem.SendRaw("at+cmgr=1");
  expectStep("raw command", "at+cmgr=1", "OK\r\n", 500 + 1001);
  modem.SendRaw("\r\n");
  expectStep("its line end, typed as a raw command", "\r\n", "+CMGR: \"REC UNREAD" + kMessage, 500);
  modem.ReceivePoll();
  expectStep("receive poll", "at+cnmi=1,1,0,0,0\r\nat+cmgr=1\r\n",
             "OK\r\nOK\r\n+CMGR: \"REC READ" + kMessage, 1000);
  // An empty text still costs its pause before the Ctrl-Z.
  EXPECT_EQ(modem.SendSms(""), 0);
  expectStep("empty message", kSendWire + "\x1A", "OK\r\n> +CMGS: 2\r\n", 1500);
  ASSERT_EQ(line.model->modem()->sent().size(), 2);
  EXPECT_EQ(line.model->modem()->sent()[0].number, "+70000000000");
  EXPECT_EQ(line.model->modem()->sent()[0].text, "hell");
  EXPECT_EQ(line.model->modem()->sent()[1].text, "");
}

// A modem that answers its set-up (echo and all) and then never answers the message: the
// answers still waiting from the set-up are no answer to it.
TEST(SmsModem, SendReportsATimeOutWhenOnlyEarlierAnswersAreWaiting) {
  ExchangeRig rig;
  rig.switches.reads = rig.switches.writes = true;
  QByteArray said;  // everything the modem sent
  rig.line->respond = [&](quint8 byte) {
    if (rig.line->received.contains("at+cmgs")) return QByteArray();  // gone quiet
    QByteArray out(1, static_cast<char>(byte));
    if (byte == '\n') out += "OK\r\n";
    said += out;
    return out;
  };
  SmsModem modem(rig.ex);
  modem.ModemInit();
  // Six answer lines to the set-up, four read: two are still waiting.
  EXPECT_EQ(said.count('\n'), 6);
  EXPECT_EQ(modem.SendSms("hell"), 20);
  // The waiting answers are in the read log all the same, in their order.
  EXPECT_EQ(rig.log.read, QString::fromLatin1(said));
}

TEST(SmsModem, TypedTextBecomesWindows1251) {
  const struct {
    QString typed;
    QByteArray message, command;
  } cases[] = {
      {"hell", "hell", "hell"},
      {"Привет, Ёж", "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6", "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6"},
      {"5 €, № 1", "5 \x88, \xB9 1", "5 \x88, \xB9 1"},
      {"日本", "??", "??"},
      // Ctrl-Z or Esc inside a message would end it early; a raw command is sent as typed.
      {QString::fromLatin1("a\x1A-\x1B-c"), "a--c", "a\x1A-\x1B-c"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SmsModem::messageBytes(c.typed), c.message) << c.typed.toStdString();
    EXPECT_EQ(SmsModem::commandBytes(c.typed), c.command) << c.typed.toStdString();
  }
}

}  // namespace
