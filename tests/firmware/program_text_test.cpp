#include <gtest/gtest.h>

#include <QLocale>

#include "firmware/upload.h"

namespace {

using P = PreparedProgram::Problem;

TEST(ProgramText, HeaderIsStrippedUpToItsHash) {
  const struct {
    QByteArray firmware, program;
    P problem;
  } cases[] = {
      {"lir3v12_4&15#:00000001FF\r\n", ":00000001FF\r\n", P::None},
      // '#' at position 19 is the last one seen; at 20 it goes with the first 20 characters.
      {"lir3v12_4&15ABCDEF#:00\r\n", ":00\r\n", P::None},
      {"lir3v12_4&15ABCDEF0#:00\r\n", ":00\r\n", P::None},
      {":100000000102030405060708090A0B0C0D0E0F1068\r\n", "60708090A0B0C0D0E0F1068\r\n", P::None},
      {"0123456789012345678", "", P::None},
      // Too short for the scan and no '#': nothing to strip by.
      {"012345678901234567", "", P::TooShort},
      // Characters that would go out as wrong bytes.
      {"lir3v12#:10000000ab\r\n", ":10000000ab\r\n", P::NotHexText},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.firmware.toStdString());
    const PreparedProgram p = prepareProgramText(c.firmware);
    EXPECT_EQ(p.problem, c.problem);
    EXPECT_EQ(p.text, c.problem == P::TooShort ? QByteArray() : c.program);
  }
}

TEST(ProgramText, ElapsedTimeReadsHoursMinutesSeconds) {
  const struct {
    const char* locale;
    qint64 ms;
    const char* text;
  } cases[] = {
      {"ru_RU", 3723999, "01:02:03"},
      {"en_US", 3723000, "1:02:03"},  // no AM/PM for a duration
      {"en_US", 13 * 3600000, "13:00:00"},
      {"C", 25 * 3600000 + 1000, "01:00:01"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(elapsedTimeText(c.ms, QLocale(QString::fromLatin1(c.locale))), c.text) << c.locale;
}

}  // namespace
