// The monitor firmware against fixed byte sequences: the frames of both formats as they
// stand on the wire, the device's error replies, its command register and its faults.

#include "wire_host.h"

#include <gtest/gtest.h>

#include <QSet>

// Each case names only the settings it changes; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

// A gen9 board with known memory: EEPROM 0x50 = 0x3C, an LF and the escape byte at the start
// of RAM, 0x7E in the last RAM byte.
std::unique_ptr<DeviceModel> board(const Tweak& tweak = {}) {
  auto m = device("gen9", tweak);
  DeviceMemory& mem = m->memory();
  mem.setLive(false);
  const QByteArray ram = bytes({0x0A, 0xDB, 0x55, 0x00, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16,
                                0x17, 0x18, 0x19, 0x1A, 0x1B});
  for (int i = 0; i < ram.size(); ++i) mem.write(1024 + i, static_cast<quint8>(ram[i]));
  mem.write(0x50, 0x3C);
  mem.write(DeviceMemory::kLastAddress, 0x7E);
  return m;
}

const QByteArray kBinaryRead50 = bytes({0x72, 0x00, 0x00, 0x50, 0x3E, 0x0A});

TEST(MonitorFirmware, EchoesEveryByteAndAnswersExactly) {
  struct Case {
    const char* name;
    QByteArray frame, reply;
  };
  const Case cases[] = {
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
      {"BinaryReadSixteenWithEscapes", bytes({0x72, 0x0F, 0x04, 0x00, 0x7B, 0x0A}),
       bytes({0x6F, 0xDB, 0xDC, 0xDB, 0xDD, 0x55, 0x00, 0x10, 0x11, 0x12, 0x13,
              0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0xCB, 0x0A})},
      {"BinaryReadOneByte", kBinaryRead50, bytes({0x6F, 0x3C, 0x55, 0x0A})},
      {"BinaryChecksumThatIsALineFeed", bytes({0x72, 0x00, 0x00, 0x84, 0x0A, 0x0A}),
       bytes({0x6F, 0xFF, 0x92, 0x0A})},
      {"BinaryBadChecksum", bytes({0x72, 0x00, 0x00, 0x50, 0x3F, 0x0A}),
       bytes({0x65, 0x01, 0x9A, 0x0A})},
      {"BinaryBadEscapePair", bytes({0x72, 0xDB, 0x01, 0x00, 0x50, 0x3E, 0x0A}),
       bytes({0x65, 0x04, 0x97, 0x0A})},
      {"BinaryLineFeedInsideTheFields", bytes({0x72, 0x00, 0x0A}), bytes({0x65, 0x04, 0x97, 0x0A})},
      {"BinaryNoLineFeedAfterChecksum", bytes({0x72, 0x00, 0x00, 0x50, 0x3E, 0x0D}),
       bytes({0x65, 0x04, 0x97, 0x0A})},
      {"BinaryReadBeyondRamWindow", bytes({0x72, 0x01, 0x04, 0x44, 0x45, 0x0A}),
       bytes({0x65, 0x20, 0x7B, 0x0A})},
      {"BinaryWriteWithoutAnnouncement", bytes({0x77, 0x00, 0x00, 0x12, 0xDB, 0xDC, 0xC0, 0x0A}),
       bytes({0x65, 0x10, 0x8B, 0x0A})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto m = board();
    WireHost host(*m);
    const Exchange x = host.command(c.frame);
    EXPECT_EQ(x.echo.toHex(' '), c.frame.toHex(' '));
    EXPECT_EQ(x.reply.toHex(' '), c.reply.toHex(' '));
    EXPECT_LE(x.widestBurst, 1) << "reply bytes must wait for the host's echo";
  }
}

TEST(MonitorFirmware, OneAnnouncementCoversOneWriteInBothFormats) {
  auto m = board();
  WireHost host(*m);
  EXPECT_EQ(host.command("PCWR000036D\r\n").reply, "MOk\r\n");
  EXPECT_EQ(host.command("PCWR0145A11\r\n").reply, "MOk\r\n");
  EXPECT_EQ(m->memory().eeprom()[0x14], 0x5A);
  EXPECT_EQ(host.command("PCWR0145A11\r\n").reply, "MEr10F0\r\n");
  // Another command in between cancels the announcement.
  host.command("PCWR000036D\r\n");
  host.command("PCWR000056B\r\n");  // charging on
  EXPECT_EQ(host.command("PCWR0145B10\r\n").reply, "MEr10F0\r\n");
  EXPECT_EQ(m->memory().eeprom()[0x14], 0x5A);

  const QByteArray ack = bytes({0x6F, 0x91, 0x0A});
  EXPECT_EQ(host.command(bytes({0x77, 0x00, 0x00, 0x00, 0x03, 0x86, 0x0A})).reply, ack);
  EXPECT_EQ(host.command(bytes({0x77, 0x00, 0x00, 0x12, 0xDB, 0xDC, 0xC0, 0x0A})).reply, ack);
  EXPECT_EQ(m->memory().eeprom()[0x12], 0x0A);
  EXPECT_FALSE(m->firmware()->writeAnnounced());
}

// Binary frames from generation 9 with firmware 13.3 on; older boards take them for noise.
TEST(MonitorFirmware, OnlyNewBoardsUnderstandBinaryFrames) {
  struct Case {
    FirmwareConfig firmware;
    bool binary;
  };
  const Case cases[] = {
      {{.generation = 9, .firmwareByte = 0x6D}, true},   // 13.3
      {{.generation = 9, .firmwareByte = 0x0E}, true},   // 14.0
      {{.generation = 9, .firmwareByte = 0x4D}, false},  // 13.2
      {{.generation = 8, .firmwareByte = 0x6D}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << int(c.firmware.generation) << " " << int(c.firmware.firmwareByte));
    auto m = board([&](SimConfig& s) { s.firmware = c.firmware; });
    WireHost host(*m);
    const Exchange x = host.command(kBinaryRead50);
    EXPECT_EQ(x.echo, kBinaryRead50);
    EXPECT_EQ(x.reply, c.binary ? bytes({0x6F, 0x3C, 0x55, 0x0A}) : QByteArray());
    EXPECT_EQ(host.command("PCRD0506B\r\n").reply, "MOk3CC4\r\n");
  }
}

// The command register and two reads (the mode at RAM 0, the protections at RAM 43) as each
// format puts them on the wire; command[code] writes that code to address 0.
struct Format {
  const char* name;
  QList<QByteArray> command;
  QByteArray ack, readMode, readProtections;
  int (*value)(const QByteArray& reply);
};
const Format kFormats[] = {
    {"text",
     {"", "PCWR000016F\r\n", "PCWR000026E\r\n", "PCWR000036D\r\n", "PCWR000046C\r\n",
      "PCWR000056B\r\n", "PCWR000066A\r\n", "PCWR0000769\r\n"},
     "MOk\r\n",
     "PCRD4006C\r\n",
     "PCRD42B58\r\n",
     [](const QByteArray& r) { return r.startsWith("MOk") ? r.mid(3, 2).toInt(nullptr, 16) : -1; }},
    {"binary",
     {"", bytes({0x77, 0, 0, 0, 1, 0x88, 0x0A}), bytes({0x77, 0, 0, 0, 2, 0x87, 0x0A}),
      bytes({0x77, 0, 0, 0, 3, 0x86, 0x0A}), bytes({0x77, 0, 0, 0, 4, 0x85, 0x0A}),
      bytes({0x77, 0, 0, 0, 5, 0x84, 0x0A}), bytes({0x77, 0, 0, 0, 6, 0x83, 0x0A}),
      bytes({0x77, 0, 0, 0, 7, 0x82, 0x0A})},
     bytes({0x6F, 0x91, 0x0A}),
     bytes({0x72, 0x00, 0x04, 0x00, 0x8A, 0x0A}),
     bytes({0x72, 0x00, 0x04, 0x2B, 0x5F, 0x0A}),
     [](const QByteArray& r) { return r.size() == 4 && r[0] == 'o' ? quint8(r[1]) : -1; }},
};

TEST(MonitorFirmware, CommandRegisterSwitchesTheOperatingMode) {
  struct Case {
    QList<int> codes;
    bool mains;
    int mode;
  };
  const Case cases[] = {
      {{}, true, 4},     {{1}, true, 5},    {{4}, true, 3}, {{1, 4}, true, 1},
      {{1, 2}, true, 4}, {{4, 5}, true, 4}, {{}, false, 2}, {{1}, false, 1},
  };
  for (const Format& f : kFormats) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << f.name << " case " << &c - cases);
      auto m = device("gen9", [&](SimConfig& s) { s.firmware.mainsPresent = c.mains; });
      WireHost host(*m);
      for (int code : c.codes) ASSERT_EQ(host.command(f.command[code]).reply, f.ack) << code;
      EXPECT_EQ(f.value(host.command(f.readMode).reply), c.mode);
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
    ASSERT_EQ(host.command(f.command[6]).reply, f.ack);
    host.now += MonitorFirmware::kResetSilenceMs - 1;
    EXPECT_EQ(host.send(f.readProtections), "");
    host.now += 1;
    EXPECT_EQ(f.value(host.command(f.readProtections).reply), 0x80);
    host.now += DeviceMemory::kResetAlarmMs;
    EXPECT_EQ(f.value(host.command(f.readProtections).reply), 0);

    EXPECT_EQ(m->memory().eeprom()[22], 0x33);
    ASSERT_EQ(host.command(f.command[7]).reply, f.ack);
    EXPECT_EQ(m->memory().eeprom(), DeviceMemory::defaultEeprom(m->config().firmware));
    EXPECT_EQ(m->memory().eeprom()[2], 0x6D);
  }
}

// Faults, on the text and the binary read of address 0x050 (value 0x3C).
TEST(MonitorFirmware, ReplyFaultsChangeTheReplyAsTold) {
  struct Case {
    const char* name;
    FirmwareConfig firmware;
    QByteArray textReply, binaryReply;
  };
  const Case cases[] = {
      {"LowerCaseHex", {.lowerCaseHex = true}, "MOk3cc4\r\n", bytes({0x6F, 0x3C, 0x55, 0x0A})},
      {"BadChecksum", {.badChecksum = true}, "MOk3CC5\r\n", bytes({0x6F, 0x3C, 0x56, 0x0A})},
      {"ErrorByte", {.errorByte = 0x02}, "MEr02FE\r\n", bytes({0x65, 0x02, 0x99, 0x0A})},
      {"MissingLf", {.missingLf = true}, "MOk3CC4\r", bytes({0x6F, 0x3C, 0x55})},
      {"FromSecondCommandOn",
       {.faultFromFrame = 2, .badChecksum = true},
       "MOk3CC4\r\n",
       bytes({0x6F, 0x3C, 0x56, 0x0A})},
      // The reply that reaches the limit goes out whole; then not even an echo.
      {"SilentAfterOne", {.silentAfterFrames = 1}, "MOk3CC4\r\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto m = board([&](SimConfig& s) { s.firmware = c.firmware; });
    WireHost host(*m);
    EXPECT_EQ(host.command("PCRD0506B\r\n").reply, c.textReply);
    EXPECT_EQ(host.command(kBinaryRead50).reply.toHex(' '), c.binaryReply.toHex(' '));
  }
}

TEST(MonitorFirmware, InjectedErrorWritesNothing) {
  auto m = device("gen9", [](SimConfig& c) { c.firmware.errorByte = 0x10; });
  WireHost host(*m);
  host.command("PCWR000036D\r\n");
  EXPECT_EQ(host.command("PCWR0145A11\r\n").reply, "MEr10F0\r\n");
  EXPECT_EQ(m->memory().eeprom()[0x14], 0);
}

TEST(MonitorFirmware, ReplyWaitsForEchoAndAWrongByteStartsANewCommand) {
  auto m = board();
  WireHost host(*m);
  EXPECT_EQ(host.send("PCRD0506B\r\n"), "PCRD0506B\r\nM");
  host.now += 500;
  EXPECT_TRUE(host.take().isEmpty()) << "no byte without the echo of the one before";
  EXPECT_EQ(host.send("M"), "O");
  // The host gives up on the reply and sends a new command: echoed and answered.
  EXPECT_EQ(host.send("PCRD0506B\r\n"), "PCRD0506B\r\nM");
  EXPECT_EQ(m->firmware()->echoMismatches(), 1);
}

// A reply nobody echoes, a command stopped halfway and an announcement are forgotten after a
// pause or when the line is opened again.
TEST(MonitorFirmware, WhatTheHostLeftUnfinishedIsForgotten) {
  auto m = board();
  WireHost host(*m);
  host.send("PCRD0506B\r\n");  // reply started, never echoed
  host.now += 1500;
  host.send("PCR");
  host.now += 600;
  EXPECT_EQ(host.command("PCRD0506B\r\n").reply, "MOk3CC4\r\n");
  EXPECT_EQ(m->firmware()->echoMismatches(), 0);
  host.send("PCWR000036D\r\nPCR");
  m->portOpened(host.now, 19200);
  EXPECT_EQ(host.command("PCRD0506B\r\n").reply, "MOk3CC4\r\n");
  EXPECT_EQ(host.command("PCWR0145A11\r\n").reply, "MEr10F0\r\n");
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

// Each profile's factory image names a real device; cells set at start lie over it until an
// EEPROM initialisation. gen9 (and the built-in lir) read "LCD SIN  Ver 9Hi /3 /Net7L -Pro",
// HYBRID, 13.3, 3 kW, 24 V; gen5 "LCD Ver 5.2", 10.1, 1.5 kW, 12 V.
TEST(DeviceMemory, ProfilesCarryTheirIdentification) {
  const int cells[] = {0, 1, 2, 5, 6, 12, 13, 14, 16, 59, 315};
  const std::vector<int> gen9 = {3, 9, 0x6D, 3, 1, 3, 5, 1, 2, 0, 1};
  const std::pair<const char*, std::vector<int>> cases[] = {
      {"gen9", gen9}, {"lir", gen9}, {"gen5", {2, 5, 0x2A, 1, 0, 255, 255, 255, 2, 255, 255}}};
  for (const auto& [profile, expected] : cases) {
    FirmwareConfig cfg = simConfigForProfile(profile)->firmware;
    cfg.eepromAtStart = {{5, 7}, {6, 2}};
    DeviceMemory m(cfg);
    EXPECT_EQ(m.eeprom()[5] * 10 + m.eeprom()[6], 72) << profile;
    m.initialiseEeprom();
    std::vector<int> got;
    for (int a : cells) got.push_back(m.eeprom()[a]);
    EXPECT_EQ(got, expected) << profile;
  }
}

}  // namespace
