// The bootloader against fixed byte sequences: greeting, mode letter, version characters,
// "run", the 'U'-framed transfer with its 'K' pairs, the ')' at the end, and its errors.

#include "wire_host.h"

#include <gtest/gtest.h>

// Each case names only the settings it changes; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

// Four records: data with every reserved byte and a ':' among them, an extended linear
// address, data above 64 KiB, end of file.
const QByteArray kProgramWire =
    bytes({'U',  ':',  0x05, 0x00, 0x00, 0x00, 'K',  'L',  'K',  'M',  'K',  'N',  'K',
           'C',  0x3A, 0x70, ':',  0x02, 0x00, 0x00, 0x04, 0x00, 0x01, 0xF9, ':',  0x02,
           0x00, 0x10, 0x00, 0xAA, 0xBB, 0x89, ':',  0x00, 0x00, 0x00, 0x01, 0xFF, 'U'});

// Greeting, 'l', "run": leaves the host at the start of the transfer.
void handshake(DeviceModel& m, WireHost& host) {
  host.now = 150;
  ASSERT_EQ(m.takeOutput(host.now), "Load\r\n");
  ASSERT_EQ(host.send("l"), "L;315");
  ASSERT_EQ(host.send("run"), "y");
}

TEST(Bootloader, WholeUploadByteForByte) {
  auto m = device("boot");
  EXPECT_EQ(m->takeOutput(149), "");
  EXPECT_EQ(m->nextOutputAt(149), 150);
  EXPECT_EQ(m->takeOutput(300), "Load\r\nLoad\r\n");

  WireHost host(*m, 300);
  EXPECT_EQ(host.send("l"), "L;315");  // '0' + 11, '0' + 3, '0' + 1, '0' + 5
  EXPECT_EQ(host.send("ru"), "");
  EXPECT_EQ(host.send("n"), "y");
  host.now += 2000;  // a slow host: no greeting in the middle of the dialogue
  EXPECT_EQ(host.take(), "");

  EXPECT_EQ(host.send(kProgramWire).toHex(' '), (kProgramWire + ")").toHex(' '));

  const Bootloader::Upload& up = m->bootloader()->upload();
  EXPECT_TRUE(up.completed);
  EXPECT_EQ(up.mode, 'l');
  EXPECT_EQ(up.records.size(), 4);
  const std::map<quint32, quint8> image = {{0x0, 0x55},    {0x1, 0x4B}, {0x2, 0x5A},
                                           {0x3, 0x57},    {0x4, 0x3A}, {0x10010, 0xAA},
                                           {0x10011, 0xBB}};
  EXPECT_EQ(up.image, image);

  // The device restarts and greets again.
  EXPECT_EQ(m->nextOutputAt(host.now), host.now + 500 + 150);
  EXPECT_EQ(m->takeOutput(host.now + 650), "Load\r\n");
}

// Every transfer byte is echoed until the one at fault, which gets 'Z' and its code + 28.
TEST(Bootloader, ReportsEachTransferErrorWithItsCodeThenWaitsForQuiet) {
  struct Case {
    const char* name;
    QByteArray wire;
    int echoed;
    quint8 code;
  };
  const Case cases[] = {
      // The checksum should be 0x55; 0x57 arrives as 'K', 'C'.
      {"BadRecordChecksum", bytes({'U', ':', 0x01, 0x00, 0x20, 0x00, 0x8A, 'K', 'C'}), 8, 9},
      {"UnknownStuffingPair", bytes({'U', ':', 0x01, 'K', 'Q'}), 4, 13},
      {"NoOpeningU", bytes({':'}), 0, 13},
      {"ReservedRecordType", bytes({'U', ':', 0x00, 0x00, 0x00, 0x06, 0xFA}), 6, 12},
      {"ExtendedAddressOfWrongLength", bytes({'U', ':', 0x01, 0x00, 0x00, 0x04, 0x00, 0xFB}), 7,
       13},
      {"ClosedInTheMiddleOfARecord", bytes({'U', ':', 0x02, 0x00, 'U'}), 4, 13},
      // A record without its ':'; nothing after the error is answered.
      {"NothingAfterAnError", bytes({'U', 0x01, ':', 0x00, 'U'}), 1, 13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto m = device("boot");
    WireHost host(*m);
    handshake(*m, host);
    const QByteArray answer = c.wire.left(c.echoed) + 'Z' + char(c.code + 28);
    EXPECT_EQ(host.send(c.wire).toHex(' '), answer.toHex(' '));
    EXPECT_EQ(m->bootloader()->upload().failure, c.code);
    // It greets again only once the rest of the broken transfer has stopped for a second.
    host.now += 900;
    EXPECT_EQ(host.send(":"), "");
    EXPECT_EQ(m->nextOutputAt(host.now), host.now + 1000 + 150);
  }
}

TEST(Bootloader, TransferFaultsChangeTheAnswersAsTold) {
  QByteArray wrongThird = kProgramWire;
  wrongThird[2] = 0x04;
  const std::pair<BootConfig, QByteArray> cases[] = {
      {{.wrongEchoAt = 3}, wrongThird + ")"},
      {{.errorAt = 2, .errorCode = 3}, "UZ\x1f"},
      {{.noEnd = true}, kProgramWire},
  };
  for (const auto& c : cases) {
    auto m = device("boot", [&](SimConfig& s) { s.boot = c.first; });
    WireHost host(*m);
    handshake(*m, host);
    EXPECT_EQ(host.send(kProgramWire).toHex(' '), c.second.toHex(' '));
  }
}

TEST(Bootloader, HashAndStrayBytesAbandonTheLoad) {
  for (const char* stray : {"#", "x", "ru#"}) {
    SCOPED_TRACE(stray);
    auto m = device("boot");
    WireHost host(*m, 150);
    host.take();
    ASSERT_EQ(host.send("l"), "L;315");
    host.now = 200;
    EXPECT_EQ(host.send(stray), "");
    EXPECT_EQ(m->nextOutputAt(host.now), 350);
    host.now = 350;
    EXPECT_EQ(host.take(), "Load\r\n");
    EXPECT_EQ(host.send("frun"), "F;315y");  // a fresh dialogue works
  }
}

// Mended: the record of a transfer starts with "run", so a '#' after the mode letter no
// longer wipes the upload that lir2-sim dumps at exit.
TEST(Bootloader, AnAbandonedDialogueKeepsTheLastUploadOnRecord) {
  auto m = device("boot");
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
  auto m = device("boot");
  WireHost host(*m, 10);
  EXPECT_EQ(host.send("PCRD\r\nL#"), "");
  host.now = 150;
  EXPECT_EQ(host.take(), "Load\r\n");
}

TEST(Bootloader, VersionsAndFaultsShapeTheDialogue) {
  struct Case {
    const char* name;
    BootConfig boot;
    QByteArray greeting;  // what arrives by 150 ms
    QByteArray afterMode, afterRun;
  };
  const Case cases[] = {
      {"Version10SendsTwo", {.version = 10}, "Load\r\n", "L:3", "y"},
      // From version 11 on the processor flag and the controller board follow.
      {"Version11SendsFour", {.cpuFlag = 0, .controllerBoard = 7}, "Load\r\n", "L;307", "y"},
      {"WrongModeAnswer", {.modeAnswer = 'X'}, "Load\r\n", "X;315", "y"},
      {"NoRunAck", {.noRunAck = true}, "Load\r\n", "L;315", ""},
      {"OtherGreeting", {.greeting = "Boot v11\r\n"}, "Boot v11\r\n", "L;315", "y"},
      {"Silent", {.silent = true}, "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto m = device("boot", [&](SimConfig& s) { s.boot = c.boot; });
    // A silent one never promises output, or a waiting host would wake for nothing.
    EXPECT_EQ(m->nextOutputAt(0).has_value(), !c.greeting.isEmpty());
    WireHost host(*m, 150);
    EXPECT_EQ(host.take(), c.greeting);
    EXPECT_EQ(host.send("l"), c.afterMode);
    EXPECT_EQ(host.send("run"), c.afterRun);
  }
}

}  // namespace
