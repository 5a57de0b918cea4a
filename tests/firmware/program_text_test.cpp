#include <gtest/gtest.h>

#include <QLocale>

#include "firmware/upload.h"

namespace {

using P = PreparedProgram::Problem;

TEST(ProgramText, HeaderIsStrippedUpToItsHash) {
  const struct {
    QByteArray firmware;
    QByteArray program;
    P problem;
  } cases[] = {
      {"lir3v12_4&15#:00000001FF\r\n", ":00000001FF\r\n", P::None},
      {"orb3v1#:00000001FF\r\n", ":00000001FF\r\n", P::None},
      // '#' at position 19, the last one scanned.
      {"lir3v12_4&15ABCDEF#:00\r\n", ":00\r\n", P::None},
      // '#' at position 20 is not seen: 20 characters go, the '#' with them.
      {"lir3v12_4&15ABCDEF0#:00\r\n", ":00\r\n", P::None},
      // No header at all: the first 20 characters go all the same.
      {":100000000102030405060708090A0B0C0D0E0F1068\r\n", "60708090A0B0C0D0E0F1068\r\n", P::None},
      // A header with nothing behind it, and 19 characters without any '#'.
      {"lir3v12#", "", P::None},
      {"0123456789012345678", "", P::None},
      // Too short for the scan and no '#': nothing to strip by.
      {"", "", P::TooShort},
      {"lir3v12", "", P::TooShort},
      {"012345678901234567", "", P::TooShort},
      // Characters that would turn into wrong bytes.
      {"lir3v12#:10000000ab\r\n", ":10000000ab\r\n", P::NotHexText},
      {"lir3v12#:1000 0000\r\n", ":1000 0000\r\n", P::NotHexText},
      {"lir3v12#:00000001FF\r\n\x1A", ":00000001FF\r\n\x1A", P::NotHexText},
      {"lir3v12#:00000001FF\r\n#", ":00000001FF\r\n#", P::NotHexText},
  };
  for (const auto& c : cases) {
    const PreparedProgram p = prepareProgramText(c.firmware);
    SCOPED_TRACE(c.firmware.toStdString());
    EXPECT_EQ(p.problem, c.problem);
    if (c.problem != P::TooShort) {
      EXPECT_EQ(p.text, c.program);
    }
    if (c.problem == P::NotHexText) {
      ASSERT_GE(p.badIndex, 0);
      EXPECT_FALSE(isxdigit(p.text[p.badIndex]) && !islower(p.text[p.badIndex]));
    }
  }
}

TEST(ProgramText, ElapsedTimeReadsHoursMinutesSeconds) {
  const struct {
    const char* locale;
    qint64 ms;
    const char* text;
  } cases[] = {
      {"ru_RU", 0, "00:00:00"},          {"ru_RU", 3723999, "01:02:03"},
      {"en_US", 3723000, "1:02:03"},     {"en_US", 13 * 3600000, "13:00:00"},
      {"de_DE", 59999, "00:00:59"},      {"C", 25 * 3600000 + 1000, "01:00:01"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(elapsedTimeText(c.ms, QLocale(QString::fromLatin1(c.locale))), c.text)
        << c.locale << " " << c.ms;
}

}  // namespace
