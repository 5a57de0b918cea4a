// The lir2-sim command line, and the line timing it emulates.

#include "sim/sim_options.h"
#include "sim/line_pacer.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct ArgsCase {
  const char* name;
  QStringList args;
  std::function<bool(const SimProgramOptions&)> holds;
};
void PrintTo(const ArgsCase& c, std::ostream* os) {
  *os << c.name;
}

class SimArguments : public ::testing::TestWithParam<ArgsCase> {};

TEST_P(SimArguments, SetTheirKnob) {
  const SimArgumentsOutcome r = parseSimArguments(QStringList{"lir2-sim"} + GetParam().args);
  ASSERT_TRUE(r.options) << r.text.toStdString();
  EXPECT_TRUE(GetParam().holds(*r.options));
}

INSTANTIATE_TEST_SUITE_P(
    Sim, SimArguments,
    ::testing::Values(
        ArgsCase{"DefaultIsTheBuiltInDevice",
                 {},
                 [](const SimProgramOptions& o) {
                   return o.config.kind == SimKind::Lir && !o.emulateRate && o.link.isEmpty();
                 }},
        ArgsCase{"Profile",
                 {"--profile", "gen5"},
                 [](const SimProgramOptions& o) {
                   return o.config.kind == SimKind::Monitor && o.config.firmware.generation == 5;
                 }},
        ArgsCase{"HexNumber",
                 {"--profile", "gen9", "--firmware-byte", "0x6B"},
                 [](const SimProgramOptions& o) { return o.config.firmware.firmwareByte == 0x6B; }},
        ArgsCase{"GreetingWithEscapes",
                 {"--greeting", "Boot\\r\\n"},
                 [](const SimProgramOptions& o) { return o.config.boot.greeting == "Boot\r\n"; }},
        ArgsCase{"BootFaults",
                 {"--error-at", "7", "--error-code", "9", "--mode-answer", "X", "--no-run-ack"},
                 [](const SimProgramOptions& o) {
                   return o.config.boot.errorAt == 7 && o.config.boot.errorCode == 9 &&
                          o.config.boot.modeAnswer == 'X' && o.config.boot.noRunAck;
                 }},
        ArgsCase{"FirmwareFaults",
                 {"--silent-after", "0", "--error-byte", "16", "--lower-hex", "--missing-lf"},
                 [](const SimProgramOptions& o) {
                   const FirmwareConfig& f = o.config.firmware;
                   return f.silentAfterFrames == 0 && f.errorByte == 16 && f.lowerCaseHex &&
                          f.missingLf;
                 }},
        ArgsCase{"FrameFormat",
                 {"--profile", "gen5", "--binary"},
                 [](const SimProgramOptions& o) { return o.config.firmware.binaryEnabled(); }},
        ArgsCase{"Program",
                 {"--link", "/tmp/lir", "--emulate-rate", "--rate", "9600", "--dump-image", "a.hex",
                  "--dump-eeprom", "e.bin", "--device-rate", "9600"},
                 [](const SimProgramOptions& o) {
                   return o.link == "/tmp/lir" && o.emulateRate && o.fixedRate == 9600 &&
                          o.dumpImage == "a.hex" && o.dumpEeprom == "e.bin" &&
                          o.config.lineRate == 9600;
                 }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimArguments, MistakesAreRefusedWithAReason) {
  const QList<QStringList> wrong = {
      {"--profile", "gen7"},    {"--boot-version", "256"}, {"--rate", "fast"},
      {"--rate", "0"},          {"--no-such-option"},      {"stray"},
      {"--greeting", "bad\\q"}, {"--greeting", ""},        {"--mode-answer", "XY"},
      {"--error-byte", "0"},
  };
  for (const QStringList& args : wrong) {
    const SimArgumentsOutcome r = parseSimArguments(QStringList{"lir2-sim"} + args);
    EXPECT_FALSE(r.options) << args.join(' ').toStdString();
    EXPECT_FALSE(r.help);
    EXPECT_FALSE(r.text.isEmpty()) << args.join(' ').toStdString();
  }
}

TEST(SimArguments, HelpListsProfilesAndOptions) {
  const SimArgumentsOutcome r = parseSimArguments({"lir2-sim", "--help"});
  EXPECT_TRUE(r.help);
  EXPECT_FALSE(r.options);
  for (const QString& name : simProfileNames()) EXPECT_TRUE(r.text.contains(name));
  for (const char* option : {"--link", "--emulate-rate", "--rate", "--dump-image", "--error-at",
                             "--wrong-echo-at", "--silent-after", "--modem-silent"})
    EXPECT_TRUE(r.text.contains(option)) << option;
}

TEST(UnescapeText, NamedAndHexEscapes) {
  EXPECT_EQ(unescapeText("Load\\r\\n"), QByteArray("Load\r\n"));
  EXPECT_EQ(unescapeText("a\\\\b\\t\\x5A\\x00"), QByteArray("a\\b\tZ\0", 6));
  EXPECT_EQ(unescapeText("\\x5"), std::nullopt);
  EXPECT_EQ(unescapeText("\\xZZ"), std::nullopt);
  EXPECT_EQ(unescapeText("end\\"), std::nullopt);
}

TEST(LinePacer, EchoRoundTripIsTwoByteTimes) {
  struct Case {
    qint32 rate;
    qint64 byteNs;
  };
  for (const Case c : {Case{19200, 520833}, Case{9600, 1041666}, Case{115200, 86805}}) {
    LinePacer p;
    p.setRate(c.rate);
    EXPECT_EQ(p.byteTimeNs(), c.byteNs) << c.rate;
    const qint64 sent = 5000000;
    const qint64 atDevice = p.inputComplete(sent);
    EXPECT_EQ(atDevice, sent + c.byteNs);
    EXPECT_EQ(p.outputArrives(atDevice), sent + 2 * c.byteNs) << c.rate;
  }
}

TEST(LinePacer, BytesInOneDirectionQueueUp) {
  LinePacer p;
  p.setRate(19200);
  const qint64 t = p.byteTimeNs();
  EXPECT_EQ(p.inputComplete(0), t);
  EXPECT_EQ(p.inputComplete(0), 2 * t);
  EXPECT_EQ(p.inputComplete(10 * t), 11 * t);  // the line was idle meanwhile
  EXPECT_EQ(p.outputArrives(0), t);            // the other direction is independent
  EXPECT_EQ(p.outputArrives(0), 2 * t);
  p.reset();
  EXPECT_EQ(p.outputArrives(0), t);
}

TEST(LinePacer, NoRateNoDelay) {
  LinePacer p;
  EXPECT_EQ(p.inputComplete(42), 42);
  EXPECT_EQ(p.outputArrives(42), 42);
}

}  // namespace
