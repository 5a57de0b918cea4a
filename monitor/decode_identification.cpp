// The identification step of the EEPROM decode: what device is on the line.
#include <algorithm>

#include "monitor/decode_rules.h"
#include "monitor/decoders.h"
#include "monitor/number_format.h"
#include "protocol/frames.h"

using namespace Qt::StringLiterals;
using namespace decode_rules;

namespace {

// The range of the hidden output-period track bar (tenths of a millisecond: 60 Hz to 40 Hz).
constexpr int kPeriodMin = 165;
constexpr int kPeriodMax = 250;

struct PowerModel {
  QString text;
  quint16 rating;  // units of 100 W; 0 = not determined, the context keeps its rating
};

// The nominal power of model `index` (EEPROM 5, a signed byte). Some indexes name a different
// model on newer boards; bit 0 of EEPROM 32 marks the extended model range.
PowerModel PowerModelFor(int index, const DecodeContext& c, bool extendedModels) {
  switch (index) {
    case 0:
      return G(c) >= 7 && F(c) >= 53 ? PowerModel{u"1 кВт"_s, 10} : PowerModel{u"0,9 кВт"_s, 9};
    case 1:
      return G(c) >= 9 && F(c) >= 96 && extendedModels ? PowerModel{u"1,3 кВт"_s, 13}
                                                       : PowerModel{u"1,5 кВт"_s, 15};
    case 2:
      return {u"2 кВт"_s, 20};
    case 3:
      return {u"3 кВт"_s, 30};
    case 4:
      return {u"4,5 кВт"_s, 45};
    case 5:
      return {u"6 кВт"_s, 60};
    case 6:
      return G(c) >= 7 ? PowerModel{u"9 кВт"_s, 90} : PowerModel{u"8,8 кВт"_s, 88};
    case 7:
      return {u"12 кВт"_s, 120};
    case 8:
      if (HasExtendedFirmware(c) && extendedModels) return {u"15 кВт"_s, 150};
      break;
    case 9:
      if (G(c) >= 9 && F(c) >= 134 && extendedModels) return {u"18 кВт"_s, 180};
      break;
    default:
      break;
  }
  return {u"Не определена"_s, 0};
}

QString VoltageClassText(quint8 voltageClass) {
  switch (voltageClass) {
    case 0:
      return u"12 В"_s;
    case 1:
      return u"24 В"_s;
    case 2:
      return u"48 В"_s;
    default:
      return u"Не определено"_s;
  }
}

using Eeprom = std::array<quint8, DeviceImages::kEepromSize>;

// "LCD Ver 7.2", "LCD SIN  Ver 7.2 -S", "LCD SIN  Ver 9Hi /3 /Net7L -Pro": the board, its
// generation and sub-version; generation 9 on the LCD SIN board names its Hi/Low part, its
// second version number and its mains part instead of the sub-version.
QString BoardText(const Eeprom& ee, const DecodeContext& c) {
  if (c.BoardType == 2)
    return u"LCD Ver "_s + FormatDecimal(G(c)) + u"."_s + FormatDecimal(c.BoardSubVersion);
  QString text = u"LCD SIN  Ver "_s + FormatDecimal(G(c));
  if (G(c) < 9) {
    text += u"."_s + FormatDecimal(c.BoardSubVersion);
  } else {
    text += ee[14] >= 4 ? u"Low"_s : u"Hi"_s;
    text += u" /"_s + FormatDecimal(ee[12]) + u" /"_s;
    const quint8 net = ee[13];
    if (net == 15)
      text += u"0"_s;
    else
      text += u"Net"_s + FormatDecimal((net & 3) + 6) + (net >= 4 ? u"L"_s : u"H"_s);
  }
  text += c.VariantFlag != 0 ? u" -S"_s : u" -Pro"_s;
  return text;
}

// Controls of the LCD SIN board's calibration that an LCD board does not have.
const char16_t* const kSinBoardOnly[] = {
    u"Label17",     u"Lb_I_0",       u"Lb_I_0_Ch",  u"B_I_0Gen",   u"E_I_0Gen",
    u"Lb_I_0Gen",   u"B_I_0Ch",      u"E_I_0Ch",    u"Lb_I_0Ch",   u"B_Uakb_korr",
    u"E_Uakb_korr", u"Lb_Uakb_korr", u"B_POW_Korr", u"E_POW_Korr", u"Lb_POW_Korr",
};

constexpr int kFanChoices = 5;  // RG_Culer: "0" to "4" fans

}  // namespace

MonitorView DecodeIdentification(const DeviceImages& images, DecodeContext& ctx,
                                 bool& binaryFrames) {
  const Eeprom& ee = images.EepromImage;
  MonitorView v;

  // Output frequency from the period in tenths of a millisecond. The track bar can only stand
  // within its range; the frequency text stays as it was for a period of 0.
  const quint8 period = ee[62];
  v[u"TB_frec"_s].position = std::clamp<int>(period, kPeriodMin, kPeriodMax);
  if (period != 0) v[u"L_frec"_s].text = FormatDecimal(10000 / period) + u" Гц"_s;

  // Firmware version: major in bits 0 to 4, minor in bits 5 to 7.
  const quint8 firmware = ee[2];
  v[u"Lb_VerPO"_s].text =
      u"Ver "_s + FormatDecimal(firmware & 0x1F) + u"."_s + FormatDecimal(firmware >> 5);
  ctx.FirmwareVersion = FirmwareVersionOf(firmware);
  ctx.BoardGeneration = ee[1];
  ctx.BoardType = ee[0];

  const PowerModel power = PowerModelFor(SignedByte(ee[5]), ctx, (ee[32] & 0x01) != 0);
  v[u"Lb_Plir"_s].text = power.text;
  if (power.rating != 0) ctx.PowerRating = power.rating;

  if (ctx.BoardType != 2 && ctx.BoardType != 3) {
    // Not a board this monitor knows: its other cells mean something else, so the voltage class
    // and the controls are left as they were.
    v[u"Lb_VerPl"_s].text = u"Другое устройство"_s;
  } else {
    ctx.BoardSubVersion = HasHardShortCircuit(ctx) ? ee[16] : 0;
    if (ctx.BoardType == 3) ctx.VariantFlag = ee[59];
    v[u"Lb_VerPl"_s].text = BoardText(ee, ctx);
    if (ctx.BoardType == 3) v[u"L_hybrid"_s].text = ee[315] != 255 ? u"HYBRID"_s : QString();

    ctx.VoltageClass = ee[6];
    v[u"Lb_Ulir"_s].text = VoltageClassText(ctx.VoltageClass);

    if (ctx.BoardType == 2)
      for (const char16_t* name : kSinBoardOnly) v[QString::fromUtf16(name)].visible = false;

    if (G(ctx) >= 5) {
      // The external sensor is only ever switched on here; switching it off is the user's.
      if (ee[19] != 0) {
        ctx.TempOkrChecked = true;
        v[u"CB_TempOkr"_s].checked = true;
      }
      v[u"RG_Culer"_s].itemIndex = ee[82] < kFanChoices ? ee[82] : -1;
      if (ctx.ServiceMode) {
        v[u"LKZ_H"_s].visible = true;
        v[u"LKZ_Hard"_s].visible = true;
      }
    } else {
      v[u"CB_TempOkr"_s].visible = false;
      v[u"LKZ_H"_s].visible = false;
      v[u"LKZ_Hard"_s].visible = false;
    }
  }

  if (HasExtendedFirmware(ctx)) {
    if (ee[34] != 0) {
      // The correction is then entered in volts; the last letter is a Latin B, as on the device.
      v[u"B_Uakb_korr"_s].text = u"Коррекция напряжения АКБ в B"_s;
      v[u"RG_TempTopBMS"_s].visible = true;
    }
    // This firmware works out the overload itself.
    v[u"E_Overload_Add"_s].visible = false;
    v[u"L_UnderLoad"_s].visible = false;
    v[u"B_Overload_Add"_s].visible = false;
    binaryFrames = BinaryFramesFor(ctx.BoardGeneration, ctx.FirmwareVersion, binaryFrames);
  }
  return v;
}
