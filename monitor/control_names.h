#pragma once

#include <QString>

#include <string_view>

namespace lir2 {

// The name of a monitor control as the decoders' views give it: the object name the monitor
// sheet gives the control. Made from a literal, it costs nothing to turn into a QString.
class ControlName {
 public:
  constexpr explicit ControlName(std::u16string_view name) : name_(name) {}
  operator QString() const {
    return QString::fromRawData(reinterpret_cast<const QChar*>(name_.data()),
                                static_cast<qsizetype>(name_.size()));
  }
  constexpr std::u16string_view view() const { return name_; }

 private:
  std::u16string_view name_;
};

// Every control a decoder speaks of; nothing else names them. A test holds the list against the
// sheet, and every name a decode emits against the list.
// clang-format off
#define LIR2_MONITOR_CONTROLS(X)                                                                  \
  /* What the device is. */                                                                       \
  X(Lb_VerPl) X(L_hybrid) X(Lb_VerPO) X(Lb_Plir) X(Lb_Ulir) X(TB_frec) X(L_frec)                  \
  /* Its state. */                                                                                \
  X(L_OnOff) X(L_ChargeTon) X(SB_LIROn) X(SB_ChargeON) X(L_txtTch) X(L_TChargeCyr)                \
  /* Battery, output and mains. */                                                                \
  X(L_UAcc) X(L_UAccLoad) X(L_IAcc) X(Lb_UOUT) X(Lb_UNET) X(Lb_INET) X(Label9) X(Lb_Pow)          \
  X(L_TypeAKB) X(LUAccChMax) X(LUChEnd) X(LUAccChNom)                                             \
  /* Temperatures and their captions. */                                                          \
  X(LT0) X(LT1) X(LT2) X(L_Tokr) X(L_Ttrans) X(L_Tirf)                                            \
  /* Winding offsets, service values, short circuits. */                                          \
  X(L_QshR) X(L_M_Ht0) X(Label20) X(Label21) X(L_tmpShort) X(L_tmpShort1)                         \
  X(LKZ1) X(LKZ2) X(LKZ_H) X(LKZ_D1) X(LKZ_D2) X(LKZ_Hard) X(CB_KZHARD25)                         \
  /* Settings and calibration. */                                                                 \
  X(CB_TempOkr) X(RG_Culer) X(RG_TOR) X(RG_TempTopBMS) X(L_CoffSin) X(L_UnderLoad)                \
  X(E_Overload_Add) X(B_Overload_Add) X(L_DeathTime) X(L_IAcc_Corr_Cyr) X(L_IAcc_CorrKZ_Cyr)     \
  X(Lb_Pr_Tr) X(CB_Pr_Tr) X(CB_Pr_TrNum) X(Lb_I_Charge)                                           \
  /* The LCD SIN board's calibration. */                                                          \
  X(Label17) X(Lb_I_0) X(Lb_I_0_Ch) X(B_I_0Gen) X(E_I_0Gen) X(Lb_I_0Gen) X(B_I_0Ch) X(E_I_0Ch)   \
  X(Lb_I_0Ch) X(B_Uakb_korr) X(E_Uakb_korr) X(Lb_Uakb_korr) X(B_POW_Korr) X(E_POW_Korr)           \
  X(Lb_POW_Korr)
// clang-format on

namespace control {

#define LIR2_CONTROL_NAME(name) inline constexpr ControlName name{u"" #name};
LIR2_MONITOR_CONTROLS(LIR2_CONTROL_NAME)
#undef LIR2_CONTROL_NAME

#define LIR2_CONTROL_ENTRY(name) name,
inline constexpr ControlName kAll[] = {LIR2_MONITOR_CONTROLS(LIR2_CONTROL_ENTRY)};
#undef LIR2_CONTROL_ENTRY

}  // namespace control

}  // namespace lir2
