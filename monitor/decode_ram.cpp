// The RAM decode: what the device is doing now, its measurements and its alarms.
#include <QLocale>

#include <cstdlib>

#include "monitor/alarm_messages.h"
#include "monitor/control_names.h"
#include "monitor/decode_rules.h"
#include "monitor/decoders.h"
#include "monitor/number_format.h"

namespace lir2 {

using namespace Qt::StringLiterals;
using namespace decode_rules;

namespace {

using Ram = std::array<quint8, DeviceImages::kRamSize>;
// The first of the four alarm bytes (42 to 45).
constexpr int kFirstAlarmOffset = 42;

// A mains or output voltage: volts − 100, 0 for none.
int lineVolts(quint8 raw) {
  return raw == 0 ? 0 : raw + 100;
}

// Operating mode, charge flags and countdown, charge time; LirOn and ChargeOn, which decide
// what the two switch buttons send.
void decodeState(const RamValues& r, DecodeContext& c, MonitorView& v) {
  const quint8 mode = r.mode;
  // Mode 2 generates, 3 passes the mains through, 4 and above also charge; 5 charges while
  // switched off.
  const bool lirOn = mode >= 2 && mode != 5;
  const bool chargeOn = mode >= 4;

  QString countdown;
  if (r.secondsToCharge)
    countdown = u"До Заряда    "_s + formatDecimal(*r.secondsToCharge) + u" сек"_s;

  if (mode == 3) {
    v[control::L_TChargeCyr].visible = false;
    v[control::L_txtTch].visible = false;
  } else if (mode >= 4 && hasChargeTimer(c)) {
    v[control::L_TChargeCyr].visible = true;
    v[control::L_txtTch].visible = true;
    v[control::L_TChargeCyr].text = formatDecimal(r.chargeMinutes / 60) + u"ч "_s +
                                    formatDecimal(r.chargeMinutes % 60) + u"мин"_s;
  }

  c.LirOn = lirOn;
  c.ChargeOn = chargeOn;
  v[control::SB_LIROn].text = lirOn ? u"LIR_OFF"_s : u"LIR_ON"_s;
  v[control::SB_ChargeON].text = chargeOn ? u"Charge_OFF"_s : u"Charge_ON"_s;
  v[control::L_OnOff].text = modeText(r);
  v[control::L_ChargeTon].text = countdown;
}

// Two service bytes and their 16-bit value, high byte first.
QString serviceValue(quint8 high, quint8 low) {
  return formatDecimal(high) + u" / "_s + formatDecimal(low) + u" ="_s +
         formatDecimal(high * 256 + low);
}

void decodeMeasurements(const RamValues& r, const DecodeContext& c, MonitorView& v) {
  v[control::L_UAcc].text = formatGeneral15(r.batteryVolts) + u" В"_s;
  v[control::L_UAccLoad].text = formatGeneral15(r.batteryVoltsUnderLoad) + u" В"_s;
  v[control::L_IAcc].text = formatDecimal(r.batteryAmps) + u" A"_s;
  v[control::Lb_UOUT].text = formatDecimal(r.outputVolts) + u" В"_s;
  v[control::Lb_UNET].text = formatDecimal(r.mainsVolts) + u" В"_s;
  v[control::Lb_Pow].text = formatGeneral2(r.powerKw) + u" кВт"_s;

  if (hasServiceValues(c)) {
    v[control::L_tmpShort].text = serviceValue(r.service1High, r.service1Low);
    v[control::L_tmpShort1].text = serviceValue(r.service2High, r.service2Low);
  } else {
    v[control::L_tmpShort].visible = false;
  }

  v[control::Lb_INET].text = mainsCurrentText(r) + u" A"_s;
  if (!r.mainsDirectionKnown) return;
  // Red while the device feeds power back into the mains.
  v[control::Lb_INET].fontColor = r.mainsReverse ? Shade::Red : Shade::Green;
  v[control::Label9].fontColor = r.mainsReverse ? Shade::Red : Shade::Green;
}

// A raw temperature (°C + 50) with its sign; 50 reads "-0".
QString temperatureText(quint8 raw) {
  return raw > 50 ? u"+"_s + formatDecimal(raw - 50) : u"-"_s + formatDecimal(50 - raw);
}

const QString& absentSensorText() {
  static const QString text = u"+20градС(Нет)"_s;
  return text;
}

// How hot a raw temperature is against the limit of its part and the common warning levels.
Shade temperatureShade(int raw, int limit, const DecodeContext& c) {
  if (raw >= limit) return Shade::Red;
  if (raw >= limit - 15) return Shade::Orange;
  if (raw >= c.TempYellowLevel) return Shade::Yellow;
  if (raw >= c.TempCreamLevel) return Shade::Cream;
  return Shade::ButtonFace;
}

void decodeTemperatures(const RamValues& r, DecodeContext& c, MonitorView& v) {
  if (!r.temperaturesKnown) {
    for (const ControlName& name : {control::LT0, control::LT1, control::LT2, control::L_Tokr,
                                    control::L_Ttrans, control::L_Tirf})
      v[name].visible = false;
    return;
  }
  // The transformer's pair follows the temperature/BMS selection of the settings.
  for (const ControlName& name : {control::LT0, control::LT2, control::L_Tokr, control::L_Tirf})
    v[name].visible = true;
  c.SensorAbsent = r.sensorAbsent;

  // Ambient: with the external sensor switched off the device also reports its stored second
  // ambient value (unsigned).
  if (r.ambient.absent)
    v[control::L_Tokr].text = absentSensorText();
  else if (c.TempOkrChecked)
    v[control::L_Tokr].text = temperatureText(r.ambient.raw) + u"градС"_s;
  else
    v[control::L_Tokr].text = temperatureText(r.ambient.raw) + u"/"_s +
                              formatDecimal(std::abs(r.storedAmbientRaw - 50)) + u"градС"_s;

  // The colour follows the raw value even for an absent sensor.
  ControlView& transformer = v[control::L_Ttrans];
  transformer.text =
      r.transformer.absent ? absentSensorText() : temperatureText(r.transformer.raw) + u"градС"_s;
  transformer.background = temperatureShade(r.transformer.raw, c.TransformerTempLimit, c);
  ControlView& transistors = v[control::L_Tirf];
  transistors.text =
      r.transistors.absent ? absentSensorText() : temperatureText(r.transistors.raw) + u"градС"_s;
  transistors.background = temperatureShade(r.transistors.raw, c.TransistorTempLimit, c);
}

void decodeWindingOffsets(const RamValues& r, const DecodeContext& c, MonitorView& v) {
  if (hasWindingOffsets(c)) {
    v[control::L_QshR].text = formatDecimal(r.inductiveOffset);
    v[control::L_M_Ht0].text = formatDecimal(r.windingOffset);
  } else {
    for (const ControlName& name :
         {control::L_QshR, control::L_M_Ht0, control::Label21, control::Label20})
      v[name].visible = false;
  }
}

void showCounter(MonitorView& v, ControlName name, quint8 count, int redFrom) {
  ControlView& label = v[name];
  label.text = formatDecimal(count);
  label.background = count >= redFrom ? Shade::Red : Shade::ButtonFace;
}

// Short-circuit counters, red once they near the point where the device gives up.
void decodeCounters(const RamValues& r, const DecodeContext& c, MonitorView& v) {
  if (hasShortCircuitLimits(c)) {
    const int limit = G(c) < 9 ? 125 : 250;
    // From generation 7 and firmware 5.0 on, only the 48 V system keeps counter 1.
    if (G(c) < 7 || F(c) < 50 || c.VoltageClass == 2) {
      showCounter(v, control::LKZ_D1, r.shortCircuits1, limit);
    } else {
      v[control::LKZ1].visible = false;
      v[control::LKZ_D1].visible = false;
    }
    showCounter(v, control::LKZ_D2, r.shortCircuits2, limit);
  }
  if (hasHardShortCircuit(c)) showCounter(v, control::LKZ_Hard, r.hardShortCircuits, 245);
}

// The alarms that appeared since the last pass, one line each, all with one stamp; the context
// then remembers the bytes of this pass.
void decodeAlarms(const RamValues& r, DecodeContext& c, const QDateTime& now, MonitorView& v) {
  if (!r.newAlarms.isEmpty()) {
    const QString prefix = AlarmLogPrefix(now);
    for (const AlarmEvent& alarm : r.newAlarms)
      v.alarmLines.append(prefix + alarm.text + u"\r\n"_s);
  }
  const auto groups = alarmGroupsFor(c.BoardGeneration, c.FirmwareVersion);
  for (size_t g = 0; g < groups.size(); ++g)
    c.PreviousAlarms[g] = r.alarmBytes[groups[g].ramOffset - kFirstAlarmOffset];
}

// The locale's long time format without its time-zone part ("t" outside quotes).
QString timeFormatWithoutZone(const QString& format) {
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
  // The program speaks Russian, and so do its dates, whatever the system's language: a C or
  // English locale would write "7 Dec 2026".
  const QLocale locale(QLocale::Russian, QLocale::Russia);
  const QDateTime local = now.toLocalTime();
  return locale.toString(local.date(), QLocale::ShortFormat) + u" "_s +
         locale.toString(local.time(),
                         timeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat))) +
         u"    "_s;
}

RamValues measureRam(const DeviceImages& images, const DecodeContext& c) {
  const Ram& ram = images.RamImage;
  RamValues r;
  r.mode = ram[0];
  r.chargeFlags = ram[2];
  if (r.mode >= 3 && r.chargeFlags != 0 && ram[12] != 0) r.secondsToCharge = ram[12];
  r.chargeMinutes = ram[55] * 256 + ram[56];

  r.batteryVolts = tenths(ram[5] * 256 + ram[6]);
  r.batteryVoltsUnderLoad = scaledTenths(ram[7], c.VoltageClass);
  r.batteryAmps = ram[8] * 2;
  r.mainsVolts = lineVolts(ram[34]);
  r.outputVolts = lineVolts(ram[39]);
  // While generating the device reports its power in another cell.
  r.powerKw = tenths(r.mode == 2 ? ram[9] : ram[36]);

  // Mains current. From generation 5 its direction is known (RAM 67/68, low byte first,
  // negative while the device feeds the mains), and below 16 A the fine cell gives sixteenths
  // of an ampere.
  r.mainsAmps = ram[35];
  if (G(c) >= 5) {
    r.mainsDirectionKnown = true;
    r.mainsReverse = ram[68] * 256 + ram[67] >= 0x8000;
    if (ram[35] < 16) {
      r.mainsAmps = ram[49] / 16.0L;
      r.mainsAmpsFine = true;
    }
  }

  if (G(c) >= 5) {
    r.temperaturesKnown = true;
    r.sensorAbsent = reportsAbsentSensors(c) ? ram[60] : 0;
  }
  r.ambient = {ram[46], (r.sensorAbsent & 0x01) != 0};
  r.transformer = {ram[47], (r.sensorAbsent & 0x02) != 0};
  r.transistors = {ram[48], (r.sensorAbsent & 0x04) != 0};
  r.storedAmbientRaw = images.EepromImage[94];
  r.transformerHidden = (c.BoardType == 2 || c.BoardType == 3) && images.EepromImage[33] != 0;

  r.service1High = ram[58];
  r.service1Low = ram[59];
  r.service2High = ram[61];
  r.service2Low = ram[62];
  r.inductiveOffset = ram[50];
  r.windingOffset = ram[51];
  r.shortCircuits1 = ram[52];
  r.shortCircuits2 = ram[53];
  r.hardShortCircuits = ram[54];

  for (int i = 0; i < 4; ++i) r.alarmBytes[i] = ram[kFirstAlarmOffset + i];
  // A standing alarm is logged once when it appears, not on every pass: a device with a
  // standing alarm would otherwise fill the log several times a second. It is logged again when
  // it clears and comes back, and after a settings refresh.
  const auto groups = alarmGroupsFor(c.BoardGeneration, c.FirmwareVersion);
  for (size_t g = 0; g < groups.size(); ++g) {
    const quint8 standing = ram[groups[g].ramOffset];
    const quint8 fresh = standing & ~c.PreviousAlarms[g];
    for (int bit = 0; bit < 8; ++bit) {
      if (!(standing & (1 << bit))) continue;
      const AlarmEvent alarm{static_cast<quint8>(groups[g].ramOffset), static_cast<quint8>(bit),
                             (*groups[g].messages)[bit]};
      r.standingAlarms.append(alarm);
      if (fresh & (1 << bit)) r.newAlarms.append(alarm);
    }
  }
  return r;
}

QString modeText(const RamValues& r) {
  QString chargeText;
  if (r.chargeFlags & 0x01)
    chargeText = u", Идет поддерживающий заряд"_s;
  else if (r.chargeFlags & 0x04)
    chargeText = u", Идет окончание заряда"_s;
  else
    chargeText = u", Идет заряд"_s;
  switch (r.mode) {
    case 0:
    case 1:
      return u"ВЫключен"_s;
    case 2:
      return u"Включен, Генерация"_s;
    case 3:
      return u"Включен, Пропускаем сеть"_s;
    case 5:  // switched off, yet passing the mains through and charging
      return u"ВЫключен, Пропускаем сеть"_s + chargeText;
    default:
      return u"Включен, Пропускаем сеть"_s + chargeText;
  }
}

QString mainsCurrentText(const RamValues& r, Separator separator) {
  QString text = r.mainsDirectionKnown && r.mainsReverse ? u"-"_s : QString();
  if (r.mainsAmpsFine)
    text += formatGeneral2(r.mainsAmps, separator);
  else
    text += formatDecimal(static_cast<qint64>(r.mainsAmps));
  return text;
}

MonitorView DecodeRam(const RamValues& values, DecodeContext& ctx, const QDateTime& now) {
  MonitorView v;
  decodeState(values, ctx, v);
  decodeMeasurements(values, ctx, v);
  decodeTemperatures(values, ctx, v);
  decodeWindingOffsets(values, ctx, v);
  decodeCounters(values, ctx, v);
  decodeAlarms(values, ctx, now, v);
  return v;
}

MonitorView DecodeRam(const DeviceImages& images, DecodeContext& ctx, const QDateTime& now) {
  return DecodeRam(measureRam(images, ctx), ctx, now);
}

}  // namespace lir2
