// The GSM modem against the lines a host sends it, answer for answer.

#include "wire_host.h"

#include <gtest/gtest.h>

namespace {

struct Step {
  QByteArray send;
  QByteArray answer;  // everything readable right after the step
};

const Step kAtz{"atz\r\n", "atz\r\nOK\r\n"};
const Step kAte0{"ate0\r\n", "ate0\r\nOK\r\n"};  // echoed before echo goes off
const Step kCmgf{"at+cmgf=1\r\n", "OK\r\n"};
const QByteArray kMessageOne =
    "\"+79161234567\",,\"24/05/01,12:00:00+12\"\r\nLIR: test message\r\nOK\r\n";

TEST(GsmModem, AnswersLineForLine) {
  struct Case {
    const char* name;
    QList<Step> steps;
  };
  const Case cases[] = {
      {"ReadMessage",
       {kAtz,
        kAte0,
        kCmgf,
        {"at+cnmi=1,1,0,0,0\r\n", "OK\r\n"},
        {"at+cmgr=1\r\n", "+CMGR: \"REC UNREAD\"," + kMessageOne},
        {"AT+CMGR=1\r\n", "+CMGR: \"REC READ\"," + kMessageOne},
        {"at+cmgr=2\r\n", "+CMS ERROR: 321\r\n"}}},
      {"Ate1OrAResetTurnsEchoBackOn",
       {kAte0,
        {"ate1\r\n", "OK\r\n"},
        {"at\r\n", "at\r\nOK\r\n"},
        kAte0,
        kCmgf,
        {"atz\r\n", "OK\r\n"},
        {"at\r\n", "at\r\nOK\r\n"}}},
      {"UnknownCommandAndNoise",
       {kAte0, {"at+xyz\r\n", "ERROR\r\n"}, {"hello\r\n", ""}, {"\r\n", ""}}},
      {"SendNeedsTextMode", {kAtz, kAte0, {"at+cmgs=\"+79001234567\"\r\n", "ERROR\r\n"}}},
      {"NumberMustBeQuoted", {kAte0, kCmgf, {"at+cmgs=+79001234567\r\n", "ERROR\r\n"}}},
      {"EscapeCancelsTheMessage",
       {kAte0,
        kCmgf,
        {"at+cmgs=\"+79001234567\"\r\n", "> "},
        {"oops\x1b", "OK\r\n"},
        {"at\r\n", "OK\r\n"}}},
      {"RunawayLineIsDropped", {kAte0, {QByteArray(300, 'a') + "\r\n", ""}, {"at\r\n", "OK\r\n"}}},
  };
  for (const Case& c : cases) {
    auto m = device("modem");
    WireHost host(*m);
    for (const Step& s : c.steps)
      EXPECT_EQ(host.send(s.send), s.answer) << c.name << ": " << s.send.constData();
  }
}

TEST(GsmModem, SendsAMessageAfterTheAirTime) {
  auto m = device("modem");
  WireHost host(*m);
  host.send("atz\r\nate0\r\nat+cmgf=1\r\n");
  host.take();
  EXPECT_EQ(host.send("at+cmgs=\"+79001234567\"\r\n"), "> ");
  EXPECT_EQ(host.send("hell\x1a"), "");
  EXPECT_EQ(m->nextOutputAt(host.now), 300);
  host.now = 300;
  EXPECT_EQ(host.take(), "+CMGS: 1\r\nOK\r\n");
  EXPECT_EQ(host.send("at+cmgs=\"+79001234567\"\r\n\x1a"), "> ");  // an empty message
  host.now = 600;
  EXPECT_EQ(host.take(), "+CMGS: 2\r\nOK\r\n");
  ASSERT_EQ(m->modem()->sent().size(), 2);
  EXPECT_EQ(m->modem()->sent()[0].number, "+79001234567");
  EXPECT_EQ(m->modem()->sent()[0].text, "hell");
  EXPECT_EQ(m->modem()->sent()[1].text, "");
}

TEST(GsmModem, SilentModemSaysNothing) {
  auto m = device("modem", [](SimConfig& c) { c.modem.silent = true; });
  WireHost host(*m);
  EXPECT_EQ(host.send("atz\r\nat+cmgs=\"+7\"\r\nx\x1a"), "");
  EXPECT_EQ(m->nextOutputAt(0), std::nullopt);
}

TEST(GsmModem, ReopeningDropsAHalfTypedLine) {
  auto m = device("modem");
  WireHost host(*m);
  host.send("ate0\r\nat+cm");
  m->portOpened(5, 19200);
  host.now = 5;
  EXPECT_EQ(host.send("at\r\n"), "OK\r\n");  // echo stays off, the fragment is gone
}

}  // namespace
