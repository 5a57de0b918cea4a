// The labels' number formats: significant digits, rounding, separators, exponent switch.
#include <gtest/gtest.h>

#include <QLocale>

#include "monitor/number_format.h"

namespace {

struct Case {
  long double value;
  int digits;  // 2 and 3 pass through single precision, as the labels do
  const char* expected;
};

TEST(NumberFormat, GeneralNotationUnderTheRussianLocale) {
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  // clang-format off
  const Case cases[] = {
      {Tenths(65535), 15, "6553,5"}, {65535, 15, "65535"}, {Tenths(125), 15, "12,5"},
      {Tenths(3), 15, "0,3"}, {Tenths(1020), 15, "102"}, {Tenths(0), 15, "0"},
      {12.3L, 2, "12"}, {Tenths(15), 2, "1,5"}, {0.75L, 2, "0,75"},
      {Tenths(245), 2, "25"}, {9.96L, 2, "10"}, {23 / 16.0L, 2, "1,4"},
      {21 / 16.0L, 2, "1,3"}, {18 / 16.0L, 2, "1,1"}, {255 / 16.0L, 2, "16"},
      {128 / 128.0L, 3, "1"}, {129 / 128.0L, 3, "1,01"}, {255 / 128.0L, 3, "1,99"},
      {8 / 128.0L, 3, "0,0625"}, {8 / 128.0L, 2, "0,063"}, {Tenths(-10), 3, "-1"},
      {Tenths(-128), 3, "-12,8"}, {123, 2, "1,2E2"}, {0.00001L, 15, "0,00001"},
      {0.000001L, 15, "1E-6"}, {1e20L, 15, "1E20"}, {-0.5L, 2, "-0,5"},
  };
  // clang-format on
  for (const Case& c : cases)
    EXPECT_EQ(c.digits == 2   ? FormatGeneral2(c.value)
              : c.digits == 3 ? FormatGeneral3(c.value)
                              : FormatGeneral(c.value, c.digits),
              QString::fromUtf8(c.expected))
        << double(c.value) << " / " << c.digits;
  EXPECT_EQ(FormatDecimal(-10), "-10");
  EXPECT_EQ(FormatDecimal(65535), "65535");
}

TEST(NumberFormat, FollowsTheLocalesSeparatorWithoutGrouping) {
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(FormatGeneral15(Tenths(65535)), "6553.5");
  EXPECT_EQ(FormatGeneral15(1234567), "1234567");
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

}  // namespace
