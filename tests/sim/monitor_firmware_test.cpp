// The monitor firmware against fixed byte sequences: the frames of both formats as they
// stand on the wire, the device's error replies, its command register and its faults.

#include "sim/device_model.h"
#include "wire_host.h"

#include <gtest/gtest.h>

#include <QSet>

namespace {

struct Device {
  explicit Device(const QString& profile = "gen9", void (*tweak)(SimConfig&) = nullptr) {
    SimConfig cfg = *simConfigForProfile(profile);
    if (tweak) tweak(cfg);
    model = std::make_unique<DeviceModel>(cfg);
    model->portOpened(0, 19200);
    DeviceMemory& m = model->memory();
    m.setLive(false);
    m.write(0x50, 0x3C);
    for (int i = 0; i < 16; ++i) m.write(1024 + i, static_cast<quint8>(i));
    m.write(DeviceMemory::kLastAddress, 0x7E);
  }
  std::unique_ptr<DeviceModel> model;
};

struct FrameCase {
  const char* name;
  QByteArray frame;
  QByteArray reply;
};
void PrintTo(const FrameCase& c, std::ostream* os) {
  *os << c.name;
}

class TextFrames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(TextFrames, EchoEveryByteAndAnswerExactly) {
  Device d;
  WireHost host(*d.model);
  const Exchange x = host.command(GetParam().frame);
  EXPECT_EQ(x.echo, GetParam().frame);
  EXPECT_EQ(x.reply, GetParam().reply);
  EXPECT_LE(x.widestBurst, 1) << "reply bytes must wait for the host's echo";
}

INSTANTIATE_TEST_SUITE_P(
    Monitor, TextFrames,
    ::testing::Values(FrameCase{"ReadOneByte", "PCRD0506B\r\n", "MOk3CC4\r\n"},
                      FrameCase{"ReadBlockOfRam", "PCPR4006C\r\n",
                                "MOk000102030405060708090A0B0C0D0E0F88\r\n"},
                      FrameCase{"ReadLastRamByte", "PCRD44464\r\n", "MOk7E82\r\n"},
                      FrameCase{"WriteWithoutAnnouncement", "PCWR0145A11\r\n", "MEr10F0\r\n"},
                      FrameCase{"AddressBeyondRamWindow", "PCRD44563\r\n", "MEr20E0\r\n"},
                      FrameCase{"BlockRunningPastRamWindow", "PCPR43F53\r\n", "MEr20E0\r\n"},
                      FrameCase{"WriteToTopOfTextAddressSpace", "PCWRFFFFF2F\r\n", "MEr20E0\r\n"},
                      FrameCase{"UnknownCommandCode", "PCWR0000967\r\n", "MEr20E0\r\n"},
                      FrameCase{"BadChecksum", "PCRD0506C\r\n", "MEr01FF\r\n"},
                      FrameCase{"NotAHexDigit", "PCRD05G6B\r\n", "MEr08F8\r\n"},
                      FrameCase{"LowerCaseFromHost", "PCRD05a6B\r\n", "MEr08F8\r\n"},
                      FrameCase{"UnknownCommand", "PCXX0506B\r\n", "MEr04FC\r\n"},
                      FrameCase{"MissingDigit", "PCRD056B\r\n", "MEr04FC\r\n"},
                      FrameCase{"NoCarriageReturn", "PCRD0506B\n", "MEr04FC\r\n"},
                      FrameCase{"NotACommandGetsNoAnswer", "hello\r\n", ""}),
    [](const auto& info) { return std::string(info.param.name); });

class BinaryFrames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(BinaryFrames, EchoEveryByteAndAnswerExactly) {
  Device d;
  DeviceMemory& m = d.model->memory();
  const int ram[16] = {0x0A, 0xDB, 0x55, 0x00, 0x10, 0x11, 0x12, 0x13,
                       0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B};
  for (int i = 0; i < 16; ++i) m.write(1024 + i, static_cast<quint8>(ram[i]));
  m.write(0x60, 0xDB);
  WireHost host(*d.model);
  const Exchange x = host.command(GetParam().frame);
  EXPECT_EQ(x.echo.toHex(' '), GetParam().frame.toHex(' '));
  EXPECT_EQ(x.reply.toHex(' '), GetParam().reply.toHex(' '));
  EXPECT_EQ(x.widestBurst, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Monitor, BinaryFrames,
    ::testing::Values(
        FrameCase{"ReadSixteenWithEscapes", bytes({0x72, 0x0F, 0x04, 0x00, 0x7B, 0x0A}),
                  bytes({0x6F, 0xDB, 0xDC, 0xDB, 0xDD, 0x55, 0x00, 0x10, 0x11, 0x12, 0x13,
                         0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0xCB, 0x0A})},
        FrameCase{"ReadOneByte", bytes({0x72, 0x00, 0x00, 0x50, 0x3E, 0x0A}),
                  bytes({0x6F, 0x3C, 0x55, 0x0A})},
        FrameCase{"AnswerCarryingEscapeByte", bytes({0x72, 0x00, 0x00, 0x60, 0x2E, 0x0A}),
                  bytes({0x6F, 0xDB, 0xDD, 0xD9, 0x0A})},
        FrameCase{"CommandToAddressZero", bytes({0x77, 0x00, 0x00, 0x00, 0x07, 0x82, 0x0A}),
                  bytes({0x6F, 0x91, 0x0A})},
        FrameCase{"ChecksumThatIsALineFeed", bytes({0x72, 0x00, 0x00, 0x84, 0x0A, 0x0A}),
                  bytes({0x6F, 0xFF, 0x92, 0x0A})},
        FrameCase{"WriteWithoutAnnouncement",
                  bytes({0x77, 0x00, 0x00, 0x12, 0xDB, 0xDC, 0xC0, 0x0A}),
                  bytes({0x65, 0x10, 0x8B, 0x0A})},
        FrameCase{"BadChecksum", bytes({0x72, 0x00, 0x00, 0x50, 0x3F, 0x0A}),
                  bytes({0x65, 0x01, 0x9A, 0x0A})},
        FrameCase{"BadEscapePair", bytes({0x72, 0xDB, 0x01, 0x00, 0x50, 0x3E, 0x0A}),
                  bytes({0x65, 0x04, 0x97, 0x0A})},
        FrameCase{"LineFeedInsideTheFields", bytes({0x72, 0x00, 0x0A}),
                  bytes({0x65, 0x04, 0x97, 0x0A})},
        FrameCase{"NoLineFeedAfterChecksum", bytes({0x72, 0x00, 0x00, 0x50, 0x3E, 0x0D}),
                  bytes({0x65, 0x04, 0x97, 0x0A})},
        FrameCase{"ReadBeyondRamWindow", bytes({0x72, 0x01, 0x04, 0x44, 0x45, 0x0A}),
                  bytes({0x65, 0x20, 0x7B, 0x0A})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MonitorFirmware, AnnouncedWritesReachTheEepromInBothFormats) {
  Device d;
  WireHost host(*d.model);
  EXPECT_EQ(host.command("PCWR000036D\r\n").reply, "MOk\r\n");
  EXPECT_EQ(host.command("PCWR0145A11\r\n").reply, "MOk\r\n");
  EXPECT_EQ(d.model->memory().eeprom()[0x14], 0x5A);
  // One announcement covers one write.
  EXPECT_EQ(host.command("PCWR0145A11\r\n").reply, "MEr10F0\r\n");

  const QByteArray ack = bytes({0x6F, 0x91, 0x0A});
  EXPECT_EQ(host.command(bytes({0x77, 0x00, 0x00, 0x00, 0x03, 0x86, 0x0A})).reply, ack);
  EXPECT_EQ(host.command(bytes({0x77, 0x00, 0x00, 0x12, 0xDB, 0xDC, 0xC0, 0x0A})).reply, ack);
  EXPECT_EQ(d.model->memory().eeprom()[0x12], 0x0A);
  EXPECT_FALSE(d.model->firmware()->writeAnnounced());
}

TEST(MonitorFirmware, AnotherCommandCancelsTheAnnouncement) {
  Device d;
  WireHost host(*d.model);
  const quint8 before = d.model->memory().eeprom()[0x14];
  host.command("PCWR000036D\r\n");
  host.command("PCWR000056B\r\n");  // charging on
  EXPECT_EQ(host.command("PCWR0145A11\r\n").reply, "MEr10F0\r\n");
  EXPECT_EQ(d.model->memory().eeprom()[0x14], before);
}

TEST(MonitorFirmware, OlderBoardIgnoresBinaryFrames) {
  Device d("gen5");
  WireHost host(*d.model);
  const QByteArray frame = bytes({0x72, 0x00, 0x00, 0x50, 0x3E, 0x0A});
  const Exchange x = host.command(frame);
  EXPECT_EQ(x.echo.toHex(' '), frame.toHex(' '));
  EXPECT_TRUE(x.reply.isEmpty());
  EXPECT_EQ(host.command("PCRD0506B\r\n").reply, "MOk3CC4\r\n");
}

struct CommandCase {
  const char* name;
  QList<QByteArray> frames;
  bool mains;
  int mode;
};
void PrintTo(const CommandCase& c, std::ostream* os) {
  *os << c.name;
}

class CommandRegister : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandRegister, SwitchesTheOperatingMode) {
  const CommandCase& c = GetParam();
  SimConfig cfg = *simConfigForProfile("gen9");
  cfg.firmware.mainsPresent = c.mains;
  DeviceModel model(cfg);
  model.portOpened(0, 19200);
  WireHost host(model);
  for (const QByteArray& f : c.frames) ASSERT_EQ(host.command(f).reply, "MOk\r\n") << f.constData();
  EXPECT_EQ(host.command("PCRD4006C\r\n").reply.mid(3, 2), QByteArray("0") + char('0' + c.mode));
}

INSTANTIATE_TEST_SUITE_P(
    Monitor, CommandRegister,
    ::testing::Values(CommandCase{"StartsCharging", {}, true, 4},
                      CommandCase{"OffKeepsCharging", {"PCWR000016F\r\n"}, true, 5},
                      CommandCase{"ChargerOff", {"PCWR000046C\r\n"}, true, 3},
                      CommandCase{"AllOff", {"PCWR000016F\r\n", "PCWR000046C\r\n"}, true, 1},
                      CommandCase{"OffThenOn", {"PCWR000016F\r\n", "PCWR000026E\r\n"}, true, 4},
                      CommandCase{
                          "ChargerOffThenOn", {"PCWR000046C\r\n", "PCWR000056B\r\n"}, true, 4},
                      CommandCase{"NoMainsGenerates", {}, false, 2},
                      CommandCase{"NoMainsOff", {"PCWR000016F\r\n"}, false, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MonitorFirmware, ResetAndEepromInitialisation) {
  SimConfig cfg = *simConfigForProfile("gen9");
  DeviceModel model(cfg);
  model.portOpened(0, 19200);
  WireHost host(model, 1000);
  const quint8 factory = model.memory().eeprom()[0x14];
  host.command("PCWR000036D\r\n");
  host.command("PCWR0145A11\r\n");
  ASSERT_EQ(model.memory().eeprom()[0x14], 0x5A);

  EXPECT_EQ(host.command("PCWR000066A\r\n").reply, "MOk\r\n");  // 6: reset
  EXPECT_EQ(model.memory().resets(), 1);
  // Protection byte (RAM 43 = 0x42B): "a reset happened" for a while, then clear.
  EXPECT_EQ(host.command("PCRD42B58\r\n").reply, "MOk8080\r\n");
  host.now += 11000;
  EXPECT_EQ(host.command("PCRD42B58\r\n").reply, "MOk0000\r\n");

  EXPECT_EQ(host.command("PCWR0000769\r\n").reply, "MOk\r\n");  // 7: factory settings
  EXPECT_EQ(model.memory().eeprom()[0x14], factory);
  EXPECT_EQ(model.memory().eeprom()[2], 0x6D);
  EXPECT_EQ(model.memory().eepromInitialisations(), 1);
}

// Faults, on the text read of address 0x050 (value 0x3C) and the binary read of the same.
struct FaultCase {
  const char* name;
  void (*tweak)(SimConfig&);
  QByteArray textReply;
  QByteArray binaryReply;
};
void PrintTo(const FaultCase& c, std::ostream* os) {
  *os << c.name;
}

class ReplyFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ReplyFaults, ChangeTheReplyAsTold) {
  Device d("gen9", GetParam().tweak);
  WireHost host(*d.model);
  EXPECT_EQ(host.command("PCRD0506B\r\n").reply, GetParam().textReply);
  EXPECT_EQ(host.command(bytes({0x72, 0x00, 0x00, 0x50, 0x3E, 0x0A})).reply.toHex(' '),
            GetParam().binaryReply.toHex(' '));
}

INSTANTIATE_TEST_SUITE_P(
    Monitor, ReplyFaults,
    ::testing::Values(FaultCase{"LowerCaseHex",
                                [](SimConfig& c) { c.firmware.lowerCaseHex = true; }, "MOk3cc4\r\n",
                                bytes({0x6F, 0x3C, 0x55, 0x0A})},
                      FaultCase{"BadChecksum", [](SimConfig& c) { c.firmware.badChecksum = true; },
                                "MOk3CC5\r\n", bytes({0x6F, 0x3C, 0x56, 0x0A})},
                      FaultCase{"ErrorByte", [](SimConfig& c) { c.firmware.errorByte = 0x02; },
                                "MEr02FE\r\n", bytes({0x65, 0x02, 0x99, 0x0A})},
                      FaultCase{"MissingLf", [](SimConfig& c) { c.firmware.missingLf = true; },
                                "MOk3CC4\r", bytes({0x6F, 0x3C, 0x55})},
                      FaultCase{"FromSecondCommandOn",
                                [](SimConfig& c) {
                                  c.firmware.badChecksum = true;
                                  c.firmware.faultFromFrame = 2;
                                },
                                "MOk3CC4\r\n", bytes({0x6F, 0x3C, 0x56, 0x0A})},
                      FaultCase{"SilentAfterOne",
                                [](SimConfig& c) { c.firmware.silentAfterFrames = 1; },
                                "MOk3CC4\r\n", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MonitorFirmware, InjectedErrorWritesNothing) {
  Device d("gen9", [](SimConfig& c) { c.firmware.errorByte = 0x10; });
  WireHost host(*d.model);
  const quint8 before = d.model->memory().eeprom()[0x14];
  host.command("PCWR000036D\r\n");
  EXPECT_EQ(host.command("PCWR0145A11\r\n").reply, "MEr10F0\r\n");
  EXPECT_EQ(d.model->memory().eeprom()[0x14], before);
}

TEST(MonitorFirmware, SilentDeviceDoesNotEvenEcho) {
  Device d("gen9", [](SimConfig& c) { c.firmware.silentAfterFrames = 0; });
  WireHost host(*d.model);
  EXPECT_TRUE(host.send("PCRD0506B\r\n").isEmpty());
  EXPECT_EQ(d.model->nextOutputAt(0), std::nullopt);
}

TEST(MonitorFirmware, ReplyWaitsForEchoAndAWrongByteStartsANewCommand) {
  Device d;
  WireHost host(*d.model);
  EXPECT_EQ(host.send("PCRD0506B\r\n"), "PCRD0506B\r\nM");
  host.now += 500;
  EXPECT_TRUE(host.take().isEmpty()) << "no byte without the echo of the one before";
  EXPECT_EQ(host.send("M"), "O");
  // The host gives up on the reply and sends a new command: echoed and answered.
  EXPECT_EQ(host.send("PCRD0506B\r\n"), "PCRD0506B\r\nM");
  EXPECT_EQ(d.model->firmware()->echoMismatches(), 1);
}

TEST(MonitorFirmware, StaleReplyAndPartialCommandAreForgotten) {
  Device d;
  WireHost host(*d.model);
  host.send("PCRD0506B\r\n");  // reply started, never echoed
  host.now += 1500;
  host.send("PCR");  // the host stops in the middle of a command
  host.now += 600;
  EXPECT_EQ(host.command("PCRD0506B\r\n").reply, "MOk3CC4\r\n");
  EXPECT_EQ(d.model->firmware()->echoMismatches(), 0);
}

TEST(MonitorFirmware, ReopeningTheLineForgetsAHalfCommand) {
  Device d;
  WireHost host(*d.model);
  host.send("PCWR000036D\r\n");
  host.send("PCR");
  d.model->portOpened(10, 19200);
  host.now = 10;
  EXPECT_EQ(host.command("PCRD0506B\r\n").reply, "MOk3CC4\r\n");
  EXPECT_FALSE(d.model->firmware()->writeAnnounced());
}

TEST(DeviceMemory, IdentityOfTheProfiles) {
  const DeviceMemory::Eeprom gen9 =
      DeviceMemory::defaultEeprom(simConfigForProfile("gen9")->firmware);
  EXPECT_EQ(gen9[0], 3);
  EXPECT_EQ(gen9[1], 9);
  EXPECT_EQ(gen9[2], 0x6D);
  EXPECT_EQ(gen9[6], 1);
  EXPECT_TRUE(simConfigForProfile("gen9")->firmware.binaryEnabled());
  const DeviceMemory::Eeprom gen5 =
      DeviceMemory::defaultEeprom(simConfigForProfile("gen5")->firmware);
  EXPECT_EQ(gen5[0], 2);
  EXPECT_EQ(gen5[1], 5);
  EXPECT_FALSE(simConfigForProfile("gen5")->firmware.binaryEnabled());
}

// The live window must look like a 24 V device at work whenever it is read.
TEST(DeviceMemory, MeasurementsStayPlausibleAndMove) {
  DeviceMemory m(simConfigForProfile("gen9")->firmware);
  QSet<int> voltages;
  for (qint64 t = 0; t < 1200 * 1000; t += 7000) {
    const DeviceMemory::Ram r = m.ram(t);
    const int battery = (r[5] << 8) | r[6];
    EXPECT_GE(battery, 220) << t;
    EXPECT_LE(battery, 300) << t;
    EXPECT_GE(r[7] * 2, 220) << t;  // per 12 V block, times two blocks
    EXPECT_LE(r[7] * 2, 300) << t;
    EXPECT_EQ(r[0], 4);
    EXPECT_EQ(r[34] + 100, r[39] + 100) << "output follows the mains while passing it";
    EXPECT_GE(r[34] + 100, 220);
    EXPECT_LE(r[34] + 100, 240);
    for (int cell : {46, 47, 48}) {
      EXPECT_GT(r[cell], 50 + 10) << cell;  // above 10 °C
      EXPECT_LT(r[cell], 50 + 80) << cell;  // below 80 °C
    }
    voltages.insert(battery);
  }
  EXPECT_GT(voltages.size(), 10) << "the battery voltage should move while charging";
}

TEST(DeviceMemory, FrozenMeasurementsDoNotMove) {
  FirmwareConfig cfg = simConfigForProfile("gen9")->firmware;
  cfg.drift = false;
  DeviceMemory m(cfg);
  EXPECT_EQ(m.ram(0), m.ram(500 * 1000));
}

}  // namespace
