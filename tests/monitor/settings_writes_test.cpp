// The settings writes' rules on their own: what a field accepts, which byte a typed value
// becomes, the raw writer, the quarter switch, the transistor value; and the EEPROM map's text.
#include <gtest/gtest.h>

#include "monitor/eeprom_map.h"
#include "monitor/settings_writes.h"

namespace {

const QLocale kRussian(QLocale::Russian, QLocale::Russia);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

TEST(SettingsWrites, FieldChecks) {
  constexpr auto I = NumberKind::Integer;
  constexpr auto D = NumberKind::Decimal;
  const struct {
    const char* text;
    NumberKind kind;
    const QLocale& locale;
    bool acceptable;
  } cases[] = {
      {"16", I, kRussian, true},       {" -128 ", I, kRussian, true},
      {"999", I, kRussian, false},     {"0999", I, kRussian, false},
      {"1,5", I, kRussian, false},     {"", I, kRussian, false},
      {"abc", I, kRussian, false},     {"65535", I, kRussian, true},
      {"65536", I, kRussian, false},   {"-32768", I, kRussian, true},
      {"-32769", I, kRussian, false},  {"99999999999", I, kRussian, false},
      {"1,5", D, kRussian, true},      {"-0,5", D, kRussian, true},
      {"1.5", D, kRussian, false},     {"999", D, kRussian, false},
      {"999,0", D, kRussian, false},   {"9,99e2", D, kRussian, false},
      {"", D, kRussian, false},        {"inf", D, kRussian, false},
      {"nan", D, kRussian, false},     {"1 000", D, kRussian, false},
      {"65535,5", D, kRussian, false}, {"1.5", D, kEnglish, true},
      {"1,5", D, kEnglish, false},     {"1,000", D, kEnglish, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsAcceptable(QString::fromUtf8(c.text), c.kind, c.locale), c.acceptable)
        << c.text << (c.kind == I ? " integer" : " decimal");
  // The raw writer's fields: 999 is an address like any other; the value may be left empty.
  for (const char* text : {"999", "0", "-1", "1092", "65535"})
    EXPECT_TRUE(IsAcceptableAddress(text)) << text;
  for (const char* text : {"", "x", "1,5", "65536", "-40000"})
    EXPECT_FALSE(IsAcceptableAddress(text)) << text;
  EXPECT_TRUE(IsAcceptableData(""));
  EXPECT_FALSE(IsAcceptableData("abc"));
}

TEST(SettingsWrites, FieldBytes) {
  constexpr auto I = NumberKind::Integer;
  constexpr auto D = NumberKind::Decimal;
  const struct {
    const char* text;
    NumberKind kind;
    ByteRule rule;
    int byte;  // -1: nothing written
    const char* message;
  } cases[] = {
      {"300", I, ByteRule::LowByte, 44, ""},
      {"-1", I, ByteRule::LowByte, 255, ""},
      {"1", D, ByteRule::Times128, 128, ""},
      {"0,6", D, ByteRule::Times128, 76, ""},
      {"1,4", D, ByteRule::Times128, 179, ""},
      {"1,2", D, ByteRule::Times128, 153, ""},
      {"2", D, ByteRule::Times128, 255, ""},
      {"2,5", D, ByteRule::Times128, 255, ""},
      {"-0,5", D, ByteRule::Times128, 192, ""},
      {"1,5", D, ByteRule::Tenths, 15, ""},
      {"0,3", D, ByteRule::Tenths, 3, ""},
      {"-1", D, ByteRule::Tenths, 246, ""},
      {"-0,35", D, ByteRule::Tenths, 253, ""},
      {"", I, ByteRule::LowByte, -1, "'' is not a valid integer value"},
      {"1.2", D, ByteRule::Times128, -1, "'1.2' is not a valid floating point value"},
      {"999", I, ByteRule::LowByte, -1, ""},
      {"70000", I, ByteRule::LowByte, -1, ""},
  };
  for (const auto& c : cases) {
    const FieldByte b = ConvertField(QString::fromUtf8(c.text), c.kind, c.rule, kRussian);
    EXPECT_EQ(b.value ? int(*b.value) : -1, c.byte) << c.text;
    EXPECT_EQ(b.message, QString::fromUtf8(c.message)) << c.text;
  }
  EXPECT_EQ(UakbKorrRule(9, 110), ByteRule::Tenths);
  EXPECT_EQ(UakbKorrRule(9, 109), ByteRule::LowByte);
  EXPECT_EQ(UakbKorrRule(8, 200), ByteRule::LowByte);
}

TEST(SettingsWrites, RawWriter) {
  const struct {
    const char *address, *data;
    int written;  // address << 8 | value, or -1 for nothing sent
    const char *dataText, *addressText, *message;
  } cases[] = {
      {"100", "7", 100 << 8 | 7, nullptr, nullptr, ""},
      {"5", "0", 5 << 8 | 0, nullptr, nullptr, ""},
      {"1092", "254", 1092 << 8 | 254, nullptr, nullptr, ""},
      {"100", "-1", 100 << 8 | 255, "255", nullptr, ""},
      {"100", "300", 100 << 8 | 255, "255", nullptr, ""},
      {"3", "7", -1, nullptr, "1092", ""},
      {"1093", "7", -1, nullptr, "1092", ""},
      {"-5", "-1", -1, "255", "1092", ""},
      {"100", "", -1, nullptr, nullptr, "'' is not a valid integer value"},
  };
  for (const auto& c : cases) {
    const RawWritePlan plan = PlanRawWrite(c.address, c.data);
    EXPECT_EQ(plan.write ? plan.write->address << 8 | plan.write->value : -1, c.written)
        << c.address << " " << c.data;
    EXPECT_EQ(plan.dataText.value_or("-"), c.dataText ? c.dataText : "-") << c.data;
    EXPECT_EQ(plan.addressText.value_or("-"), c.addressText ? c.addressText : "-") << c.address;
    EXPECT_EQ(plan.message, c.message);
  }
}

TEST(SettingsWrites, QuarterSwitchAndTransistorValue) {
  EXPECT_EQ(KzHardQuarterByte(true, 130), 32);
  EXPECT_EQ(KzHardQuarterByte(false, 130), 8);
  // transistor index, count index, EEPROM 32, the value before -> the value after
  const int cases[][5] = {{1, 1, 0, 0, 90},  {1, 2, 0, 0, 45},  {2, 1, 0, 0, 116}, {3, 1, 0, 0, 95},
                          {4, 0, 0, 0, 45},  {1, 1, 8, 0, 91},  {4, 3, 8, 0, 61},  {2, 1, 8, 7, 7},
                          {0, 1, 0, 33, 33}, {9, 1, 0, 33, 33}, {4, 9, 8, 0, 20}};
  for (const auto& c : cases)
    EXPECT_EQ(ComputePrTr(c[0], c[1], quint8(c[2]), quint8(c[3])), c[4])
        << c[0] << " x" << c[1] << " bit3 " << c[2];
}

TEST(EepromMap, Text) {
  std::array<quint8, 1024> image{};
  for (int a = 0; a < 1024; ++a) image[a] = quint8(a * 7 + 1);
  const QString text = FormatEepromMap(image);
  const QStringList lines = text.split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), 131);  // header, empty line, 128 lines, and nothing after the last CR LF
  EXPECT_EQ(lines[0], "      00 01 02 03 04 05 06 07 ");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "000:  01 08 0F 16 1D 24 2B 32 ");
  EXPECT_EQ(lines[3], "008:  39 40 47 4E 55 5C 63 6A ");
  EXPECT_EQ(lines[129], "3F8:  C9 D0 D7 DE E5 EC F3 FA ");
  EXPECT_EQ(lines[130], "");
  EXPECT_EQ(text.count(QLatin1Char('\n')), text.count(QStringLiteral("\r\n")));
}

}  // namespace
