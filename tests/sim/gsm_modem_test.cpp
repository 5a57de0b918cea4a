// The GSM modem against the lines a host sends it, answer for answer.

#include "wire_host.h"

using namespace lir2;

namespace {

TEST(GsmModem, AnswersLineForLine) {
  const Step ate0{0, "ate0\r\n", "ate0\r\nOK\r\n"};  // echoed before echo goes off
  const Step cmgf{0, "at+cmgf=1\r\n", "OK\r\n"};
  const Step at{0, "at\r\n", "OK\r\n"};
  const QByteArray message =
      "\"+79161234567\",,\"24/05/01,12:00:00+12\"\r\nLIR: test message\r\nOK\r\n";
  const struct {
    const char* name;
    Steps steps;
    bool silent = false;
  } cases[] = {
      // Reading the stored message, and the message sent, are in the host's modem tests.
      {"ReadMessageByAnyCaseAndANumberNotStored",
       {ate0,
        {0, "AT+CMGR=1\r\n", "+CMGR: \"REC UNREAD\"," + message},
        {0, "at+cmgr=2\r\n", "+CMS ERROR: 321\r\n"}}},
      {"Ate1OrAResetTurnsEchoBackOn",
       {ate0,
        {0, "ate1\r\n", "OK\r\n"},
        {0, "at\r\n", "at\r\nOK\r\n"},
        ate0,
        cmgf,
        {0, "atz\r\n", "OK\r\n"},
        {0, "at\r\n", "at\r\nOK\r\n"}}},
      {"UnknownCommandAndNoise",
       {ate0, {0, "at+xyz\r\n", "ERROR\r\n"}, {0, "hello\r\n", ""}, {0, "\r\n", ""}}},
      {"SendNeedsTextMode",
       {{0, "atz\r\n", "atz\r\nOK\r\n"}, ate0, {0, "at+cmgs=\"+79001234567\"\r\n", "ERROR\r\n"}}},
      {"NumberMustBeQuoted", {ate0, cmgf, {0, "at+cmgs=+79001234567\r\n", "ERROR\r\n"}}},
      {"EscapeCancelsTheMessage",
       {ate0, cmgf, {0, "at+cmgs=\"+79001234567\"\r\n", "> "}, {0, "oops\x1b", "OK\r\n"}, at}},
      {"RunawayLineIsDropped", {ate0, {0, QByteArray(300, 'a') + "\r\n", ""}, at}},
      // Echo stays off; the fragment is gone.
      {"ReopeningDropsAHalfTypedLine",
       {{0, "ate0\r\nat+cm", "ate0\r\nOK\r\n"}, {5, "at\r\n", "OK\r\n", true}}},
      {"Silent", {{0, "atz\r\nat+cmgs=\"+7\"\r\nx\x1a", ""}, {99999, "", ""}}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto m = device("modem", [&](SimConfig& s) { s.modem.silent = c.silent; });
    play(*m, c.steps);
    if (c.silent) {
      EXPECT_EQ(m->nextOutputAt(99999), std::nullopt);
    }
  }
}

}  // namespace
