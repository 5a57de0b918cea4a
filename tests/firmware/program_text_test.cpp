#include <gtest/gtest.h>

#include <QLocale>
#include <QRandomGenerator>

#include "firmware/upload.h"
#include "tools/firmware_writer.h"

namespace {

const QByteArray kHeader = "lir3v12_4&15#";

using P = PreparedProgram::Problem;

TEST(ProgramText, HeaderIsStrippedUpToItsHash) {
  const struct {
    QByteArray firmware, program;
    P problem;
  } cases[] = {
      {"lir3v12_4&15#:00000001FF\r\n", ":00000001FF\r\n", P::None},
      // '#' at position 19 is the last one seen; at 20 it goes with the first 20 characters.
      {"lir3v12_4&15ABCDEF#:00000001FF\r\n", ":00000001FF\r\n", P::None},
      {"lir3v12_4&15ABCDEF0#:00000001FF\r\n", ":00000001FF\r\n", P::None},
      {":100000000102030405060708090A0B0C0D0E0F1068\r\n", "60708090A0B0C0D0E0F1068\r\n",
       P::BadRecord},
      {"0123456789012345678", "", P::BadRecord},
      // Too short for the scan and no '#': nothing to strip by.
      {"012345678901234567", "", P::TooShort},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.firmware.toStdString());
    const PreparedProgram p = prepareProgramText(c.firmware);
    EXPECT_EQ(p.problem, c.problem);
    EXPECT_EQ(p.text, c.program);
  }
}

// Broken files are refused before anything is sent, each with the line an editor shows it on
// (the header's line counted) and what is wrong with it.
TEST(ProgramText, BrokenFilesAreRefusedWithTheirLine) {
  // Line 1: the header and an address record; lines 2 to 5: data; line 6: the end record.
  const QByteArray good = firmwareFile(kHeader, sampleImage(64, 3));
  const QByteArrayList l = good.split('\n');
  ASSERT_EQ(l.size(), 7);
  auto lines = [&](int from, int to) {  // lines from..to (1-based) with their line ends
    QByteArray out;
    for (int i = from; i <= to; ++i) out += l[i - 1] + '\n';
    return out;
  };
  QByteArray badSum = l[2];
  badSum[badSum.size() - 2] = badSum.back() == 'F' ? 'E' : 'F';
  const struct {
    const char* name;
    QByteArray file;
    int line;  // 0: the file is good
    const char* reason;
  } cases[] = {
      {"whole", good, 0, ""},
      {"blank lines after the end", good + "\r\n\r\n", 0, ""},
      {"header on a line of its own", kHeader + "\r\n" + good.mid(kHeader.size()), 0, ""},
      {"cut at a line boundary", lines(1, 3), 4, "нет записи конца файла"},
      {"cut mid-record", lines(1, 3) + l[3].left(21), 4, "16 байт данных, а в строке 5: запись"},
      {"bad record checksum", lines(1, 2) + badSum + '\n' + lines(4, 6), 3,
       "неверная контрольная сумма"},
      {"bad checksum below a header line",
       kHeader + "\r\n" + lines(1, 2).mid(kHeader.size()) + badSum + '\n' + lines(4, 6), 4,
       "неверная контрольная сумма"},
      {"odd length", lines(1, 1) + l[1].left(20) + l[1].mid(21) + '\n' + lines(3, 6), 2,
       "нечётное число шестнадцатеричных цифр (41)"},
      {"unknown record type", lines(1, 3) + ":00000006FA\r\n" + lines(4, 6), 4,
       "неизвестный тип записи 06"},
      {"missing end record", lines(1, 5), 6, "нет записи конца файла"},
      {"data after the end record", good + l[1] + '\n', 7, "после записи конца файла"},
      {"empty program", kHeader, 2, "нет программы"},
      {"no start code", lines(1, 2) + l[2].mid(1) + '\n' + lines(4, 6), 3, "не начинается с «:»"},
      {"lower-case digit", kHeader + ":00000001ff\r\n", 1, "недопустимый «f» в столбце 23"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const PreparedProgram p = prepareProgramText(c.file);
    if (c.line == 0) {
      EXPECT_TRUE(p.ok()) << p.fault.line << " " << p.fault.reason.toStdString();
      continue;
    }
    EXPECT_EQ(p.problem, P::BadRecord);
    EXPECT_EQ(p.fault.line, c.line);
    EXPECT_TRUE(p.fault.reason.contains(QString::fromUtf8(c.reason)))
        << p.fault.reason.toStdString();
  }
  const PreparedProgram cut = prepareProgramText(lines(1, 3));
  EXPECT_EQ(wrongFileText(cut.fault),
            "Не верный файл, строка 4: нет записи конца файла (:00000001FF): файл оборван");
}

// Any damage to a file is either harmless or refused with a line of the file and a reason.
TEST(ProgramTextRandom, DamagedFilesAreRefusedWithALineOfTheFile) {
  const QByteArray good = firmwareFile(kHeader, sampleImage(200, 5));
  QRandomGenerator rng(7);
  for (int round = 0; round < 3000; ++round) {
    QByteArray file = good.left(rng.bounded(good.size() + 1));
    for (int n = rng.bounded(3); n > 0 && !file.isEmpty(); --n)
      file[rng.bounded(file.size())] = static_cast<char>(rng.bounded(256));
    const PreparedProgram p = prepareProgramText(file);
    if (p.ok()) continue;
    ASSERT_GE(p.fault.line, 1) << round;
    ASSERT_LE(p.fault.line, file.count('\n') + file.count('\r') + 2) << round;
    ASSERT_FALSE(p.fault.reason.isEmpty()) << round;
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
