// The settings step of the EEPROM decode: what the device's settings and calibration are.
#include "monitor/decode_rules.h"
#include "monitor/decoders.h"
#include "monitor/number_format.h"

using namespace Qt::StringLiterals;
using namespace decode_rules;

namespace {

using Eeprom = std::array<quint8, DeviceImages::kEepromSize>;

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
const TransistorRow* Match(const TransistorRow (&rows)[N], int value) {
  for (const TransistorRow& row : rows)
    if (value >= row.low && value <= row.high) return &row;
  return nullptr;
}

// Lb_Pr_Tr and the two transistor combo boxes; their colour warns when the two stored copies of
// the value disagree on boards that keep two.
void DecodeTransistors(const Eeprom& ee, const DecodeContext& c, MonitorView& v) {
  const quint8 stored = ee[17];
  const int voltageClass = c.VoltageClass;
  if (voltageClass <= 2) {
    const bool wide = voltageClass == 2;
    const TransistorRow* row = nullptr;
    if (ee[32] & 0x08) {
      row = wide ? Match(kDirect48, stored) : Match(kDirect12And24, stored);
    } else {
      const int q = stored * 256 / 85;
      const int r = (q + 1) / 2;  // half of q, rounded up
      row = wide ? Match(kScaled48, r) : Match(kScaled12And24, r);
    }
    QString suffix;
    if (row)
      suffix = u") "_s + QString::fromUtf16(kTransistorTypes[row->type]) + u" x"_s +
               FormatDecimal(row->count);
    else
      suffix = wide ? u") ??? "_s : u") ???"_s;
    v[u"Lb_Pr_Tr"_s].text = u"("_s + FormatDecimal(stored) + suffix;
    v[u"CB_Pr_Tr"_s].itemIndex = row ? row->type : 0;
    v[u"CB_Pr_TrNum"_s].itemIndex = row ? row->count : 0;
  }
  const bool copiesDiffer = G(c) >= 7 && F(c) < 134 && ee[17] != ee[56];
  v[u"Lb_Pr_Tr"_s].background = copiesDiffer ? Shade::Red : Shade::Window;
}

// The item of a radio group for a stored choice; none for a value beyond its items.
int ItemIndex(quint8 value, int items) {
  return value < items ? value : -1;
}

// A charge voltage as a text: tenths of a volt per 12 V block, scaled to the system.
QString ChargeVoltage(quint8 raw, quint8 voltageClass) {
  return FormatGeneral15(ScaledTenths(raw, voltageClass)) + u" В"_s;
}

// The sine coefficient the firmware uses: stored from firmware 7.4 on; fixed by variant and
// system voltage from 5.0; 1 before.
long double SineCoefficient(const Eeprom& ee, const DecodeContext& c) {
  if (G(c) >= 6 && F(c) >= 74) return ee[71] / 16.0L;
  if (G(c) >= 6 && F(c) >= 50) {
    if (c.VariantFlag == 0) return 23 / 16.0L;
    return c.VoltageClass == 2 ? 18 / 16.0L : 21 / 16.0L;
  }
  return 1;
}

}  // namespace

MonitorView DecodeSettings(const DeviceImages& images, DecodeContext& ctx) {
  const Eeprom& ee = images.EepromImage;
  MonitorView v;

  // After a settings refresh the alarms still standing are logged once more, so the log shows
  // them again next to the change.
  ctx.PreviousAlarms.fill(0);
  if (ctx.BoardType != 2 && ctx.BoardType != 3) return v;

  if (ctx.BoardType == 3) {
    DecodeTransistors(ee, ctx, v);
    v[u"E_Overload_Add"_s].text = FormatDecimal(ee[30]);
    v[u"L_DeathTime"_s].text = FormatDecimal(ee[23]);
  }

  v[u"RG_TOR"_s].itemIndex = G(ctx) >= 7 && F(ctx) >= 66 ? ItemIndex(ee[24], 4) : 0;

  ctx.TransformerTempLimit = ee[251];
  ctx.TransistorTempLimit = ee[253];
  ctx.TempYellowLevel = ee[250];
  ctx.TempCreamLevel = ee[249];

  // The transformer temperature is shown only while its sensor is selected.
  v[u"RG_TempTopBMS"_s].itemIndex = ItemIndex(ee[33], 4);
  v[u"LT1"_s].visible = ee[33] == 0;
  v[u"L_Ttrans"_s].visible = ee[33] == 0;

  v[u"L_IAcc_Corr_Cyr"_s].text = FormatGeneral3(ee[64] / 128.0L);
  v[u"L_IAcc_CorrKZ_Cyr"_s].text = FormatGeneral3(ee[70] / 128.0L);

  if (G(ctx) >= 6) {
    v[u"Lb_I_0"_s].text = u"EE_I_0="_s + FormatDecimal(ee[65]);
    v[u"Lb_I_0_Ch"_s].text = u"EE_I_0_Ch="_s + FormatDecimal(ee[61]);
    v[u"Lb_I_0Gen"_s].text = FormatDecimal(SignedByte(ee[20]));
    v[u"Lb_I_0Ch"_s].text = FormatDecimal(SignedByte(ee[21]));
    v[u"Lb_I_Charge"_s].text = FormatGeneral3(ee[29] / 128.0L);
    v[u"Lb_POW_Korr"_s].text = FormatGeneral3(ee[28] / 128.0L);
    // Newer firmware keeps the battery-voltage correction in tenths of a volt.
    v[u"Lb_Uakb_korr"_s].text = HasExtendedFirmware(ctx)
                                    ? FormatGeneral3(Tenths(SignedByte(ee[22])))
                                    : FormatDecimal(SignedByte(ee[22]));
  }

  v[u"L_TypeAKB"_s].text = ee[384] != 0 ? u"Тип АКБ - Гелевый и AGM"_s : u"Тип АКБ - Кислотный"_s;
  v[u"LUAccChMax"_s].text = ChargeVoltage(ee[389], ctx.VoltageClass);
  v[u"LUChEnd"_s].text = ChargeVoltage(ee[96], ctx.VoltageClass);
  const quint8 floatCharge = G(ctx) >= 6 ? ee[390] : ee[391];
  v[u"LUAccChNom"_s].text =
      floatCharge == 0 ? u"ВЫкл"_s : ChargeVoltage(floatCharge, ctx.VoltageClass);

  if (HasShortCircuitLimits(ctx)) {
    v[u"L_CoffSin"_s].text = u"CoffSIN="_s + FormatGeneral2(SineCoefficient(ee, ctx));
    v[u"LKZ1"_s].text = u"КЗ_1 = "_s + FormatDecimal(ee[107]) + u"%"_s;
    v[u"LKZ2"_s].text = u"КЗ_2 = "_s + FormatDecimal(ee[108]) + u"%"_s;
    if ((G(ctx) >= 6 && G(ctx) < 9) || (G(ctx) >= 9 && F(ctx) < 110)) {
      // The current below which the device counts as unloaded: twice the base from 3 kW on.
      const int base = (ee[105] + ee[30]) % 256;
      const int factor = ctx.PowerRating >= 30 ? 2 : 1;
      v[u"L_UnderLoad"_s].text =
          FormatDecimal(DivideBySystemVolts(factor * base, ctx.VoltageClass)) + u"A"_s;
    }
  }

  if (HasHardShortCircuit(ctx)) {
    // Below 200 the hard threshold is kept in steps of 2 %. Below 50 it has been quartered
    // (CB_KZHARD25), which the red colour points out.
    const quint8 hard = ee[111];
    const int percent = hard < 200 ? 2 * hard : hard;
    v[u"LKZ_H"_s].text = u"КЗ_Hard = "_s + FormatDecimal(percent) + u"%"_s;
    v[u"CB_KZHARD25"_s].checked = hard < 50;
    v[u"LKZ_H"_s].background = hard < 50 ? Shade::Red : Shade::ButtonFace;
  }
  return v;
}

MonitorView DecodeEeprom(const DeviceImages& images, DecodeContext& ctx, bool& binaryFrames) {
  MonitorView v = DecodeIdentification(images, ctx, binaryFrames);
  v.merge(DecodeSettings(images, ctx));
  return v;
}
