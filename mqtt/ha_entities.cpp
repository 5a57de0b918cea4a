#include "mqtt/ha_entities.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

#include "monitor/device_data.h"
#include "monitor/monitor_run.h"
#include "monitor/settings_writes.h"

namespace lir2 {

namespace {

// The cells the window sets with a check box, a radio group or the track bar: an item index (or
// the period) within the control's range.
struct ChoiceCell {
  quint16 address;
  int min, max;
  const char* caption;
};
constexpr ChoiceCell kChoiceCells[] = {
    {SettingsAddress::TempOkr, 0, 1, "Внешний Датчик"},
    {SettingsAddress::Toroid, 0, 3, "ТОР ( -> Автоопределение)"},
    {SettingsAddress::TempTopBms, 0, 3, "TempTopBMS"},
    {SettingsAddress::Fans, 0, 4, "Кол-во Вентиляторов"},
    {SettingsAddress::OutputPeriod, 165, 250, "Период выхода, 0,1 мс"},
};

const ParameterField* parameterField(quint16 address) {
  for (const ParameterField& f : kParameterFields)
    if (f.address == address) return &f;
  return nullptr;
}

const ChoiceCell* choiceCell(quint16 address) {
  for (const ChoiceCell& c : kChoiceCells)
    if (c.address == address) return &c;
  return nullptr;
}

// A parameter field's kind and rule for this device: the battery-voltage correction takes tenths
// from generation 9 with firmware 11.0.
std::pair<NumberKind, ByteRule> fieldRule(const ParameterField& f, const DecodeContext& c) {
  if (f.address == 22)
    return {uakbKorrKind(c.BoardGeneration, c.FirmwareVersion),
            uakbKorrRule(c.BoardGeneration, c.FirmwareVersion)};
  return {f.kind, f.rule};
}

bool monitorReads(quint16 address) {
  const auto& list = MonitorRun::kEepromParamList;
  return std::find(list.begin(), list.end(), address) != list.end();
}

SettingCell settingCell(quint16 address, const DeviceImages& images, const DecodeContext& c) {
  SettingCell cell;
  cell.address = address;
  const quint8 byte = images.EepromImage[address];
  double value = byte;
  if (const ParameterField* f = parameterField(address)) {
    const auto [kind, rule] = fieldRule(*f, c);
    const bool isSigned = f->sign == CellSign::Signed;
    const int number = isSigned ? static_cast<qint8>(byte) : byte;
    cell.name = QString::fromUtf8(f->caption);
    cell.min = isSigned ? -128 : 0;
    cell.max = isSigned ? 127 : 255;
    value = number;
    if (rule == ByteRule::Times128) {
      cell.max = std::floor(255.0 / 128 * 100) / 100;
      cell.step = 0.01;
      value = std::round(byte / 128.0 * 10000) / 10000;
    } else if (rule == ByteRule::Tenths) {
      cell.min /= 10;
      cell.max /= 10;
      cell.step = 0.1;
      value = number / 10.0;
    }
  } else if (const ChoiceCell* choice = choiceCell(address)) {
    cell.name = QString::fromUtf8(choice->caption);
    cell.min = choice->min;
    cell.max = choice->max;
  } else if (address == SettingsAddress::PrTr) {
    cell.name = QStringLiteral("Измерительные Транзисторы");
  } else {
    cell.name = QStringLiteral("EEPROM %1").arg(address);
  }
  if (monitorReads(address)) cell.value = value;
  return cell;
}

}  // namespace

DeviceFacts factsOf(const DeviceImages& images, const DecodeContext& context,
                    const QList<quint16>& allowed) {
  DeviceFacts facts;
  // The device as the monitor's typed identification reads it.
  const DeviceIdentification id = identifyDevice(images.EepromImage);
  facts.identity = identityOf(id);
  facts.frequencyHz = id.frequencyHz();
  for (const quint16 address : allowed)
    facts.settings.append(settingCell(address, images, context));
  return facts;
}

CellWritePlan planCellWrite(quint16 address, const QByteArray& payload,
                            const DecodeContext& context) {
  CellWritePlan plan;
  QString text = QString::fromUtf8(payload).trimmed();
  // A dashboard sends "1.2"; a person may type "1,2".
  if (text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('.')))
    text.replace(QLatin1Char(','), QLatin1Char('.'));
  const QLocale locale = fieldLocale(QLocale::c());

  if (const ParameterField* f = parameterField(address)) {
    const auto [kind, rule] = fieldRule(*f, context);
    const FieldByte byte = convertField(text, kind, rule, f->sign, locale);
    if (byte.value) {
      plan.writes = {{address, *byte.value}};
    } else {
      const QString refusal =
          fieldRefusal(QString::fromUtf8(f->caption), text, kind, rule, f->sign, locale);
      plan.refusal = !byte.message.isEmpty() ? byte.message
                     : !refusal.isEmpty()    ? refusal
                                             : QStringLiteral("пустое значение");
    }
    return plan;
  }
  if (const ChoiceCell* choice = choiceCell(address)) {
    const auto value = toInteger(text);
    if (value && *value >= choice->min && *value <= choice->max) {
      plan.writes = {{address, static_cast<quint8>(*value)}};
    } else {
      plan.refusal = QStringLiteral("«%1»: «%2» не записать — нужно целое число от %3 до %4")
                         .arg(QString::fromUtf8(choice->caption), text)
                         .arg(choice->min)
                         .arg(choice->max);
    }
    return plan;
  }
  // Any other cell by the raw writer's rule: a byte, 0 to 255.
  const RawWritePlan raw = planRawWrite(QString::number(address), text);
  if (!raw.write) {
    plan.refusal = !raw.message.isEmpty() ? raw.message
                   : !raw.refusal.isEmpty()
                       ? raw.refusal
                       : QStringLiteral("ячейка %1 не записывается").arg(address);
    return plan;
  }
  // The measuring-transistor value is kept twice; the window writes the copy first.
  if (address == SettingsAddress::PrTr)
    plan.writes = {{SettingsAddress::PrTrCopy, raw.write->value}, *raw.write};
  else
    plan.writes = {*raw.write};
  return plan;
}

}  // namespace lir2
