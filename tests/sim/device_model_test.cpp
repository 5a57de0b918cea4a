// The device as a whole: the translation profile, the built-in device's bootloader window and
// hand-over, its status lines, and a line rate that does not match.

#include "wire_host.h"

#include <random>

using namespace lir2;

namespace {

// The status line of a device that holds still.
const QByteArray kLine =
    "LIR 24V MAINS+CHARGE Ubat=25.0V Ibat=26A Uin=230V Uout=230V P=1.3kW T=51/47C\r\n";
const Tweak kStill = [](SimConfig& c) { c.firmware.drift = false; };

TEST(TranslateProfile, TalksEverySecondAndDoesNotListen) {
  play(*device("translate", kStill), {{999, "", ""},
                                      {1000, "", kLine},
                                      {1500, "PCRD0506B\r\n", ""},
                                      {2999, "", kLine},
                                      {3000, "", kLine}});
}

// The built-in device greets for two seconds after each opening; a mode letter in that window
// starts the bootloader, any other byte the program (generation 9 here), which then echoes.
TEST(LirProfile, GreetsForTwoSecondsUnlessAnotherByteStartsTheProgram) {
  play(*device("lir"), {{499, "", ""},
                        {500, "", "Load\r\n"},
                        {1999, "", "Load\r\nLoad\r\n"},
                        {2000, "", ""},
                        {2500, "l\r\n", "l\r\n"},  // after the window a mode letter is a byte
                        {3000, "", "", true},
                        {3010, "PCRD0016F\r\n", "PCRD0016F\r\nM"},
                        {3010, "MOk09F7\r\n", "Ok09F7\r\n"},
                        {4900, "", ""}});
}

// After an upload the device restarts; a full load ('f') brings back factory settings.
TEST(LirProfile, ModeLetterStartsTheBootloaderAndAnUploadRestartsTheDevice) {
  const QByteArray eofOnly = "U:" + hex("00 0000 01 FF") + "U";
  for (const char mode : {'l', 'f'}) {
    SCOPED_TRACE(mode);
    auto m = device("lir");
    m->memory().write(0x14, 0x5A);
    play(*m, {{500, "", "Load\r\n"},
              {600, QByteArray(1, mode), QByteArray(1, mode - 32) + ";315"},
              {5000, "", ""},  // the dialogue holds the line beyond the window
              {5000, "run", "y"},
              {5000, eofOnly, eofOnly + ")"},
              // Half a second, then the greeting window again, then the program.
              {5999, "", ""},
              {6000, "", "Load\r\n"},
              {7499, "", "Load\r\nLoad\r\n"},
              {7500, "P", "P"}});
    EXPECT_EQ(m->memory().eeprom()[0x14], mode == 'l' ? 0x5A : 0);
  }
}

// A monitor polling every 300 ms for ten seconds hears no status line; two seconds after it
// stops, the lines begin, until the host speaks again.
TEST(LirProfile, StatusLinesOnlyWhileTheHostIsQuiet) {
  const QByteArray read = "PCRD0506B\r\n", reply = "MOk0000\r\n";
  Steps steps;
  for (qint64 t = 10; t < 10000; t += 300)
    steps = steps + Steps{{t, read, read + 'M'}, {t, reply, reply.mid(1)}};
  play(*device("lir", kStill), steps + Steps{{11909, "", ""},
                                             {11910, "", kLine},
                                             {12410, read, read + 'M'},
                                             {12410, reply, reply.mid(1)},
                                             {14409, "", ""},
                                             {14410, "", kLine}});
}

TEST(LirProfile, NoStatusLineWhileAReplyWaitsForItsEcho) {
  auto m = device("lir", [](SimConfig& c) {
    c.firmware.drift = false;
    c.chatter.afterSilenceMs = 100;  // shorter than the firmware's echo patience
    c.chatter.periodMs = 50;
  });
  play(
      *m,
      {{10, "PCRD0506B\r\n", "PCRD0506B\r\nM"}, {1010, "", ""}, {1110, "", ""}, {1111, "", kLine}});
}

TEST(LineRate, AnotherRateIsNeitherHeardNorUnderstood) {
  const struct {
    const char* profile;
    qint32 lineRate, bootRate, hostRate;
    QByteArray send;
    QByteArray heardBy2000;  // all output up to 2000 ms, the send at 10 ms included
  } cases[] = {
      {"echo", 9600, 0, 19200, "ab", ""},
      {"echo", 9600, 0, 0, "ab", "ab"},  // a host rate that is not known is heard
      {"echo", 0, 0, 115200, "ab", "ab"},
      {"boot", 0, 19200, 9600, "l", ""},
      {"boot", 9600, 19200, 19200, "", QByteArray("Load\r\n").repeated(13)},
      {"lir", 9600, 19200, 9600, "PCRD0016F\r\n", "PCRD0016F\r\nM"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.profile << " " << c.lineRate << "/" << c.bootRate << " from " << c.hostRate);
    SimConfig cfg = *simConfigForProfile(c.profile);
    cfg.lineRate = c.lineRate;
    cfg.bootRate = c.bootRate;
    DeviceModel m(cfg);
    m.portOpened(0, c.hostRate);
    WireHost host(m, 10);
    EXPECT_EQ(host.send(c.send) + m.takeOutput(2000), c.heardBy2000);
  }
  // The host can change to the device's rate.
  auto m = device("echo", [](SimConfig& c) { c.lineRate = 9600; });
  WireHost host(*m);
  EXPECT_EQ(host.send("a"), "");
  m->hostRateChanged(1, 9600);
  host.now = 1;
  EXPECT_EQ(host.send("b"), "b");
  EXPECT_EQ(m->bytesUnheard(), 1u);
}

// Line noise for every profile: nothing breaks, and once everything due is taken the next
// promised output lies in the future (a promise in the past would make a waiting line spin).
TEST(DeviceModel, NoiseNeverBreaksAPromise) {
  const QByteArray alphabet =
      QByteArray("PCRDWrwlfunK#UZ:\r\n\x1a\xdb\xdc\xdd\x00", 23) + "0123456789ABCDEFat+cmgs=\"";
  for (const QString& profile : simProfileNames()) {
    DeviceModel m(*simConfigForProfile(profile));
    std::mt19937 rng(7);
    qint64 now = 0;
    m.portOpened(now, 19200);
    for (int i = 0; i < 20000; ++i) {
      now += rng() % 40;
      if (rng() % 500 == 0) m.portOpened(now, 19200);
      const quint8 b = rng() % 4 == 0 ? static_cast<quint8>(rng())
                                      : static_cast<quint8>(alphabet[rng() % alphabet.size()]);
      m.receive(b, now);
      m.takeOutput(now);
      const std::optional<qint64> next = m.nextOutputAt(now);
      ASSERT_TRUE(!next || *next > now) << profile.toStdString() << " at " << now;
    }
    EXPECT_EQ(m.bytesReceived(), 20000u);
  }
}

}  // namespace
