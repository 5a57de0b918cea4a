// The monitor firmware against fixed byte sequences: the frames of both formats as they
// stand on the wire, the device's error replies, its command register and its faults; and the
// memory behind it.

#include "wire_host.h"

#include <QSet>

using namespace lir2;

// Each case names only the settings it changes; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

// A gen9 board with known memory: EEPROM 0x50 = 0x3C, an LF and the escape byte at the start
// of RAM, 0x7E in the last RAM byte.
std::unique_ptr<DeviceModel> board(const Tweak& tweak = {}) {
  auto m = device("gen9", tweak);
  DeviceMemory& mem = m->memory();
  mem.setLive(false);
  const QByteArray ram = hex("0A DB 55 00 10 11 12 13 14 15 16 17 18 19 1A 1B");
  for (int i = 0; i < ram.size(); ++i) mem.write(1024 + i, static_cast<quint8>(ram[i]));
  mem.write(0x50, 0x3C);
  mem.write(DeviceMemory::kLastAddress, 0x7E);
  return m;
}

const QByteArray kBinaryRead50 = hex("72 00 0050 3E 0A");

// Each byte is echoed, and each reply byte waits for the echo of the one before.
TEST(MonitorFirmware, EchoesEveryByteAndAnswersExactly) {
  const struct {
    const char* name;
    QByteArray frame, reply;
  } cases[] = {
      {"ReadOneByte", "PCRD0506B\r\n", "MOk3CC4\r\n"},
      {"ReadBlockOfRam", "PCPR4006C\r\n", "MOk0ADB5500101112131415161718191A1BC4\r\n"},
      {"ReadLastRamByte", "PCRD44464\r\n", "MOk7E82\r\n"},
      {"WriteWithoutAnnouncement", "PCWR0145A11\r\n", "MEr10F0\r\n"},
      {"AddressBeyondRamWindow", "PCRD44563\r\n", "MEr20E0\r\n"},
      {"BlockRunningPastRamWindow", "PCPR43F53\r\n", "MEr20E0\r\n"},
      {"WriteToTopOfTextAddressSpace", "PCWRFFFFF2F\r\n", "MEr20E0\r\n"},
      {"UnknownCommandCode", "PCWR0000967\r\n", "MEr20E0\r\n"},
      {"BadChecksum", "PCRD0506C\r\n", "MEr01FF\r\n"},
      {"NotAHexDigit", "PCRD05G6B\r\n", "MEr08F8\r\n"},
      {"LowerCaseFromHost", "PCRD05a6B\r\n", "MEr08F8\r\n"},
      {"UnknownCommand", "PCXX0506B\r\n", "MEr04FC\r\n"},
      {"MissingDigit", "PCRD056B\r\n", "MEr04FC\r\n"},
      {"NoCarriageReturn", "PCRD0506B\n", "MEr04FC\r\n"},
      {"NotACommandGetsNoAnswer", "hello\r\n", ""},
      {"BinaryReadSixteenWithEscapes", hex("72 0F 0400 7B 0A"),
       hex("6F DBDC DBDD 55 00 10 11 12 13 14 15 16 17 18 19 1A 1B CB 0A")},
      {"BinaryReadOneByte", kBinaryRead50, hex("6F 3C 55 0A")},
      {"BinaryChecksumThatIsALineFeed", hex("72 00 0084 0A 0A"), hex("6F FF 92 0A")},
      {"BinaryBadChecksum", hex("72 00 0050 3F 0A"), hex("65 01 9A 0A")},
      {"BinaryBadEscapePair", hex("72 DB01 0050 3E 0A"), hex("65 04 97 0A")},
      {"BinaryLineFeedInsideTheFields", hex("72 00 0A"), hex("65 04 97 0A")},
      {"BinaryNoLineFeedAfterChecksum", hex("72 00 0050 3E 0D"), hex("65 04 97 0A")},
      {"BinaryReadBeyondRamWindow", hex("72 01 0444 45 0A"), hex("65 20 7B 0A")},
      {"BinaryWriteWithoutAnnouncement", hex("77 00 0012 DBDC C0 0A"), hex("65 10 8B 0A")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto m = board();
    EXPECT_EQ(WireHost(*m).command(c.frame), c.reply);
  }
}

TEST(MonitorFirmware, OneAnnouncementCoversOneWriteInBothFormats) {
  auto m = board();
  WireHost host(*m);
  EXPECT_EQ(host.command("PCWR000036D\r\n"), "MOk\r\n");
  EXPECT_EQ(host.command("PCWR0145A11\r\n"), "MOk\r\n");
  EXPECT_EQ(m->memory().eeprom()[0x14], 0x5A);
  EXPECT_EQ(host.command("PCWR0145A11\r\n"), "MEr10F0\r\n");
  // Another command in between cancels the announcement.
  host.command("PCWR000036D\r\n");
  host.command("PCWR000056B\r\n");  // charging on
  EXPECT_EQ(host.command("PCWR0145B10\r\n"), "MEr10F0\r\n");
  EXPECT_EQ(m->memory().eeprom()[0x14], 0x5A);

  EXPECT_EQ(host.command(hex("77 00 0000 03 86 0A")), hex("6F 91 0A"));
  EXPECT_EQ(host.command(hex("77 00 0012 DBDC C0 0A")), hex("6F 91 0A"));
  EXPECT_EQ(m->memory().eeprom()[0x12], 0x0A);
  EXPECT_FALSE(m->firmware()->writeAnnounced());
}

// The binary and then the text read of address 0x050 (value 0x3C), as the board's firmware and
// its faults shape them, and then a text write. Binary frames from generation 9 with firmware
// 13.3 on; older boards take them for noise, echoed and unanswered. A device that answers with
// an error, or not at all, writes nothing.
TEST(MonitorFirmware, BoardsAndReplyFaultsShapeTheReply) {
  const struct {
    const char* name;
    FirmwareConfig firmware;
    QByteArray binaryReply, textReply;
  } cases[] = {
      {"14.0", {.generation = 9, .firmwareByte = 0x0E}, hex("6F 3C 55 0A"), "MOk3CC4\r\n"},
      {"13.2", {.generation = 9, .firmwareByte = 0x4D}, "", "MOk3CC4\r\n"},
      {"Generation8", {.generation = 8, .firmwareByte = 0x6D}, "", "MOk3CC4\r\n"},
      {"LowerCaseHex", {.lowerCaseHex = true}, hex("6F 3C 55 0A"), "MOk3cc4\r\n"},
      {"BadChecksum", {.badChecksum = true}, hex("6F 3C 56 0A"), "MOk3CC5\r\n"},
      {"ErrorByte", {.errorByte = 0x02}, hex("65 02 99 0A"), "MEr02FE\r\n"},
      {"MissingLf", {.missingLf = true}, hex("6F 3C 55"), "MOk3CC4\r"},
      {"FromSecondCommandOn",
       {.faultFromFrame = 2, .badChecksum = true},
       hex("6F 3C 55 0A"),
       "MOk3CC5\r\n"},
      // The reply that reaches the limit goes out whole; then not even an echo.
      {"SilentAfterOne", {.silentAfterFrames = 1}, hex("6F 3C 55 0A"), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto m = board([&](SimConfig& s) { s.firmware = c.firmware; });
    WireHost host(*m);
    EXPECT_EQ(host.command(kBinaryRead50), c.binaryReply);
    EXPECT_EQ(host.command("PCRD0506B\r\n"), c.textReply);
    host.command("PCWR000036D\r\n");
    host.command("PCWR0145A11\r\n");
    const bool writes = !c.firmware.errorByte && c.firmware.silentAfterFrames < 0;
    EXPECT_EQ(m->memory().eeprom()[0x14], writes ? 0x5A : 0);
  }
}

// The command register and two reads (the mode at RAM 0, the protections at RAM 43) as each
// format puts them on the wire; command[code] writes that code to address 0.
const struct Format {
  const char* name;
  QList<QByteArray> command;
  QByteArray ack, readMode, readProtections;
  int (*value)(const QByteArray& reply);
} kFormats[] = {
    {"text",
     {"", "PCWR000016F\r\n", "PCWR000026E\r\n", "PCWR000036D\r\n", "PCWR000046C\r\n",
      "PCWR000056B\r\n", "PCWR000066A\r\n", "PCWR0000769\r\n"},
     "MOk\r\n",
     "PCRD4006C\r\n",
     "PCRD42B58\r\n",
     [](const QByteArray& r) { return r.startsWith("MOk") ? r.mid(3, 2).toInt(nullptr, 16) : -1; }},
    {"binary",
     {"", hex("77 00 0000 01 88 0A"), hex("77 00 0000 02 87 0A"), hex("77 00 0000 03 86 0A"),
      hex("77 00 0000 04 85 0A"), hex("77 00 0000 05 84 0A"), hex("77 00 0000 06 83 0A"),
      hex("77 00 0000 07 82 0A")},
     hex("6F 91 0A"),
     hex("72 00 0400 8A 0A"),
     hex("72 00 042B 5F 0A"),
     [](const QByteArray& r) { return r.size() == 4 && r[0] == 'o' ? quint8(r[1]) : -1; }},
};

TEST(MonitorFirmware, CommandRegisterSwitchesTheOperatingMode) {
  const struct {
    QList<int> codes;
    bool mains;
    int mode;
  } cases[] = {
      {{}, true, 4},     {{1}, true, 5},    {{4}, true, 3}, {{1, 4}, true, 1},
      {{1, 2}, true, 4}, {{4, 5}, true, 4}, {{}, false, 2}, {{1}, false, 1},
  };
  for (const Format& f : kFormats) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << f.name << " case " << &c - cases);
      auto m = device("gen9", [&](SimConfig& s) { s.firmware.mainsPresent = c.mains; });
      WireHost host(*m);
      for (int code : c.codes) ASSERT_EQ(host.command(f.command[code]), f.ack) << code;
      EXPECT_EQ(f.value(host.command(f.readMode)), c.mode);
    }
  }
}

// 6 is acknowledged, then the controller restarts: 500 ms without echo or answer, and "reset
// happened" for 10 s. 7 brings back the factory image, without what was set at start.
TEST(MonitorFirmware, ResetSilencesTheLineAndInitialisationRestoresTheFactoryImage) {
  for (const Format& f : kFormats) {
    SCOPED_TRACE(f.name);
    auto m = device("gen9", [](SimConfig& c) { c.firmware.eepromAtStart = {{22, 0x33}}; });
    m->memory().write(20, 0x5A);
    WireHost host(*m, 1000);
    ASSERT_EQ(host.command(f.command[6]), f.ack);
    host.now += MonitorFirmware::kResetSilenceMs - 1;
    EXPECT_EQ(host.send(f.readProtections), "");
    host.now += 1;
    EXPECT_EQ(f.value(host.command(f.readProtections)), 0x80);
    host.now += DeviceMemory::kResetAlarmMs;
    EXPECT_EQ(f.value(host.command(f.readProtections)), 0);

    EXPECT_EQ(m->memory().eeprom()[22], 0x33);
    ASSERT_EQ(host.command(f.command[7]), f.ack);
    EXPECT_EQ(m->memory().eeprom(), DeviceMemory::defaultEeprom(m->config().firmware));
    EXPECT_EQ(m->memory().eeprom()[2], 0x6D);
  }
}

// A reply waits for the echo of each byte; a wrong byte starts a new command, echoed and
// answered. A reply nobody echoes, a command stopped halfway and an announcement are forgotten
// after a pause or when the line is opened again.
TEST(MonitorFirmware, ReplyWaitsForEchoAndUnfinishedCommandsAreForgotten) {
  const QByteArray read = "PCRD0506B\r\n";
  auto m = board();
  play(*m, {{0, read, read + 'M'}, {500, "", ""}, {500, "M", "O"}, {500, read, read + 'M'}});
  EXPECT_EQ(m->firmware()->echoMismatches(), 1);
  play(*m, {{2000, "PCR", "PCR"},  // the reply of 500 ms never echoed
            {2600, read, read + 'M'},
            {2600, "MOk3CC4\r\n", "Ok3CC4\r\n"},
            {2600, "PCWR000036D\r\nPCR", "PCWR000036D\r\nMPCR"},
            {2600, read, read + 'M', true},
            {2600, "MOk3CC4\r\n", "Ok3CC4\r\n"},
            {2600, "PCWR0145A11\r\n", "PCWR0145A11\r\nM"},
            {2600, "MEr10F0\r\n", "Er10F0\r\n"}});
  EXPECT_EQ(m->firmware()->echoMismatches(), 2);
}

// Left alone, the device lives through its day: within two days it has been in each mode of
// its own with each charge flag, every alarm group has spoken, the mains power has flowed both
// ways, and the window has looked like a 24 V device at work throughout. Switched off, it stays
// off; without drift, it holds still.
TEST(DeviceMemory, WalksThroughItsDayUnlessToldOtherwise) {
  const FirmwareConfig gen9 = simConfigForProfile("gen9")->firmware;
  DeviceMemory on(gen9), off(gen9);
  off.command(1, 0);
  QSet<int> modes, modesOff, flags, alarmGroups, directions;
  for (qint64 t = 0; t < 2 * DeviceMemory::kDayMs; t += 1000) {
    const DeviceMemory::Ram r = on.ram(t);
    modes << r[0];
    modesOff << off.ram(t)[0];
    flags << r[2];
    for (int g = 0; g < 4; ++g)
      if (r[42 + g]) alarmGroups << g;
    directions << (r[68] >= 0x80);
    const int battery = (r[5] << 8) | r[6];  // tenths of a volt
    ASSERT_TRUE(battery >= 220 && battery <= 290 && r[7] >= 110 && r[7] <= 145) << t;
    ASSERT_EQ(r[12] != 0, r[2] == DeviceMemory::kFlagWaiting) << t;  // the countdown
    // Mains and output (volts - 100) alike while passing; 220 V generated; temperatures (°C +
    // 50) 10 to 80 °C.
    const int m = r[0];
    ASSERT_TRUE(m == 3 || m == 4 ? r[34] == r[39] && r[34] >= 120 && r[34] <= 140
                                 : r[34] == 0 && (m == 2 ? r[39] >= 119 : r[39] == 0))
        << t;
    for (int cell : {46, 47, 48}) ASSERT_TRUE(r[cell] > 60 && r[cell] < 130) << t << " " << cell;
  }
  EXPECT_EQ(modes, (QSet<int>{0, 2, 3, 4}));
  EXPECT_EQ(modesOff, (QSet<int>{1, 5}));
  EXPECT_EQ(flags, (QSet<int>{0, 1, 2, 4}));
  EXPECT_EQ(alarmGroups.size(), 4);
  EXPECT_EQ(directions.size(), 2);
  EXPECT_EQ(on.ram(DeviceMemory::kDayMs + 200 * 1000)[56], 3) << "charge time in minutes";

  FirmwareConfig frozen = gen9;
  frozen.drift = false;
  DeviceMemory still(frozen);
  EXPECT_EQ(still.ram(0), still.ram(DeviceMemory::kMainsFailsAtMs + 60 * 1000));
}

// What the options pin stays pinned, through the walk and a reset; the reset clears the rest:
// an alarm that stood, the short-circuit counters.
TEST(DeviceMemory, PinnedCellsStayPinnedAndAResetClearsTheRest) {
  FirmwareConfig cfg = simConfigForProfile("gen9")->firmware;
  cfg.pinnedRam = {{0, 5}, {12, 30}};
  cfg.pinnedAlarms = {{44, 0x08}};
  DeviceMemory m(cfg);
  qint64 fault = -1;  // a time with a system fault standing
  for (qint64 t = 0; t < 2 * DeviceMemory::kDayMs; t += 1000) {
    const DeviceMemory::Ram r = m.ram(t);
    ASSERT_TRUE(r[0] == 5 && r[12] == 30 && (r[44] & 0x08)) << t;
    if (r[42] && fault < 0) fault = t;
  }
  ASSERT_GE(fault, 0);
  DeviceMemory reset(cfg);
  EXPECT_NE(reset.ram(fault)[42], 0);
  reset.command(6, fault);
  const DeviceMemory::Ram r = reset.ram(fault + 1000);
  EXPECT_EQ(std::vector<int>({r[0], r[12], r[42], r[43] & 0x80, r[44] & 0x08, r[52], r[53]}),
            std::vector<int>({5, 30, 0, 0x80, 0x08, 0, 0}));
}

// Each profile's factory image names a real device: gen9 (and the built-in lir) read "LCD SIN
// Ver 9Hi /3 /Net7L -Pro", HYBRID, 13.3, 3 kW, 24 V; gen5 "LCD Ver 5.2", 10.1, 1.5 kW, 12 V.
TEST(DeviceMemory, ProfilesCarryTheirIdentification) {
  const int cells[] = {0, 1, 2, 5, 6, 12, 13, 14, 16, 59, 315};
  const std::vector<int> gen9 = {3, 9, 0x6D, 3, 1, 3, 5, 1, 2, 0, 1};
  const std::pair<const char*, std::vector<int>> cases[] = {
      {"gen9", gen9}, {"lir", gen9}, {"gen5", {2, 5, 0x2A, 1, 0, 255, 255, 255, 2, 255, 255}}};
  for (const auto& [profile, expected] : cases) {
    DeviceMemory m(simConfigForProfile(profile)->firmware);
    std::vector<int> got;
    for (int a : cells) got.push_back(m.eeprom()[a]);
    EXPECT_EQ(got, expected) << profile;
  }
}

}  // namespace
