#include "monitor/settings_writes.h"

#include <cmath>
#include <limits>

namespace lir2 {

namespace {

// The numbers a cell takes, as the field's rule reads them: a byte as typed, tenths of a volt
// whose ×10 fits the byte, or a coefficient from 0 on (its byte is capped).
struct Range {
  double min, max;
};
Range cellRange(ByteRule rule, CellSign sign) {
  const Range byte = sign == CellSign::Signed ? Range{-128, 127} : Range{0, 255};
  switch (rule) {
    case ByteRule::Plain:
      return byte;
    case ByteRule::Tenths:
      return {byte.min / 10, byte.max / 10};
    case ByteRule::Times128:
      return {0, kFieldMax};
  }
  return byte;
}

bool inRange(double value, ByteRule rule, CellSign sign) {
  // Tenths are judged by the number written, cut toward zero as tenthsByte cuts it.
  if (rule == ByteRule::Tenths) {
    value = std::trunc(value * 10.0);
    rule = ByteRule::Plain;
  }
  const Range r = cellRange(rule, sign);
  return value >= r.min && value <= r.max;  // false for NaN as well
}

}  // namespace

QLocale fieldLocale(const QLocale& base) {
  QLocale locale = base;
  locale.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
  return locale;
}

std::optional<int> toInteger(const QString& text) {
  const QString t = text.trimmed();
  int i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == u'+' || t[i] == u'-' || t[i] == QChar(0x2212))) {
    negative = t[i] != u'+';
    ++i;
  }
  if (i == t.size()) return std::nullopt;
  qint64 value = 0;
  for (; i < t.size(); ++i) {
    const char16_t c = t[i].unicode();
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
    if (value > qint64(std::numeric_limits<int>::max()) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int>::max()) return std::nullopt;
  return int(value);
}

std::optional<double> toDecimal(const QString& text, const QLocale& locale) {
  bool ok = false;
  const double value = fieldLocale(locale).toDouble(text.trimmed(), &ok);
  if (!ok || !std::isfinite(value)) return std::nullopt;
  return value;
}

bool isAcceptable(const QString& text, NumberKind kind, ByteRule rule, CellSign sign,
                  const QLocale& locale) {
  std::optional<double> value;
  if (kind == NumberKind::Integer) {
    if (const auto i = toInteger(text)) value = *i;
  } else {
    value = toDecimal(text, locale);
  }
  return value && *value != kFailureMarker && inRange(*value, rule, sign);
}

// The raw writer's address takes 999 as a number like any other: it is an address of the EEPROM.
// Any 16-bit number, signed or not, is an address; one outside the writer's range is corrected.
bool isAcceptableAddress(const QString& text) {
  const auto value = toInteger(text);
  return value && *value >= -32768 && *value <= 0xFFFF;
}

bool isAcceptableData(const QString& text) {
  if (text.isEmpty()) return true;
  const auto value = toInteger(text);
  return value && *value >= 0 && *value <= 255;
}

QString fieldRangeText(NumberKind kind, ByteRule rule, CellSign sign, const QLocale& locale) {
  const Range r = cellRange(rule, sign);
  const QLocale l = fieldLocale(locale);
  const QString range = QStringLiteral("от %1 до %2").arg(l.toString(r.min), l.toString(r.max));
  if (kind == NumberKind::Integer) return QStringLiteral("целое число ") + range;
  if (rule == ByteRule::Times128)
    return QStringLiteral("число %1, кроме 999 (больше %2 записывается как %2)")
        .arg(range, l.toString(255.0 / 128, 'f', 2));
  return QStringLiteral("число ") + range;
}

QString fieldRefusal(const QString& caption, const QString& text, NumberKind kind, ByteRule rule,
                     CellSign sign, const QLocale& locale) {
  if (text.isEmpty() || isAcceptable(text, kind, rule, sign, locale)) return {};
  return QStringLiteral("«%1»: «%2» не записать — нужно %3")
      .arg(caption, text.trimmed(), fieldRangeText(kind, rule, sign, locale));
}

NumberKind uakbKorrKind(quint8 boardGeneration, quint16 firmwareVersion) {
  return boardGeneration >= 9 && firmwareVersion >= 110 ? NumberKind::Decimal : NumberKind::Integer;
}

ByteRule uakbKorrRule(quint8 boardGeneration, quint16 firmwareVersion) {
  return uakbKorrKind(boardGeneration, firmwareVersion) == NumberKind::Decimal ? ByteRule::Tenths
                                                                               : ByteRule::Plain;
}

quint8 lowByte(int value) {
  return quint8(unsigned(value) & 0xFFu);
}

quint8 times128Byte(float value) {
  float product = value * 128.0f;
  if (product > 255.0f) product = 255.0f;
  // Field values are limited to 0..65535, so the product always fits an int.
  return lowByte(int(product));
}

quint8 tenthsByte(double value) {
  return lowByte(int(std::trunc(value * 10.0)));
}

QString conversionMessage(const QString& text, NumberKind kind) {
  return kind == NumberKind::Integer
             ? QStringLiteral("'%1' is not a valid integer value").arg(text)
             : QStringLiteral("'%1' is not a valid floating point value").arg(text);
}

FieldByte convertField(const QString& text, NumberKind kind, ByteRule rule, CellSign sign,
                       const QLocale& locale) {
  FieldByte result;
  double number = 0;
  if (kind == NumberKind::Integer) {
    const auto value = toInteger(text);
    if (!value) {
      result.message = conversionMessage(text, kind);
      return result;
    }
    number = *value;
  } else {
    const auto value = toDecimal(text, locale);
    if (!value) {
      result.message = conversionMessage(text, kind);
      return result;
    }
    number = *value;
  }
  if (!isAcceptable(text, kind, rule, sign, locale)) return result;
  switch (rule) {
    case ByteRule::Plain:  // a signed cell holds its negative numbers in two's complement
      result.value = lowByte(int(number));
      break;
    case ByteRule::Times128:
      // Read as single precision: the entry, not its double, is what gets multiplied.
      result.value = times128Byte(float(number));
      break;
    case ByteRule::Tenths:
      result.value = tenthsByte(number);
      break;
  }
  return result;
}

RawWritePlan planRawWrite(const QString& addressText, const QString& dataText) {
  RawWritePlan plan;
  const auto data = toInteger(dataText);
  if (!data) {
    plan.message = conversionMessage(dataText, NumberKind::Integer);
    return plan;
  }
  if (!isAcceptableData(dataText)) {
    plan.refusal = fieldRefusal(kRawDataCaption, dataText, NumberKind::Integer, ByteRule::Plain,
                                CellSign::Unsigned);
    return plan;
  }
  const quint8 value = quint8(*data);
  const auto address = toInteger(addressText);
  if (!address) {
    plan.message = conversionMessage(addressText, NumberKind::Integer);
    return plan;
  }
  if (*address < SettingsAddress::RawFirst || *address > SettingsAddress::RawLast) {
    plan.addressText = QString::number(SettingsAddress::RawLast);
    return plan;
  }
  plan.write = EepromWrite{quint16(*address), value};
  return plan;
}

quint8 kzHardQuarterByte(bool checked, quint8 eeprom111) {
  return checked ? quint8(eeprom111 >> 2) : lowByte(eeprom111 * 4);
}

std::optional<quint8> prTrValueFor(int transistor, int count, quint8 eeprom32) {
  int base = 0;
  if (eeprom32 & 0x08) {
    base = transistor == 1 ? 91 : transistor == 4 ? 183 : 0;
  } else {
    static constexpr int kRaw[] = {0, 137, 176, 144, 68};
    const int raw = transistor >= 1 && transistor <= 4 ? kRaw[transistor] : 0;
    base = raw * 85 / 128;
  }
  const int divisor = count > 0 ? count : 1;
  if (base == 0) return std::nullopt;
  return quint8(base / divisor);
}

quint8 ComputePrTr(int transistor, int count, quint8 eeprom32, quint8 current) {
  return prTrValueFor(transistor, count, eeprom32).value_or(current);
}

QString prTrRefusal(const QString& shownType, quint8 eeprom32) {
  const QString types = eeprom32 & 0x08 ? QStringLiteral("IRF3004 или IRF3077")
                                        : QStringLiteral("IRF3004, IRF2804, IRF3808 или IRF3077");
  return QStringLiteral(
             "«Измерительные Транзисторы:»: для «%1» значения нет, ничего не записано "
             "— выберите %2")
      .arg(shownType.isEmpty() ? QStringLiteral("???") : shownType, types);
}

}  // namespace lir2
