// EEPROM backup files: what the reader refuses and accepts, the writer's files read back, the
// cell meanings; the trend history's drawing.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include <cmath>
#include <random>

#include "monitor/eeprom_backup.h"
#include "monitor/eeprom_cells.h"
#include "monitor/monitor_run.h"
#include "monitor/restore_plan.h"
#include "monitor/trend_history.h"
#include "serial/intel_hex.h"

using namespace lir2;

namespace {

// Records with their checksums, worked out by hand.
const QByteArray k0To3 = ":0400000001020304F2";  // 01 02 03 04 at 0
const QByteArray k10 = ":02001000ABCD76";        // AB CD at 0x10
const QByteArray kEnd = ":00000001FF";
const QByteArray kLast = ":0403FC0009090909D9";  // 09 × 4 at 0x3FC..0x3FF
const QByteArray kPastEnd = ":1003F800000102030405060708090A0B0C0D0E0F7D";  // 0x3F8..0x407

TEST(EepromHex, BrokenFilesAreRefusedWithTheirReason) {
  const struct {
    const char* name;
    QByteArray text;
    const char* reason;
  } cases[] = {
      {"no end record", k0To3 + "\r\n" + k10 + "\r\n", "нет записи конца файла"},
      {"cut inside a record", k0To3 + "\r\n:1000100001020304\r\n" + kEnd,
       "строка 2: по счётчику записи в ней 16 байт данных, а в строке 3: запись оборвана"},
      {"cut before its checksum", ":0400\r\n" + kEnd,
       "строка 1: запись оборвана: в ней меньше пяти байт"},
      {"bad checksum", ":0400000001020304F3\r\n" + kEnd,
       "неверная контрольная сумма записи: F3, а по её байтам должна быть F2"},
      {"beyond 1023", kPastEnd + "\r\n" + kEnd, "выходят за пределы EEPROM"},
      {"odd number of digits", ":0400000001020304F\r\n" + kEnd, "нечётное число"},
      {"more data than its length", ":0300000001020304F3\r\n" + kEnd,
       "в ней 3 байт данных, а в строке 4"},
      {"extended linear address", ":020000040000FA\r\n" + k0To3 + "\r\n" + kEnd,
       "строка 1: запись расширенного адреса (тип 0x04)"},
      {"extended segment address", k0To3 + "\n:020000021000EC\n" + kEnd,
       "строка 2: запись расширенного адреса (тип 0x02)"},
      {"start address", ":0400000500000000F7\r\n" + kEnd, "стартового адреса"},
      {"not hex digits", ":04000000010203G4F2\r\n" + kEnd,
       "недопустимый «G» в столбце 16: в записи бывают только цифры 0–9 и буквы A–F"},
      {"a firmware file", "LIR2 8.0#\r\n" + k0To3 + "\r\n" + kEnd, "не файл Intel HEX: строка 1"},
      {"a binary file", QByteArray("PK\x03\x04\x00\x00", 6), "не файл Intel HEX"},
      {"empty", "", "не файл Intel HEX"},
      {"only the end", kEnd + "\r\n", "нет ни одного байта"},
      {"data after the end", k0To3 + "\r\n" + kEnd + "\r\n" + k10,
       "строка 3: после записи конца файла"},
      {"text between records", k0To3 + "\r\n; note\r\n" + kEnd, "строка 2: ожидалась запись"},
      {"one cell twice", k0To3 + "\r\n:0100000007F8\r\n" + kEnd, "адрес 0x000 уже задан"},
  };
  for (const auto& c : cases) {
    const EepromHexRead read = readEepromHex(c.text);
    EXPECT_FALSE(read.file) << c.name;
    EXPECT_TRUE(read.error.contains(QString::fromUtf8(c.reason)))
        << c.name << ": " << read.error.toStdString();
  }
}

TEST(EepromHex, LineEndsCaseAndCommentsAreAccepted) {
  const QByteArray cases[] = {
      k0To3 + "\r\n" + k10 + "\r\n" + kLast + "\r\n" + kEnd + "\r\n",
      k0To3.toLower() + "\n" + k10.toLower() + "\n" + kLast + "\n" + kEnd,
      "\xEF\xBB\xBF; a comment\r" + k0To3 + "\r\r" + k10 + "\r" + kLast + "\r" + kEnd + "  \r",
  };
  for (const QByteArray& text : cases) {
    const EepromHexRead read = readEepromHex(text);
    ASSERT_TRUE(read.file) << text.toStdString() << ": " << read.error.toStdString();
    EXPECT_EQ(read.file->present.count(), 10u);
    EXPECT_EQ(read.file->data[3], 4);
    EXPECT_EQ(read.file->data[0x11], 0xCD);
    EXPECT_EQ(read.file->data[1023], 9);
    EXPECT_FALSE(read.file->identity);  // no header of ours
  }
}

// A written backup reads back whole, with the identification of its bytes in its header; the
// comparison lists exactly the cells that differ, with their meanings.
TEST(EepromHex, BackupReadsBackAndComparesCellByCell) {
  DeviceImages::Eeprom image{};
  for (int a = 0; a < 1024; ++a) image[a] = quint8(a * 13 + 7);
  image[0] = 3, image[1] = 9, image[2] = 0x6D, image[5] = 3, image[6] = 1, image[59] = 0;
  const QByteArray text =
      writeEepromHex(image, QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)), "8.0");
  const QList<QByteArray> lines = text.split('\n');
  ASSERT_EQ(lines.size(), 1 + 64 + 1 + 1);
  EXPECT_TRUE(lines[0].startsWith("; EEPROM LIR | плата: LCD SIN  Ver 9"));
  EXPECT_TRUE(QString::fromUtf8(lines[0]).contains(
      QRegularExpression(" \\| сохранено: 2024-03-05T14:07:09[+-]\\d\\d:\\d\\d \\| программа: "
                         "LIR2Gui 8\\.0\r$")));
  EXPECT_EQ(lines[1].left(9), ":10000000");
  EXPECT_EQ(lines[65], ":00000001FF\r");

  const EepromHexRead read = readEepromHex(text);
  ASSERT_TRUE(read.file) << read.error.toStdString();
  EXPECT_TRUE(read.file->present.all());
  EXPECT_EQ(read.file->data, image);
  ASSERT_TRUE(read.file->identity);
  EXPECT_EQ(*read.file->identity, identityOf(image));
  EXPECT_EQ(read.file->identity->describe(),
            "LCD SIN  Ver 9Low /163 /Net6L -Pro, Ver 13.3, 3 кВт, 24 В");

  DeviceImages::Eeprom device = image;
  device[3] ^= 1, device[389] = 0, device[700] = 1;
  const QList<CellDifference> diff = compareEeprom(device, *read.file);
  const QList<CellDifference> want = {{3, device[3], image[3], ""},
                                      {389, 0, image[389], "Напряжение окончания заряда"},
                                      {700, 1, image[700], ""}};
  EXPECT_EQ(diff, want);
}

// Damaged copies of a good file and plain noise: each is read or refused with a reason, never
// more (run under the sanitizers too).
TEST(EepromHex, RandomDamageIsReadOrRefused) {
  DeviceImages::Eeprom image{};
  const QByteArray good = writeEepromHex(image, QDateTime::currentDateTime(), "8.0");
  std::mt19937 rng(13);
  for (int round = 0; round < 3000; ++round) {
    QByteArray text = round % 3 ? good : QByteArray(int(rng() % 300), '\0');
    for (int k = 0, n = int(rng() % 6) + 1; k < n; ++k) {
      const int at = text.isEmpty() ? 0 : int(rng() % text.size()), how = int(rng() % 3);
      if (how == 0 && !text.isEmpty()) text[at] = char(rng());       // a byte changed,
      if (how == 1) text.insert(at, char(rng() % 2 ? ':' : rng()));  // one more,
      if (how == 2) text.truncate(at);                               // or the rest lost
    }
    const EepromHexRead read = readEepromHex(text);
    EXPECT_NE(bool(read.file), !read.error.isEmpty()) << round;
  }
}

// The plan the window and the command line both follow: which cells a restore may write, whose
// file it is, and whether it is another kind of device.
TEST(RestorePlan, SortsTheCellsAndTellsWhoseFileItIs) {
  DeviceImages::Eeprom device{};
  device[0] = 3, device[1] = 9, device[2] = 0x6D, device[5] = 3, device[6] = 1, device[23] = 16;
  using O = RestorePlan::Origin;
  const struct {
    const char* name;
    std::vector<std::pair<int, int>> changes;  // cells of the file that differ from the device
    bool header;                               // our backup, or bare records of cells 20 to 39
    O origin;
    const char* otherKind;
    int cells, kept;
  } cases[] = {
      {"this device", {{23, 20}}, true, O::SameDevice, "", 1, 0},
      {"another voltage",
       {{6, 2}},
       true,
       O::OtherDevice,
       "напряжение 48 В в файле, 24 В на линии",
       1,
       0},
      {"another firmware", {{2, 0x6C}, {30, 1}}, true, O::OtherDevice, "", 1, 1},
      {"another board",
       {{0, 2}},
       true,
       O::OtherDevice,
       "плата LCD в файле, LCD SIN на линии",
       0,
       1},
      {"no header, no identification", {{23, 20}}, false, O::Unknown, "", 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DeviceImages::Eeprom image = device;
    for (auto [a, v] : c.changes) image[a] = quint8(v);
    const QByteArray text =
        c.header ? writeEepromHex(image, QDateTime::currentDateTime(), "8.0")
                 : intel_hex::write(QByteArrayView(reinterpret_cast<const char*>(&image[20]), 20),
                                    20, 16, false);
    const EepromHexRead read = readEepromHex(text);
    ASSERT_TRUE(read.file) << read.error.toStdString();
    const RestorePlan plan = planRestore(*read.file, device);
    EXPECT_EQ(plan.origin, c.origin);
    EXPECT_EQ(plan.otherKind, QString::fromUtf8(c.otherKind));
    EXPECT_EQ(plan.cells.size(), c.cells);
    EXPECT_EQ(plan.kept.size(), c.kept);
    EXPECT_EQ(plan.differences.size(), c.cells + c.kept);
  }
  // A confirmation lists the changes, at most as many as asked and then how many more.
  QList<EepromWrite> cells;
  for (quint16 a = 20; a < 50; ++a) cells.append({a, 7});
  const QStringList lines = restoreChangeLines(cells, device, 25);
  ASSERT_EQ(lines.size(), 26);
  EXPECT_EQ(lines[3], "0x017 (23) " + eepromCellMeaning(23) + ": 0x10 (16) → 0x07 (7)");
  EXPECT_EQ(lines[25], "… и ещё 5");
  EXPECT_EQ(restoreChangeLines(cells, device).size(), 30);
}

// Every cell a decoder reads has a meaning (295 is read but never decoded; 107 is decoded but
// not in the list).
TEST(eepromCells, EveryDecodedCellHasAMeaning) {
  for (quint16 a : MonitorRun::kEepromParamList)
    if (a != 295) {
      EXPECT_FALSE(eepromCellMeaning(a).isEmpty()) << a;
    }
  EXPECT_FALSE(eepromCellMeaning(107).isEmpty());
  for (quint16 a : {3, 4, 295, 1023}) EXPECT_TRUE(eepromCellMeaning(a).isEmpty()) << a;
}

// Drawn in columns, the history keeps each column's lowest and highest values,
// leaves out what no label shows, and forgets what is older than a day.
TEST(TrendHistory, DrawsColumnsOfLowAndHigh) {
  using H = TrendHistory;
  auto sample = [](qint64 ms, float volts, float kw = NAN) {
    H::Sample s;
    s.ms = ms;
    s.values.fill(NAN);
    s.values[H::BatteryVolts] = volts, s.values[H::PowerKw] = kw;
    return s;
  };
  TrendHistory h;
  const float values[] = {5, 9, 1, 4, 7, 7, 2, 8};  // two columns of four samples
  for (int i = 0; i < 8; ++i) h.add(sample(1000 + i * 100, values[i], i == 5 ? 3 : NAN));
  const auto d = h.draw(1000, 1799, 2);
  // A stroke per column, begun at the end nearer the line so far.
  const QList<QPointF> want = {{1150, 1}, {1150, 9}, {1650, 8}, {1650, 2}};
  EXPECT_EQ(d.series[H::BatteryVolts], want);
  EXPECT_EQ(d.series[H::PowerKw], QList<QPointF>{QPointF(1500, 3)});
  EXPECT_TRUE(d.series[H::AmbientC].isEmpty());
  EXPECT_EQ(d.low[H::BatteryVolts], 1);
  EXPECT_EQ(d.high[H::BatteryVolts], 9);

  // Many samples a column: read through the history's blocks, the same extremes.
  TrendHistory many;
  for (int i = 0; i < 1000; ++i) many.add(sample(i * 10, float(i * 37 % 101)));
  const QList<QPointF> extremes = {{150, 0},  {150, 100},  {3180, 100}, {3180, 0},
                                   {5200, 0}, {5200, 100}, {8230, 100}, {8230, 0}};
  EXPECT_EQ(many.draw(0, 9999, 4).series[H::BatteryVolts], extremes);

  h.add(sample(1000 + 100 * 3 + H::kKeepMs, 0));  // a day after the fourth sample
  EXPECT_EQ(h.size(), 6u);
  EXPECT_EQ(h.at(0).ms, 1300);
}

}  // namespace
