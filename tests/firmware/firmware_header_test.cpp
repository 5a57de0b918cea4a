#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "firmware/firmware_header.h"

namespace {

using V = std::optional<quint8>;
constexpr std::nullopt_t no = std::nullopt;

TEST(FirmwareHeader, DecodesByThePositionRules) {
  const struct {
    const char* text;
    V kind, platPow, major, minor, cpu, platPic;
    int failedChecks;
    std::optional<QByteArray> notANumber = std::nullopt;
  } cases[] = {
      // The long form without its '#' is read as far as it goes, without complaint.
      {"pel3v12_4&15:020000040000FA\r\n", 4, 3, 12, 4, no, no, 0},
      // Codes are case-sensitive; 'v' is looked for behind the code only.
      {"LIR3v12#", no, 3, 12, no, no, no, 0},
      {"xvx3v12#", no, 3, 12, no, no, no, 0},
      // A three-digit power board fails; the firmware version still comes from the 'v' found.
      {"lir123v12#", 2, no, 12, no, no, no, 1},
      {"lir3v12_45#", 2, 3, 12, no, no, no, 1},
      {"lir3v12_4&1#", 2, 3, 12, 4, no, no, 1},
      // Without 'v' the later steps measure from position 0; only first occurrences count.
      {"lir3x12#", 2, no, no, no, no, no, 2},
      {"lir3v12#_&#v", 2, 3, no, no, no, no, 3},
      {"", no, no, no, no, no, no, 2},
      // A field that is not a decimal number stops the decoding; values before it stay taken,
      // and so does a failed check.
      {"lirAv12_4&15#", 2, no, no, no, no, no, 0, "A"},
      {"lir3v12_4&1x#", 2, 3, 12, 4, 1, no, 0, "x"},
      {"lir3v1 #", 2, 3, no, no, no, no, 0, "1 "},
      {"lir123vAB#", 2, no, no, no, no, no, 1, "AB"},
      // A signed field is a decimal number too, kept as its low 8 bits.
      {"lir-1v+9#", 2, 255, 9, no, no, no, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const FirmwareHeader h = decodeFirmwareHeader(QByteArrayView(c.text));
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

// Headers of the three forms with random values decode to exactly those values; arbitrary bytes,
// rich in the header's own characters, never read outside the text and always tell one story.
TEST(FirmwareHeaderRandom, RandomHeadersAndBytes) {
  QRandomGenerator rng(4711);
  const char* codes[] = {"lir", "lXP", "orb", "pel"};
  const quint8 kinds[] = {2, 3, 0, 4};
  for (int round = 0; round < 5000; ++round) {
    const int code = rng.bounded(4), form = rng.bounded(3);
    const int pow = rng.bounded(100), major = rng.bounded(100), minor = rng.bounded(10);
    const int cpu = rng.bounded(10), pic = rng.bounded(10);
    QByteArray text = codes[code] + QByteArray::number(pow) + 'v' + QByteArray::number(major);
    if (form >= 1) text += '_' + QByteArray::number(minor);
    if (form == 2) text += '&' + QByteArray::number(cpu) + QByteArray::number(pic);
    const FirmwareHeader h = decodeFirmwareHeader(text + "#:10000000");
    SCOPED_TRACE(text.toStdString());
    ASSERT_EQ(h.failedChecks, 0);
    ASSERT_FALSE(h.notANumber);
    ASSERT_EQ(h.deviceKind, kinds[code]);
    ASSERT_EQ(h.VerPlatPow, pow);
    ASSERT_EQ(h.VerPOMajor, major);
    ASSERT_EQ(h.VerPOMinor, form >= 1 ? V(minor) : no);
    ASSERT_EQ(h.VerCPU, form == 2 ? V(cpu) : no);
    ASSERT_EQ(h.VerPlatPic, form == 2 ? V(pic) : no);
  }
  const QByteArray alphabet("lirXPobepv_&#0123456789:\r\n-+ ");
  for (int round = 0; round < 50000; ++round) {
    QByteArray text(rng.bounded(24), Qt::Uninitialized);
    for (char& c : text)
      c = rng.bounded(4) ? alphabet[rng.bounded(alphabet.size())]
                         : static_cast<char>(rng.bounded(256));
    const FirmwareHeader h = decodeFirmwareHeader(text);
    SCOPED_TRACE(text.toHex().toStdString());
    ASSERT_LE(h.failedChecks, 4);
    if (h.notANumber) {
      ASSERT_FALSE(h.notANumber->isEmpty());
      ASSERT_TRUE(text.contains(*h.notANumber));
    } else if (h.failedChecks == 0) {
      ASSERT_TRUE(h.VerPlatPow && h.VerPOMajor);
    }
    ASSERT_EQ(h.deviceKind.has_value(), text.startsWith("lir") || text.startsWith("lXP") ||
                                            text.startsWith("orb") || text.startsWith("pel"));
  }
}

}  // namespace
