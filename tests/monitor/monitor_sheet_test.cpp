// The settings writes: what a field accepts, which byte a typed value becomes, the raw writer,
// the quarter switch, the transistor value, the EEPROM map's text; then the monitor sheet
// offscreen: which controls a user sees with and without -s, what a decode's view does to them,
// and what the user's typing and clicks ask of the device.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <random>
#include <set>

#include "common/find.h"
#include "monitor/control_names.h"
#include "monitor/decode_context.h"
#include "monitor/decoders.h"
#include "monitor/device_images.h"
#include "monitor/eeprom_map.h"
#include "monitor/monitor_sheet.h"
#include "monitor/monitor_view.h"
#include "monitor/settings_writes.h"

using namespace lir2;

namespace {

const QLocale kRussian(QLocale::Russian, QLocale::Russia);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

// What each kind of field accepts (red otherwise), under the locale's separator: a number its
// cell holds as typed, signed or not; the ×128 coefficients from 0 on, capped when written.
TEST(SettingsWrites, FieldChecks) {
  constexpr auto I = NumberKind::Integer, D = NumberKind::Decimal;
  constexpr auto P = ByteRule::Plain, T128 = ByteRule::Times128, T10 = ByteRule::Tenths;
  constexpr auto S = CellSign::Signed, U = CellSign::Unsigned;
  auto field = [](NumberKind k, ByteRule r, CellSign c, const QLocale& l) {
    return [=](const QString& t) { return isAcceptable(t, k, r, c, l); };
  };
  const struct {
    const char* name;
    std::function<bool(const QString&)> accepts;
    std::vector<const char*> good, bad;
  } cases[] = {
      // clang-format off
      {"signed byte", field(I, P, S, kRussian), {" -128 ", "127", "0", "+5"},
       {"-129", "128", "255", "999", "1,5", "", "abc", "65536", "99999999999"}},
      {"unsigned byte", field(I, P, U, kRussian), {"0", "16", "255"},
       {"-1", "256", "300", "999", "0999", "65535"}},
      {"tenths", field(D, T10, S, kRussian), {"-12,8", "12,7", "-12,85", "12,79", "0,5"},
       {"-12,9", "12,8", "13", "1.5", "999"}},
      {"coefficient", field(D, T128, U, kRussian), {"0", "1,5", "2,5", "65535"},
       {"-0,5", "1.5", "999", "999,0", "9,99e2", "", "inf", "nan", "1 000", "65535,5"}},
      {"coefficient en", field(D, T128, U, kEnglish), {"1.5"}, {"1,5", "1,000"}},
      // The raw writer: 999 is an address like any other; the value may be left empty.
      {"address", isAcceptableAddress, {"999", "0", "-1", "1092", "65535"},
       {"", "x", "1,5", "65536", "-40000"}},
      {"data", isAcceptableData, {"", "0", "255"}, {"abc", "-1", "256", "65536"}},
      // clang-format on
  };
  for (const auto& c : cases) {
    for (const char* text : c.good)
      EXPECT_TRUE(c.accepts(QString::fromUtf8(text))) << c.name << " " << text;
    for (const char* text : c.bad)
      EXPECT_FALSE(c.accepts(QString::fromUtf8(text))) << c.name << " " << text;
  }
  // A refusal names the field and what it takes.
  EXPECT_EQ(fieldRefusal("DeathTime", "300", I, P, U, kRussian),
            "«DeathTime»: «300» не записать — нужно целое число от 0 до 255");
  EXPECT_EQ(fieldRefusal("U", "13", D, T10, S, kRussian),
            "«U»: «13» не записать — нужно число от -12,8 до 12,7");
  EXPECT_EQ(fieldRefusal("U", "1", D, T10, S, kRussian), "");
}

// The byte a typed value becomes, by its field's rule, or the conversion's message.
TEST(SettingsWrites, FieldBytes) {
  constexpr auto I = NumberKind::Integer, D = NumberKind::Decimal;
  constexpr auto P = ByteRule::Plain, T128 = ByteRule::Times128, T10 = ByteRule::Tenths;
  constexpr auto S = CellSign::Signed, U = CellSign::Unsigned;
  const struct {
    const char* text;
    NumberKind kind;
    ByteRule rule;
    CellSign sign;
    int byte;  // -1: nothing written
    const char* message = "";
  } cases[] = {
      // clang-format off
      {"300", I, P, U, -1}, {"-1", I, P, S, 255}, {"-1", I, P, U, -1}, {"-128", I, P, S, 128},
      {"200", I, P, U, 200}, {"999", I, P, S, -1}, {"70000", I, P, U, -1},
      {"1", D, T128, U, 128}, {"0,6", D, T128, U, 76}, {"1,4", D, T128, U, 179},
      {"1,2", D, T128, U, 153}, {"2", D, T128, U, 255}, {"2,5", D, T128, U, 255},
      {"-0,5", D, T128, U, -1},
      {"1,5", D, T10, S, 15}, {"0,3", D, T10, S, 3}, {"-1", D, T10, S, 246},
      {"-0,35", D, T10, S, 253}, {"-12,8", D, T10, S, 128}, {"12,8", D, T10, S, -1},
      {"", I, P, U, -1, "'' is not a valid integer value"},
      {"1.2", D, T128, U, -1, "'1.2' is not a valid floating point value"},
      // clang-format on
  };
  for (const auto& c : cases) {
    const FieldByte b = convertField(QString::fromUtf8(c.text), c.kind, c.rule, c.sign, kRussian);
    EXPECT_EQ(b.value ? int(*b.value) : -1, c.byte) << c.text;
    EXPECT_EQ(b.message, QString::fromUtf8(c.message)) << c.text;
  }
  EXPECT_EQ(uakbKorrRule(9, 110), T10);
  EXPECT_EQ(uakbKorrRule(9, 109), P);
  EXPECT_EQ(uakbKorrRule(8, 200), P);
}

// The raw writer: a byte as typed, an address outside 5..1092 corrected to 1092 and nothing
// sent; the address field's new text ("-": left as typed).
TEST(SettingsWrites, RawWriter) {
  const struct {
    const char *address, *data;
    int written;  // address << 8 | value, or -1 for nothing sent
    const char *addressText = "-", *message = "";
    bool refused = false;
  } cases[] = {
      // clang-format off
      {"100", "7", 100 << 8 | 7}, {"5", "0", 5 << 8 | 0}, {"1092", "255", 1092 << 8 | 255},
      {"100", "-1", -1, "-", "", true}, {"100", "256", -1, "-", "", true},
      {"3", "7", -1, "1092"}, {"1093", "7", -1, "1092"}, {"-5", "1", -1, "1092"},
      {"100", "", -1, "-", "'' is not a valid integer value"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.address) + " " + c.data);
    const RawWritePlan plan = planRawWrite(c.address, c.data);
    EXPECT_EQ(plan.write ? plan.write->address << 8 | plan.write->value : -1, c.written);
    EXPECT_EQ(plan.addressText.value_or("-"), c.addressText);
    EXPECT_EQ(plan.message, c.message);
    EXPECT_EQ(plan.refusal.contains("от 0 до 255"), c.refused);
  }
}

TEST(SettingsWrites, QuarterSwitchAndTransistorValue) {
  EXPECT_EQ(kzHardQuarterByte(true, 130), 32);
  EXPECT_EQ(kzHardQuarterByte(false, 130), 8);
  // transistor index, count index, EEPROM 32, the value before -> the value after
  const int cases[][5] = {{1, 1, 0, 0, 90},  {1, 2, 0, 0, 45},  {2, 1, 0, 0, 116}, {3, 1, 0, 0, 95},
                          {4, 0, 0, 0, 45},  {1, 1, 8, 0, 91},  {4, 3, 8, 0, 61},  {2, 1, 8, 7, 7},
                          {0, 1, 0, 33, 33}, {9, 1, 0, 33, 33}, {4, 9, 8, 0, 20}};
  for (const auto& c : cases)
    EXPECT_EQ(ComputePrTr(c[0], c[1], quint8(c[2]), quint8(c[3])), c[4])
        << c[0] << " x" << c[1] << " bit3 " << c[2];
}

TEST(EepromMap, Text) {
  std::array<quint8, 1024> image{};
  for (int a = 0; a < 1024; ++a) image[a] = quint8(a * 7 + 1);
  const QString text = FormatEepromMap(image);
  const QStringList lines = text.split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), 131);  // header, empty line, 128 lines, and nothing after the last CR LF
  EXPECT_EQ(lines[0], "      00 01 02 03 04 05 06 07 ");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "000:  01 08 0F 16 1D 24 2B 32 ");
  EXPECT_EQ(lines[3], "008:  39 40 47 4E 55 5C 63 6A ");
  EXPECT_EQ(lines[129], "3F8:  C9 D0 D7 DE E5 EC F3 FA ");
  EXPECT_EQ(lines[130], "");
  EXPECT_EQ(text.count(QLatin1Char('\n')), text.count(QStringLiteral("\r\n")));
}

// A sheet whose requests are recorded as text: writes "address=value" in order, commands "#code".
struct SheetRig {
  QLocale before;
  MonitorSheet sheet;
  QStringList requests, messages, watched;
  int dumps = 0;

  explicit SheetRig(bool service = true) {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    sheet.applyServiceMode(service);
    sheet.dialogs.error = [this](const QString& m) { messages << m; };
    QObject::connect(&sheet, &MonitorSheet::eepromWritesRequested, [this](const auto& writes) {
      QStringList s;
      for (const EepromWrite& w : writes) s << QStringLiteral("%1=%2").arg(w.address).arg(w.value);
      requests << s.join(' ');
    });
    QObject::connect(&sheet, &MonitorSheet::commandRequested,
                     [this](quint8 code) { requests << QStringLiteral("#%1").arg(code); });
    QObject::connect(&sheet, &MonitorSheet::initEepromRequested,
                     [this] { requests << QStringLiteral("init?"); });
    QObject::connect(&sheet, &MonitorSheet::tempOkrChanged,
                     [this](bool on) { requests << QStringLiteral("TempOkr %1").arg(on); });
    QObject::connect(&sheet, &MonitorSheet::dumpRequested, [this] { ++dumps; });
    QObject::connect(&sheet, &MonitorSheet::watchedAddressChanged,
                     [this](const QString& t) { watched << t; });
  }
  ~SheetRig() { QLocale::setDefault(before); }
  template <typename T = QWidget>
  T* get(const char* name) {
    auto* w = qobject_cast<T*>(sheet.control(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  bool shown(const char* name) { return get(name)->isVisibleTo(&sheet); }
  bool red(const char* name) {
    return get(name)->palette().color(QPalette::Base) == QColor(255, 0, 0);
  }
  void type(const char* field, const char* text) { get<QLineEdit>(field)->setText(text); }
  void click(const char* name) { get<QAbstractButton>(name)->click(); }
  void device(quint8 g, quint16 f, quint8 ee32 = 0, quint8 ee111 = 0, bool on = false,
              bool charging = false) {
    DecodeContext c;
    c.BoardGeneration = g, c.FirmwareVersion = f, c.LirOn = on, c.ChargeOn = charging;
    DeviceImages images;
    images.EepromImage[32] = ee32, images.EepromImage[111] = ee111;
    sheet.setDecodeState(c, images);
  }
};

const char* const kAlwaysShown[] = {
    "GroupBox1",    "Lb_VerPl", "Lb_VerPO",  "Lb_Plir",     "Lb_Ulir",
    "L_hybrid",     "PC_Mon",   "L_OnOff",   "L_ChargeTon", "L_UAcc",
    "L_UAccLoad",   "Label18",  "L_TypeAKB", "LUAccChNom",  "Lb_INET",
    "L_Ttrans",     "L_QshR",   "L_frec",    "SB_LIROn",    "SB_ChargeON",
    "SB_EEPromMap", "B_Reset",  "B_InitEE",  "CB_TempOkr",  "RG_Culer"};
const char* const kServiceOnly[] = {
    "E_Addr_EE",      "E_DataEE",    "B_SaveEE",    "L_DataEE",    "L_tmpShort",  "B_ResetPow",
    "CB_Korr",        "E_IAcc_Corr", "LKZ1",        "LKZ_Hard",    "CB_KZHARD25", "Label17",
    "Lb_I_0_Ch",      "B_I_0Gen",    "E_Uakb_korr", "Lb_POW_Korr", "L_CoffSin",   "RG_TOR",
    "B_Overload_Add", "E_I_Charge",  "B_Pr_Tr",     "CB_Pr_TrNum", "L_DeathTime", "L_tmpShort1"};
const char* const kNeverAtStart[] = {"TB_frec", "RG_TempTopBMS", "L_txtTch", "L_TChargeCyr"};

TEST(MonitorSheet, ServiceModeRevealsTheServiceControls) {
  for (bool service : {false, true}) {
    SheetRig rig(service);
    for (const char* name : kAlwaysShown) EXPECT_TRUE(rig.shown(name)) << name;
    for (const char* name : kServiceOnly) EXPECT_EQ(rig.shown(name), service) << name;
    for (const char* name : kNeverAtStart) EXPECT_FALSE(rig.shown(name)) << name;
    EXPECT_EQ(rig.get("CB_TempOkr")->isEnabled(), service);
    EXPECT_EQ(rig.get("RG_Culer")->isEnabled(), service);
  }
}

// Every control a decode names is a control of the sheet: random images of every board type and
// generation, with and without -s, through both decodes. The list of names holds no more than
// the decodes use.
TEST(MonitorSheet, EveryControlADecodeNamesIsOnTheSheet) {
  MonitorSheet sheet;
  std::set<QString> onSheet, listed, named;
  for (const QObject* o : sheet.findChildren<QObject*>()) onSheet.insert(o->objectName());
  for (const ControlName& name : control::kAll) listed.insert(name);
  std::mt19937 rng(18);
  const QDateTime now = QDateTime::currentDateTime();
  for (int round = 0; round < 2400; ++round) {
    DeviceImages im;
    for (auto& b : im.EepromImage) b = quint8(rng());
    for (auto& b : im.RamImage) b = quint8(rng());
    const quint8 types[] = {1, 2, 3, quint8(rng())};
    im.EepromImage[0] = types[round % 4];
    im.EepromImage[1] = quint8(round / 4 % 12);  // generations 0 to 11
    DecodeContext c;
    c.ServiceMode = round % 2;
    bool binary = false;
    for (const MonitorView& v : {DecodeEeprom(im, c, binary), DecodeRam(im, c, now)})
      for (const auto& [name, view] : v.controls) named.insert(name);
  }
  std::set<QString> strays, unused;
  for (const QString& name : named)
    if (!onSheet.count(name) || !listed.count(name)) strays.insert(name);
  for (const QString& name : listed)
    if (!onSheet.count(name) || !named.count(name)) unused.insert(name);
  EXPECT_TRUE(strays.empty()) << QStringList(strays.begin(), strays.end()).join(' ').toStdString();
  EXPECT_TRUE(unused.empty()) << QStringList(unused.begin(), unused.end()).join(' ').toStdString();
}

TEST(MonitorSheet, ViewSetsControlsAndHiddenControlsStayHidden) {
  SheetRig rig;
  MonitorView view;
  view["L_UAcc"].text = "12,5 В";
  view["Lb_INET"].fontColor = Shade::Green;
  view["L_Tirf"].background = Shade::Orange;
  view["CB_Pr_Tr"].itemIndex = 4;
  view["RG_TOR"].itemIndex = 1;
  view["RG_TempTopBMS"].visible = true;
  view["NoSuchControl"].text = "ignored";
  for (const char* name : {"Label17", "Lb_I_0", "Lb_I_0_Ch", "B_I_0Gen", "E_I_0Gen", "Lb_I_0Gen",
                           "B_I_0Ch", "E_I_0Ch", "Lb_I_0Ch", "B_Uakb_korr", "E_Uakb_korr",
                           "Lb_Uakb_korr", "B_POW_Korr", "E_POW_Korr", "Lb_POW_Korr"})
    view[name].visible = false;
  rig.sheet.applyView(view);
  EXPECT_EQ(rig.get<QLabel>("L_UAcc")->text(), "12,5 В");
  EXPECT_EQ(rig.get("Lb_INET")->palette().color(QPalette::WindowText), QColor(0, 128, 0));
  EXPECT_EQ(rig.get("L_Tirf")->palette().color(QPalette::Window), QColor(255, 143, 0));
  EXPECT_TRUE(rig.get("L_Tirf")->autoFillBackground());
  EXPECT_EQ(rig.get<QComboBox>("CB_Pr_Tr")->currentText(), "IRF3077");
  EXPECT_TRUE(rig.get("RG_TOR")->findChildren<QAbstractButton*>()[1]->isChecked());
  EXPECT_TRUE(rig.shown("RG_TempTopBMS"));
  // The calibration row of the charge current stays; the group's board-3 rows are gone.
  EXPECT_TRUE(rig.shown("B_I_Charge"));
  rig.sheet.applyView(MonitorView{});
  MonitorView later;
  later["Lb_I_0Gen"].text = "-3";
  later["RG_TOR"].itemIndex = 7;  // no such item: no choice shown rather than a wrong one
  rig.sheet.applyView(later);
  for (auto* radio : rig.get("RG_TOR")->findChildren<QAbstractButton*>())
    EXPECT_FALSE(radio->isChecked());
  EXPECT_FALSE(rig.shown("Lb_I_0Gen"));
  EXPECT_FALSE(rig.shown("B_I_0Gen"));
  EXPECT_TRUE(rig.requests.isEmpty());
}

TEST(MonitorSheet, ViewWithTheGuardRaisedWritesNothing) {
  SheetRig rig;
  rig.device(9, 133, 0, 130);
  MonitorView view;
  view["CB_TempOkr"].checked = true;
  view["CB_KZHARD25"].checked = true;
  view["RG_Culer"].itemIndex = 3;
  view["RG_TOR"].itemIndex = 2;
  view["RG_TempTopBMS"].itemIndex = 1;
  view["TB_frec"].position = 0;  // a device holding 0 at 62: the track bar shows 165
  view["E_Overload_Add"].text = "12";
  rig.sheet.applyView(view);
  EXPECT_TRUE(rig.requests.isEmpty()) << rig.requests.join(", ").toStdString();
  EXPECT_FALSE(rig.sheet.UpdateGuard);
  // The user's own clicks do write.
  rig.click("CB_KZHARD25");
  rig.click("CB_KZHARD25");
  rig.get("RG_Culer")->findChildren<QAbstractButton*>()[1]->click();
  rig.click("CB_TempOkr");
  EXPECT_EQ(rig.requests, QStringList({"111=8", "111=32", "82=1", "TempOkr 0", "19=0"}));
}

// Each parameter button writes its own cell by its field's rule; an entry its field refuses is
// red and sends nothing. The battery correction is read in tenths from 9 / 11.0 on.
TEST(MonitorSheet, ParameterButtons) {
  const struct {
    const char *name, *text;  // of the field E_name and the button B_name
    int generation, firmware;
    const char* request;  // nullptr: red, nothing sent
  } cases[] = {
      {"I_0Gen", "999", 9, 133, nullptr},      {"I_0Gen", "-3", 9, 133, "20=253"},
      {"I_0Ch", "5", 9, 133, "21=5"},          {"DeathTime", "300", 9, 133, nullptr},
      {"DeathTime", "255", 9, 133, "23=255"},  {"I_0Ch", "128", 9, 133, nullptr},
      {"Overload_Add", "1,5", 7, 90, nullptr}, {"POW_Korr", "1,5", 7, 90, "28=192"},
      {"I_Charge", "0,6", 7, 90, "29=76"},     {"IAcc_Corr", "2,5", 7, 90, "64=255"},
      {"Uakb_korr", "-1,5", 9, 110, "22=241"}, {"Uakb_korr", "-1,5", 9, 109, nullptr},
      {"Uakb_korr", "-15", 7, 133, "22=241"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.text);
    SheetRig rig;
    rig.device(quint8(c.generation), quint16(c.firmware));
    const QByteArray field = QByteArray("E_") + c.name, button = QByteArray("B_") + c.name;
    rig.type(field.constData(), c.text);
    EXPECT_EQ(rig.red(field.constData()), !c.request);
    rig.click(button.constData());
    EXPECT_EQ(rig.requests, c.request ? QStringList{c.request} : QStringList{});
    EXPECT_TRUE(rig.messages.isEmpty());
    // A refused entry says why, under the fields and over the field itself.
    const QString why = child<QLabel>(rig.sheet, "L_FieldError")->text();
    EXPECT_EQ(why.isEmpty(), bool(c.request)) << why.toStdString();
    EXPECT_EQ(rig.get(field.constData())->toolTip(), why);
    if (!c.request) {
      EXPECT_TRUE(why.contains(" до ")) << why.toStdString();
    }
  }
}

TEST(MonitorSheet, UntouchedFieldsAndDeviceChanges) {
  SheetRig rig;
  rig.click("B_I_0Gen");  // never edited, empty: the conversion message, nothing sent
  EXPECT_EQ(rig.messages, QStringList{"'' is not a valid integer value"});
  rig.click("B_DeathTime");  // "16" as the window starts
  // A device reading the correction in tenths turns an integer field's decimal entry acceptable.
  rig.device(7, 90);
  rig.type("E_Uakb_korr", "0,5");
  EXPECT_TRUE(rig.red("E_Uakb_korr"));
  rig.device(9, 120);
  EXPECT_FALSE(rig.red("E_Uakb_korr"));
  rig.click("B_Uakb_korr");
  // "Корр" copies the chosen coefficient into both current fields.
  rig.get<QComboBox>("CB_Korr")->setCurrentIndex(6);
  emit rig.get<QComboBox>("CB_Korr")->activated(6);
  EXPECT_EQ(rig.get<QLineEdit>("E_IAcc_CorrKZ")->text(), "1,2");
  rig.click("B_IAcc_Corr");
  rig.click("B_IAcc_CorrKZ");
  EXPECT_EQ(rig.requests, QStringList({"23=16", "22=5", "64=153", "70=153"}));
}

TEST(MonitorSheet, RawWriterAndWatchedAddress) {
  SheetRig rig;
  rig.type("E_Addr_EE", "3");
  rig.type("E_DataEE", "7");
  rig.click("B_SaveEE");  // corrected to the last address, and nothing sent
  EXPECT_EQ(rig.get<QLineEdit>("E_Addr_EE")->text(), "1092");
  EXPECT_EQ(rig.get<QLineEdit>("E_DataEE")->text(), "");
  rig.type("E_Addr_EE", "100");
  rig.type("E_DataEE", "-1");  // no byte holds it: red, and nothing sent
  EXPECT_TRUE(rig.red("E_DataEE"));
  rig.click("B_SaveEE");
  EXPECT_TRUE(child<QLabel>(rig.sheet, "L_FieldError")->text().contains("от 0 до 255"));
  rig.type("E_DataEE", "255");
  EXPECT_TRUE(child<QLabel>(rig.sheet, "L_FieldError")->text().isEmpty());
  rig.click("B_SaveEE");
  rig.click("B_SaveEE");
  rig.type("E_DataEE", "x");
  EXPECT_TRUE(rig.red("E_DataEE"));
  rig.click("B_SaveEE");
  rig.type("E_Addr_EE", "");
  EXPECT_TRUE(rig.red("E_Addr_EE"));
  EXPECT_FALSE(rig.red("E_DataEE"));  // emptied by the address, and empty is acceptable
  EXPECT_EQ(rig.requests, QStringList({"100=255", "100=255"}));
  EXPECT_EQ(rig.watched, QStringList({"3", "1092", "100", ""}));
}

TEST(MonitorSheet, CommandsAndTransistorWrite) {
  SheetRig rig;
  rig.device(9, 133, 0, 0, true, false);
  rig.click("SB_LIROn");
  rig.click("SB_ChargeON");
  rig.device(9, 133, 0, 0, false, true);
  rig.click("SB_LIROn");
  rig.click("SB_ChargeON");
  rig.click("B_Reset");
  rig.click("B_InitEE");
  rig.click("SB_EEPromMap");
  rig.click("B_Pr_Tr");  // IRF3004 x1 as shown, unscaled
  rig.get<QComboBox>("CB_Pr_TrNum")->setCurrentIndex(2);
  rig.click("B_Pr_Tr");
  rig.click("B_ResetPow");
  EXPECT_EQ(rig.requests, QStringList({"#1", "#5", "#2", "#4", "#6", "init?", "56=90 17=90",
                                       "56=45 17=45", "5=255"}));
  EXPECT_EQ(rig.dumps, 1);
}

// B_Pr_Tr writes the value of the choice shown, and only that: a choice without a value writes
// nothing (not the value an earlier choice or an earlier device left) and says why.
TEST(MonitorSheet, TransistorWriteIsTheChoiceShown) {
  const struct {
    const char* name;
    quint8 ee32;          // bit 3: the device keeps the value unscaled
    int type, count;      // items of CB_Pr_Tr and CB_Pr_TrNum after the first device's IRF3004 x2
    bool byDecode;        // chosen by a decode's view, not by the user
    const char* request;  // nullptr: nothing written, L_FieldError says why
  } cases[] = {
      {"a decode that matched no transistor", 0, 0, 0, true, nullptr},
      {"the user's ???", 0, 0, 3, false, nullptr},
      {"no unscaled value for IRF2804", 8, 2, 1, false, nullptr},
      {"IRF3077 x3 unscaled", 8, 4, 3, true, "56=61 17=61"},
      {"IRF3808, count ???", 0, 3, 0, false, "56=95 17=95"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SheetRig rig;
    rig.get<QComboBox>("CB_Pr_TrNum")->setCurrentIndex(2);  // a first device: 45 in both cells
    rig.click("B_Pr_Tr");
    rig.requests.clear();
    rig.device(9, 133, c.ee32);
    if (c.byDecode) {
      MonitorView view;
      view["CB_Pr_Tr"].itemIndex = c.type;
      view["CB_Pr_TrNum"].itemIndex = c.count;
      rig.sheet.applyView(view);
    } else {
      rig.get<QComboBox>("CB_Pr_Tr")->setCurrentIndex(c.type);
      rig.get<QComboBox>("CB_Pr_TrNum")->setCurrentIndex(c.count);
    }
    rig.click("B_Pr_Tr");
    EXPECT_EQ(rig.requests, c.request ? QStringList{c.request} : QStringList{});
    const QString why = child<QLabel>(rig.sheet, "L_FieldError")->text();
    EXPECT_EQ(why.isEmpty(), bool(c.request)) << why.toStdString();
    if (c.request) continue;
    EXPECT_TRUE(why.contains(rig.get<QComboBox>("CB_Pr_Tr")->currentText())) << why.toStdString();
    // A choice with a value takes the words back and writes.
    rig.get<QComboBox>("CB_Pr_Tr")->setCurrentIndex(1);
    EXPECT_TRUE(child<QLabel>(rig.sheet, "L_FieldError")->text().isEmpty());
    rig.click("B_Pr_Tr");
    EXPECT_EQ(rig.requests.size(), 1);
  }
}

}  // namespace
