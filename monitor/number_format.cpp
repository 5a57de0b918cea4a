#include "monitor/number_format.h"

#include <QLocale>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace lir2 {

namespace {

// More decimal digits than the exact expansion of any long double needs to be told apart from a
// tie: rounding this string half up gives the same digits as rounding the exact value.
constexpr int kExactDigits = 40;

QString decimalSeparator(Separator separator) {
  return separator == Separator::Point ? QStringLiteral(".") : QLocale().decimalPoint();
}

}  // namespace

QString formatDecimal(qint64 value) {
  return QString::number(value);
}

QString formatGeneral(long double value, int significantDigits, Separator separatorKind) {
  if (std::isnan(value)) return QStringLiteral("NAN");
  if (std::isinf(value)) return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
  if (value == 0) return QStringLiteral("0");
  const int precision =
      significantDigits < 1 ? 1 : (significantDigits > 30 ? 30 : significantDigits);
  const bool negative = value < 0;

  // "d.ddd…e±x": the digits and the decimal exponent of the magnitude.
  char buf[96];
  std::snprintf(buf, sizeof buf, "%.*Le", kExactDigits - 1, std::fabs(value));
  std::string digits;
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits.push_back(*p);
  int exponent = *p == 'e' ? std::atoi(p + 1) : 0;

  // Round half away from zero to the precision.
  const bool up = digits.size() > static_cast<size_t>(precision) && digits[precision] >= '5';
  digits.resize(precision);
  if (up) {
    int i = precision - 1;
    while (i >= 0 && digits[i] == '9') digits[i--] = '0';
    if (i >= 0) {
      ++digits[i];
    } else {
      digits.insert(digits.begin(), '1');
      digits.pop_back();
      ++exponent;
    }
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  QString text = negative ? QStringLiteral("-") : QString();
  const QString separator = decimalSeparator(separatorKind);
  const int count = static_cast<int>(digits.size());
  if (exponent >= precision || exponent < -5) {
    text += QChar(digits[0]);
    if (count > 1) text += separator + QString::fromLatin1(digits.data() + 1, count - 1);
    text += QStringLiteral("E") + QString::number(exponent);
  } else if (exponent >= 0) {
    const int whole = exponent + 1;
    for (int i = 0; i < whole; ++i) text += QChar(i < count ? digits[i] : '0');
    if (count > whole)
      text += separator + QString::fromLatin1(digits.data() + whole, count - whole);
  } else {
    text += QStringLiteral("0") + separator + QString(-exponent - 1, QChar('0')) +
            QString::fromLatin1(digits.data(), count);
  }
  return text;
}

QString formatGeneral15(long double value, Separator separator) {
  return formatGeneral(value, 15, separator);
}

namespace {
// The single-precision value (infinite beyond its range rather than undefined).
long double throughSingle(long double value) {
  if (std::isfinite(value) && std::fabs(value) > FLT_MAX) return value < 0 ? -INFINITY : INFINITY;
  return static_cast<float>(value);
}
}  // namespace

QString formatGeneral2(long double value, Separator separator) {
  return formatGeneral(throughSingle(value), 2, separator);
}
QString formatGeneral3(long double value, Separator separator) {
  return formatGeneral(throughSingle(value), 3, separator);
}

long double tenths(long double raw) {
  return 0.1L * raw;
}

}  // namespace lir2
