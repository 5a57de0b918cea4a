// The GSM modem against the lines a host sends it, answer for answer.

#include "sim/device_model.h"
#include "wire_host.h"

#include <gtest/gtest.h>

namespace {

struct Step {
  QByteArray send;
  QByteArray answer;  // everything readable right after the step
};

struct ModemCase {
  const char* name;
  QList<Step> steps;
};
void PrintTo(const ModemCase& c, std::ostream* os) {
  *os << c.name;
}

class ModemDialogue : public ::testing::TestWithParam<ModemCase> {};

TEST_P(ModemDialogue, AnswersLineForLine) {
  DeviceModel m(*simConfigForProfile("modem"));
  m.portOpened(0, 19200);
  WireHost host(m);
  int i = 0;
  for (const Step& s : GetParam().steps) {
    EXPECT_EQ(host.send(s.send), s.answer) << "step " << i << ": " << s.send.constData();
    ++i;
  }
}

const Step kInitAtz{"atz\r\n", "atz\r\nOK\r\n"};
const Step kInitAte0{"ate0\r\n", "ate0\r\nOK\r\n"};  // echoed before echo goes off
const Step kInitCmgf{"at+cmgf=1\r\n", "OK\r\n"};

INSTANTIATE_TEST_SUITE_P(
    Modem, ModemDialogue,
    ::testing::Values(
        ModemCase{"Initialisation", {kInitAtz, kInitAte0, kInitCmgf}},
        ModemCase{"ReadMessage",
                  {kInitAtz,
                   kInitAte0,
                   kInitCmgf,
                   {"at+cnmi=1,1,0,0,0\r\n", "OK\r\n"},
                   {"at+cmgr=1\r\n",
                    "+CMGR: \"REC UNREAD\",\"+79161234567\",,\"24/05/01,12:00:00+12\"\r\n"
                    "LIR: test message\r\nOK\r\n"},
                   {"AT+CMGR=1\r\n",
                    "+CMGR: \"REC READ\",\"+79161234567\",,\"24/05/01,12:00:00+12\"\r\n"
                    "LIR: test message\r\nOK\r\n"},
                   {"at+cmgr=2\r\n", "+CMS ERROR: 321\r\n"}}},
        ModemCase{"EchoOnUntilTurnedOff",
                  {{"at\r\n", "at\r\nOK\r\n"},
                   {"ate1\r\n", "ate1\r\nOK\r\n"},
                   kInitAte0,
                   {"at\r\n", "OK\r\n"}}},
        ModemCase{"ResetTurnsEchoBackOn",
                  {kInitAte0, kInitCmgf, {"atz\r\n", "OK\r\n"}, {"at\r\n", "at\r\nOK\r\n"}}},
        ModemCase{"UnknownCommandAndNoise",
                  {kInitAte0, {"at+xyz\r\n", "ERROR\r\n"}, {"hello\r\n", ""}, {"\r\n", ""}}},
        ModemCase{"RawCommandWithoutLineEndWaits",
                  {kInitAte0,
                   {"at+cmgr=1", ""},
                   {"\r\n",
                    "+CMGR: \"REC UNREAD\",\"+79161234567\",,\"24/05/01,12:00:00+12\"\r\nLIR: test "
                    "message\r\nOK\r\n"}}},
        ModemCase{"SendNeedsTextMode",
                  {kInitAtz, kInitAte0, {"at+cmgs=\"+79001234567\"\r\n", "ERROR\r\n"}}},
        ModemCase{"NumberMustBeQuoted",
                  {kInitAte0, kInitCmgf, {"at+cmgs=+79001234567\r\n", "ERROR\r\n"}}},
        ModemCase{"EscapeCancelsTheMessage",
                  {kInitAte0,
                   kInitCmgf,
                   {"at+cmgs=\"+79001234567\"\r\n", "> "},
                   {"oops\x1b", "OK\r\n"},
                   {"at\r\n", "OK\r\n"}}},
        ModemCase{"RunawayLineIsDropped",
                  {kInitAte0, {QByteArray(300, 'a') + "\r\n", ""}, {"at\r\n", "OK\r\n"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GsmModem, SendsAMessageAfterTheAirTime) {
  DeviceModel m(*simConfigForProfile("modem"));
  m.portOpened(0, 19200);
  WireHost host(m);
  host.send("atz\r\nate0\r\nat+cmgf=1\r\n");
  host.take();
  EXPECT_EQ(host.send("at+cmgs=\"+79001234567\"\r\n"), "> ");
  EXPECT_EQ(host.send("hell"), "");
  EXPECT_EQ(host.send("\x1a"), "");
  EXPECT_EQ(m.nextOutputAt(host.now), 300);
  host.now = 300;
  EXPECT_EQ(host.take(), "+CMGS: 1\r\nOK\r\n");
  EXPECT_EQ(host.send("at+cmgs=\"+79001234567\"\r\n\x1a"), "> ");  // an empty message
  host.now = 600;
  EXPECT_EQ(host.take(), "+CMGS: 2\r\nOK\r\n");
  ASSERT_EQ(m.modem()->sent().size(), 2);
  EXPECT_EQ(m.modem()->sent()[0].number, "+79001234567");
  EXPECT_EQ(m.modem()->sent()[0].text, "hell");
  EXPECT_EQ(m.modem()->sent()[1].text, "");
}

TEST(GsmModem, SilentModemSaysNothing) {
  SimConfig cfg = *simConfigForProfile("modem");
  cfg.modem.silent = true;
  DeviceModel m(cfg);
  m.portOpened(0, 19200);
  WireHost host(m);
  EXPECT_EQ(host.send("atz\r\nat+cmgs=\"+7\"\r\nx\x1a"), "");
  EXPECT_EQ(m.nextOutputAt(0), std::nullopt);
}

TEST(GsmModem, ReopeningDropsAHalfTypedLine) {
  DeviceModel m(*simConfigForProfile("modem"));
  m.portOpened(0, 19200);
  WireHost host(m);
  host.send("ate0\r\nat+cm");
  host.take();
  m.portOpened(5, 19200);
  host.now = 5;
  EXPECT_EQ(host.send("at\r\n"), "OK\r\n");  // echo stays off, the fragment is gone
}

}  // namespace
