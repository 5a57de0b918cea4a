// The modem dialogue, byte for byte, against the simulated modem and a scripted one.
#include <gtest/gtest.h>

#include <functional>

#include "common/scripted_device.h"
#include "host/sms_modem.h"
#include "modem_rig.h"

namespace {

const QByteArray kInitWire = "atz\r\nate0\r\nat+cmgf=1\r\n";
const QByteArray kUnreadMessage =
    "+CMGR: \"REC UNREAD\",\"+79161234567\",,\"24/05/01,12:00:00+12\"\r\nLIR: test message\r\n";
const QByteArray kReadMessage =
    "+CMGR: \"REC READ\",\"+79161234567\",,\"24/05/01,12:00:00+12\"\r\nLIR: test message\r\n";

TEST(SmsModem, DialogueWithTheSimulatedModemByteForByte) {
  ModemLine line;
  SmsModem modem(line.ex);
  const struct {
    const char* name;
    std::function<int()> run;  // the result, or -1 where there is none
    int result;
    QByteArray wire;     // what the host wrote
    QByteArray readLog;  // what the read log gained
    qint64 ms;           // virtual time spent
  } steps[] = {
      {"set-up",
       [&] {
         modem.ModemInit();
         return -1;
       },
       -1, kInitWire,
       // Four lines read: the last "OK" waits on the line.
       "atz\r\nOK\r\nate0\r\nOK\r\n", 1500},
      {"message", [&] { return int(modem.SendSms("hell")); }, 0,
       "at+cmgs=\"+70000000000\"\r\nhell\x1A",
       // The waiting "OK" is taken first, so the line read is the answer to the message.
       "OK\r\n> +CMGS: 1\r\n", 1500},
      {"raw command",
       [&] {
         modem.SendRaw("at+cmgr=1");
         return -1;
       },
       -1, "at+cmgr=1",
       // No line end, so the modem waits: one line was still there, the second times out.
       "OK\r\n", 500 + 1001},
      {"its line end, typed as a raw command",
       [&] {
         modem.SendRaw("\r\n");
         return -1;
       },
       -1, "\r\n", kUnreadMessage, 500},
      {"receive poll",
       [&] {
         modem.ReceivePoll();
         return -1;
       },
       -1, "at+cnmi=1,1,0,0,0\r\nat+cmgr=1\r\n", "OK\r\nOK\r\n" + kReadMessage, 1000},
  };
  for (const auto& s : steps) {
    const qsizetype wireBefore = line.record->written.size();
    const qsizetype readBefore = line.log.read.size();
    const qsizetype writeBefore = line.log.write.size();
    const qint64 start = line.clock.nowMs();
    EXPECT_EQ(s.run(), s.result) << s.name;
    EXPECT_EQ(line.record->written.mid(wireBefore), s.wire) << s.name;
    EXPECT_EQ(line.log.write.mid(writeBefore), QString::fromLatin1(s.wire)) << s.name;
    EXPECT_EQ(line.log.read.mid(readBefore), QString::fromLatin1(s.readLog)) << s.name;
    EXPECT_EQ(line.clock.nowMs() - start, s.ms) << s.name;
    // Nothing in the modem mode reports a failure, so none may linger for the next run.
    EXPECT_EQ(line.ex.ResultCode, 0) << s.name;
    if (s.result == 0) {
      EXPECT_EQ(line.replyLine(), "> +CMGS: 1\r\n") << s.name;
    }
  }
  ASSERT_EQ(line.modem().sent().size(), 1);
  EXPECT_EQ(line.modem().sent()[0].number, "+70000000000");
  EXPECT_EQ(line.modem().sent()[0].text, "hell");
}

TEST(SmsModem, EmptyMessageSendsTheCommandAPauseAndCtrlZAlone) {
  ModemLine line;
  SmsModem modem(line.ex);
  modem.ModemInit();
  const qint64 start = line.clock.nowMs();
  line.record->written.clear();
  EXPECT_EQ(modem.SendSms(""), 0);
  EXPECT_EQ(line.record->written, "at+cmgs=\"+70000000000\"\r\n\x1A");
  // The empty text still costs its pause: three in all.
  EXPECT_EQ(line.clock.nowMs() - start, 1500);
  ASSERT_EQ(line.modem().sent().size(), 1);
  EXPECT_EQ(line.modem().sent()[0].text, "");
}

TEST(SmsModem, SilentModemAndDeadPortCostNoMoreThanTheirTimeOuts) {
  const struct {
    const char* name;
    bool silent, openFails;
    qint64 initMs, sendMs;
    QByteArray wire;
    int failedWrites;
    QString error;
  } cases[] = {
      // Three pauses and four time-outs, each ending a millisecond past its 1000 ms.
      {"silent modem", true, false, 1500 + 4 * 1001, 1500 + 1001,
       kInitWire + "at+cmgs=\"+70000000000\"\r\nhell\x1A", 0, ""},
      // Every write fails at its first character and every read at once: nothing to wait on.
      {"port that does not open", false, true, 0, 0, "", 6, "Open COM port Error"},
  };
  for (const auto& c : cases) {
    ModemLine line(modemConfig(c.silent), c.openFails);
    SmsModem modem(line.ex);
    EXPECT_EQ(line.port.PortOpen, !c.openFails) << c.name;
    EXPECT_EQ(line.status.error, c.error) << c.name;
    modem.ModemInit();
    EXPECT_EQ(line.clock.nowMs(), c.initMs) << c.name;
    EXPECT_EQ(line.ex.ResultCode, 0) << c.name;
    const qint64 start = line.clock.nowMs();
    EXPECT_EQ(modem.SendSms("hell"), 20) << c.name;
    EXPECT_EQ(line.clock.nowMs() - start, c.sendMs) << c.name;
    EXPECT_EQ(line.record->written, c.wire) << c.name;
    EXPECT_EQ(line.record->failedWrites, c.failedWrites) << c.name;
    EXPECT_EQ(line.log.read, "") << c.name;
    EXPECT_TRUE(line.modem().sent().isEmpty()) << c.name;
  }
}

// A modem that answers its set-up (echo and all) and then never answers the message.
struct ForgetfulModem {
  VirtualClock clock;
  std::shared_ptr<ScriptedLine> line = std::make_shared<ScriptedLine>();
  StatusRecorder status;
  LogRecorder log;
  Switches switches;
  PortControl port{
      &status, [this](const PortEntry&) { return std::make_unique<ScriptedDevice>(line, clock); }};
  Exchange ex{port, clock, &log, &switches};
  QByteArray typed;
  QByteArray said;  // everything the modem sent

  ForgetfulModem() {
    port.setEntries({{"COM1", "COM1", PortEntry::Kind::System}});
    port.PortName = "COM1";
    port.OpenPort(19200);
    switches.reads = switches.writes = true;
    line->respond = [this](quint8 byte) {
      if (typed.startsWith("at+cmgs")) return QByteArray();  // gone quiet
      typed.append(static_cast<char>(byte));
      QByteArray out(1, static_cast<char>(byte));
      if (byte == '\n') {
        if (typed.startsWith("at+cmgs")) return QByteArray();
        out += "OK\r\n";
        typed.clear();
      }
      said += out;
      return out;
    };
  }
};

TEST(SmsModem, SendReportsATimeOutWhenOnlyEarlierAnswersAreWaiting) {
  ForgetfulModem m;
  SmsModem modem(m.ex);
  modem.ModemInit();
  // Six answer lines to the set-up, four read: two are still waiting.
  EXPECT_EQ(m.said.count('\n'), 6);
  EXPECT_EQ(modem.SendSms("hell"), 20);
  // The waiting answers are in the read log all the same, in their order.
  EXPECT_EQ(m.log.read, QString::fromLatin1(m.said));
}

TEST(SmsModem, TypedTextBecomesWindows1251) {
  const struct {
    QString typed;
    QByteArray message, command;
  } cases[] = {
      {"hell", "hell", "hell"},
      {"at+cmgr=1", "at+cmgr=1", "at+cmgr=1"},
      {"Привет, Ёж", "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6", "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6"},
      {"5 €, №1",
       "5 \x88, \xB9"
       "1",
       "5 \x88, \xB9"
       "1"},
      {"日本", "??", "??"},
      // Ctrl-Z or Esc inside a message would end it early; a raw command is sent as typed.
      {QString::fromLatin1("a\x1A"
                           "b\x1B"
                           "c"),
       "abc",
       "a\x1A"
       "b\x1B"
       "c"},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SmsModem::messageBytes(c.typed), c.message) << c.typed.toStdString();
    EXPECT_EQ(SmsModem::commandBytes(c.typed), c.command) << c.typed.toStdString();
  }
}

}  // namespace
