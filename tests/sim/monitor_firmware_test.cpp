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

TEST(MonitorFirmware, CommandRegisterSwitchesTheOperatingMode) {
  struct Case {
    QList<QByteArray> frames;
    bool mains;
    int mode;
  };
  const QByteArray off = "PCWR000016F\r\n", on = "PCWR000026E\r\n";
  const QByteArray chargerOff = "PCWR000046C\r\n", chargerOn = "PCWR000056B\r\n";
  const Case cases[] = {
      {{}, true, 4},           {{off}, true, 5},
      {{chargerOff}, true, 3}, {{off, chargerOff}, true, 1},
      {{off, on}, true, 4},    {{chargerOff, chargerOn}, true, 4},
      {{}, false, 2},          {{off}, false, 1},
  };
  for (const Case& c : cases) {
    auto m = device("gen9", [&](SimConfig& s) { s.firmware.mainsPresent = c.mains; });
    WireHost host(*m);
    for (const QByteArray& f : c.frames) ASSERT_EQ(host.command(f).reply, "MOk\r\n");
    EXPECT_EQ(host.command("PCRD4006C\r\n").reply.mid(3, 2).toInt(nullptr, 16), c.mode)
        << c.frames.join().constData() << " mains " << c.mains;
  }
}

TEST(MonitorFirmware, ResetAndEepromInitialisation) {
  auto m = device("gen9");
  m->memory().write(0x14, 0x5A);
  WireHost host(*m, 1000);

  EXPECT_EQ(host.command("PCWR000066A\r\n").reply, "MOk\r\n");  // 6: reset
  // Protection byte (RAM 43 = 0x42B): "a reset happened" for a while, then clear.
  EXPECT_EQ(host.command("PCRD42B58\r\n").reply, "MOk8080\r\n");
  host.now += 11000;
  EXPECT_EQ(host.command("PCRD42B58\r\n").reply, "MOk0000\r\n");

  EXPECT_EQ(host.command("PCWR0000769\r\n").reply, "MOk\r\n");  // 7: factory settings
  EXPECT_EQ(m->memory().eeprom()[0x14], 0);
  EXPECT_EQ(m->memory().eeprom()[2], 0x6D);
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

// The live window must look like a 24 V device at work whenever it is read.
TEST(DeviceMemory, MeasurementsStayPlausibleAndMove) {
  DeviceMemory m(simConfigForProfile("gen9")->firmware);
  QSet<int> voltages;
  for (qint64 t = 0; t < 1200 * 1000; t += 7000) {
    const DeviceMemory::Ram r = m.ram(t);
    const int battery = (r[5] << 8) | r[6];  // tenths of a volt
    voltages.insert(battery);
    EXPECT_TRUE(battery >= 220 && battery <= 300 && r[7] >= 110 && r[7] <= 150) << t;
    // Mains and output (volts - 100) alike while passing; temperatures (°C + 50) 10 to 80 °C.
    EXPECT_TRUE(r[34] == r[39] && r[34] >= 120 && r[34] <= 140) << t;
    for (int cell : {46, 47, 48}) EXPECT_TRUE(r[cell] > 60 && r[cell] < 130) << t << " " << cell;
  }
  EXPECT_GT(voltages.size(), 10) << "the battery voltage should move while charging";
  FirmwareConfig frozen = simConfigForProfile("gen9")->firmware;
  frozen.drift = false;
  DeviceMemory still(frozen);
  EXPECT_EQ(still.ram(0), still.ram(500 * 1000));
}

}  // namespace
