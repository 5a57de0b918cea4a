// The bootloader against fixed byte sequences: greeting, mode letter, version characters,
// "run", the 'U'-framed transfer with its 'K' pairs, the ')' at the end, and its errors.

#include "sim/device_model.h"
#include "wire_host.h"

#include <gtest/gtest.h>

namespace {

// Four records: data with every reserved byte and a ':' among them, an extended linear
// address, data above 64 KiB, end of file.
const QByteArray kProgramWire =
    bytes({'U',  ':',  0x05, 0x00, 0x00, 0x00, 'K',  'L',  'K',  'M',  'K',  'N',  'K',
           'C',  0x3A, 0x70, ':',  0x02, 0x00, 0x00, 0x04, 0x00, 0x01, 0xF9, ':',  0x02,
           0x00, 0x10, 0x00, 0xAA, 0xBB, 0x89, ':',  0x00, 0x00, 0x00, 0x01, 0xFF, 'U'});

std::unique_ptr<DeviceModel> bootDevice(void (*tweak)(SimConfig&) = nullptr) {
  SimConfig cfg = *simConfigForProfile("boot");
  if (tweak) tweak(cfg);
  auto model = std::make_unique<DeviceModel>(cfg);
  model->portOpened(0, 19200);
  return model;
}

// Greeting, 'l', "run": leaves the host at the start of the transfer.
void handshake(DeviceModel& m, WireHost& host) {
  host.now = 150;
  ASSERT_EQ(m.takeOutput(host.now), "Load\r\n");
  ASSERT_EQ(host.send("l"), "L;315");
  ASSERT_EQ(host.send("run"), "y");
}

TEST(Bootloader, WholeUploadByteForByte) {
  auto m = bootDevice();
  EXPECT_EQ(m->takeOutput(149), "");
  EXPECT_EQ(m->nextOutputAt(149), 150);
  EXPECT_EQ(m->takeOutput(150), "Load\r\n");
  EXPECT_EQ(m->takeOutput(300), "Load\r\n");

  WireHost host(*m, 300);
  EXPECT_EQ(host.send("l"), "L;315");  // '0' + 11, '0' + 3, '0' + 1, '0' + 5
  EXPECT_EQ(host.send("r"), "");
  EXPECT_EQ(host.send("u"), "");
  EXPECT_EQ(host.send("n"), "y");
  host.now += 2000;  // a slow host: no greeting in the middle of the dialogue
  EXPECT_EQ(host.take(), "");

  for (qsizetype i = 0; i + 1 < kProgramWire.size(); ++i)
    ASSERT_EQ(host.send(kProgramWire.mid(i, 1)), kProgramWire.mid(i, 1)) << "byte " << i + 1;
  EXPECT_EQ(host.send("U"), "U)");

  const Bootloader::Upload& up = m->bootloader()->upload();
  EXPECT_TRUE(up.completed);
  EXPECT_EQ(up.mode, 'l');
  EXPECT_EQ(up.transferBytes, kProgramWire.size());
  ASSERT_EQ(up.records.size(), 4);
  EXPECT_EQ(up.records[0], bytes({0x05, 0x00, 0x00, 0x00, 0x55, 0x4B, 0x5A, 0x57, 0x3A, 0x70}));
  EXPECT_EQ(up.records[1], bytes({0x02, 0x00, 0x00, 0x04, 0x00, 0x01, 0xF9}));
  EXPECT_EQ(up.records[2], bytes({0x02, 0x00, 0x10, 0x00, 0xAA, 0xBB, 0x89}));
  EXPECT_EQ(up.records[3], bytes({0x00, 0x00, 0x00, 0x01, 0xFF}));
  const std::map<quint32, quint8> image = {{0x0, 0x55},    {0x1, 0x4B}, {0x2, 0x5A},
                                           {0x3, 0x57},    {0x4, 0x3A}, {0x10010, 0xAA},
                                           {0x10011, 0xBB}};
  EXPECT_EQ(up.image, image);

  // The device restarts and greets again.
  const qint64 done = host.now;
  EXPECT_EQ(m->nextOutputAt(done), done + 500 + 150);
  EXPECT_EQ(m->takeOutput(done + 650), "Load\r\n");
}

struct VersionCase {
  const char* name;
  quint8 version, cpu, controller;
  const char* mode;
  QByteArray answer;
};
void PrintTo(const VersionCase& c, std::ostream* os) {
  *os << c.name;
}

class BootVersions : public ::testing::TestWithParam<VersionCase> {};

TEST_P(BootVersions, AnswerTheModeLetterWithVersionCharacters) {
  const VersionCase& c = GetParam();
  SimConfig cfg = *simConfigForProfile("boot");
  cfg.boot.version = c.version;
  cfg.boot.cpuFlag = c.cpu;
  cfg.boot.controllerBoard = c.controller;
  DeviceModel m(cfg);
  m.portOpened(0, 19200);
  WireHost host(m, 150);
  host.take();
  EXPECT_EQ(host.send(c.mode), c.answer);
}

INSTANTIATE_TEST_SUITE_P(Boot, BootVersions,
                         ::testing::Values(VersionCase{"Version10SendsTwo", 10, 1, 5, "l", "L:3"},
                                           VersionCase{"Version11SendsFour", 11, 1, 5, "f",
                                                       "F;315"},
                                           VersionCase{"Version12", 12, 0, 7, "l", "L<307"},
                                           VersionCase{"OldVersion", 3, 1, 5, "f", "F33"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct TransferCase {
  const char* name;
  void (*tweak)(SimConfig&);
  QByteArray wire;
  QByteArray answer;  // everything the device sends back for the wire bytes
  std::optional<quint8> failure;
};
void PrintTo(const TransferCase& c, std::ostream* os) {
  *os << c.name;
}

class BootTransfer : public ::testing::TestWithParam<TransferCase> {};

TEST_P(BootTransfer, AnswersEveryByteAsTold) {
  const TransferCase& c = GetParam();
  auto m = bootDevice(c.tweak);
  WireHost host(*m);
  handshake(*m, host);
  EXPECT_EQ(host.send(c.wire).toHex(' '), c.answer.toHex(' '));
  EXPECT_EQ(m->bootloader()->upload().failure, c.failure);
}

QByteArray withByte(QByteArray b, int index, char value) {
  b[index] = value;
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Boot, BootTransfer,
    ::testing::Values(
        TransferCase{"Clean", nullptr, kProgramWire, kProgramWire + ")", std::nullopt},
        TransferCase{"WrongEchoAtThirdByte", [](SimConfig& c) { c.boot.wrongEchoAt = 3; },
                     kProgramWire, withByte(kProgramWire, 2, 0x04) + ")", std::nullopt},
        TransferCase{"ErrorAtSecondByte",
                     [](SimConfig& c) {
                       c.boot.errorAt = 2;
                       c.boot.errorCode = 8;
                     },
                     kProgramWire, "UZ$", 8},
        TransferCase{"NoEnd", [](SimConfig& c) { c.boot.noEnd = true; }, kProgramWire, kProgramWire,
                     std::nullopt},
        // The record's checksum should be 0x55; 0x57 arrives as 'K', 'C', and the 'C' is
        // answered with the code 9.
        TransferCase{"BadRecordChecksum", nullptr,
                     bytes({'U', ':', 0x01, 0x00, 0x20, 0x00, 0x8A, 'K', 'C'}),
                     bytes({'U', ':', 0x01, 0x00, 0x20, 0x00, 0x8A, 'K', 'Z', 9 + 28}), 9},
        TransferCase{"GoodStuffedChecksum", nullptr,
                     bytes({'U', ':', 0x01, 0x00, 0x20, 0x00, 0x8A, 'K', 'L'}),
                     bytes({'U', ':', 0x01, 0x00, 0x20, 0x00, 0x8A, 'K', 'L'}), std::nullopt},
        TransferCase{"UnknownStuffingPair", nullptr, bytes({'U', ':', 0x01, 'K', 'Q'}),
                     bytes({'U', ':', 0x01, 'K', 'Z', 13 + 28}), 13},
        TransferCase{"NoOpeningU", nullptr, bytes({':'}), bytes({'Z', 13 + 28}), 13},
        TransferCase{"RecordWithoutColon", nullptr, bytes({'U', 0x01}), bytes({'U', 'Z', 13 + 28}),
                     13},
        TransferCase{"ReservedRecordType", nullptr, bytes({'U', ':', 0x00, 0x00, 0x00, 0x06, 0xFA}),
                     bytes({'U', ':', 0x00, 0x00, 0x00, 0x06, 'Z', 12 + 28}), 12},
        TransferCase{"ExtendedAddressOfWrongLength", nullptr,
                     bytes({'U', ':', 0x01, 0x00, 0x00, 0x04, 0x00, 0xFB}),
                     bytes({'U', ':', 0x01, 0x00, 0x00, 0x04, 0x00, 'Z', 13 + 28}), 13},
        TransferCase{"ClosedInTheMiddleOfARecord", nullptr, bytes({'U', ':', 0x02, 0x00, 'U'}),
                     bytes({'U', ':', 0x02, 0x00, 'Z', 13 + 28}), 13},
        TransferCase{"NothingAfterAnError", nullptr, bytes({'U', 0x01, ':', 0x00, 'U'}),
                     bytes({'U', 'Z', 13 + 28}), 13}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Bootloader, GreetsAgainOnlyAfterTheLineWentQuietFollowingAnError) {
  auto m = bootDevice();
  WireHost host(*m);
  handshake(*m, host);
  EXPECT_EQ(host.send("U\x01"), bytes({'U', 'Z', 13 + 28}));
  host.now += 900;
  EXPECT_EQ(host.send(":"), "");  // the rest of the broken transfer
  EXPECT_EQ(m->nextOutputAt(host.now), host.now + 1000 + 150);
  host.now += 1150;
  EXPECT_EQ(host.take(), "Load\r\n");
}

TEST(Bootloader, HashAndStrayBytesAbandonTheLoad) {
  for (const char* stray : {"#", "x", "ru#"}) {
    auto m = bootDevice();
    WireHost host(*m, 150);
    host.take();
    ASSERT_EQ(host.send("l"), "L;315");
    host.now = 200;
    EXPECT_EQ(host.send(stray), "") << stray;
    EXPECT_EQ(m->nextOutputAt(host.now), 350) << stray;
    host.now = 350;
    EXPECT_EQ(host.take(), "Load\r\n") << stray;
    // A fresh dialogue works.
    EXPECT_EQ(host.send("frun"), "F;315y") << stray;
  }
}

TEST(Bootloader, AnAbandonedDialogueKeepsTheLastUploadOnRecord) {
  auto m = bootDevice();
  WireHost host(*m);
  handshake(*m, host);
  ASSERT_EQ(host.send(kProgramWire), kProgramWire + ")");
  host.now += 650;
  ASSERT_EQ(host.take(), "Load\r\n");
  EXPECT_EQ(host.send("f#"), "F;315");
  EXPECT_EQ(m->bootloader()->upload().records.size(), 4);
  EXPECT_EQ(m->bootloader()->upload().mode, 'l');
  EXPECT_EQ(host.send("frun"), "F;315y");
  EXPECT_TRUE(m->bootloader()->upload().records.isEmpty());
  EXPECT_EQ(m->bootloader()->upload().mode, 'f');
}

TEST(Bootloader, IgnoresNoiseWhileGreeting) {
  auto m = bootDevice();
  WireHost host(*m, 10);
  EXPECT_EQ(host.send("PCRD\r\nL#"), "");
  host.now = 150;
  EXPECT_EQ(host.take(), "Load\r\n");
}

TEST(Bootloader, GreetingsPileUpWhileNobodyReads) {
  auto m = bootDevice();
  const QByteArray out = m->takeOutput(1000);
  EXPECT_EQ(out, QByteArray("Load\r\n").repeated(6));
}

struct HandshakeFault {
  const char* name;
  void (*tweak)(SimConfig&);
  QByteArray greeting;  // what arrives by 150 ms
  QByteArray afterMode;
  QByteArray afterRun;
};
void PrintTo(const HandshakeFault& c, std::ostream* os) {
  *os << c.name;
}

class BootHandshakeFaults : public ::testing::TestWithParam<HandshakeFault> {};

TEST_P(BootHandshakeFaults, ChangeTheDialogueAsTold) {
  const HandshakeFault& c = GetParam();
  auto m = bootDevice(c.tweak);
  WireHost host(*m, 150);
  EXPECT_EQ(host.take(), c.greeting);
  EXPECT_EQ(host.send("l"), c.afterMode);
  EXPECT_EQ(host.send("run"), c.afterRun);
}

INSTANTIATE_TEST_SUITE_P(
    Boot, BootHandshakeFaults,
    ::testing::Values(
        HandshakeFault{"WrongModeAnswer", [](SimConfig& c) { c.boot.modeAnswer = 'X'; }, "Load\r\n",
                       "X;315", "y"},
        HandshakeFault{"NoRunAck", [](SimConfig& c) { c.boot.noRunAck = true; }, "Load\r\n",
                       "L;315", ""},
        HandshakeFault{"OtherGreeting", [](SimConfig& c) { c.boot.greeting = "Boot v11\r\n"; },
                       "Boot v11\r\n", "L;315", "y"},
        HandshakeFault{"Silent", [](SimConfig& c) { c.boot.silent = true; }, "", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Bootloader, SilentOneNeverPromisesOutput) {
  auto m = bootDevice([](SimConfig& c) { c.boot.silent = true; });
  EXPECT_EQ(m->nextOutputAt(0), std::nullopt);
  EXPECT_EQ(m->takeOutput(60000), "");
}

}  // namespace
