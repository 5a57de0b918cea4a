// What a firmware file says in its header, and which program texts are refused before sending.
#include <gtest/gtest.h>

#include <QLocale>
#include <QRandomGenerator>

#include "firmware/firmware_header.h"
#include "firmware/upload.h"
#include "tools/firmware_writer.h"

using namespace lir2;

namespace {

using V = std::optional<quint8>;
constexpr std::nullopt_t no = std::nullopt;
const QByteArray kHeader = "lir3v12_4&15#";

// What a decoded header holds, as one value to compare.
auto view(const FirmwareHeader& h) {
  return std::tuple(h.deviceKind, h.VerPlatPow, h.VerPOMajor, h.VerPOMinor, h.VerCPU, h.VerPlatPic,
                    h.failedChecks, h.notANumber);
}

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
    EXPECT_EQ(view(decodeFirmwareHeader(QByteArrayView(c.text))),
              std::tuple(c.kind, c.platPow, c.major, c.minor, c.cpu, c.platPic, c.failedChecks,
                         c.notANumber));
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
    ASSERT_EQ(view(decodeFirmwareHeader(text + "#:10000000")),
              std::tuple(V(kinds[code]), V(pow), V(major), form >= 1 ? V(minor) : no,
                         form == 2 ? V(cpu) : no, form == 2 ? V(pic) : no, 0,
                         std::optional<QByteArray>()))
        << text.toStdString();
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

// The header goes up to the first '#' among the first 19 characters, else it is 20 characters
// long. Broken files are refused before anything is sent, each with the line an editor shows it
// on (the header's line counted) and what is wrong with it.
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
    QByteArray program = {};  // null: not compared
  } cases[] = {
      {"whole", good, 0, "", good.mid(kHeader.size())},
      {"'#' at position 19", "lir3v12_4&15ABCDEF#:00000001FF\r\n", 0, "", ":00000001FF\r\n"},
      {"'#' at position 20", "lir3v12_4&15ABCDEF0#:00000001FF\r\n", 0, "", ":00000001FF\r\n"},
      {"no '#'", ":100000000102030405060708090A0B0C0D0E0F1068\r\n", 1, "не начинается с «:»",
       "60708090A0B0C0D0E0F1068\r\n"},
      {"19 characters without '#'", "0123456789012345678", 2, "нет программы", ""},
      {"too short for a header", "012345678901234567", 1, "файл короче заголовка", ""},
      {"blank lines after the end", good + "\r\n\r\n", 0, ""},
      {"header on a line of its own", kHeader + "\r\n" + good.mid(kHeader.size()), 0, ""},
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
    if (!c.program.isNull()) {
      EXPECT_EQ(p.text, c.program);
    }
    EXPECT_EQ(p.ok(), c.line == 0);
    EXPECT_EQ(p.fault.line, c.line);
    EXPECT_TRUE(p.fault.reason.contains(QString::fromUtf8(c.reason)))
        << p.fault.reason.toStdString();
  }
  // Cut at a line boundary: the whole message.
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
