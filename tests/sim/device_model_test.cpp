// The device as a whole: the echo and translation profiles, the built-in device's bootloader
// window and hand-over, its status lines, and a line rate that does not match.

#include "sim/device_model.h"
#include "wire_host.h"

#include <gtest/gtest.h>

#include <random>

namespace {

const QByteArray kEofOnly = bytes({'U', ':', 0x00, 0x00, 0x00, 0x01, 0xFF, 'U'});

std::unique_ptr<DeviceModel> device(const QString& profile, void (*tweak)(SimConfig&) = nullptr) {
  SimConfig cfg = *simConfigForProfile(profile);
  if (tweak) tweak(cfg);
  auto m = std::make_unique<DeviceModel>(cfg);
  m->portOpened(0, 19200);
  return m;
}

bool isStatusText(const QByteArray& text) {
  if (!text.endsWith("\r\n")) return false;
  for (char c : text)
    if (!(c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F))) return false;
  return true;
}

TEST(Profiles, NamesAndUnknownName) {
  for (const QString& name : simProfileNames()) {
    const std::optional<SimConfig> cfg = simConfigForProfile(name);
    ASSERT_TRUE(cfg) << name.toStdString();
    EXPECT_EQ(cfg->profile, name);
  }
  EXPECT_EQ(simProfileNames().size(), 7);
  EXPECT_FALSE(simConfigForProfile("gen7"));
  EXPECT_FALSE(simConfigForProfile(""));
}

TEST(EchoProfile, ReturnsEveryByteAtOnce) {
  auto m = device("echo");
  WireHost host(*m);
  const QByteArray all = bytes({0x00, 0x0A, 0x55, 0xFF, 'Z'});
  EXPECT_EQ(host.send(all), all);
  EXPECT_EQ(m->nextOutputAt(0), std::nullopt);
}

TEST(TranslateProfile, TalksEverySecondAndDoesNotListen) {
  auto m = device("translate");
  EXPECT_EQ(m->nextOutputAt(0), 1000);
  EXPECT_EQ(m->takeOutput(999), "");
  const QByteArray first = m->takeOutput(1000);
  EXPECT_TRUE(isStatusText(first)) << first.constData();
  EXPECT_EQ(first.count('\n'), 1);
  EXPECT_TRUE(first.startsWith("LIR 24V ")) << first.constData();
  WireHost host(*m, 1500);
  EXPECT_EQ(host.send("PCRD0506B\r\n"), "");
  const QByteArray later = m->takeOutput(3000);
  EXPECT_EQ(later.count('\n'), 2);
  EXPECT_TRUE(isStatusText(later));
}

TEST(LirProfile, GreetsForTwoSecondsThenTheProgramRuns) {
  auto m = device("lir");
  EXPECT_EQ(m->nextOutputAt(0), 500);
  EXPECT_EQ(m->takeOutput(499), "");
  EXPECT_EQ(m->takeOutput(500), "Load\r\n");
  EXPECT_EQ(m->takeOutput(1999), "Load\r\nLoad\r\n");
  EXPECT_FALSE(m->firmwareHasLine());
  EXPECT_EQ(m->takeOutput(2000), "");
  EXPECT_TRUE(m->firmwareHasLine());
  WireHost host(*m, 2500);
  EXPECT_EQ(host.send("l"), "l") << "after the window a mode letter is just a byte";
  host.send("\r\n");
  EXPECT_TRUE(host.command("PCRD0016F\r\n").reply.startsWith("MOk"));
}

TEST(LirProfile, AnyOtherByteStartsTheProgramAtOnce) {
  auto m = device("lir");
  WireHost host(*m, 10);
  EXPECT_EQ(host.command("PCRD0016F\r\n").reply, "MOk09F7\r\n");  // generation 9
  EXPECT_TRUE(m->firmwareHasLine());
  host.now = 1900;
  EXPECT_FALSE(host.take().contains("Load"));
}

TEST(LirProfile, ModeLetterStartsTheBootloaderAndAnUploadRestartsTheDevice) {
  auto m = device("lir");
  WireHost host(*m, 500);
  EXPECT_EQ(host.take(), "Load\r\n");
  host.now = 600;
  EXPECT_EQ(host.send("l"), "L;315");
  host.now = 5000;  // the dialogue holds the line beyond the window
  EXPECT_EQ(host.take(), "");
  EXPECT_EQ(host.send("run"), "y");
  EXPECT_EQ(host.send(kEofOnly), kEofOnly + ")");
  EXPECT_FALSE(m->firmwareHasLine());
  // Restart: half a second, then the greeting window again, then the program.
  EXPECT_EQ(m->nextOutputAt(host.now), 5000 + 500 + 500);
  EXPECT_EQ(m->takeOutput(6000), "Load\r\n");
  EXPECT_EQ(m->takeOutput(7500), "Load\r\nLoad\r\n");
  EXPECT_TRUE(m->firmwareHasLine());
}

TEST(LirProfile, AbandonedLoadGreetsAgainForAFreshWindow) {
  auto m = device("lir");
  WireHost host(*m, 500);
  host.take();
  EXPECT_EQ(host.send("l"), "L;315");
  host.now = 1800;
  EXPECT_EQ(host.send("#"), "");
  EXPECT_EQ(m->takeOutput(3700), "Load\r\nLoad\r\nLoad\r\n");  // 2300, 2800, 3300
  EXPECT_FALSE(m->firmwareHasLine());
  EXPECT_EQ(m->takeOutput(3800), "");
  EXPECT_TRUE(m->firmwareHasLine());
}

struct LoadModeCase {
  const char* name;
  const char* mode;
  bool keepsSettings;
};
void PrintTo(const LoadModeCase& c, std::ostream* os) {
  *os << c.name;
}

class LirLoadMode : public ::testing::TestWithParam<LoadModeCase> {};

TEST_P(LirLoadMode, FullLoadRestoresFactorySettings) {
  auto m = device("lir");
  const quint8 factory = m->memory().eeprom()[0x14];
  WireHost host(*m, 10);
  ASSERT_EQ(host.command("PCWR000036D\r\n").reply, "MOk\r\n");
  ASSERT_EQ(host.command("PCWR0145A11\r\n").reply, "MOk\r\n");
  m->portOpened(100, 19200);
  host.now = 600;
  host.take();
  host.send(GetParam().mode);
  host.send("run");
  ASSERT_EQ(host.send(kEofOnly), kEofOnly + ")");
  EXPECT_EQ(m->memory().eeprom()[0x14], GetParam().keepsSettings ? 0x5A : factory);
}

INSTANTIATE_TEST_SUITE_P(Lir, LirLoadMode,
                         ::testing::Values(LoadModeCase{"KeepSettings", "l", true},
                                           LoadModeCase{"Full", "f", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LirProfile, StatusLinesOnlyWhileTheHostIsQuiet) {
  auto m = device("lir");
  WireHost host(*m, 10);
  QByteArray seen;
  // A monitor polling every 300 ms for ten seconds.
  for (; host.now < 10000; host.now += 300) {
    const Exchange x = host.command("PCRD0506B\r\n");
    ASSERT_EQ(x.reply, "MOk0000\r\n") << host.now;
    seen += x.echo + host.take();
  }
  EXPECT_FALSE(seen.contains("LIR")) << seen.constData();
  const qint64 last = host.now - 300;
  EXPECT_EQ(m->nextOutputAt(host.now), last + 2000);
  EXPECT_EQ(m->takeOutput(last + 1999), "");
  const QByteArray line = m->takeOutput(last + 2000);
  EXPECT_TRUE(line.startsWith("LIR 24V MAINS+CHARGE")) << line.constData();
  EXPECT_TRUE(isStatusText(line));
  EXPECT_EQ(m->nextOutputAt(last + 2000), last + 3000);
  // The host speaks again: the device answers and goes quiet.
  host.now = last + 2500;
  EXPECT_EQ(host.command("PCRD0506B\r\n").reply, "MOk0000\r\n");
  EXPECT_EQ(m->takeOutput(last + 4499), "");
}

TEST(LirProfile, NoStatusLineWhileAReplyWaitsForItsEcho) {
  SimConfig cfg = *simConfigForProfile("lir");
  cfg.chatter.afterSilenceMs = 100;  // shorter than the firmware's echo patience
  cfg.chatter.periodMs = 50;
  DeviceModel m(cfg);
  m.portOpened(0, 19200);
  WireHost host(m, 10);
  EXPECT_EQ(host.send("PCRD0506B\r\n"), "PCRD0506B\r\nM");
  EXPECT_EQ(m.takeOutput(1010), "");
  const std::optional<qint64> next = m.nextOutputAt(1010);
  ASSERT_TRUE(next);
  EXPECT_GT(*next, 1010);
  EXPECT_TRUE(m.takeOutput(*next).startsWith("LIR"));
}

TEST(LirProfile, ReopeningRestartsTheWindowAndKeepsTheMemory) {
  auto m = device("lir");
  WireHost host(*m, 10);
  host.command("PCWR000036D\r\n");
  host.command("PCWR0145A11\r\n");
  m->portOpened(3000, 19200);
  EXPECT_FALSE(m->firmwareHasLine());
  EXPECT_EQ(m->takeOutput(3500), "Load\r\n");
  EXPECT_EQ(m->memory().eeprom()[0x14], 0x5A);
  EXPECT_EQ(m->portOpenings(), 2);
}

struct RateCase {
  const char* name;
  const char* profile;
  qint32 lineRate, bootRate, hostRate;
  QByteArray send;
  QByteArray heardBy2000;  // all output up to 2000 ms, the send at 10 ms included
};
void PrintTo(const RateCase& c, std::ostream* os) {
  *os << c.name;
}

class LineRate : public ::testing::TestWithParam<RateCase> {};

TEST_P(LineRate, AnotherRateIsNeitherHeardNorUnderstood) {
  const RateCase& c = GetParam();
  SimConfig cfg = *simConfigForProfile(c.profile);
  cfg.lineRate = c.lineRate;
  cfg.bootRate = c.bootRate;
  DeviceModel m(cfg);
  m.portOpened(0, c.hostRate);
  WireHost host(m, 10);
  QByteArray out = host.send(c.send);
  out += m.takeOutput(2000);
  EXPECT_EQ(out, c.heardBy2000);
}

INSTANTIATE_TEST_SUITE_P(
    Sim, LineRate,
    ::testing::Values(RateCase{"EchoAtItsRate", "echo", 9600, 0, 9600, "ab", "ab"},
                      RateCase{"EchoAtAnotherRate", "echo", 9600, 0, 19200, "ab", ""},
                      RateCase{"UnknownHostRateIsHeard", "echo", 9600, 0, 0, "ab", "ab"},
                      RateCase{"AnyRateDevice", "echo", 0, 0, 115200, "ab", "ab"},
                      RateCase{"BootAtAnotherRate", "boot", 0, 19200, 9600, "l", ""},
                      RateCase{"BootAtItsRate", "boot", 9600, 19200, 19200, "",
                               QByteArray("Load\r\n").repeated(13)},
                      RateCase{"LirMonitorAtItsOwnRate", "lir", 9600, 19200, 9600, "PCRD0016F\r\n",
                               "PCRD0016F\r\nM"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineRate, TheHostCanChangeToTheDevicesRate) {
  SimConfig cfg = *simConfigForProfile("echo");
  cfg.lineRate = 9600;
  DeviceModel m(cfg);
  m.portOpened(0, 19200);
  WireHost host(m);
  EXPECT_EQ(host.send("a"), "");
  m.hostRateChanged(1, 9600);
  host.now = 1;
  EXPECT_EQ(host.send("b"), "b");
  EXPECT_EQ(m.bytesUnheard(), 1u);
  EXPECT_EQ(m.bytesReceived(), 2u);
}

TEST(DeviceModel, PurgeDropsOnlyWhatHasBeenSent) {
  auto m = device("modem");
  WireHost host(*m);
  host.send("at+cmgf=1\r\nat+cmgs=\"+7\"\r\nx\x1a");  // echo and answers now, +CMGS later
  m->discardOutput(0);
  EXPECT_EQ(m->takeOutput(0), "");
  EXPECT_EQ(m->takeOutput(300), "+CMGS: 1\r\nOK\r\n");
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
