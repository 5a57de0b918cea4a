#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "firmware/firmware_header.h"

namespace {

using V = std::optional<quint8>;
constexpr std::nullopt_t none = std::nullopt;

struct HeaderCase {
  const char* text;
  V kind, platPow, major, minor, cpu, platPic;
  int failedChecks;
  std::optional<QByteArray> notANumber = std::nullopt;
};

std::string describe(const FirmwareHeader& h) {
  auto s = [](const V& v) { return v ? std::to_string(*v) : std::string("-"); };
  return "kind " + s(h.deviceKind) + " pow " + s(h.VerPlatPow) + " po " + s(h.VerPOMajor) + "." +
         s(h.VerPOMinor) + " cpu " + s(h.VerCPU) + " pic " + s(h.VerPlatPic) + " fails " +
         std::to_string(h.failedChecks) + " nan " + (h.notANumber ? h.notANumber->toStdString() : "-");
}

TEST(FirmwareHeader, DecodesByThePositionRules) {
  const HeaderCase cases[] = {
      // The three forms.
      {"lir3v12_4&15#:020000040000FA\r\n", 2, 3, 12, 4, 1, 5, 0},
      {"lXP12v7_3#:00000001FF\r\n", 3, 12, 7, 3, none, none, 0},
      {"orb3v12#:00000001FF\r\n", 0, 3, 12, none, none, none, 0},
      {"pel9v1#", 4, 9, 1, none, none, none, 0},
      {"lir3v12_4&06#", 2, 3, 12, 4, 0, 6, 0},
      // The long form without its '#' is read as far as it goes, without complaint.
      {"lir3v12_4&15:020000040000FA\r\n", 2, 3, 12, 4, none, none, 0},
      // Codes are case-sensitive; an unknown one leaves the kind alone but not the values.
      {"LIR3v12#", none, 3, 12, none, none, none, 0},
      {"lxp3v12#", none, 3, 12, none, none, none, 0},
      // 'v' is looked for behind the code only.
      {"xvx3v12#", none, 3, 12, none, none, none, 0},
      // A three-digit power board: its check fails, the firmware version still comes from the
      // 'v' found.
      {"lir123v12#", 2, none, 12, none, none, none, 1},
      {"lir3v123#", 2, 3, none, none, none, none, 1},
      {"lir3v123_4#", 2, 3, none, 4, none, none, 1},
      {"lir3v12_45#", 2, 3, 12, none, none, none, 1},
      {"lir3v12_4&1#", 2, 3, 12, 4, none, none, 1},
      {"lir3v12_4&123#", 2, 3, 12, 4, none, none, 1},
      {"lir3v12_&15#", 2, 3, 12, none, 1, 5, 1},
      {"lir3v12_4", 2, 3, 12, none, none, none, 1},
      {"lir3v12", 2, 3, none, none, none, none, 1},
      // Without 'v' the later steps measure from position 0.
      {"lir3x12#", 2, none, none, none, none, none, 2},
      {"lir3v1&2_3#", 2, 3, none, none, none, none, 3},
      {"", none, none, none, none, none, none, 2},
      {"li", none, none, none, none, none, none, 2},
      // Only the first occurrence of each separator counts.
      {"lir3v12#_&#v", 2, 3, none, none, none, none, 3},
      // A field that is not a decimal number stops the decoding; values before it stay taken.
      {"lirAv12_4&15#", 2, none, none, none, none, none, 0, "A"},
      {"lir3vx2_4&15#", 2, 3, none, none, none, none, 0, "x2"},
      {"lir3v12_x&15#", 2, 3, 12, none, none, none, 0, "x"},
      {"lir3v12_4&x5#", 2, 3, 12, 4, none, none, 0, "x"},
      {"lir3v12_4&1x#", 2, 3, 12, 4, 1, none, 0, "x"},
      {"lir 3v1#", 2, none, none, none, none, none, 0, " 3"},
      {"lir3v1 #", 2, 3, none, none, none, none, 0, "1 "},
      {"lir3v12_?#", 2, 3, 12, none, none, none, 0, "?"},
      // A failed check before a field that does not convert is still counted.
      {"lir123vAB#", 2, none, none, none, none, none, 1, "AB"},
      // A signed field is a decimal number too, kept as its low 8 bits.
      {"lir-1v+9#", 2, 255, 9, none, none, none, 0},
  };
  for (const HeaderCase& c : cases) {
    const FirmwareHeader h = decodeFirmwareHeader(QByteArrayView(c.text));
    SCOPED_TRACE(std::string(c.text) + " -> " + describe(h));
    EXPECT_EQ(h.deviceKind, c.kind);
    EXPECT_EQ(h.VerPlatPow, c.platPow);
    EXPECT_EQ(h.VerPOMajor, c.major);
    EXPECT_EQ(h.VerPOMinor, c.minor);
    EXPECT_EQ(h.VerCPU, c.cpu);
    EXPECT_EQ(h.VerPlatPic, c.platPic);
    EXPECT_EQ(h.failedChecks, c.failedChecks);
    EXPECT_EQ(h.notANumber, c.notANumber);
  }
}

TEST(FirmwareHeader, LineBreaksBecomeCrLf) {
  const std::pair<const char*, const char*> cases[] = {
      {"a\r\nb\r\n", "a\r\nb\r\n"}, {"a\nb\n", "a\r\nb\r\n"}, {"a\rb\r", "a\r\nb\r\n"},
      {"a\n\rb", "a\r\n\r\nb"},     {"\r\n\n\r", "\r\n\r\n\r\n"}, {"ab", "ab"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(withCrLfBreaks(in), QByteArray(out)) << in;
}

TEST(FirmwareHeader, ExtensionAndMessages) {
  EXPECT_TRUE(hasFirmwareExtension("/tmp/a.lir2"));
  EXPECT_TRUE(hasFirmwareExtension("/tmp/a.lir2.bak"));
  EXPECT_FALSE(hasFirmwareExtension("/tmp/a.LIR2"));
  EXPECT_FALSE(hasFirmwareExtension("/tmp/a.hex"));
  EXPECT_EQ(notAnIntegerMessage("x2"), "'x2' is not a valid integer value");
  // Single-byte text: 0xC0 is the Cyrillic А.
  EXPECT_EQ(notAnIntegerMessage("\xC0"), "'А' is not a valid integer value");
}

// A header of one of the three forms with random values decodes to exactly those values.
TEST(FirmwareHeaderRandom, WellFormedHeadersDecodeToTheirValues) {
  QRandomGenerator rng(4711);
  const char* codes[] = {"lir", "lXP", "orb", "pel"};
  const quint8 kinds[] = {2, 3, 0, 4};
  for (int round = 0; round < 5000; ++round) {
    const int code = rng.bounded(4);
    const int pow = rng.bounded(100), major = rng.bounded(100);
    const int minor = rng.bounded(10), cpu = rng.bounded(10), pic = rng.bounded(10);
    const int form = rng.bounded(3);
    QByteArray text = QByteArray(codes[code]) + QByteArray::number(pow) + 'v' + QByteArray::number(major);
    if (form >= 1) text += '_' + QByteArray::number(minor);
    if (form == 2) text += '&' + QByteArray::number(cpu) + QByteArray::number(pic);
    text += "#:10000000";
    const FirmwareHeader h = decodeFirmwareHeader(text);
    SCOPED_TRACE(text.toStdString());
    ASSERT_EQ(h.failedChecks, 0);
    ASSERT_FALSE(h.notANumber);
    EXPECT_EQ(h.deviceKind, kinds[code]);
    EXPECT_EQ(h.VerPlatPow, pow);
    EXPECT_EQ(h.VerPOMajor, major);
    EXPECT_EQ(h.VerPOMinor, form >= 1 ? V(minor) : none);
    EXPECT_EQ(h.VerCPU, form == 2 ? V(cpu) : none);
    EXPECT_EQ(h.VerPlatPic, form == 2 ? V(pic) : none);
  }
}

// Arbitrary bytes, rich in the header's own characters, never read outside the text, and the
// result always tells one of its stories: a clean header sets the power board and firmware
// version, a field that stopped the decoding is a piece of the text.
TEST(FirmwareHeaderRandom, ArbitraryBytesNeverCrashTheReader) {
  QRandomGenerator rng(1234);
  const QByteArray alphabet("lirXPobepv_&#0123456789:\r\n-+ ");
  for (int round = 0; round < 50000; ++round) {
    QByteArray text(rng.bounded(24), Qt::Uninitialized);
    for (char& c : text)
      c = rng.bounded(4) == 0 ? static_cast<char>(rng.bounded(256)) : alphabet[rng.bounded(alphabet.size())];
    const FirmwareHeader h = decodeFirmwareHeader(text);
    SCOPED_TRACE(text.toHex().toStdString());
    ASSERT_LE(h.failedChecks, 4);
    if (h.notANumber) {
      ASSERT_TRUE(text.contains(*h.notANumber));
      ASSERT_FALSE(h.notANumber->isEmpty());
    } else if (h.failedChecks == 0) {
      ASSERT_TRUE(h.VerPlatPow && h.VerPOMajor);
    }
    if (h.deviceKind) {
      ASSERT_TRUE(text.startsWith("lir") || text.startsWith("lXP") || text.startsWith("orb") ||
                  text.startsWith("pel"));
    }
  }
}

}  // namespace
