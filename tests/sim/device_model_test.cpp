// The device as a whole: the translation profile, the built-in device's bootloader window and
// hand-over, its status lines, and a line rate that does not match.

#include "wire_host.h"

#include <gtest/gtest.h>

#include <random>

namespace {

const QByteArray kEofOnly = bytes({'U', ':', 0x00, 0x00, 0x00, 0x01, 0xFF, 'U'});

bool isStatusLine(const QByteArray& text) {
  if (!text.startsWith("LIR 24V ") || !text.endsWith("\r\n") || text.count('\n') != 1) return false;
  for (char c : text.chopped(2))
    if (c < 0x20 || c >= 0x7F) return false;
  return true;
}

TEST(TranslateProfile, TalksEverySecondAndDoesNotListen) {
  auto m = device("translate");
  EXPECT_EQ(m->takeOutput(999), "");
  const QByteArray first = m->takeOutput(1000);
  EXPECT_TRUE(isStatusLine(first)) << first.constData();
  WireHost host(*m, 1500);
  EXPECT_EQ(host.send("PCRD0506B\r\n"), "");
  EXPECT_TRUE(isStatusLine(m->takeOutput(2999)));  // the line of 2000 ms alone
  EXPECT_EQ(m->nextOutputAt(2999), 3000);
}

TEST(LirProfile, GreetsForTwoSecondsUnlessAnotherByteStartsTheProgram) {
  auto m = device("lir");
  EXPECT_EQ(m->nextOutputAt(0), 500);
  EXPECT_EQ(m->takeOutput(1999), "Load\r\nLoad\r\nLoad\r\n");
  EXPECT_FALSE(m->firmwareHasLine());
  EXPECT_EQ(m->takeOutput(2000), "");
  EXPECT_TRUE(m->firmwareHasLine());
  WireHost host(*m, 2500);
  EXPECT_EQ(host.send("l\r\n"), "l\r\n") << "after the window a mode letter is just a byte";
  // A new opening: any byte but a mode letter starts the program at once.
  m->portOpened(3000, 19200);
  host.now = 3010;
  EXPECT_EQ(host.command("PCRD0016F\r\n").reply, "MOk09F7\r\n");  // generation 9
  host.now = 4900;
  EXPECT_EQ(host.take(), "");
}

// After an upload the device restarts; a full load ('f') brings back factory settings.
TEST(LirProfile, ModeLetterStartsTheBootloaderAndAnUploadRestartsTheDevice) {
  for (const char mode : {'l', 'f'}) {
    SCOPED_TRACE(mode);
    auto m = device("lir");
    m->memory().write(0x14, 0x5A);
    WireHost host(*m, 500);
    EXPECT_EQ(host.take(), "Load\r\n");
    host.now = 600;
    EXPECT_EQ(host.send(QByteArray(1, mode)), QByteArray(1, mode - 32) + ";315");
    host.now = 5000;  // the dialogue holds the line beyond the window
    EXPECT_EQ(host.take(), "");
    EXPECT_EQ(host.send("run"), "y");
    EXPECT_EQ(host.send(kEofOnly), kEofOnly + ")");
    EXPECT_EQ(m->memory().eeprom()[0x14], mode == 'l' ? 0x5A : 0);
    // Half a second, then the greeting window again, then the program.
    EXPECT_FALSE(m->firmwareHasLine());
    EXPECT_EQ(m->nextOutputAt(host.now), 5000 + 500 + 500);
    EXPECT_EQ(m->takeOutput(7499), "Load\r\nLoad\r\nLoad\r\n");
    EXPECT_EQ(m->takeOutput(7500), "");
    EXPECT_TRUE(m->firmwareHasLine());
  }
}

TEST(LirProfile, StatusLinesOnlyWhileTheHostIsQuiet) {
  auto m = device("lir");
  WireHost host(*m, 10);
  // A monitor polling every 300 ms for ten seconds.
  for (; host.now < 10000; host.now += 300) {
    const Exchange x = host.command("PCRD0506B\r\n");
    ASSERT_EQ(x.reply, "MOk0000\r\n") << host.now;
    ASSERT_EQ(host.take(), "") << host.now;
  }
  const qint64 last = host.now - 300;
  EXPECT_EQ(m->nextOutputAt(host.now), last + 2000);
  EXPECT_EQ(m->takeOutput(last + 1999), "");
  EXPECT_TRUE(isStatusLine(m->takeOutput(last + 2000)));
  EXPECT_EQ(m->nextOutputAt(last + 2000), last + 3000);
  // The host speaks again: the device answers and goes quiet.
  host.now = last + 2500;
  EXPECT_EQ(host.command("PCRD0506B\r\n").reply, "MOk0000\r\n");
  EXPECT_EQ(m->takeOutput(last + 4499), "");
}

TEST(LirProfile, NoStatusLineWhileAReplyWaitsForItsEcho) {
  auto m = device("lir", [](SimConfig& c) {
    c.chatter.afterSilenceMs = 100;  // shorter than the firmware's echo patience
    c.chatter.periodMs = 50;
  });
  WireHost host(*m, 10);
  EXPECT_EQ(host.send("PCRD0506B\r\n"), "PCRD0506B\r\nM");
  EXPECT_EQ(m->takeOutput(1010), "");
  const std::optional<qint64> next = m->nextOutputAt(1010);
  ASSERT_TRUE(next);
  EXPECT_GT(*next, 1010);
  EXPECT_TRUE(isStatusLine(m->takeOutput(*next)));
}

TEST(LineRate, AnotherRateIsNeitherHeardNorUnderstood) {
  struct Case {
    const char* profile;
    qint32 lineRate, bootRate, hostRate;
    QByteArray send;
    QByteArray heardBy2000;  // all output up to 2000 ms, the send at 10 ms included
  };
  const Case cases[] = {
      {"echo", 9600, 0, 19200, "ab", ""},
      {"echo", 9600, 0, 0, "ab", "ab"},  // a host rate that is not known is heard
      {"echo", 0, 0, 115200, "ab", "ab"},
      {"boot", 0, 19200, 9600, "l", ""},
      {"boot", 9600, 19200, 19200, "", QByteArray("Load\r\n").repeated(13)},
      {"lir", 9600, 19200, 9600, "PCRD0016F\r\n", "PCRD0016F\r\nM"},
  };
  for (const Case& c : cases) {
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
}

TEST(LineRate, TheHostCanChangeToTheDevicesRate) {
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
    SimConfig cfg = *simConfigForProfile(profile);
    DeviceModel m(cfg);
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

TEST(DeviceModel, TimeNeverRunsBackwards) {
  auto m = device("boot");
  EXPECT_EQ(m->takeOutput(300), "Load\r\nLoad\r\n");
  EXPECT_EQ(m->takeOutput(100), "");  // an earlier time is taken as the latest one
  EXPECT_EQ(m->takeOutput(450), "Load\r\n");
}

}  // namespace
