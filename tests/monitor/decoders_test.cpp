// The decoders against device images: every row sets a few cells, decodes the EEPROM and then
// the RAM as the poll cycle does, and checks what the window is told and what the context holds.
// The labels' number formats on their own.
#include <gtest/gtest.h>

#include <QLocale>

#include <map>
#include <random>
#include <set>

#include "monitor/alarm_messages.h"
#include "monitor/decoders.h"

using namespace lir2;

namespace {

constexpr int R = DeviceImages::kRamBase;  // R + n: RAM window offset n
// The firmware cell of version F (major × 10 + minor).
constexpr int fw(int f) {
  return (f / 10) | (f % 10) << 5;
}
const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 7, 9));

struct Row {
  const char* name;
  int type, gen, firmware;
  std::vector<std::pair<int, int>> cells;  // address, value
  // "Control=text", "Control.visible|checked|index|position=n", "Control.bg|font=Shade", a
  // field "=unset", a bare "Control" (its text is not set), "#F|#Power|#Binary|#LirOn|#ChargeOn=n"
  // (the context).
  std::vector<const char*> expect;
  bool service = false;
};

template <typename T>
QString str(const std::optional<T>& v) {
  if constexpr (std::is_same_v<T, QString>)
    return v ? *v : "unset";
  else
    return v ? QString::number(int(*v)) : "unset";
}

void Check(const Row& row) {
  SCOPED_TRACE(row.name);
  DeviceImages im;
  im.EepromImage[0] = row.type, im.EepromImage[1] = row.gen, im.EepromImage[2] = fw(row.firmware);
  for (auto [a, value] : row.cells) (a < R ? im.EepromImage[a] : im.RamImage[a - R]) = value;
  DecodeContext c;
  c.PowerRating = 77;  // the rating of a device seen before
  c.ServiceMode = row.service;
  bool binary = true;
  MonitorView v = DecodeEeprom(im, c, binary);
  v.merge(DecodeRam(im, c, kNow));
  static const QStringList shades = {"ButtonFace", "Window", "Red",  "Green",
                                     "Orange",     "Yellow", "Cream"};
  for (const char* e : row.expect) {
    const QString spec = QString::fromUtf8(e), key = spec.section('=', 0, 0);
    QString want = spec.contains('=') ? spec.section('=', 1) : "unset";
    if (shades.contains(want)) want = QString::number(shades.indexOf(want));
    const ControlView* found = v.find(key.section('.', 0, 0));
    const ControlView cv = found ? *found : ControlView{};
    // clang-format off
    const std::map<QString, QString> got{
        {"", str(cv.text)}, {"visible", str(cv.visible)}, {"checked", str(cv.checked)},
        {"index", str(cv.itemIndex)}, {"position", str(cv.position)}, {"bg", str(cv.background)},
        {"font", str(cv.fontColor)}, {"#F", QString::number(c.FirmwareVersion)},
        {"#Power", QString::number(c.PowerRating)}, {"#Binary", QString::number(binary)},
        {"#LirOn", QString::number(c.LirOn)}, {"#ChargeOn", QString::number(c.ChargeOn)}};
    // clang-format on
    EXPECT_EQ(got.at(key.startsWith('#') ? key : key.section('.', 1)).toStdString(),
              want.toStdString())
        << e;
  }
}

class Decoders : public ::testing::Test {
 protected:
  void SetUp() override { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
};

TEST_F(Decoders, ImagesToViews) {
  // clang-format off
  const Row rows[] = {
      // Identification
      {"0x6D gen 9 / frequency / index 127", 3, 9, 133, {{62, 200}, {5, 127}}, {"Lb_VerPO=Ver 13.3", "#F=133", "#Binary=1", "TB_frec.position=200", "L_frec=50 Гц", "Lb_Plir=Не определена"}},
      {"0xE5", 3, 9, 57, {}, {"Lb_VerPO=Ver 5.7", "#F=57", "#Binary=1"}},
      {"gen 9 text frames / tenths correction", 3, 9, 110, {{34, 1}, {22, 0xF6}}, {"#Binary=0", "B_Uakb_korr=Коррекция напряжения АКБ в B", "RG_TempTopBMS.visible=1", "E_Overload_Add.visible=0", "B_Overload_Add.visible=0", "L_UnderLoad.visible=0", "L_UnderLoad", "Lb_Uakb_korr=-1"}},
      {"gen 9 no volts / index 8 clear", 3, 9, 110, {{5, 8}}, {"B_Uakb_korr", "RG_TempTopBMS.visible=unset", "Lb_Plir=Не определена", "#Power=77"}},
      {"old board keeps frames", 3, 7, 133, {}, {"#Binary=1"}},
      {"other device", 1, 9, 133, {{5, 3}, {6, 1}, {82, 2}}, {"Lb_VerPl=Другое устройство", "Lb_Plir=3 кВт", "#Power=30", "Lb_Ulir", "RG_Culer.index=unset", "RG_TOR.index=unset", "LKZ1", "#Binary=1"}},
      {"0,9 kW", 3, 7, 52, {}, {"Lb_Plir=0,9 кВт", "#Power=9"}},
      {"1 kW", 3, 7, 53, {}, {"Lb_Plir=1 кВт", "#Power=10"}},
      {"1,3 kW", 3, 9, 96, {{5, 1}, {32, 1}}, {"Lb_Plir=1,3 кВт", "#Power=13"}},
      {"1,5 kW", 3, 9, 95, {{5, 1}, {32, 1}}, {"Lb_Plir=1,5 кВт", "#Power=15"}},
      {"8,8 kW", 3, 6, 50, {{5, 6}}, {"Lb_Plir=8,8 кВт", "#Power=88"}},
      {"9 kW", 3, 7, 50, {{5, 6}}, {"Lb_Plir=9 кВт", "#Power=90"}},
      {"15 kW", 3, 9, 110, {{5, 8}, {32, 1}}, {"Lb_Plir=15 кВт", "#Power=150"}},
      {"18 kW / copies differ F134", 3, 9, 134, {{5, 9}, {32, 1}, {17, 45}}, {"Lb_Plir=18 кВт", "#Power=180", "Lb_Pr_Tr.bg=Window"}},
      {"index 9 old", 3, 9, 133, {{5, 9}, {32, 1}}, {"Lb_Plir=Не определена", "#Power=77"}},
      {"index -1", 3, 9, 133, {{5, 0xFF}}, {"Lb_Plir=Не определена", "#Power=77"}},
      {"gen 9 board / period 0", 3, 9, 133, {{14, 1}, {12, 3}, {13, 5}, {6, 2}}, {"Lb_VerPl=LCD SIN  Ver 9Hi /3 /Net7L -Pro", "L_hybrid=HYBRID", "Lb_Ulir=48 В", "TB_frec.position=165", "L_frec"}},
      {"no mains / frequency 60 / index -128", 3, 9, 133, {{14, 4}, {13, 15}, {59, 1}, {315, 255}, {62, 165}, {5, 0x80}}, {"Lb_VerPl=LCD SIN  Ver 9Low /0 /0 -S", "L_hybrid=", "L_frec=60 Гц", "Lb_Plir=Не определена"}},
      {"mains 255 / period 255", 3, 9, 133, {{13, 255}, {315, 255}, {6, 3}, {62, 255}}, {"Lb_VerPl=LCD SIN  Ver 9Hi /0 /Net9L -Pro", "Lb_Ulir=Не определено", "TB_frec.position=250", "L_frec=39 Гц"}},
      {"mains 2 / index 10", 3, 9, 133, {{13, 2}, {6, 255}, {5, 10}}, {"Lb_VerPl=LCD SIN  Ver 9Hi /0 /Net8H -Pro", "Lb_Ulir=Не определено", "Lb_Plir=Не определена"}},
      {"sin gen 7", 3, 7, 50, {{16, 2}, {59, 4}, {6, 1}}, {"Lb_VerPl=LCD SIN  Ver 7.2 -S", "Lb_Ulir=24 В"}},
      {"lcd gen 5", 2, 5, 50, {{16, 3}}, {"Lb_VerPl=LCD Ver 5.3", "Lb_Ulir=12 В", "L_hybrid", "Label17.visible=0", "Lb_POW_Korr.visible=0", "Lb_Pr_Tr"}},
      {"lcd gen 5 old", 2, 5, 49, {{16, 3}}, {"Lb_VerPl=LCD Ver 5.0"}},
      {"gens 0 255", 2, 255, 0, {{16, 1}}, {"Lb_VerPl=LCD Ver 255.1", "Lb_VerPO=Ver 0.0"}},
      {"firmware 0xFF", 2, 0, 317, {}, {"Lb_VerPO=Ver 31.7", "#F=317", "Lb_VerPl=LCD Ver 0.0"}},
      {"gen 5 service", 3, 5, 50, {{82, 5}}, {"CB_TempOkr.checked=unset", "RG_Culer.index=-1", "LKZ_H.visible=1", "LKZ_Hard.visible=1"}, true},
      {"gen 4", 3, 4, 140, {}, {"CB_TempOkr.visible=0", "LKZ_H.visible=0", "LKZ_Hard.visible=0"}, true},
      // Settings read-back
      {"12V x1 / under-load 12V", 3, 7, 50, {{17, 90}, {56, 90}, {5, 3}, {105, 240}}, {"Lb_Pr_Tr=(90) IRF3004 x1", "CB_Pr_Tr.index=1", "CB_Pr_TrNum.index=1", "Lb_Pr_Tr.bg=Window", "L_UnderLoad=40A"}},
      {"12V x2 copies differ", 3, 7, 133, {{17, 45}}, {"Lb_Pr_Tr=(45) IRF3004 x2", "Lb_Pr_Tr.bg=Red"}},
      {"48V direct none / sine S 48V", 3, 6, 50, {{6, 2}, {32, 8}, {17, 92}, {59, 1}}, {"Lb_Pr_Tr=(92) ??? ", "CB_Pr_Tr.index=0", "CB_Pr_TrNum.index=0", "L_CoffSin=CoffSIN=1,1"}},
      {"12V direct none / sine S", 3, 6, 50, {{32, 8}, {17, 92}, {59, 1}}, {"Lb_Pr_Tr=(92) ???", "L_CoffSin=CoffSIN=1,3"}},
      {"24V direct / hard 210", 3, 6, 50, {{6, 1}, {32, 8}, {17, 46}, {111, 210}}, {"Lb_Pr_Tr=(46) IRF3004 x2", "LKZ_H=КЗ_Hard = 210%"}},
      {"48V direct x9 / hard 40", 3, 6, 50, {{6, 2}, {32, 8}, {17, 20}, {111, 40}}, {"Lb_Pr_Tr=(20) IRF3077 x9", "CB_Pr_Tr.index=4", "CB_Pr_TrNum.index=9", "LKZ_H=КЗ_Hard = 80%", "LKZ_H.bg=Red", "CB_KZHARD25.checked=1"}},
      {"48V IRF3808", 3, 6, 50, {{6, 2}, {17, 95}}, {"Lb_Pr_Tr=(95) IRF3808 x1", "CB_Pr_Tr.index=3"}},
      {"12V IRF2804", 3, 6, 50, {{17, 116}}, {"Lb_Pr_Tr=(116) IRF2804 x1", "CB_Pr_Tr.index=2"}},
      {"class 3 / charge class 3", 3, 7, 50, {{6, 3}, {17, 90}, {389, 144}}, {"Lb_Pr_Tr", "CB_Pr_Tr.index=unset", "Lb_Pr_Tr.bg=Red", "LUAccChMax=115,2 В"}},
      {"sin settings", 3, 7, 66, {{30, 15}, {23, 16}, {24, 2}, {33, 0}, {64, 128}, {70, 129}}, {"E_Overload_Add=15", "L_DeathTime=16", "RG_TOR.index=2", "RG_TempTopBMS.index=0", "LT1.visible=1", "L_Ttrans.visible=1", "L_IAcc_Corr_Cyr=1", "L_IAcc_CorrKZ_Cyr=1,01"}},
      {"old tor", 2, 7, 65, {{24, 2}, {33, 1}}, {"RG_TOR.index=0", "RG_TempTopBMS.index=1", "LT1.visible=0", "E_Overload_Add", "L_DeathTime"}},
      {"odd choices", 3, 7, 66, {{24, 9}, {33, 200}}, {"RG_TOR.index=-1", "RG_TempTopBMS.index=-1"}},
      {"gen 6 corrections / sine pro", 3, 6, 50, {{65, 5}, {61, 6}, {20, 0xF6}, {21, 3}, {29, 64}, {28, 255}, {22, 0xF6}}, {"Lb_I_0=EE_I_0=5", "Lb_I_0_Ch=EE_I_0_Ch=6", "Lb_I_0Gen=-10", "Lb_I_0Ch=3", "Lb_I_Charge=0,5", "Lb_POW_Korr=1,99", "Lb_Uakb_korr=-10", "L_CoffSin=CoffSIN=1,4"}},
      {"gen 5 no corrections", 3, 5, 50, {{22, 3}}, {"Lb_Uakb_korr", "Lb_I_0"}},
      {"charge 12V", 3, 6, 50, {{384, 1}, {389, 144}, {96, 138}, {390, 0}, {391, 135}}, {"L_TypeAKB=Тип АКБ - Гелевый и AGM", "LUAccChMax=14,4 В", "LUChEnd=13,8 В", "LUAccChNom=ВЫкл"}},
      {"charge 48V / hard 60 / gen 5 sensor", 3, 5, 50, {{6, 2}, {389, 144}, {391, 135}, {111, 60}, {19, 1}, {82, 3}}, {"L_TypeAKB=Тип АКБ - Кислотный", "LUAccChMax=57,6 В", "LUAccChNom=54 В", "LKZ_H=КЗ_Hard = 120%", "LKZ_H.bg=ButtonFace", "CB_KZHARD25.checked=0", "CB_TempOkr.checked=1", "RG_Culer.index=3", "LKZ_H.visible=unset", "Label17.visible=unset"}},
      {"sine stored", 3, 6, 74, {{71, 24}}, {"L_CoffSin=CoffSIN=1,5"}},
      {"sine gen 5", 3, 5, 40, {}, {"L_CoffSin=CoffSIN=1", "LKZ_H"}},
      {"no sine", 3, 5, 39, {}, {"L_CoffSin", "LKZ1"}},
      {"old gen 140", 2, 4, 140, {{107, 5}, {108, 6}}, {"LKZ1=КЗ_1 = 5%", "LKZ2=КЗ_2 = 6%", "L_UnderLoad"}},
      {"under-load 24V / counter 1 hidden", 3, 7, 50, {{5, 3}, {105, 200}, {30, 40}, {6, 1}, {R + 52, 9}}, {"L_UnderLoad=20A", "LKZ1.visible=0", "LKZ_D1.visible=0", "LKZ_D1"}},
      {"under-load wraps", 3, 9, 109, {{5, 2}, {105, 250}, {30, 10}}, {"L_UnderLoad=0A"}},
      {"under-load class 255 / charge class 255", 3, 6, 50, {{5, 3}, {105, 255}, {6, 255}, {389, 1}}, {"L_UnderLoad=0A", "LUAccChMax=5,78960446186581E75 В"}},
      // The RAM window
      {"mode 5 / battery max", 3, 9, 133, {{R + 0, 5}, {R + 5, 255}, {R + 6, 255}, {R + 36, 0}}, {"L_OnOff=ВЫключен, Пропускаем сеть, Идет заряд", "#LirOn=0", "#ChargeOn=1", "SB_LIROn=LIR_ON", "SB_ChargeON=Charge_OFF", "L_ChargeTon=", "L_UAcc=6553,5 В", "Lb_Pow=0 кВт"}},
      {"mode 3 no flags / limit 0", 3, 9, 133, {{R + 0, 3}, {R + 12, 30}, {R + 47, 0}}, {"L_OnOff=Включен, Пропускаем сеть", "L_ChargeTon=", "L_TChargeCyr.visible=0", "L_txtTch.visible=0", "#ChargeOn=0", "SB_LIROn=LIR_OFF", "L_Ttrans.bg=Red"}},
      {"mode 3 countdown", 3, 9, 133, {{R + 0, 3}, {R + 2, 4}, {R + 12, 30}}, {"L_OnOff=Включен, Пропускаем сеть", "L_ChargeTon=До Заряда    30 сек"}},
      {"mode 4 charge time / mains forward", 3, 6, 50, {{R + 0, 4}, {R + 2, 4}, {R + 56, 200}, {R + 68, 0x7F}, {R + 67, 0xFF}, {R + 35, 16}}, {"L_OnOff=Включен, Пропускаем сеть, Идет окончание заряда", "L_TChargeCyr=3ч 20мин", "L_TChargeCyr.visible=1", "L_txtTch.visible=1", "SB_ChargeON=Charge_OFF", "Lb_INET=16 A", "Lb_INET.font=Green", "Label9.font=Green"}},
      {"charge 59 min", 3, 5, 82, {{R + 0, 255}, {R + 2, 5}, {R + 56, 59}}, {"L_OnOff=Включен, Пропускаем сеть, Идет поддерживающий заряд", "L_TChargeCyr=0ч 59мин"}},
      {"charge 65535", 3, 6, 50, {{R + 0, 4}, {R + 55, 255}, {R + 56, 255}}, {"L_TChargeCyr=1092ч 15мин"}},
      {"old timer", 3, 5, 81, {{R + 0, 4}}, {"L_TChargeCyr", "L_txtTch.visible=unset"}},
      {"generating", 3, 9, 133, {{R + 0, 2}, {R + 9, 15}, {R + 36, 99}}, {"L_OnOff=Включен, Генерация", "Lb_Pow=1,5 кВт", "SB_ChargeON=Charge_ON"}},
      {"battery", 3, 9, 133, {{6, 1}, {R + 0, 1}, {R + 6, 125}, {R + 7, 125}, {R + 8, 10}, {R + 39, 120}, {R + 36, 123}}, {"L_OnOff=ВЫключен", "L_UAcc=12,5 В", "L_UAccLoad=25 В", "L_IAcc=20 A", "Lb_UOUT=220 В", "Lb_UNET=0 В", "Lb_Pow=12 кВт"}},
      {"battery 48V / counters gen 9", 3, 9, 133, {{6, 2}, {R + 5, 1}, {R + 6, 244}, {R + 7, 125}, {R + 34, 255}, {R + 36, 255}, {R + 52, 250}, {R + 53, 125}, {R + 54, 244}}, {"L_UAcc=50 В", "L_UAccLoad=50 В", "Lb_UNET=355 В", "Lb_Pow=26 кВт", "LKZ_D1.bg=Red", "LKZ_D2.bg=ButtonFace", "LKZ_Hard.bg=ButtonFace"}},
      {"mains reverse", 3, 5, 50, {{R + 68, 0x80}, {R + 67, 0x01}, {R + 35, 3}, {R + 49, 40}}, {"Lb_INET=-2,5 A", "Lb_INET.font=Red", "Label9.font=Red"}},
      {"mains old", 3, 4, 0, {{R + 68, 0x80}, {R + 35, 3}}, {"Lb_INET=3 A", "Lb_INET.font=unset", "LT0.visible=0", "L_Tokr.visible=0", "L_Ttrans.visible=0", "L_Tokr"}},
      {"service values / charge 0 and 65535", 3, 6, 50, {{R + 58, 1}, {R + 59, 2}, {R + 61, 255}, {R + 62, 255}, {R + 0, 6}}, {"L_tmpShort=1 / 2 =258", "L_tmpShort1=255 / 255 =65535", "L_tmpShort.visible=unset", "L_TChargeCyr=0ч 0мин"}},
      {"no service values", 3, 5, 94, {}, {"L_tmpShort.visible=0", "L_tmpShort1"}},
      {"temperatures", 3, 9, 133, {{251, 100}, {253, 100}, {250, 80}, {249, 70}, {94, 60}, {R + 46, 75}, {R + 47, 85}, {R + 48, 84}}, {"LT0.visible=1", "L_Tirf.visible=1", "L_Tokr=+25/10градС", "L_Ttrans=+35градС", "L_Ttrans.bg=Orange", "L_Tirf.bg=Yellow"}},
      {"temperatures 2", 3, 9, 133, {{19, 1}, {251, 100}, {253, 60}, {250, 80}, {249, 40}, {R + 46, 50}, {R + 47, 100}, {R + 48, 45}}, {"L_Tokr=-0градС", "L_Ttrans.bg=Red", "L_Tirf=-5градС", "L_Tirf.bg=Orange"}},
      {"temperatures 3", 3, 9, 133, {{94, 40}, {251, 100}, {253, 200}, {250, 80}, {249, 40}, {R + 46, 255}, {R + 47, 0}, {R + 48, 40}}, {"L_Tokr=+205/10градС", "L_Ttrans=-50градС", "L_Ttrans.bg=ButtonFace", "L_Tirf.bg=Cream"}},
      {"absent sensors / winding hidden", 3, 6, 50, {{251, 100}, {R + 60, 7}, {R + 46, 75}, {R + 47, 120}, {R + 50, 7}}, {"L_Tokr=+20градС(Нет)", "L_Ttrans=+20градС(Нет)", "L_Tirf=+20градС(Нет)", "L_Ttrans.bg=Red", "L_QshR", "L_QshR.visible=0", "L_M_Ht0.visible=0", "Label21.visible=0", "Label20.visible=0"}},
      {"absent unknown", 3, 5, 100, {{R + 60, 7}, {R + 47, 75}}, {"L_Ttrans=+25градС"}},
      {"winding", 3, 5, 30, {{R + 50, 7}, {R + 51, 8}}, {"L_QshR=7", "L_M_Ht0=8", "Label21.visible=unset"}},
      {"counters gen 7", 3, 7, 40, {{R + 52, 124}, {R + 53, 125}, {R + 54, 245}}, {"LKZ_D1=124", "LKZ_D1.bg=ButtonFace", "LKZ_D2=125", "LKZ_D2.bg=Red", "LKZ_Hard=245", "LKZ_Hard.bg=Red"}},
      {"ram before any eeprom decode", 0, 0, 0, {}, {"L_OnOff=ВЫключен", "Lb_INET=0 A", "L_Tirf.visible=0", "LKZ_D2"}},
  };
  // clang-format on
  for (const Row& row : rows) Check(row);
}

// The labels' number formats: significant digits, rounding, separators, exponent switch; the
// locale's separator without grouping.
TEST_F(Decoders, NumberFormats) {
  const struct {
    long double value;
    int digits;  // 2 and 3 pass through single precision, as the labels do
    const char* expected;
  } cases[] = {
      // clang-format off
      {tenths(65535), 15, "6553,5"}, {65535, 15, "65535"}, {tenths(125), 15, "12,5"},
      {tenths(3), 15, "0,3"}, {tenths(1020), 15, "102"}, {tenths(0), 15, "0"},
      {12.3L, 2, "12"}, {tenths(15), 2, "1,5"}, {0.75L, 2, "0,75"},
      {tenths(245), 2, "25"}, {9.96L, 2, "10"}, {23 / 16.0L, 2, "1,4"},
      {21 / 16.0L, 2, "1,3"}, {18 / 16.0L, 2, "1,1"}, {255 / 16.0L, 2, "16"},
      {128 / 128.0L, 3, "1"}, {129 / 128.0L, 3, "1,01"}, {255 / 128.0L, 3, "1,99"},
      {8 / 128.0L, 3, "0,0625"}, {8 / 128.0L, 2, "0,063"}, {tenths(-10), 3, "-1"},
      {tenths(-128), 3, "-12,8"}, {123, 2, "1,2E2"}, {0.00001L, 15, "0,00001"},
      {0.000001L, 15, "1E-6"}, {1e20L, 15, "1E20"}, {-0.5L, 2, "-0,5"},
      // clang-format on
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.digits == 2   ? formatGeneral2(c.value)
              : c.digits == 3 ? formatGeneral3(c.value)
                              : formatGeneral(c.value, c.digits),
              QString::fromUtf8(c.expected))
        << double(c.value) << " / " << c.digits;
  EXPECT_EQ(formatDecimal(-10), "-10");
  EXPECT_EQ(formatDecimal(65535), "65535");
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(formatGeneral15(tenths(65535)), "6553.5");
  EXPECT_EQ(formatGeneral15(1234567), "1234567");
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

TEST_F(Decoders, AlarmLogListsEachAppearanceOnce) {
  DeviceImages im;
  DecodeContext c;
  c.BoardGeneration = 9;
  const QString prefix = "05.03.2024 14:07:09    ";
  // In Russian whatever the system's locale: "5 Mar 2024" would be English, "3/5/24" American.
  for (const QLocale& system : {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates),
                                QLocale(QLocale::Russian, QLocale::Russia)}) {
    QLocale::setDefault(system);
    EXPECT_EQ(AlarmLogPrefix(kNow), prefix) << system.name().toStdString();
  }
  auto pass = [&] { return DecodeRam(im, c, kNow).alarmLines; };
  auto lines = [&](std::initializer_list<const char*> messages) {
    QStringList out;
    for (const char* m : messages) out << prefix + QString::fromUtf8(m) + "\r\n";
    return out;
  };
  im.RamImage[44] = 0x81;
  EXPECT_EQ(pass(), lines({"Аккумулятор разряжен", "Многократное КЗ Заряда"}));
  EXPECT_EQ(pass(), lines({}));  // still standing
  im.RamImage[44] = 0x01;
  EXPECT_EQ(pass(), lines({}));
  im.RamImage[44] = 0x81;  // bit 7 cleared and set again
  EXPECT_EQ(pass(), lines({"Многократное КЗ Заряда"}));
  DecodeSettings(im, c);  // a settings refresh logs the standing alarms once more
  EXPECT_EQ(pass().size(), 2);

  im.RamImage[42] = 0x80, im.RamImage[43] = 0x04, im.RamImage[45] = 0x08;
  c.PreviousAlarms.fill(0);
  EXPECT_EQ(pass(),
            lines({"S8              ", "Выбросы в Сети", "Ток KZ по Аккумулятору при Заряде",
                   "Аккумулятор разряжен", "Многократное КЗ Заряда"}));
  c.BoardGeneration = 4, c.PreviousAlarms.fill(0);  // the older boards' texts
  EXPECT_EQ(pass().mid(1, 2), lines({"Синхронизация сети 220В пропала",
                                     "Напряжение Аккумулятора при Заряде выше допустимого"}));
}

// Every alarm text and every mode text, written out here letter by letter: a padding blank lost
// or a letter in the wrong alphabet fails here. Each alarm bit alone, on a device of the
// generation and firmware whose table variant it belongs to.
TEST_F(Decoders, AlarmAndModeTextsAreTheDevicesOwn) {
  const struct {
    int offset, generation, firmware;
    const char* texts[8];
  } tables[] = {
      {42,
       9,
       133,
       {"Нет связи с 220В ", "Запись в EEPROM не прошла", "Интерапт",
        "Датчик температуры не работает", "Другая Системная ошибка", "Ошибка перемычек",
        "НЕПолярностьТора", "S8              "}},
      {44,
       9,
       133,
       {"Аккумулятор разряжен", "Перегрузка      ", "Работаем выше номинала", "Высокая температура",
        "Вентилятор не работает", "Перегрузка по сети ", "Сбой режима работы ",
        "Многократное КЗ Заряда"}},
      {43,
       5,
       67,
       {"Аккумулятор разряжен - просадка напряжения", "Напряжение Аккумулятора выше допустимого",
        "Напряжение Аккумулятора при Заряде выше допустимого", "Ток KZ по Аккумулятору",
        "Залипло проходное реле или Выход ЛИР под напряжением", "Ток КЗ по сети  ",
        "Залипло зарядное реле или Выход ЛИР под напряжением", "Произошел Сброс "}},
      {43,
       5,
       70,
       {"Аккумулятор разряжен - просадка напряжения", "Напряжение Аккумулятора выше допустимого",
        "Ток KZ по Аккумулятору при Заряде", "Ток KZ по Аккумулятору",
        "Залипло проходное реле или Выход ЛИР под напряжением", "Ток КЗ по сети  ",
        "Залипло зарядное реле или Выход ЛИР под напряжением", "Произошел Сброс "}},
      {45,
       4,
       317,
       {"Нет функции для такого нажатия кнопки", "Сеть за пределом параметров",
        "Выбросы в нагрузке", "Синхронизация сети 220В пропала", "Залипла кнопка  ",
        "Нет сети 220В для перехода на Заряд",
        "Ток нагрузки больше тока который может дать Бензо-Генератор", "Не Стабильная Сеть"}},
      {45,
       5,
       0,
       {"Нет функции для такого нажатия кнопки", "Сеть за пределом параметров",
        "Выбросы в нагрузке", "Выбросы в Сети", "Залипла кнопка  ",
        "Нет сети 220В для перехода на Заряд",
        "Ток нагрузки больше тока который может дать Бензо-Генератор", "Не Стабильная Сеть"}},
  };
  std::set<QString> distinct;
  for (const auto& t : tables) {
    for (int bit = 0; bit < 8; ++bit) {
      DeviceImages im;
      im.RamImage[t.offset] = quint8(1 << bit);
      DecodeContext c;
      c.BoardGeneration = quint8(t.generation), c.FirmwareVersion = quint16(t.firmware);
      const QString text = QString::fromUtf8(t.texts[bit]);
      EXPECT_EQ(DecodeRam(im, c, kNow).alarmLines,
                QStringList{AlarmLogPrefix(kNow) + text + "\r\n"})
          << t.offset << " bit " << bit;
      distinct.insert(text);
    }
  }
  EXPECT_EQ(distinct.size(), 34u);

  // Mode (RAM 0) and charge flags (RAM 2) with 30 s to the charge (RAM 12): the mode line, the
  // countdown, the two switch buttons.
  const struct {
    int mode, flags;
    const char *onOff, *countdown, *lir, *charge;
  } modes[] = {
      {0, 0, "ВЫключен", "", "LIR_ON", "Charge_ON"},
      {1, 5, "ВЫключен", "", "LIR_ON", "Charge_ON"},
      {2, 1, "Включен, Генерация", "", "LIR_OFF", "Charge_ON"},
      {3, 0, "Включен, Пропускаем сеть", "", "LIR_OFF", "Charge_ON"},
      {3, 2, "Включен, Пропускаем сеть", "До Заряда    30 сек", "LIR_OFF", "Charge_ON"},
      {4, 0, "Включен, Пропускаем сеть, Идет заряд", "", "LIR_OFF", "Charge_OFF"},
      {4, 1, "Включен, Пропускаем сеть, Идет поддерживающий заряд", "До Заряда    30 сек",
       "LIR_OFF", "Charge_OFF"},
      {4, 4, "Включен, Пропускаем сеть, Идет окончание заряда", "До Заряда    30 сек", "LIR_OFF",
       "Charge_OFF"},
      {4, 5, "Включен, Пропускаем сеть, Идет поддерживающий заряд", "До Заряда    30 сек",
       "LIR_OFF", "Charge_OFF"},
      {5, 0, "ВЫключен, Пропускаем сеть, Идет заряд", "", "LIR_ON", "Charge_OFF"},
      {5, 4, "ВЫключен, Пропускаем сеть, Идет окончание заряда", "До Заряда    30 сек", "LIR_ON",
       "Charge_OFF"},
      {6, 2, "Включен, Пропускаем сеть, Идет заряд", "До Заряда    30 сек", "LIR_OFF",
       "Charge_OFF"},
      {255, 0, "Включен, Пропускаем сеть, Идет заряд", "", "LIR_OFF", "Charge_OFF"},
  };
  for (const auto& m : modes) {
    DeviceImages im;
    im.RamImage[0] = quint8(m.mode), im.RamImage[2] = quint8(m.flags), im.RamImage[12] = 30;
    DecodeContext c;
    const MonitorView v = DecodeRam(im, c, kNow);
    const QString got[] = {v.textOf("L_OnOff"), v.textOf("L_ChargeTon"), v.textOf("SB_LIROn"),
                           v.textOf("SB_ChargeON")};
    const char* want[] = {m.onOff, m.countdown, m.lir, m.charge};
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(got[i], QString::fromUtf8(want[i])) << "mode " << m.mode << " flags " << m.flags;
  }
}

// Whole random images, decoded in every order, many times: nothing crashes, every index stays
// within its list, every table text comes from its table.
TEST_F(Decoders, RandomImagesDecodeSafely) {
  std::mt19937 rng(20240305);
  std::set<QString> messages;
  const AlarmTables& t = alarmMessages();
  for (const auto* table : {&t.systemFault, &t.warning, &t.protectionFirst, &t.protectionSecond,
                            &t.eventFirst, &t.eventSecond})
    messages.insert(table->begin(), table->end());
  // clang-format off
  const std::map<QString, std::pair<int, int>> ranges{{"RG_Culer", {-1, 4}}, {"RG_TOR", {-1, 3}},
      {"RG_TempTopBMS", {-1, 3}}, {"CB_Pr_Tr", {0, 4}}, {"CB_Pr_TrNum", {0, 9}}};
  const std::set<QString> powers{"0,9 кВт", "1 кВт", "1,3 кВт", "1,5 кВт", "2 кВт", "3 кВт",
      "4,5 кВт", "6 кВт", "8,8 кВт", "9 кВт", "12 кВт", "15 кВт", "18 кВт", "Не определена"};
  // clang-format on
  DecodeContext c;
  bool binary = false;
  for (int i = 0; i < 3000; ++i) {
    DeviceImages im;
    for (auto& b : im.EepromImage) b = rng();
    for (auto& b : im.RamImage) b = rng();
    if (i % 3) im.EepromImage[0] = 2 + i % 2;  // mostly boards the decoders know
    c.ServiceMode = i % 2;
    for (const MonitorView& v :
         {DecodeRam(im, c, kNow), DecodeEeprom(im, c, binary), DecodeRam(im, c, kNow),
          DecodeIdentification(im, c, binary), DecodeSettings(im, c)}) {
      for (const auto& [name, cv] : v.controls) {
        if (cv.itemIndex) {
          ASSERT_TRUE(ranges.count(name)) << name.toStdString();
          const auto [low, high] = ranges.at(name);
          EXPECT_TRUE(*cv.itemIndex >= low && *cv.itemIndex <= high) << name.toStdString();
        }
        EXPECT_TRUE(!cv.position || (*cv.position >= 165 && *cv.position <= 250));
        EXPECT_TRUE(!cv.text || !(cv.text->contains("NAN") || cv.text->contains("INF")));
      }
      EXPECT_TRUE(!v.has("Lb_Plir") || powers.count(v.textOf("Lb_Plir")));
      for (const QString& line : v.alarmLines)
        EXPECT_TRUE(line.endsWith("\r\n") && messages.count(line.mid(23).chopped(2)));
    }
  }
}

}  // namespace
