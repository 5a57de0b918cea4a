// The settings step of the EEPROM decode: what the device's settings and calibration are.
#include "monitor/control_names.h"
#include "monitor/decode_rules.h"
#include "monitor/decoders.h"
#include "monitor/device_data.h"
#include "monitor/number_format.h"

namespace lir2 {

using namespace Qt::StringLiterals;
using namespace decode_rules;

namespace {

using Eeprom = DeviceImages::Eeprom;

// CB_Pr_Tr's items: the transistor types the device can be calibrated for.
const char16_t* const kTransistorTypes[] = {u"???", u"IRF3004", u"IRF2804", u"IRF3808", u"IRF3077"};

// A measuring-transistor value (or window of values) and the fitted transistors it stands for:
// the type (an index of CB_Pr_Tr) and how many in parallel (an index of CB_Pr_TrNum).
struct TransistorRow {
  int low;
  int high;
  int type;
  int count;
};

// Values stored directly (bit 3 of EEPROM 32 set).
constexpr TransistorRow kDirect12And24[] = {{91, 91, 1, 1}, {46, 46, 1, 2}, {30, 30, 1, 3},
                                            {23, 23, 1, 4}, {18, 18, 1, 5}, {15, 15, 1, 6}};
constexpr TransistorRow kDirect48[] = {{183, 183, 4, 1}, {91, 91, 4, 2}, {61, 61, 4, 3},
                                       {46, 46, 4, 4},   {37, 37, 4, 5}, {30, 30, 4, 6},
                                       {26, 26, 4, 7},   {23, 23, 4, 8}, {20, 20, 4, 9}};
// Values of the older scale, rescaled before the match.
constexpr TransistorRow kScaled12And24[] = {{136, 137, 1, 1}, {67, 68, 1, 2}, {44, 45, 1, 3},
                                            {33, 34, 1, 4},   {26, 27, 1, 5}, {22, 23, 1, 6},
                                            {175, 176, 2, 1}};
constexpr TransistorRow kScaled48[] = {{67, 68, 4, 1},  {33, 34, 4, 2}, {21, 22, 4, 3},
                                       {16, 17, 4, 4},  {13, 14, 4, 5}, {10, 11, 4, 6},
                                       {143, 144, 3, 1}};

template <size_t N>
const TransistorRow* matchRow(const TransistorRow (&rows)[N], int value) {
  for (const TransistorRow& row : rows)
    if (value >= row.low && value <= row.high) return &row;
  return nullptr;
}

// The transistors of EEPROM 17 on a 12, 24 or 48 V system (voltage class 0 to 2).
MeasuringTransistors readTransistors(const Eeprom& ee, int voltageClass) {
  MeasuringTransistors t;
  t.value = ee[17];
  t.direct = (ee[32] & 0x08) != 0;
  t.wide = voltageClass == 2;
  const TransistorRow* row = nullptr;
  if (t.direct) {
    row = t.wide ? matchRow(kDirect48, t.value) : matchRow(kDirect12And24, t.value);
  } else {
    const int q = t.value * 256 / 85;
    const int r = (q + 1) / 2;  // half of q, rounded up
    row = t.wide ? matchRow(kScaled48, r) : matchRow(kScaled12And24, r);
  }
  if (row) t.fit = MeasuringTransistors::Fit{row->type, row->count};
  return t;
}

// The item of a radio group for a stored choice; none for a value beyond its items.
int itemIndex(quint8 value, int items) {
  return value < items ? value : -1;
}

// The sine coefficient the firmware uses: stored from firmware 7.4 on; fixed by variant and
// system voltage from 5.0; 1 before.
long double sineCoefficient(const Eeprom& ee, const DecodeContext& c) {
  if (G(c) >= 6 && F(c) >= 74) return ee[71] / 16.0L;
  if (G(c) >= 6 && F(c) >= 50) {
    if (c.VariantFlag == 0) return 23 / 16.0L;
    return c.VoltageClass == 2 ? 18 / 16.0L : 21 / 16.0L;
  }
  return 1;
}

// A charge voltage as a text: volts of the system.
QString voltsText(long double volts) {
  return formatGeneral15(volts) + u" В"_s;
}

}  // namespace

QString MeasuringTransistors::text() const {
  QString suffix;
  if (fit)
    suffix = u") "_s + QString::fromUtf16(kTransistorTypes[fit->type]) + u" x"_s +
             formatDecimal(fit->count);
  else
    suffix = wide ? u") ??? "_s : u") ???"_s;
  return u"("_s + formatDecimal(value) + suffix;
}

DeviceSettings readDeviceSettings(const Eeprom& ee, const DecodeContext& ctx) {
  DeviceSettings s;
  if (ctx.BoardType != 2 && ctx.BoardType != 3) return s;
  s.known = true;

  if (ctx.BoardType == 3) {
    if (ctx.VoltageClass <= 2) s.transistors = readTransistors(ee, ctx.VoltageClass);
    // Boards that keep two copies of the value, whose colour warns when they disagree.
    s.transistorCopiesDiffer = G(ctx) >= 7 && F(ctx) < 134 && ee[17] != ee[56];
    s.overloadAddition = ee[30];
    s.deadTime = ee[23];
  }

  s.toroid = G(ctx) >= 7 && F(ctx) >= 66 ? itemIndex(ee[24], 4) : 0;
  s.temperatureSource = ee[33];
  s.transformerTempLimit = ee[251];
  s.transistorTempLimit = ee[253];
  s.tempYellowLevel = ee[250];
  s.tempCreamLevel = ee[249];
  s.batteryCurrentCorrection = ee[64] / 128.0L;
  s.shortCircuitCurrentCorrection = ee[70] / 128.0L;

  if (G(ctx) >= 6) {
    DeviceSettings::Calibration cal;
    cal.zeroCurrent = ee[65];
    cal.zeroCurrentCharge = ee[61];
    cal.zeroCorrectionGeneration = signedByte(ee[20]);
    cal.zeroCorrectionCharge = signedByte(ee[21]);
    cal.chargeCurrentCorrection = ee[29] / 128.0L;
    cal.powerCorrection = ee[28] / 128.0L;
    cal.batteryVoltageCorrection = signedByte(ee[22]);
    // Newer firmware keeps the battery-voltage correction in tenths of a volt.
    cal.batteryVoltageInTenths = hasExtendedFirmware(ctx);
    s.calibration = cal;
  }

  s.gelBattery = ee[384] != 0;
  s.endOfChargeVolts = scaledTenths(ee[389], ctx.VoltageClass);
  s.secondStageVolts = scaledTenths(ee[96], ctx.VoltageClass);
  if (const quint8 floatCharge = G(ctx) >= 6 ? ee[390] : ee[391]; floatCharge != 0)
    s.floatChargeVolts = scaledTenths(floatCharge, ctx.VoltageClass);

  if (hasShortCircuitLimits(ctx)) {
    DeviceSettings::ShortCircuitLimits limits;
    limits.sineCoefficient = sineCoefficient(ee, ctx);
    limits.threshold1 = ee[107];
    limits.threshold2 = ee[108];
    if ((G(ctx) >= 6 && G(ctx) < 9) || (G(ctx) >= 9 && F(ctx) < 110)) {
      // The current below which the device counts as unloaded: twice the base from 3 kW on.
      const int base = (ee[105] + ee[30]) % 256;
      const int factor = ctx.PowerRating >= 30 ? 2 : 1;
      limits.underLoadAmps = divideBySystemVolts(factor * base, ctx.VoltageClass);
    }
    s.shortCircuit = limits;
  }

  if (hasHardShortCircuit(ctx)) {
    // Below 200 the hard threshold is kept in steps of 2 %. Below 50 it has been quartered
    // (CB_KZHARD25), which the red colour points out.
    const quint8 hard = ee[111];
    s.hardShortCircuit = {hard, hard < 200 ? 2 * hard : hard, hard < 50};
  }
  return s;
}

void learnSettings(const DeviceSettings& s, DecodeContext& ctx) {
  // After a settings refresh the alarms still standing are logged once more, so the log shows
  // them again next to the change.
  ctx.PreviousAlarms.fill(0);
  if (!s.known) return;
  ctx.TransformerTempLimit = s.transformerTempLimit;
  ctx.TransistorTempLimit = s.transistorTempLimit;
  ctx.TempYellowLevel = s.tempYellowLevel;
  ctx.TempCreamLevel = s.tempCreamLevel;
}

MonitorView showSettings(const DeviceSettings& s, const DecodeContext& ctx) {
  MonitorView v;
  if (!s.known) return v;

  if (ctx.BoardType == 3) {
    if (s.transistors) {
      v[control::Lb_Pr_Tr].text = s.transistors->text();
      v[control::CB_Pr_Tr].itemIndex = s.transistors->fit ? s.transistors->fit->type : 0;
      v[control::CB_Pr_TrNum].itemIndex = s.transistors->fit ? s.transistors->fit->count : 0;
    }
    v[control::Lb_Pr_Tr].background = s.transistorCopiesDiffer ? Shade::Red : Shade::Window;
    v[control::E_Overload_Add].text = formatDecimal(s.overloadAddition.value_or(0));
    v[control::L_DeathTime].text = formatDecimal(s.deadTime.value_or(0));
  }

  v[control::RG_TOR].itemIndex = s.toroid;
  // The transformer temperature is shown only while its sensor is selected.
  v[control::RG_TempTopBMS].itemIndex = itemIndex(s.temperatureSource, 4);
  v[control::LT1].visible = s.temperatureSource == 0;
  v[control::L_Ttrans].visible = s.temperatureSource == 0;

  v[control::L_IAcc_Corr_Cyr].text = formatGeneral3(s.batteryCurrentCorrection);
  v[control::L_IAcc_CorrKZ_Cyr].text = formatGeneral3(s.shortCircuitCurrentCorrection);

  if (const auto& cal = s.calibration) {
    v[control::Lb_I_0].text = u"EE_I_0="_s + formatDecimal(cal->zeroCurrent);
    v[control::Lb_I_0_Ch].text = u"EE_I_0_Ch="_s + formatDecimal(cal->zeroCurrentCharge);
    v[control::Lb_I_0Gen].text = formatDecimal(cal->zeroCorrectionGeneration);
    v[control::Lb_I_0Ch].text = formatDecimal(cal->zeroCorrectionCharge);
    v[control::Lb_I_Charge].text = formatGeneral3(cal->chargeCurrentCorrection);
    v[control::Lb_POW_Korr].text = formatGeneral3(cal->powerCorrection);
    v[control::Lb_Uakb_korr].text = cal->batteryVoltageInTenths
                                        ? formatGeneral3(tenths(cal->batteryVoltageCorrection))
                                        : formatDecimal(cal->batteryVoltageCorrection);
  }

  v[control::L_TypeAKB].text =
      s.gelBattery ? u"Тип АКБ - Гелевый и AGM"_s : u"Тип АКБ - Кислотный"_s;
  v[control::LUAccChMax].text = voltsText(s.endOfChargeVolts);
  v[control::LUChEnd].text = voltsText(s.secondStageVolts);
  v[control::LUAccChNom].text = s.floatChargeVolts ? voltsText(*s.floatChargeVolts) : u"ВЫкл"_s;

  if (const auto& limits = s.shortCircuit) {
    v[control::L_CoffSin].text = u"CoffSIN="_s + formatGeneral2(limits->sineCoefficient);
    v[control::LKZ1].text = u"КЗ_1 = "_s + formatDecimal(limits->threshold1) + u"%"_s;
    v[control::LKZ2].text = u"КЗ_2 = "_s + formatDecimal(limits->threshold2) + u"%"_s;
    if (limits->underLoadAmps)
      v[control::L_UnderLoad].text = formatDecimal(*limits->underLoadAmps) + u"A"_s;
  }

  if (const auto& hard = s.hardShortCircuit) {
    v[control::LKZ_H].text = u"КЗ_Hard = "_s + formatDecimal(hard->percent) + u"%"_s;
    v[control::CB_KZHARD25].checked = hard->quartered;
    v[control::LKZ_H].background = hard->quartered ? Shade::Red : Shade::ButtonFace;
  }
  return v;
}

MonitorView DecodeSettings(const DeviceImages& images, DecodeContext& ctx) {
  const DeviceSettings settings = readDeviceSettings(images.EepromImage, ctx);
  learnSettings(settings, ctx);
  return showSettings(settings, ctx);
}

MonitorView DecodeEeprom(const DeviceImages& images, DecodeContext& ctx, bool& binaryFrames) {
  MonitorView v = DecodeIdentification(images, ctx, binaryFrames);
  v.merge(DecodeSettings(images, ctx));
  return v;
}

}  // namespace lir2
