// The bootloader against fixed byte sequences: greeting, mode letter, version characters,
// "run", the 'U'-framed transfer with its 'K' pairs, the ')' at the end, and its errors.

#include "wire_host.h"

using namespace lir2;

// Each case names only the settings it changes; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

// Four records: data with every reserved byte and a ':' among them, an extended linear
// address, data above 64 KiB, end of file.
const QByteArray kProgramWire = "U:" + hex("05 0000 00") + "KLKMKNKC" +
                                hex("3A70  3A 02 0000 04 0001 F9  3A 02 0010 00 AABB 89") +
                                hex("3A 00 0000 01 FF") + "U";

// Greeting, 'l', "run": leaves the host at the start of the transfer at 150 ms.
const Steps kHandshake = {{150, "", "Load\r\n"}, {150, "l", "L;315"}, {150, "run", "y"}};

// Mended on the way: the record of a transfer starts with "run", so a '#' after the mode
// letter no longer wipes the upload that lir2-sim dumps at exit.
TEST(Bootloader, WholeUploadByteForByteKeptOnRecordUntilTheNextRun) {
  auto m = device("boot");
  const Bootloader::Upload& up = m->bootloader()->upload();
  play(*m, {{149, "", ""},
            {150, "", "Load\r\n"},
            {300, "", "Load\r\n"},
            {300, "l", "L;315"},  // '0' + 11, '0' + 3, '0' + 1, '0' + 5
            {300, "ru", ""},
            {300, "n", "y"},
            {2300, "", ""},  // a slow host: no greeting in the middle of the dialogue
            {2300, kProgramWire, kProgramWire + ")"},
            {2949, "", ""},  // the device restarts and greets again
            {2950, "", "Load\r\n"},
            {2950, "f#", "F;315"}});
  EXPECT_TRUE(up.completed);
  EXPECT_EQ(up.mode, 'l');
  EXPECT_EQ(up.records.size(), 4);
  const std::map<quint32, quint8> image = {{0x0, 0x55},    {0x1, 0x4B}, {0x2, 0x5A},
                                           {0x3, 0x57},    {0x4, 0x3A}, {0x10010, 0xAA},
                                           {0x10011, 0xBB}};
  EXPECT_EQ(up.image, image);
  play(*m, {{2950, "frun", "F;315y"}});
  EXPECT_TRUE(up.records.isEmpty());
  EXPECT_EQ(up.mode, 'f');
}

// Versions and greetings as the host sees them, and the faults the upload itself meets, are
// in the upload's tests.
TEST(Bootloader, KnobsNoiseAndStrayBytesShapeTheDialogue) {
  // A '#' or any stray byte after the mode letter abandons the load; a fresh dialogue works.
  const auto stray = [](const char* bytes) {
    return Steps{{150, "", "Load\r\n"}, {150, "l", "L;315"},   {200, bytes, ""},
                 {349, "", ""},         {350, "", "Load\r\n"}, {350, "frun", "F;315y"}};
  };
  const struct {
    const char* name;
    BootConfig boot;
    Steps steps;
  } cases[] = {
      // From version 11 on the processor flag and the controller board follow.
      {"Version11SendsFour",
       {.cpuFlag = 0, .controllerBoard = 7},
       {{150, "", "Load\r\n"}, {150, "l", "L;307"}}},
      {"Silent", {.silent = true}, {{150, "l", ""}, {150, "run", ""}, {99999, "", ""}}},
      {"NoiseWhileGreeting", {}, {{10, "PCRD\r\nL#", ""}, {149, "", ""}, {150, "", "Load\r\n"}}},
      {"TimeNeverRunsBackwards",
       {},
       {{300, "", "Load\r\nLoad\r\n"}, {100, "", ""}, {450, "", "Load\r\n"}}},
      {"Hash", {}, stray("#")},
      {"StrayByte", {}, stray("x")},
      {"HashAfterPartOfRun", {}, stray("ru#")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    play(*device("boot", [&](SimConfig& s) { s.boot = c.boot; }), c.steps);
  }
  // A silent one never promises output, or a waiting host would wake for nothing.
  EXPECT_EQ(device("boot", [](SimConfig& c) { c.boot.silent = true; })->nextOutputAt(0),
            std::nullopt);
}

// Every transfer byte is echoed until the one at fault, which gets 'Z' and its code + 28.
TEST(Bootloader, ReportsEachTransferErrorWithItsCodeThenWaitsForQuiet) {
  const struct {
    const char* name;
    QByteArray wire;
    int echoed;
    quint8 code;
    BootConfig boot = {};
  } cases[] = {
      // The checksum should be 0x55; 0x57 arrives as 'K', 'C'.
      {"BadRecordChecksum", "U:" + hex("01 0020 00 8A") + "KC", 8, 9},
      {"UnknownStuffingPair", "U:" + hex("01") + "KQ", 4, 13},
      {"NoOpeningU", ":", 0, 13},
      {"ReservedRecordType", "U:" + hex("00 0000 06 FA"), 6, 12},
      {"ExtendedAddressOfWrongLength", "U:" + hex("01 0000 04 00 FB"), 7, 13},
      {"ClosedInTheMiddleOfARecord", "U:" + hex("02 00") + "U", 4, 13},
      // A record without its ':'; nothing after the error is answered.
      {"NothingAfterAnError", "U" + hex("01") + ":" + hex("00") + "U", 1, 13},
      {"ErrorAsTold", kProgramWire, 1, 3, {.errorAt = 2, .errorCode = 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto m = device("boot", [&](SimConfig& s) { s.boot = c.boot; });
    // It greets again only once the rest of the broken transfer has stopped for a second.
    play(*m, kHandshake + Steps{{150, c.wire, c.wire.left(c.echoed) + 'Z' + char(c.code + 28)},
                                {1050, ":", ""},
                                {2199, "", ""},
                                {2200, "", "Load\r\n"}});
    EXPECT_EQ(m->bootloader()->upload().failure, c.code);
  }
}

}  // namespace
