#pragma once

#include "monitor/device_images.h"

// What the monitor's settings controls send: the checks of the typed values, the rules that turn
// them into EEPROM bytes, and the raw writer's rules. Plain logic on texts and numbers, so the
// sheet stays thin and every rule is testable without a window.
#include <QList>
#include <QLocale>
#include <QMetaType>
#include <QString>

#include <array>
#include <optional>

namespace lir2 {

// Command codes written to the device's command register (address 0).
namespace DeviceCommand {
inline constexpr quint8 SwitchOff = 1;
inline constexpr quint8 SwitchOn = 2;
inline constexpr quint8 ChargeOff = 4;
inline constexpr quint8 ChargeOn = 5;
inline constexpr quint8 Reset = 6;
inline constexpr quint8 InitEeprom = 7;
}  // namespace DeviceCommand

// How a field's text is read.
enum class NumberKind { Integer, Decimal };

// How a field's number becomes the byte written.
enum class ByteRule {
  Plain,     // the integer itself, which must fit the cell
  Times128,  // correction coefficients in 1/128 units, capped at 255
  Tenths,    // battery-voltage correction in 0.1 V units: number × 10 toward zero
};

// Whether the cell holds its byte as a signed number (-128..127) or not (0..255).
enum class CellSign { Unsigned, Signed };

// A parameter field with its button: the byte goes to `address`.
struct ParameterField {
  const char* button;
  const char* field;
  quint16 address;
  NumberKind kind;  // E_Uakb_korr: the kind of older devices; see uakbKorrKind
  ByteRule rule;
  CellSign sign;
  const char* caption;  // the button's text, which names the field in a message
};
inline constexpr std::array<ParameterField, 9> kParameterFields{{
    {"B_I_0Gen", "E_I_0Gen", 20, NumberKind::Integer, ByteRule::Plain, CellSign::Signed,
     "Коррекция 0 тока АКБ Генерации"},
    {"B_I_0Ch", "E_I_0Ch", 21, NumberKind::Integer, ByteRule::Plain, CellSign::Signed,
     "Коррекция 0 тока АКБ Заряда"},
    {"B_Uakb_korr", "E_Uakb_korr", 22, NumberKind::Integer, ByteRule::Plain, CellSign::Signed,
     "Коррекция напряжения АКБ"},
    {"B_DeathTime", "E_DeathTime", 23, NumberKind::Integer, ByteRule::Plain, CellSign::Unsigned,
     "DeathTime"},
    {"B_POW_Korr", "E_POW_Korr", 28, NumberKind::Decimal, ByteRule::Times128, CellSign::Unsigned,
     "Корр мощности (стенд/ЖКИ)"},
    {"B_I_Charge", "E_I_Charge", 29, NumberKind::Decimal, ByteRule::Times128, CellSign::Unsigned,
     "Корр тока Заряда (Тестер/ЖКИ)"},
    {"B_Overload_Add", "E_Overload_Add", 30, NumberKind::Integer, ByteRule::Plain,
     CellSign::Unsigned, "Перегрузка + xx%"},
    {"B_IAcc_Corr", "E_IAcc_Corr", 64, NumberKind::Decimal, ByteRule::Times128, CellSign::Unsigned,
     "Коррекция тока"},
    {"B_IAcc_CorrKZ", "E_IAcc_CorrKZ", 70, NumberKind::Decimal, ByteRule::Times128,
     CellSign::Unsigned, "Коррекция тока КЗ"},
}};

// Fixed EEPROM addresses of the other controls.
namespace SettingsAddress {
inline constexpr quint16 PowerModel = 5;     // B_ResetPow: 255 asks the device to detect it
inline constexpr quint16 PrTr = 17;          // measuring-transistor value ...
inline constexpr quint16 PrTrCopy = 56;      // ... and its second copy, written first
inline constexpr quint16 TempOkr = 19;       // CB_TempOkr
inline constexpr quint16 Toroid = 24;        // RG_TOR
inline constexpr quint16 TempTopBms = 33;    // RG_TempTopBMS
inline constexpr quint16 OutputPeriod = 62;  // TB_frec
inline constexpr quint16 Fans = 82;          // RG_Culer
inline constexpr quint16 KzHard = 111;       // CB_KZHARD25
inline constexpr quint16 RawFirst = 5;       // the raw writer's range
inline constexpr quint16 RawLast = 1092;
}  // namespace SettingsAddress

// The largest number a ×128 field takes (its byte is capped at 255 long before).
inline constexpr int kFieldMax = 65535;
// What a failed conversion used to read as: a field showing it is not acceptable.
inline constexpr int kFailureMarker = 999;

// The system's number format for typed values (QLocale() by default), refusing digit grouping
// so that "1,5" never reads as 15 where the comma groups digits.
QLocale fieldLocale(const QLocale& base = QLocale());

// A whole number as typed (blanks around it allowed), in 32 bits, or nothing.
std::optional<int> toInteger(const QString& text);
// A finite decimal number with the locale's decimal separator, or nothing.
std::optional<double> toDecimal(const QString& text, const QLocale& locale = QLocale());

// The field checks, run on every change of a field's text: false turns the field red. A number
// is acceptable only when its byte holds it as typed: 300 does not fit a byte, and its low byte
// (44) is not what the user asked for. The ×128 fields keep their cap: a coefficient above
// 1,99 writes 255; they take no negative number, which their unsigned cells cannot hold.
bool isAcceptable(const QString& text, NumberKind kind, ByteRule rule, CellSign sign,
                  const QLocale& locale = QLocale());
bool isAcceptableAddress(const QString& text);  // E_Addr_EE: a 16-bit number
bool isAcceptableData(const QString& text);     // E_DataEE: empty, or a byte, 0 to 255

// What a field accepts, for its message: "целое число от -128 до 127".
QString fieldRangeText(NumberKind kind, ByteRule rule, CellSign sign,
                       const QLocale& locale = QLocale());
// Why a field is red, naming the field and what it takes; empty for an acceptable text.
QString fieldRefusal(const QString& caption, const QString& text, NumberKind kind, ByteRule rule,
                     CellSign sign, const QLocale& locale = QLocale());
inline const QString kRawDataCaption = QStringLiteral("Данные EE");

// E_Uakb_korr takes tenths of a volt from generation 9 with firmware 11.0.
NumberKind uakbKorrKind(quint8 boardGeneration, quint16 firmwareVersion);
ByteRule uakbKorrRule(quint8 boardGeneration, quint16 firmwareVersion);

// The byte rules, for numbers the field checks accepted.
quint8 lowByte(int value);
quint8 times128Byte(float value);  // single precision, as the device's coefficients were made
quint8 tenthsByte(double value);

// The framework's conversion messages, with the text in place of %s.
QString conversionMessage(const QString& text, NumberKind kind);

// A button's field turned into its byte: the byte, or the conversion message, or neither when
// the number is not acceptable (a field in that state is red and its button sends nothing).
struct FieldByte {
  std::optional<quint8> value;
  QString message;
};
FieldByte convertField(const QString& text, NumberKind kind, ByteRule rule, CellSign sign,
                       const QLocale& locale = QLocale());

// The raw writer: what to send and what the two fields become.
struct RawWritePlan {
  std::optional<EepromWrite> write;
  std::optional<QString> addressText;  // the new text of E_Addr_EE
  QString message;                     // a conversion message; then nothing more happens
  QString refusal;                     // a value no byte holds; nothing is sent
};
// The value must be a byte, 0 to 255: anything else sends nothing. An address outside 5 to
// 1092 is corrected to 1092 in the field and nothing is sent: the user sees the address and
// presses again if that is the cell they meant.
RawWritePlan planRawWrite(const QString& addressText, const QString& dataText);

// CB_KZHARD25: the quarter switch of the hard short-circuit threshold.
quint8 kzHardQuarterByte(bool checked, quint8 eeprom111);

// The measuring-transistor value for the transistor type `transistor` (index of CB_Pr_Tr) and
// the count `count` (index of CB_Pr_TrNum); bit 3 of EEPROM 32 says the device keeps it
// unscaled. None for a type without a value ("???", or one the device cannot keep unscaled).
std::optional<quint8> prTrValueFor(int transistor, int count, quint8 eeprom32);
// The same as PrTrValue keeps it: a type without a value leaves `current` as it is.
quint8 ComputePrTr(int transistor, int count, quint8 eeprom32, quint8 current);
// Why B_Pr_Tr writes nothing for the type shown: which types have a value on this device.
QString prTrRefusal(const QString& shownType, quint8 eeprom32);

// The command the switch buttons send from the state the device last reported.
inline quint8 lirCommand(bool lirOn) {
  return lirOn ? DeviceCommand::SwitchOff : DeviceCommand::SwitchOn;
}
inline quint8 chargeCommand(bool chargeOn) {
  return chargeOn ? DeviceCommand::ChargeOff : DeviceCommand::ChargeOn;
}

}  // namespace lir2
