// The RAM decode: what the device is doing now, its measurements and its alarms.
#include <QLocale>

#include <cstdlib>

#include "monitor/alarm_messages.h"
#include "monitor/decode_rules.h"
#include "monitor/decoders.h"
#include "monitor/number_format.h"

using namespace Qt::StringLiterals;
using namespace decode_rules;

namespace {

using Ram = std::array<quint8, DeviceImages::kRamSize>;

// Operating mode (RAM 0), charge flags and countdown, charge time; LirOn and ChargeOn, which
// decide what the two switch buttons send.
void DecodeState(const Ram& ram, DecodeContext& c, MonitorView& v) {
  const quint8 mode = ram[0];
  const quint8 flags = ram[2];
  QString chargeText;
  if (flags & 0x01)
    chargeText = u", Идет поддерживающий заряд"_s;
  else if (flags & 0x04)
    chargeText = u", Идет окончание заряда"_s;
  else
    chargeText = u", Идет заряд"_s;

  QString modeText;
  bool lirOn = true;
  bool chargeOn = false;
  switch (mode) {
    case 0:
    case 1:
      modeText = u"ВЫключен"_s;
      lirOn = false;
      break;
    case 2:
      modeText = u"Включен, Генерация"_s;
      break;
    case 3:
      modeText = u"Включен, Пропускаем сеть"_s;
      break;
    case 5:  // switched off, yet passing the mains through and charging
      modeText = u"ВЫключен, Пропускаем сеть"_s + chargeText;
      lirOn = false;
      chargeOn = true;
      break;
    default:
      modeText = u"Включен, Пропускаем сеть"_s + chargeText;
      chargeOn = true;
      break;
  }

  QString countdown;
  if (mode >= 3 && flags != 0 && ram[12] != 0)
    countdown = u"До Заряда    "_s + FormatDecimal(ram[12]) + u" сек"_s;

  if (mode == 3) {
    v[u"L_TChargeCyr"_s].visible = false;
    v[u"L_txtTch"_s].visible = false;
  } else if (mode >= 4 && HasChargeTimer(c)) {
    const int minutes = ram[55] * 256 + ram[56];
    v[u"L_TChargeCyr"_s].visible = true;
    v[u"L_txtTch"_s].visible = true;
    v[u"L_TChargeCyr"_s].text =
        FormatDecimal(minutes / 60) + u"ч "_s + FormatDecimal(minutes % 60) + u"мин"_s;
  }

  c.LirOn = lirOn;
  c.ChargeOn = chargeOn;
  v[u"SB_LIROn"_s].text = lirOn ? u"LIR_OFF"_s : u"LIR_ON"_s;
  v[u"SB_ChargeON"_s].text = chargeOn ? u"Charge_OFF"_s : u"Charge_ON"_s;
  v[u"L_OnOff"_s].text = modeText;
  v[u"L_ChargeTon"_s].text = countdown;
}

// A mains or output voltage: volts − 100, 0 for none.
QString LineVoltage(quint8 raw) {
  return FormatDecimal(raw == 0 ? 0 : raw + 100) + u" В"_s;
}

// Two service bytes and their 16-bit value, high byte first.
QString ServiceValue(quint8 high, quint8 low) {
  return FormatDecimal(high) + u" / "_s + FormatDecimal(low) + u" ="_s +
         FormatDecimal(high * 256 + low);
}

void DecodeMeasurements(const Ram& ram, const DecodeContext& c, MonitorView& v) {
  v[u"L_UAcc"_s].text = FormatGeneral15(Tenths(ram[5] * 256 + ram[6])) + u" В"_s;
  v[u"L_UAccLoad"_s].text = FormatGeneral15(ScaledTenths(ram[7], c.VoltageClass)) + u" В"_s;
  v[u"L_IAcc"_s].text = FormatDecimal(ram[8] * 2) + u" A"_s;
  v[u"Lb_UOUT"_s].text = LineVoltage(ram[39]);
  v[u"Lb_UNET"_s].text = LineVoltage(ram[34]);
  // While generating the device reports its power in another cell.
  const quint8 power = ram[0] == 2 ? ram[9] : ram[36];
  v[u"Lb_Pow"_s].text = FormatGeneral2(Tenths(power)) + u" кВт"_s;

  if (HasServiceValues(c)) {
    v[u"L_tmpShort"_s].text = ServiceValue(ram[58], ram[59]);
    v[u"L_tmpShort1"_s].text = ServiceValue(ram[61], ram[62]);
  } else {
    v[u"L_tmpShort"_s].visible = false;
  }

  // Mains current. From generation 5 its direction is known: red and "-" while the device feeds
  // power back into the mains (RAM 67/68, low byte first, negative). Below 16 A the fine cell
  // gives sixteenths of an ampere.
  if (G(c) < 5) {
    v[u"Lb_INET"_s].text = FormatDecimal(ram[35]) + u" A"_s;
    return;
  }
  const int direction = ram[68] * 256 + ram[67];
  const bool reverse = direction >= 0x8000;
  QString text = reverse ? u"-"_s : QString();
  if (ram[35] >= 16)
    text += FormatDecimal(ram[35]) + u" A"_s;
  else
    text += FormatGeneral2(ram[49] / 16.0L) + u" A"_s;
  v[u"Lb_INET"_s].text = text;
  v[u"Lb_INET"_s].fontColor = reverse ? Shade::Red : Shade::Green;
  v[u"Label9"_s].fontColor = reverse ? Shade::Red : Shade::Green;
}

// A raw temperature (°C + 50) with its sign; 50 reads "-0".
QString Temperature(quint8 raw) {
  return raw > 50 ? u"+"_s + FormatDecimal(raw - 50) : u"-"_s + FormatDecimal(50 - raw);
}

const QString& AbsentSensorText() {
  static const QString text = u"+20градС(Нет)"_s;
  return text;
}

// How hot a raw temperature is against the limit of its part and the common warning levels.
Shade TemperatureShade(int raw, int limit, const DecodeContext& c) {
  if (raw >= limit) return Shade::Red;
  if (raw >= limit - 15) return Shade::Orange;
  if (raw >= c.TempYellowLevel) return Shade::Yellow;
  if (raw >= c.TempCreamLevel) return Shade::Cream;
  return Shade::ButtonFace;
}

void DecodeTemperatures(const DeviceImages& images, DecodeContext& c, MonitorView& v) {
  const Ram& ram = images.RamImage;
  if (G(c) < 5) {
    for (const char16_t* name : {u"LT0", u"LT1", u"LT2", u"L_Tokr", u"L_Ttrans", u"L_Tirf"})
      v[QString::fromUtf16(name)].visible = false;
    return;
  }
  // The transformer's pair follows the temperature/BMS selection of the settings.
  for (const char16_t* name : {u"LT0", u"LT2", u"L_Tokr", u"L_Tirf"})
    v[QString::fromUtf16(name)].visible = true;
  c.SensorAbsent = ReportsAbsentSensors(c) ? ram[60] : 0;

  // Ambient: with the external sensor switched off the device also reports its stored second
  // ambient value (unsigned).
  if (c.SensorAbsent & 0x01)
    v[u"L_Tokr"_s].text = AbsentSensorText();
  else if (c.TempOkrChecked)
    v[u"L_Tokr"_s].text = Temperature(ram[46]) + u"градС"_s;
  else
    v[u"L_Tokr"_s].text = Temperature(ram[46]) + u"/"_s +
                          FormatDecimal(std::abs(images.EepromImage[94] - 50)) + u"градС"_s;

  // The colour follows the raw value even for an absent sensor.
  ControlView& transformer = v[u"L_Ttrans"_s];
  transformer.text = c.SensorAbsent & 0x02 ? AbsentSensorText() : Temperature(ram[47]) + u"градС"_s;
  transformer.background = TemperatureShade(ram[47], c.TransformerTempLimit, c);
  ControlView& transistors = v[u"L_Tirf"_s];
  transistors.text = c.SensorAbsent & 0x04 ? AbsentSensorText() : Temperature(ram[48]) + u"градС"_s;
  transistors.background = TemperatureShade(ram[48], c.TransistorTempLimit, c);
}

void DecodeWindingOffsets(const Ram& ram, const DecodeContext& c, MonitorView& v) {
  if (HasWindingOffsets(c)) {
    v[u"L_QshR"_s].text = FormatDecimal(ram[50]);
    v[u"L_M_Ht0"_s].text = FormatDecimal(ram[51]);
  } else {
    for (const char16_t* name : {u"L_QshR", u"L_M_Ht0", u"Label21", u"Label20"})
      v[QString::fromUtf16(name)].visible = false;
  }
}

void ShowCounter(MonitorView& v, const QString& name, quint8 count, int redFrom) {
  ControlView& label = v[name];
  label.text = FormatDecimal(count);
  label.background = count >= redFrom ? Shade::Red : Shade::ButtonFace;
}

// Short-circuit counters, red once they near the point where the device gives up.
void DecodeCounters(const Ram& ram, const DecodeContext& c, MonitorView& v) {
  if (HasShortCircuitLimits(c)) {
    const int limit = G(c) < 9 ? 125 : 250;
    // From generation 7 and firmware 5.0 on, only the 48 V system keeps counter 1.
    if (G(c) < 7 || F(c) < 50 || c.VoltageClass == 2) {
      ShowCounter(v, u"LKZ_D1"_s, ram[52], limit);
    } else {
      v[u"LKZ1"_s].visible = false;
      v[u"LKZ_D1"_s].visible = false;
    }
    ShowCounter(v, u"LKZ_D2"_s, ram[53], limit);
  }
  if (HasHardShortCircuit(c)) ShowCounter(v, u"LKZ_Hard"_s, ram[54], 245);
}

// Alarms that appeared since the last pass, one line each. A standing alarm is logged once when
// it appears, not on every pass: a device with a standing alarm would otherwise fill the log
// several times a second. It is logged again when it clears and comes back, and after a
// settings refresh.
void DecodeAlarms(const Ram& ram, DecodeContext& c, const QDateTime& now, MonitorView& v) {
  QString prefix;
  const auto groups = AlarmGroupsFor(c.BoardGeneration, c.FirmwareVersion);
  for (size_t g = 0; g < groups.size(); ++g) {
    const quint8 alarms = ram[groups[g].ramOffset];
    const quint8 fresh = alarms & ~c.PreviousAlarms[g];
    for (int bit = 0; bit < 8; ++bit) {
      if (!(fresh & (1 << bit))) continue;
      if (prefix.isEmpty()) prefix = AlarmLogPrefix(now);  // one stamp for the whole pass
      v.alarmLines.append(prefix + (*groups[g].messages)[bit] + u"\r\n"_s);
    }
    c.PreviousAlarms[g] = alarms;
  }
}

// The locale's long time format without its time-zone part ("t" outside quotes).
QString TimeFormatWithoutZone(const QString& format) {
  QString out;
  bool quoted = false;
  for (qsizetype i = 0; i < format.size(); ++i) {
    const QChar ch = format[i];
    if (ch == u'\'') {
      quoted = !quoted;
    } else if (!quoted && ch == u't') {
      while (!out.isEmpty() && out.back().isSpace()) out.chop(1);
      while (i + 1 < format.size() && format[i + 1] == u't') ++i;
      continue;
    }
    out += ch;
  }
  return out.trimmed();
}

}  // namespace

QString AlarmLogPrefix(const QDateTime& now) {
  const QLocale locale;
  const QDateTime local = now.toLocalTime();
  return locale.toString(local.date(), QLocale::ShortFormat) + u" "_s +
         locale.toString(local.time(),
                         TimeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat))) +
         u"    "_s;
}

MonitorView DecodeRam(const DeviceImages& images, DecodeContext& ctx, const QDateTime& now) {
  MonitorView v;
  DecodeState(images.RamImage, ctx, v);
  DecodeMeasurements(images.RamImage, ctx, v);
  DecodeTemperatures(images, ctx, v);
  DecodeWindingOffsets(images.RamImage, ctx, v);
  DecodeCounters(images.RamImage, ctx, v);
  DecodeAlarms(images.RamImage, ctx, now, v);
  return v;
}
