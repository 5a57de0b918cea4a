// The identification step of the EEPROM decode: what device is on the line.
#include <algorithm>

#include "monitor/control_names.h"
#include "monitor/decode_rules.h"
#include "monitor/decoders.h"
#include "monitor/device_data.h"
#include "monitor/number_format.h"
#include "protocol/frames.h"

namespace lir2 {

using namespace Qt::StringLiterals;
using namespace decode_rules;

namespace {

// The range of the hidden output-period track bar (tenths of a millisecond: 60 Hz to 40 Hz).
constexpr int kPeriodMin = 165;
constexpr int kPeriodMax = 250;

// The nominal power (units of 100 W) of model `index` (EEPROM 5, a signed byte) on generation
// g with firmware f; none for an index that names no model there. Some indexes name a different
// model on newer boards; bit 0 of EEPROM 32 marks the extended model range.
std::optional<quint16> powerRatingFor(int index, int g, int f, bool extendedModels) {
  switch (index) {
    case 0:
      return g >= 7 && f >= 53 ? 10 : 9;
    case 1:
      return g >= 9 && f >= 96 && extendedModels ? 13 : 15;
    case 2:
      return 20;
    case 3:
      return 30;
    case 4:
      return 45;
    case 5:
      return 60;
    case 6:
      return g >= 7 ? 90 : 88;
    case 7:
      return 120;
    case 8:
      if (g >= 9 && f >= 110 && extendedModels) return 150;
      break;
    case 9:
      if (g >= 9 && f >= 134 && extendedModels) return 180;
      break;
    default:
      break;
  }
  return std::nullopt;
}

// Controls of the LCD SIN board's calibration that an LCD board does not have.
constexpr ControlName kSinBoardOnly[] = {
    control::Label17,    control::Lb_I_0,      control::Lb_I_0_Ch,   control::B_I_0Gen,
    control::E_I_0Gen,   control::Lb_I_0Gen,   control::B_I_0Ch,     control::E_I_0Ch,
    control::Lb_I_0Ch,   control::B_Uakb_korr, control::E_Uakb_korr, control::Lb_Uakb_korr,
    control::B_POW_Korr, control::E_POW_Korr,  control::Lb_POW_Korr,
};

constexpr int kFanChoices = 5;  // RG_Culer: "0" to "4" fans

}  // namespace

std::optional<int> DeviceIdentification::frequencyHz() const {
  if (outputPeriod == 0) return std::nullopt;
  return 10000 / outputPeriod;
}

// "LCD Ver 7.2", "LCD SIN  Ver 7.2 -S", "LCD SIN  Ver 9Hi /3 /Net7L -Pro": the board, its
// generation and sub-version; generation 9 on the LCD SIN board names its Hi/Low part, its
// second version number and its mains part instead of the sub-version.
QString DeviceIdentification::boardText() const {
  if (!knownBoard()) return u"Другое устройство"_s;
  if (boardType == 2)
    return u"LCD Ver "_s + formatDecimal(generation) + u"."_s + formatDecimal(subVersion);
  QString text = u"LCD SIN  Ver "_s + formatDecimal(generation);
  if (generation < 9) {
    text += u"."_s + formatDecimal(subVersion);
  } else {
    text += lowSide ? u"Low"_s : u"Hi"_s;
    text += u" /"_s + formatDecimal(secondVersion) + u" /"_s;
    if (mainsCode == 15)
      text += u"0"_s;
    else
      text += u"Net"_s + formatDecimal((mainsCode & 3) + 6) + (mainsCode >= 4 ? u"L"_s : u"H"_s);
  }
  text += variantFlag != 0 ? u" -S"_s : u" -Pro"_s;
  return text;
}

QString DeviceIdentification::firmwareText() const {
  return u"Ver "_s + formatDecimal(firmwareMajor) + u"."_s + formatDecimal(firmwareMinor);
}

// "0,9 кВт", "12 кВт": the family writes its models with a decimal comma, whatever the locale.
QString DeviceIdentification::powerText() const {
  if (!powerRating) return u"Не определена"_s;
  const int r = *powerRating;
  QString text = QString::number(r / 10);
  if (r % 10 != 0) text += u","_s + QString::number(r % 10);
  return text + u" кВт"_s;
}

QString DeviceIdentification::hybridText() const {
  return hybridMark() ? u"HYBRID"_s : QString();
}

std::optional<QString> DeviceIdentification::voltageText() const {
  if (!knownBoard()) return std::nullopt;
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

DeviceIdentification identifyDevice(const DeviceImages::Eeprom& ee) {
  DeviceIdentification id;
  id.boardType = ee[0];
  id.generation = ee[1];
  id.firmwareMajor = ee[2] & 0x1F;
  id.firmwareMinor = ee[2] >> 5;
  id.firmwareVersion = firmwareVersionOf(ee[2]);
  id.outputPeriod = ee[62];
  const int g = id.generation, f = id.firmwareVersion;
  id.powerRating = powerRatingFor(signedByte(ee[5]), g, f, (ee[32] & 0x01) != 0);
  id.subVersion = (g == 5 && f >= 50) || g >= 6 ? ee[16] : 0;
  id.voltageClass = ee[6];
  id.variantFlag = ee[59];
  id.hybrid = ee[315] != 255;
  id.lowSide = ee[14] >= 4;
  id.secondVersion = ee[12];
  id.mainsCode = ee[13];
  id.externalSensor = ee[19] != 0;
  id.fans = ee[82];
  id.voltsCorrection = ee[34] != 0;
  return id;
}

void learnIdentification(const DeviceIdentification& id, DecodeContext& ctx, bool& binaryFrames) {
  ctx.FirmwareVersion = id.firmwareVersion;
  ctx.BoardGeneration = id.generation;
  ctx.BoardType = id.boardType;
  if (id.powerRating) ctx.PowerRating = *id.powerRating;
  // Another device's other cells mean something else: the context keeps what it had.
  if (id.knownBoard()) {
    ctx.BoardSubVersion = id.subVersion;
    if (id.boardType == 3) ctx.VariantFlag = id.variantFlag;
    ctx.VoltageClass = id.voltageClass;
    // The external sensor is only ever switched on here; switching it off is the user's.
    if (G(ctx) >= 5 && id.externalSensor) ctx.TempOkrChecked = true;
  }
  if (hasExtendedFirmware(ctx))
    binaryFrames = binaryFramesFor(ctx.BoardGeneration, ctx.FirmwareVersion, binaryFrames);
}

MonitorView showIdentification(const DeviceIdentification& id, const DecodeContext& ctx) {
  MonitorView v;
  // The track bar can only stand within its range; the frequency text stays as it was for a
  // period of 0.
  v[control::TB_frec].position = std::clamp<int>(id.outputPeriod, kPeriodMin, kPeriodMax);
  if (const auto hz = id.frequencyHz()) v[control::L_frec].text = formatDecimal(*hz) + u" Гц"_s;
  v[control::Lb_VerPO].text = id.firmwareText();
  v[control::Lb_Plir].text = id.powerText();
  v[control::Lb_VerPl].text = id.boardText();

  // Not a board this monitor knows: its voltage and controls are left as they were.
  if (id.knownBoard()) {
    if (id.boardType == 3) v[control::L_hybrid].text = id.hybridText();
    v[control::Lb_Ulir].text = *id.voltageText();
    if (id.boardType == 2)
      for (const ControlName& name : kSinBoardOnly) v[name].visible = false;
    if (G(ctx) >= 5) {
      if (id.externalSensor) v[control::CB_TempOkr].checked = true;
      v[control::RG_Culer].itemIndex = id.fans < kFanChoices ? id.fans : -1;
      if (ctx.ServiceMode) {
        v[control::LKZ_H].visible = true;
        v[control::LKZ_Hard].visible = true;
      }
    } else {
      v[control::CB_TempOkr].visible = false;
      v[control::LKZ_H].visible = false;
      v[control::LKZ_Hard].visible = false;
    }
  }

  if (hasExtendedFirmware(ctx)) {
    if (id.voltsCorrection) {
      // The correction is then entered in volts; the last letter is a Latin B, as on the device.
      v[control::B_Uakb_korr].text = u"Коррекция напряжения АКБ в B"_s;
      v[control::RG_TempTopBMS].visible = true;
    }
    // This firmware works out the overload itself.
    v[control::E_Overload_Add].visible = false;
    v[control::L_UnderLoad].visible = false;
    v[control::B_Overload_Add].visible = false;
  }
  return v;
}

MonitorView DecodeIdentification(const DeviceImages& images, DecodeContext& ctx,
                                 bool& binaryFrames) {
  const DeviceIdentification id = identifyDevice(images.EepromImage);
  learnIdentification(id, ctx, binaryFrames);
  return showIdentification(id, ctx);
}

}  // namespace lir2
