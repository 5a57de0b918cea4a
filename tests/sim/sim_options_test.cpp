// The lir2-sim command line, and the line timing it emulates.

#include "sim/sim_options.h"
#include "sim/line_pacer.h"

#include <gtest/gtest.h>

using namespace lir2;

namespace {

// A command line written with one blank between its arguments (a trailing one: an empty value).
SimArgumentsOutcome parse(const QString& args) {
  return parseSimArguments(QStringList{"lir2-sim"} +
                           (args.isEmpty() ? QStringList() : args.split(' ')));
}

TEST(SimArguments, SetTheirKnobs) {
  const std::optional<SimProgramOptions> plain = parse("").options;
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->config.kind, SimKind::Lir);
  EXPECT_FALSE(plain->emulateRate);

  const std::optional<SimProgramOptions> o =
      parse(
          "--profile gen9 --firmware-byte 0x6B --greeting Boot\\r\\n --mode-answer X "
          "--error-at 7 --no-run-ack --link /tmp/lir --emulate-rate --rate 9600 "
          "--dump-image a.hex --device-rate 4800")
          .options;
  ASSERT_TRUE(o);
  EXPECT_EQ(o->config.kind, SimKind::Monitor);
  EXPECT_EQ(o->config.firmware.firmwareByte, 0x6B);
  EXPECT_FALSE(o->config.firmware.binaryEnabled());  // firmware 11.3
  EXPECT_EQ(o->config.boot.greeting, "Boot\r\n");
  EXPECT_EQ(o->config.boot.modeAnswer, 'X');
  EXPECT_EQ(o->config.boot.errorAt, 7);
  EXPECT_EQ(o->config.boot.wrongEchoAt, 0);
  EXPECT_TRUE(o->config.boot.noRunAck);
  EXPECT_TRUE(o->emulateRate);
  EXPECT_EQ(o->link, "/tmp/lir");
  EXPECT_EQ(o->fixedRate, 9600);
  EXPECT_EQ(o->config.lineRate, 4800);
  EXPECT_EQ(o->dumpImage, "a.hex");
  using Cells = std::vector<std::pair<int, quint8>>;
  const FirmwareConfig f = parse(
                               "--ee 5=7 --ee 0x13=0xFF --ram 43=0x08 --ram 1092=1 "
                               "--alarm Warning:3 --alarm 1066:7")
                               .options->config.firmware;
  EXPECT_EQ(f.eepromAtStart, (Cells{{5, 7}, {0x13, 0xFF}}));
  EXPECT_EQ(f.pinnedRam, (Cells{{43, 0x08}, {68, 1}}));
  EXPECT_EQ(f.pinnedAlarms, (Cells{{44, 0x08}, {42, 0x80}}));
  EXPECT_TRUE(parse("--profile gen5 --binary").options->config.firmware.binaryEnabled());
}

TEST(SimArguments, MistakesAreRefusedWithAReason) {
  const QStringList wrong =
      QString(
          "--profile gen7|--boot-version 256|--rate fast|--rate 0|--no-such-option|stray|"
          "--greeting bad\\q|--greeting |--mode-answer XY|--error-byte 0|--ee 1024=1|"
          "--ee 5=256|--ee 5|--ee =5|--ee 010x=1|--ram 69=1|--ram 1093=0|--ram 5=-1|"
          "--alarm 41:0|--alarm event:8|--alarm alarm:1|--alarm 44=1")
          .split('|');
  for (const QString& args : wrong) {
    const SimArgumentsOutcome r = parse(args);
    EXPECT_FALSE(r.options) << args.toStdString();
    EXPECT_FALSE(r.help);
    EXPECT_FALSE(r.text.isEmpty()) << args.toStdString();
  }
}

TEST(UnescapeText, NamedAndHexEscapes) {
  EXPECT_EQ(unescapeText("a\\\\b\\t\\x5A\\x00\\r\\n"), QByteArray("a\\b\tZ\0\r\n", 8));
  for (const char* bad : {"\\x5", "\\xZZ", "end\\"}) EXPECT_EQ(unescapeText(bad), std::nullopt);
}

// Every byte is 10 bit times long; bytes in one direction queue up, the directions do not
// wait for each other.
TEST(LinePacer, BytesTakeTenBitTimesAndQueueUp) {
  EXPECT_EQ(LinePacer().inputComplete(42), 42);  // no rate, no delay
  LinePacer p;
  p.setRate(9600);
  const qint64 t = 1041666;
  EXPECT_EQ(p.byteTimeNs(), t);
  EXPECT_EQ(p.inputComplete(0), t);
  EXPECT_EQ(p.inputComplete(0), 2 * t);
  EXPECT_EQ(p.inputComplete(10 * t), 11 * t);  // the line was idle meanwhile
  EXPECT_EQ(p.outputArrives(0), t);
  EXPECT_EQ(p.outputArrives(0), 2 * t);
  p.reset();
  EXPECT_EQ(p.outputArrives(0), t);
}

}  // namespace
