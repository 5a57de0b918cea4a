#pragma once

#include <QString>

namespace lir2 {

// The number formats of the monitor's labels. Every label that shows a number goes through
// these, so all of them agree: ASCII digits and minus sign, the system locale's decimal
// separator (QLocale(), the default locale) and never a digit group separator, so a label reads
// "6553,5" or "65535", never "6 553,5".
//
// "General" notation writes the value rounded to a number of significant digits (half away from
// zero), drops trailing zeros, and switches to an exponent ("1,5E20", "1E-6") only when the
// integer part needs more digits than the precision or the value is below 0.00001.

// Which decimal separator a number is written with: the locale's, for what the user reads in a
// window, or a point, for files that programs and spreadsheets read the same everywhere.
enum class Separator { Locale, Point };

// The integer in decimal digits, with a minus sign when negative.
QString formatDecimal(qint64 value);

// General notation with up to `significantDigits` (1 to 30) significant digits.
QString formatGeneral(long double value, int significantDigits,
                      Separator separator = Separator::Locale);

// Up to 15 significant digits: the value as computed, in extended precision (0.1 × 125 gives
// 12,5).
QString formatGeneral15(long double value, Separator separator = Separator::Locale);
// Up to 2 and up to 3 significant digits. The value passes through single precision first, as
// the device's coefficients are single-precision quantities (12,3 gives 12; 129/128 gives 1,01).
QString formatGeneral2(long double value, Separator separator = Separator::Locale);
QString formatGeneral3(long double value, Separator separator = Separator::Locale);

// 0.1 × raw in extended precision: the device's tenths of a volt or a kilowatt.
long double tenths(long double raw);

}  // namespace lir2
