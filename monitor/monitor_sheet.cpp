#include "monitor/monitor_sheet.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include "monitor/decode_context.h"
#include "monitor/device_images.h"
#include "monitor/monitor_view.h"

namespace lir2 {

// One cell of a panel's grid: the control to make there, or an empty place.
struct SheetCell {
  enum What { Empty, Caption, Value, Button, Check, Edit, Combo, Radio, Track };
  What what = Empty;
  const char* name = nullptr;
  QString text;       // caption, button text, initial field text, radio group title
  QString sample;     // a value label's widest expected text, so its width stays steady
  QStringList items;  // combo box and radio group items
  int span = 1;
  int columns = 1;  // radio buttons per line
  bool bold = false;
};

namespace {

const QColor kPureRed(255, 0, 0);

// The service controls, in the order they are revealed with -s. Without -s they stay hidden.
// clang-format off
const char* const kServiceControls[] = {
    "L_AddrEE", "L_DataEECaption", "E_Addr_EE", "E_DataEE", "B_SaveEE", "L_DataEE", "L_Current1",
    "L_tmpShort", "B_ResetPow", "B_IAcc_Corr", "E_IAcc_Corr", "L_IAcc_Corr_Cyr", "L_Current2",
    "CB_Korr", "L_LcdTester", "E_IAcc_CorrKZ", "L_IAcc_CorrKZ_Cyr", "LKZ1", "LKZ_D1", "LKZ2",
    "LKZ_D2", "LKZ_H", "LKZ_Hard", "B_IAcc_CorrKZ", "L_KZRaises", "Label17", "Lb_I_0", "Lb_I_0_Ch",
    "B_I_0Gen", "E_I_0Gen", "Lb_I_0Gen", "B_I_0Ch", "E_I_0Ch", "Lb_I_0Ch", "B_Uakb_korr",
    "E_Uakb_korr", "Lb_Uakb_korr", "B_POW_Korr", "E_POW_Korr", "Lb_POW_Korr", "L_CoffSin",
    "RG_TOR", "B_Overload_Add", "E_Overload_Add", "L_UnderLoad", "B_I_Charge", "E_I_Charge",
    "Lb_I_Charge", "B_Pr_Tr", "CB_Pr_Tr", "CB_Pr_TrNum", "Lb_Pr_Tr", "B_DeathTime", "E_DeathTime",
    "L_DeathTime", "L_tmpShort1", "CB_KZHARD25"};
// clang-format on
// Visible, but usable only with -s.
const char* const kServiceEnabled[] = {"CB_TempOkr", "RG_Culer"};
// Hidden at start in both modes: the decodes show them for the devices that have them (the
// track bar is never shown).
const char* const kHiddenAtStart[] = {"L_txtTch", "L_TChargeCyr", "RG_TempTopBMS", "TB_frec"};

const ParameterField& parameterFor(const char* button) {
  for (const ParameterField& p : kParameterFields)
    if (qstrcmp(p.button, button) == 0) return p;
  Q_UNREACHABLE();
}

bool isUakbKorr(const ParameterField& p) {
  return qstrcmp(p.field, "E_Uakb_korr") == 0;
}

// The grid cells, as the layout below writes them.
SheetCell cellOf(SheetCell::What what, const char* name, const char* text, int span) {
  SheetCell c;
  c.what = what;
  c.name = name;
  c.text = QString::fromUtf8(text);
  c.span = span;
  return c;
}
SheetCell skipCell(int span = 1) {
  return cellOf(SheetCell::Empty, nullptr, "", span);
}
SheetCell captionCell(const char* name, const char* text, int span = 1) {
  return cellOf(SheetCell::Caption, name, text, span);
}
SheetCell valueCell(const char* name, const char* sample, int span = 1) {
  SheetCell c = cellOf(SheetCell::Value, name, "", span);
  c.sample = QString::fromUtf8(sample);
  return c;
}
// What the device is and what it does now: the values read first.
SheetCell strongCell(const char* name, const char* sample, int span = 1) {
  SheetCell c = valueCell(name, sample, span);
  c.bold = true;
  return c;
}
SheetCell buttonCell(const char* name, const char* text, int span = 1) {
  return cellOf(SheetCell::Button, name, text, span);
}
SheetCell checkCell(const char* name, const char* text, int span = 1) {
  return cellOf(SheetCell::Check, name, text, span);
}
SheetCell editCell(const char* name, const char* text = "") {
  return cellOf(SheetCell::Edit, name, text, 1);
}
// A combo box showing `text`: the item of that text, or, when no item has it, the text alone.
SheetCell comboCell(const char* name, const QStringList& items, const char* text) {
  SheetCell c = cellOf(SheetCell::Combo, name, text, 1);
  c.items = items;
  return c;
}
SheetCell radioCell(const char* name, const char* title, const QStringList& items, int columns) {
  SheetCell c = cellOf(SheetCell::Radio, name, title, 1);
  c.items = items;
  c.columns = columns;
  return c;
}
SheetCell trackCell(const char* name) {
  return cellOf(SheetCell::Track, name, "", 1);
}

QColor shadeColor(Shade shade, const QPalette& palette) {
  switch (shade) {
    case Shade::ButtonFace:
      return palette.color(QPalette::Button);
    case Shade::Window:
      return palette.color(QPalette::Base);
    case Shade::Red:
      return kPureRed;
    case Shade::Green:
      return QColor(0, 128, 0);
    case Shade::Orange:
      return QColor(255, 143, 0);
    case Shade::Yellow:
      return QColor(255, 255, 0);
    case Shade::Cream:
      return QColor(255, 251, 240);
  }
  return palette.color(QPalette::Window);
}

void setRole(QWidget* w, QPalette::ColorRole role, const QColor& color) {
  if (w->palette().color(role) == color) return;
  QPalette p = w->palette();
  p.setColor(role, color);
  w->setPalette(p);
}

}  // namespace

MonitorSheet::MonitorSheet(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("MonitorSheet"));
  dialogs = WindowDialogs::standard(this);
  buildLayout();
  L_FieldError->setVisible(false);
  for (const char* name : kHiddenAtStart) control(QLatin1String(name))->setVisible(false);
  for (const char* name : kServiceControls) control(QLatin1String(name))->setVisible(false);
  connectHandlers();
  updateSections();
}

// The sheet as a service engineer reads it: what the device is, at the top; its state with the
// buttons that command it; battery, output and mains, temperatures, the device's options, in
// columns; with -s, short circuits and the raw cell writer beside them, and below them the
// calibration and settings, every row a button, its field and the value the device holds now.
void MonitorSheet::buildLayout() {
  const QStringList fans{"0", "1", "2", "3", "4"};
  const QStringList toroids{"350в", "400в", "11,5в Pro", "11,5в S"};
  const QStringList tempBms{"ТемпТора ON", "BMS", "ТемпТора OFF", "BMS II"};
  const QStringList korr{"0,6", "0,7", "0,8", "0,9", "1", "1,1", "1,2", "1,3", "1,4"};
  const QStringList transistors{"???", "IRF3004", "IRF2804", "IRF3808", "IRF3077"};
  const QStringList counts{"???", "1", "2", "3", "4", "5", "6", "7", "8", "9"};

  GroupBox1 = panel(
      "GroupBox1", QString(),
      {{captionCell("L_VerPlCaption", "Версия Платы:"),
        strongCell("Lb_VerPl", "LCD SIN  Ver 9Low /12 /Net7L -Pro"),
        strongCell("L_hybrid", "HYBRID"), skipCell(), captionCell("L_PlirCaption", "Мощность:"),
        strongCell("Lb_Plir", "Не определена"), buttonCell("B_ResetPow", "АвтоОпределение")},
       {captionCell("L_VerPOCaption", "Версия ПО:"), strongCell("Lb_VerPO", "Ver 31.7"),
        skipCell(2), captionCell("L_UlirCaption", "Напряжение:"),
        strongCell("Lb_Ulir", "Не определено")}});
  auto* groupGrid = static_cast<QGridLayout*>(GroupBox1->layout());
  groupGrid->setColumnStretch(3, 1);
  groupGrid->setColumnMinimumWidth(3, 24);
  groupGrid->setColumnStretch(7, 1);

  PC_Mon = new QTabWidget(this);
  PC_Mon->setObjectName(QStringLiteral("PC_Mon"));
  TS_LIR = new QWidget(PC_Mon);
  TS_LIR->setObjectName(QStringLiteral("TS_LIR"));
  PC_Mon->addTab(TS_LIR, QStringLiteral("LIR LCD"));
  registerControl(QStringLiteral("PC_Mon"), PC_Mon, Kind::Panel);
  registerControl(QStringLiteral("TS_LIR"), TS_LIR, Kind::Panel);

  // The device's state, with every button that commands the device beside it.
  QGroupBox* state = panel(
      "P_State", QString(),
      {{captionCell("Label10", "Режим Работы ЛИР:"),
        strongCell("L_OnOff", "Включен, Пропускаем сеть, Идет поддерживающий заряд"), skipCell(),
        buttonCell("SB_LIROn", "LIR_ON"), buttonCell("SB_ChargeON", "Charge_ON"), skipCell()},
       {skipCell(), strongCell("L_ChargeTon", "До Заряда    999 сек"), skipCell(),
        buttonCell("B_Reset", "Reset"), buttonCell("B_InitEE", "Инициализация"),
        buttonCell("SB_EEPromMap", "Load EEProm")}});
  static_cast<QGridLayout*>(state->layout())->setColumnStretch(2, 1);

  QGroupBox* battery =
      panel("P_Battery", QString(),
            {{captionCell("L_txtTch", "Время заряда:"), valueCell("L_TChargeCyr", "999ч 59мин")},
             {captionCell("Label7", "Напряжение АКБ:"), valueCell("L_UAcc", "99,9 В")},
             {captionCell("Label11", "Напряжение АКБ")},
             {captionCell("Label18", "под нагрузкой:"), valueCell("L_UAccLoad", "102 В")},
             {captionCell("Label8", "Ток АКБ:"), valueCell("L_IAcc", "510 A")},
             {valueCell("L_TypeAKB", "Тип АКБ - Гелевый и AGM", 2)},
             {captionCell("L_UAccChMax", "Окончание Заряда:"), valueCell("LUAccChMax", "102 В")},
             {captionCell("Label30", "II Ступень Заряда:"), valueCell("LUChEnd", "102 В")},
             {captionCell("L_UAccChNom", "Поддерж. Заряд:"), valueCell("LUAccChNom", "102 В")}});

  // Output, mains, temperatures and the inverter's winding offsets.
  QGroupBox* mains = panel(
      "P_Mains", QString(),
      {{captionCell("Label1", "Выход  ЛИР:"), valueCell("Lb_UOUT", "355 В"),
        valueCell("L_frec", "60 Гц")},
       {captionCell("Label6", "Вход Сети:"), valueCell("Lb_UNET", "355 В"), trackCell("TB_frec")},
       {captionCell("Label9", "Ток Сети:"), valueCell("Lb_INET", "-2,5 A", 2)},
       {captionCell("Label19", "Мощность:"), valueCell("Lb_Pow", "25 кВт", 2)},
       {captionCell("LT0", "Температура окр. среды"), valueCell("L_Tokr", "+99/99градС", 2)},
       {captionCell("LT2", "Температура транзисторов"), valueCell("L_Tirf", "+20градС(Нет)", 2)},
       {captionCell("LT1", "Температура транса"), valueCell("L_Ttrans", "+20градС(Нет)", 2)},
       {captionCell("Label20", "Смещение обмоток:", 2), valueCell("L_M_Ht0", "255")},
       {captionCell("Label21", "Смещение для индукт. нагр.:", 2), valueCell("L_QshR", "255")}});

  QGroupBox* device = panel("P_Device", QString(),
                            {{checkCell("CB_TempOkr", "Внешний Датчик")},
                             {radioCell("RG_Culer", "Кол-во Вентиляторов", fans, 5)},
                             {radioCell("RG_TempTopBMS", "TempTopBMS", tempBms, 2)},
                             {radioCell("RG_TOR", "ТОР ( -> Автоопределение)", toroids, 2)}});

  // Short circuits: thresholds and counters.
  QGroupBox* kz = panel("GB_KZ", QStringLiteral("КЗ"),
                        {{valueCell("LKZ1", "КЗ_1 = 255%"), valueCell("LKZ_D1", "255")},
                         {valueCell("LKZ2", "КЗ_2 = 255%"), valueCell("LKZ_D2", "255")},
                         {valueCell("LKZ_H", "КЗ_Hard = 510%"), valueCell("LKZ_Hard", "255")},
                         {checkCell("CB_KZHARD25", "КЗ_Hard_1/4", 2)}},
                        true);
  // Any cell of the device: the watched address, its value, and the raw writer.
  QGroupBox* raw = panel("GB_RawEE", QStringLiteral("EEPROM"),
                         {{captionCell("L_AddrEE", "Адрес EE"), editCell("E_Addr_EE", "0")},
                          {captionCell("L_DataEECaption", "Данные EE"), editCell("E_DataEE")},
                          {buttonCell("B_SaveEE", "SaveEE", 2)},
                          {valueCell("L_DataEE", "255 / 0xFF", 2)}},
                         true);
  auto* cells = new QVBoxLayout;
  cells->setSpacing(6);
  cells->addWidget(kz);
  cells->addWidget(raw);

  // Calibration and settings: each row a button, its field, and the value the device holds.
  QGroupBox* current =
      panel("GB_CurrentCorr", QStringLiteral("Коррекция тока"),
            {{skipCell(2), captionCell("L_Current2", "Текущии")},
             {buttonCell("B_IAcc_Corr", "Коррекция тока"), editCell("E_IAcc_Corr", "1"),
              valueCell("L_IAcc_Corr_Cyr", "1,99")},
             {captionCell("L_LcdTester", "ЖКИ/Тестер"), comboCell("CB_Korr", korr, "Корр")},
             {buttonCell("B_IAcc_CorrKZ", "Коррекция тока КЗ"), editCell("E_IAcc_CorrKZ", "1"),
              valueCell("L_IAcc_CorrKZ_Cyr", "1,99")},
             {captionCell("L_KZRaises", "Увеличивает порог КЗ", 3)}},
            true);
  QGroupBox* calibration =
      panel("GB_Calibration", QStringLiteral("Калибровка"),
            {{valueCell("Lb_I_0", "EE_I_0=255"), valueCell("Lb_I_0_Ch", "EE_I_0_Ch=255", 0),
              skipCell(), captionCell("Label17", "Текущии")},
             {buttonCell("B_I_0Gen", "Коррекция 0 тока АКБ Генерации"), editCell("E_I_0Gen"),
              valueCell("Lb_I_0Gen", "-128")},
             {buttonCell("B_I_0Ch", "Коррекция 0 тока АКБ Заряда"), editCell("E_I_0Ch"),
              valueCell("Lb_I_0Ch", "-128")},
             {buttonCell("B_Uakb_korr", "Коррекция напряжения АКБ"), editCell("E_Uakb_korr"),
              valueCell("Lb_Uakb_korr", "-12,8")},
             {buttonCell("B_POW_Korr", "Корр мощности (стенд/ЖКИ)"), editCell("E_POW_Korr"),
              valueCell("Lb_POW_Korr", "1,99")},
             {buttonCell("B_I_Charge", "Корр тока Заряда (Тестер/ЖКИ)"), editCell("E_I_Charge"),
              valueCell("Lb_I_Charge", "1,99")}},
            true);
  QGroupBox* settings =
      panel("GB_Settings", QStringLiteral("Настройки"),
            {{buttonCell("B_Overload_Add", "Перегрузка + xx%"), editCell("E_Overload_Add", "0"),
              valueCell("L_UnderLoad", "255A")},
             {buttonCell("B_DeathTime", "DeathTime"), editCell("E_DeathTime", "16"),
              valueCell("L_DeathTime", "255")},
             {buttonCell("B_Pr_Tr", "Измерительные Транзисторы:", 3)},
             {comboCell("CB_Pr_Tr", transistors, "IRF3004"), comboCell("CB_Pr_TrNum", counts, "1"),
              valueCell("Lb_Pr_Tr", "(255) IRF3004 x1")},
             {valueCell("L_CoffSin", "CoffSIN=1,4"), captionCell("L_Current1", "Текущии"),
              valueCell("L_tmpShort", "255 / 255 =65535")},
             {skipCell(2), valueCell("L_tmpShort1", "255 / 255 =65535")}},
            true);

  auto* columns = new QHBoxLayout;
  for (QGroupBox* box : {battery, mains, device}) columns->addWidget(box, 0, Qt::AlignTop);
  columns->addLayout(cells);
  columns->setAlignment(cells, Qt::AlignTop);
  columns->addStretch(1);  // a wider window widens nothing but the gap
  auto* service = new QHBoxLayout;
  for (QGroupBox* box : {current, calibration, settings}) service->addWidget(box, 0, Qt::AlignTop);
  service->addStretch(1);

  // Why a field is red and what it takes: the field's button sends nothing meanwhile.
  L_FieldError = new QLabel(TS_LIR);
  L_FieldError->setObjectName(QStringLiteral("L_FieldError"));
  L_FieldError->setTextFormat(Qt::PlainText);
  L_FieldError->setWordWrap(true);
  L_FieldError->setTextInteractionFlags(Qt::TextSelectableByMouse);
  L_FieldError->setMinimumHeight(L_FieldError->fontMetrics().lineSpacing());
  setRole(L_FieldError, QPalette::WindowText, kPureRed);

  auto* page = new QVBoxLayout(TS_LIR);
  page->setContentsMargins(6, 6, 6, 6);
  page->setSpacing(6);
  page->addWidget(state);
  page->addLayout(columns);
  page->addLayout(service);
  page->addWidget(L_FieldError);
  page->addStretch();

  auto* sheet = new QVBoxLayout(this);
  sheet->setContentsMargins(0, 0, 0, 0);
  sheet->setSpacing(6);
  sheet->addWidget(GroupBox1);
  sheet->addWidget(PC_Mon);

  E_Addr_EE = find<QLineEdit>("E_Addr_EE");
  E_DataEE = find<QLineEdit>("E_DataEE");
  L_DataEE = find<QLabel>("L_DataEE");
  CB_Korr = find<QComboBox>("CB_Korr");
  CB_Korr->setToolTip(QStringLiteral("Общая Коррекция"));
  CB_Pr_Tr = find<QComboBox>("CB_Pr_Tr");
  CB_Pr_TrNum = find<QComboBox>("CB_Pr_TrNum");
  TB_frec = find<QSlider>("TB_frec");
  // Room for the caption the decode gives the button on devices that correct in volts.
  auto* uakb = find<QPushButton>("B_Uakb_korr");
  uakb->setMinimumWidth(
      uakb->fontMetrics().horizontalAdvance(QStringLiteral("Коррекция напряжения АКБ в B")) +
      uakb->sizeHint().width() - uakb->fontMetrics().horizontalAdvance(uakb->text()));
}

QGroupBox* MonitorSheet::panel(const char* name, const QString& title,
                               std::initializer_list<std::initializer_list<SheetCell>> rows,
                               bool section) {
  auto* box = new QGroupBox(title, this);
  box->setObjectName(QLatin1String(name));
  registerControl(box->objectName(), box, Kind::Panel);
  auto* grid = new QGridLayout(box);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(3);
  grid->setContentsMargins(6, title.isEmpty() ? 5 : 3, 6, 5);
  Section members{box, {}};
  int row = 0;
  for (const auto& cells : rows) {
    int column = 0;
    QHBoxLayout* shared = nullptr;  // a cell that holds more than one control
    for (auto cell = cells.begin(); cell != cells.end(); ++cell) {
      QWidget* w = cell->what == SheetCell::Empty ? nullptr : make(*cell, box);
      if (w) members.members << w;
      const bool joined = cell + 1 != cells.end() && (cell + 1)->span == 0;
      if (cell->span == 0) {
        shared->addWidget(w);
        continue;
      }
      if (joined) {
        shared = new QHBoxLayout;
        shared->setSpacing(12);
        if (w) shared->addWidget(w);
        grid->addLayout(shared, row, column, 1, cell->span);
      } else if (w) {
        grid->addWidget(w, row, column, 1, cell->span);
      }
      column += cell->span;
    }
    ++row;
  }
  if (section) sections_ << members;
  return box;
}

QWidget* MonitorSheet::make(const SheetCell& cell, QWidget* parent) {
  const QString name = QLatin1String(cell.name);
  switch (cell.what) {
    case SheetCell::Caption:
    case SheetCell::Value: {
      auto* label = new QLabel(cell.text, parent);
      label->setTextFormat(Qt::PlainText);
      if (cell.bold) {
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
      }
      if (!cell.sample.isEmpty())
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(cell.sample) + 4);
      registerControl(name, label, Kind::Label);
      return label;
    }
    case SheetCell::Button: {
      auto* button = new QPushButton(cell.text, parent);
      button->setAutoDefault(false);
      registerControl(name, button, Kind::Button);
      return button;
    }
    case SheetCell::Check: {
      auto* box = new QCheckBox(cell.text, parent);
      registerControl(name, box, Kind::CheckBox);
      return box;
    }
    case SheetCell::Edit: {
      auto* edit = new QLineEdit(cell.text, parent);
      edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("-000,00")) + 10);
      registerControl(name, edit, Kind::Edit);
      return edit;
    }
    case SheetCell::Combo: {
      auto* combo = new QComboBox(parent);
      combo->addItems(cell.items);
      combo->setCurrentIndex(cell.items.indexOf(cell.text));
      if (combo->currentIndex() < 0) combo->setPlaceholderText(cell.text);
      registerControl(name, combo, Kind::Combo);
      return combo;
    }
    case SheetCell::Radio: {
      auto* box = new QGroupBox(cell.text, parent);
      auto* grid = new QGridLayout(box);
      grid->setContentsMargins(8, 2, 8, 4);
      grid->setHorizontalSpacing(8);
      grid->setVerticalSpacing(2);
      auto* group = new QButtonGroup(box);
      for (int i = 0; i < cell.items.size(); ++i) {
        auto* radio = new QRadioButton(cell.items[i], box);
        radio->setObjectName(name + QLatin1Char('_') + QString::number(i));
        group->addButton(radio, i);
        grid->addWidget(radio, i / cell.columns, i % cell.columns);
      }
      registerControl(name, box, Kind::RadioGroup, group);
      return box;
    }
    case SheetCell::Track: {
      auto* track = new QSlider(Qt::Horizontal, parent);
      track->setRange(165, 250);
      track->setSingleStep(5);
      track->setTickInterval(5);
      track->setTickPosition(QSlider::TicksBelow);
      track->setValue(200);
      registerControl(name, track, Kind::TrackBar);
      return track;
    }
    case SheetCell::Empty:
      break;
  }
  return nullptr;
}

void MonitorSheet::registerControl(const QString& name, QWidget* widget, Kind kind,
                                   QButtonGroup* radios) {
  Q_ASSERT(!controls_.contains(name));
  widget->setObjectName(name);
  controls_.insert(name, Entry{widget, kind, radios});
  names_ << name;
}

QWidget* MonitorSheet::control(const QString& name) const {
  const auto it = controls_.constFind(name);
  return it == controls_.cend() ? nullptr : it->widget;
}

template <typename T>
T* MonitorSheet::find(const char* name) const {
  return static_cast<T*>(control(QLatin1String(name)));
}

QLineEdit* MonitorSheet::field(const char* name) const {
  return find<QLineEdit>(name);
}

void MonitorSheet::connectHandlers() {
  using Handler = void (MonitorSheet::*)();
  const std::pair<const char*, Handler> clicks[] = {
      {"SB_LIROn", &MonitorSheet::SB_LIROnClick},
      {"SB_ChargeON", &MonitorSheet::SB_ChargeONClick},
      {"SB_EEPromMap", &MonitorSheet::SB_EEPromMapClick},
      {"B_Reset", &MonitorSheet::B_ResetClick},
      {"B_InitEE", &MonitorSheet::B_InitEEClick},
      {"B_I_0Gen", &MonitorSheet::B_I_0GenClick},
      {"B_I_0Ch", &MonitorSheet::B_I_0ChClick},
      {"B_Uakb_korr", &MonitorSheet::B_Uakb_korrClick},
      {"B_DeathTime", &MonitorSheet::B_DeathTimeClick},
      {"B_POW_Korr", &MonitorSheet::B_POW_KorrClick},
      {"B_I_Charge", &MonitorSheet::B_I_ChargeClick},
      {"B_Overload_Add", &MonitorSheet::B_Overload_AddClick},
      {"B_IAcc_Corr", &MonitorSheet::B_IAcc_CorrClick},
      {"B_IAcc_CorrKZ", &MonitorSheet::B_IAcc_CorrKZClick},
      {"B_ResetPow", &MonitorSheet::B_ResetPowClick},
      {"B_Pr_Tr", &MonitorSheet::B_Pr_TrClick},
      {"B_SaveEE", &MonitorSheet::B_SaveEEClick}};
  for (auto [name, handler] : clicks)
    connect(find<QAbstractButton>(name), &QAbstractButton::clicked, this, handler);

  // Check boxes and radio groups react to every change, also one made by a decode: the guard
  // is what keeps a decode from writing.
  connect(find<QCheckBox>("CB_TempOkr"), &QCheckBox::toggled, this, &MonitorSheet::CB_TempOkrClick);
  connect(find<QCheckBox>("CB_KZHARD25"), &QCheckBox::toggled, this,
          &MonitorSheet::CB_KZHARD25Click);
  const std::pair<const char*, Handler> radios[] = {
      {"RG_Culer", &MonitorSheet::RG_CulerClick},
      {"RG_TOR", &MonitorSheet::RG_TORClick},
      {"RG_TempTopBMS", &MonitorSheet::RG_TempTopBMSClick}};
  for (auto [name, handler] : radios)
    connect(controls_.value(QLatin1String(name)).radios, &QButtonGroup::idToggled, this,
            [this, handler](int, bool checked) {
              if (checked) (this->*handler)();
            });
  connect(TB_frec, &QSlider::valueChanged, this, &MonitorSheet::TB_frecChange);

  connect(CB_Korr, &QComboBox::activated, this, &MonitorSheet::CB_KorrChange);
  connect(CB_Pr_Tr, &QComboBox::currentIndexChanged, this, &MonitorSheet::ComputePrTr);
  connect(CB_Pr_TrNum, &QComboBox::currentIndexChanged, this, &MonitorSheet::ComputePrTr);

  const std::pair<const char*, Handler> fields[] = {
      {"E_I_0Gen", &MonitorSheet::E_I_0GenChange},
      {"E_I_0Ch", &MonitorSheet::E_I_0ChChange},
      {"E_Uakb_korr", &MonitorSheet::E_Uakb_korrChange},
      {"E_DeathTime", &MonitorSheet::E_DeathTimeChange},
      {"E_POW_Korr", &MonitorSheet::E_POW_KorrChange},
      {"E_I_Charge", &MonitorSheet::E_I_ChargeChange},
      {"E_Overload_Add", &MonitorSheet::E_Overload_AddChange},
      {"E_IAcc_Corr", &MonitorSheet::E_IAcc_CorrChange},
      {"E_IAcc_CorrKZ", &MonitorSheet::E_IAcc_CorrKZChange},
      {"E_Addr_EE", &MonitorSheet::E_Addr_EEChange},
      {"E_DataEE", &MonitorSheet::E_DataEEChange}};
  for (auto [name, handler] : fields) connect(field(name), &QLineEdit::textChanged, this, handler);
}

void MonitorSheet::applyServiceMode(bool serviceMode) {
  for (const char* name : kServiceControls) control(QLatin1String(name))->setVisible(serviceMode);
  L_FieldError->setVisible(serviceMode);
  for (const char* name : kServiceEnabled) control(QLatin1String(name))->setEnabled(serviceMode);
  updateSections();
}

// A group box is shown while any of its controls is: a device whose decode hides a whole group
// leaves no empty frame behind.
void MonitorSheet::updateSections() {
  for (const Section& s : sections_) {
    bool any = false;
    for (QWidget* w : s.members) any = any || !w->isHidden();
    if (s.box->isHidden() == any) s.box->setVisible(any);
  }
}

void MonitorSheet::applyView(const MonitorView& view) {
  const bool guard = UpdateGuard;
  UpdateGuard = true;
  bool visibility = false;
  for (const auto& [name, v] : view.controls) {
    const auto it = controls_.constFind(name);
    if (it == controls_.cend()) {
#ifndef QT_NO_DEBUG
      if (!warnedNames_.contains(name)) {
        warnedNames_.insert(name);
        qWarning("MonitorSheet: no control named %s", qPrintable(name));
      }
#endif
      continue;
    }
    apply(*it, v);
    visibility = visibility || v.visible.has_value();
  }
  if (visibility) updateSections();
  UpdateGuard = guard;
}

void MonitorSheet::apply(const Entry& entry, const ControlView& v) {
  QWidget* w = entry.widget;
  if (v.text) {
    switch (entry.kind) {
      case Kind::Label: {
        auto* label = static_cast<QLabel*>(w);
        if (label->text() != *v.text) label->setText(*v.text);
        break;
      }
      case Kind::Button:
      case Kind::CheckBox: {
        auto* button = static_cast<QAbstractButton*>(w);
        if (button->text() != *v.text) button->setText(*v.text);
        break;
      }
      case Kind::Edit: {
        auto* edit = static_cast<QLineEdit*>(w);
        if (edit->text() != *v.text) edit->setText(*v.text);
        break;
      }
      case Kind::Combo:
        static_cast<QComboBox*>(w)->setCurrentText(*v.text);
        break;
      case Kind::RadioGroup:
      case Kind::Panel:
        if (auto* box = qobject_cast<QGroupBox*>(w)) box->setTitle(*v.text);
        break;
      case Kind::TrackBar:
        break;
    }
  }
  if (v.checked)
    if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setChecked(*v.checked);
  if (v.itemIndex) {
    const int index = *v.itemIndex;
    if (entry.kind == Kind::RadioGroup) {
      // An index the group has no item for shows no choice rather than a wrong one.
      if (QAbstractButton* button = entry.radios->button(index)) {
        button->setChecked(true);
      } else if (QAbstractButton* checked = entry.radios->checkedButton()) {
        entry.radios->setExclusive(false);
        checked->setChecked(false);
        entry.radios->setExclusive(true);
      }
    } else if (entry.kind == Kind::Combo) {
      auto* combo = static_cast<QComboBox*>(w);
      combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    }
  }
  if (v.position && entry.kind == Kind::TrackBar) static_cast<QSlider*>(w)->setValue(*v.position);
  if (v.background) {
    const QColor color = shadeColor(*v.background, palette());
    if (entry.kind == Kind::Edit || entry.kind == Kind::Combo) {
      setRole(w, QPalette::Base, color);
    } else {
      w->setAutoFillBackground(true);
      setRole(w, QPalette::Window, color);
    }
  }
  if (v.fontColor) {
    // Text in a system colour is text in the normal colour.
    const bool normal = *v.fontColor == Shade::ButtonFace || *v.fontColor == Shade::Window;
    const QPalette::ColorRole role = entry.kind == Kind::Edit     ? QPalette::Text
                                     : entry.kind == Kind::Button ? QPalette::ButtonText
                                                                  : QPalette::WindowText;
    setRole(w, role, normal ? palette().color(role) : shadeColor(*v.fontColor, palette()));
  }
  if (v.enabled) w->setEnabled(*v.enabled);
  if (v.visible) w->setVisible(*v.visible);
}

void MonitorSheet::setDecodeState(const DecodeContext& context, const DeviceImages& images) {
  const NumberKind before = uakbKorrKind(generation_, firmware_);
  generation_ = context.BoardGeneration;
  firmware_ = context.FirmwareVersion;
  lirOn_ = context.LirOn;
  chargeOn_ = context.ChargeOn;
  eeprom32_ = images.EepromImage[32];
  eeprom111_ = images.EepromImage[111];
  // A device of another version reads the battery-voltage correction the other way. A field
  // never typed in keeps its normal colour, so its button still says why it cannot convert.
  if (uakbKorrKind(generation_, firmware_) != before && !field("E_Uakb_korr")->text().isEmpty())
    E_Uakb_korrChange();
}

// Field checks.

bool MonitorSheet::isRed(const QLineEdit* f) const {
  return f->palette().color(QPalette::Base) == kPureRed;
}

void MonitorSheet::markField(QLineEdit* f, bool acceptable, const QString& refusal) {
  if (acceptable) {
    f->setPalette(QPalette());  // back to the normal colours
  } else {
    setRole(f, QPalette::Base, kPureRed);
  }
  f->setToolTip(refusal);
  showRefusal(f, refusal);
}

// The label speaks of the control used last; a control put right takes its words back.
void MonitorSheet::showRefusal(QWidget* f, const QString& refusal) {
  if (refusal.isEmpty() && refusalField_ != f) return;
  refusalField_ = refusal.isEmpty() ? nullptr : f;
  L_FieldError->setText(refusal);
}

void MonitorSheet::checkParameterField(const char* button) {
  const ParameterField& p = parameterFor(button);
  const bool uakb = isUakbKorr(p);
  const NumberKind kind = uakb ? uakbKorrKind(generation_, firmware_) : p.kind;
  const ByteRule rule = uakb ? uakbKorrRule(generation_, firmware_) : p.rule;
  QLineEdit* f = field(p.field);
  markField(f, isAcceptable(f->text(), kind, rule, p.sign),
            fieldRefusal(QString::fromUtf8(p.caption), f->text(), kind, rule, p.sign));
}

void MonitorSheet::E_I_0GenChange() {
  checkParameterField("B_I_0Gen");
}
void MonitorSheet::E_I_0ChChange() {
  checkParameterField("B_I_0Ch");
}
void MonitorSheet::E_Uakb_korrChange() {
  checkParameterField("B_Uakb_korr");
}
void MonitorSheet::E_DeathTimeChange() {
  checkParameterField("B_DeathTime");
}
void MonitorSheet::E_POW_KorrChange() {
  checkParameterField("B_POW_Korr");
}
void MonitorSheet::E_I_ChargeChange() {
  checkParameterField("B_I_Charge");
}
void MonitorSheet::E_Overload_AddChange() {
  checkParameterField("B_Overload_Add");
}
void MonitorSheet::E_IAcc_CorrChange() {
  checkParameterField("B_IAcc_Corr");
}
void MonitorSheet::E_IAcc_CorrKZChange() {
  checkParameterField("B_IAcc_CorrKZ");
}

void MonitorSheet::E_Addr_EEChange() {
  markField(E_Addr_EE, isAcceptableAddress(E_Addr_EE->text()), {});
  E_DataEE->clear();
  emit watchedAddressChanged(E_Addr_EE->text());
}

void MonitorSheet::E_DataEEChange() {
  const QString text = E_DataEE->text();
  markField(E_DataEE, isAcceptableData(text),
            fieldRefusal(kRawDataCaption, text, NumberKind::Integer, ByteRule::Plain,
                         CellSign::Unsigned));
}

// Commands.

void MonitorSheet::SB_LIROnClick() {
  emit commandRequested(lirCommand(lirOn_));
}
void MonitorSheet::SB_ChargeONClick() {
  emit commandRequested(chargeCommand(chargeOn_));
}
void MonitorSheet::SB_EEPromMapClick() {
  emit dumpRequested();
}
void MonitorSheet::B_ResetClick() {
  emit commandRequested(DeviceCommand::Reset);
}
// The whole EEPROM back to the factory's values: the window asks the user first.
void MonitorSheet::B_InitEEClick() {
  emit initEepromRequested();
}

// Parameter writes.

void MonitorSheet::writeParameter(const char* button) {
  const ParameterField& p = parameterFor(button);
  QLineEdit* f = field(p.field);
  if (isRed(f)) {
    showRefusal(f, f->toolTip());  // said again: the click sends nothing
    return;
  }
  const bool uakb = isUakbKorr(p);
  const FieldByte byte =
      convertField(f->text(), uakb ? uakbKorrKind(generation_, firmware_) : p.kind,
                   uakb ? uakbKorrRule(generation_, firmware_) : p.rule, p.sign);
  if (!byte.message.isEmpty()) dialogs.error(byte.message);
  if (byte.value) emit eepromWritesRequested({EepromWrite{p.address, *byte.value}});
}

void MonitorSheet::B_I_0GenClick() {
  writeParameter("B_I_0Gen");
}
void MonitorSheet::B_I_0ChClick() {
  writeParameter("B_I_0Ch");
}
void MonitorSheet::B_Uakb_korrClick() {
  writeParameter("B_Uakb_korr");
}
void MonitorSheet::B_DeathTimeClick() {
  writeParameter("B_DeathTime");
}
void MonitorSheet::B_POW_KorrClick() {
  writeParameter("B_POW_Korr");
}
void MonitorSheet::B_I_ChargeClick() {
  writeParameter("B_I_Charge");
}
void MonitorSheet::B_Overload_AddClick() {
  writeParameter("B_Overload_Add");
}
void MonitorSheet::B_IAcc_CorrClick() {
  writeParameter("B_IAcc_Corr");
}
void MonitorSheet::B_IAcc_CorrKZClick() {
  writeParameter("B_IAcc_CorrKZ");
}

void MonitorSheet::B_ResetPowClick() {
  emit eepromWritesRequested({EepromWrite{SettingsAddress::PowerModel, 255}});
}

// Writes the value of the transistors shown, the second copy first. A choice without a value
// ("???", or a type this device does not store directly) writes nothing and says so: the value
// kept from an earlier choice, or from another device, is not what the window shows.
void MonitorSheet::B_Pr_TrClick() {
  ComputePrTr();
  if (!prTrValueFor(CB_Pr_Tr->currentIndex(), CB_Pr_TrNum->currentIndex(), eeprom32_)) {
    showRefusal(CB_Pr_Tr, prTrRefusal(CB_Pr_Tr->currentText(), eeprom32_));
    return;
  }
  emit eepromWritesRequested({EepromWrite{SettingsAddress::PrTrCopy, PrTrValue},
                              EepromWrite{SettingsAddress::PrTr, PrTrValue}});
}

void MonitorSheet::ComputePrTr() {
  const int type = CB_Pr_Tr->currentIndex(), count = CB_Pr_TrNum->currentIndex();
  PrTrValue = lir2::ComputePrTr(type, count, eeprom32_, PrTrValue);
  if (prTrValueFor(type, count, eeprom32_)) showRefusal(CB_Pr_Tr, {});
}

void MonitorSheet::CB_KorrChange(int index) {
  if (index < 0) return;
  const QString text = CB_Korr->itemText(index);
  find<QLineEdit>("E_IAcc_Corr")->setText(text);
  find<QLineEdit>("E_IAcc_CorrKZ")->setText(text);
}

void MonitorSheet::B_SaveEEClick() {
  if (isRed(E_DataEE)) showRefusal(E_DataEE, E_DataEE->toolTip());
  if (isRed(E_DataEE) || isRed(E_Addr_EE)) return;
  const RawWritePlan plan = planRawWrite(E_Addr_EE->text(), E_DataEE->text());
  if (!plan.refusal.isEmpty()) {
    showRefusal(E_DataEE, plan.refusal);
    return;
  }
  if (!plan.message.isEmpty()) {
    dialogs.error(plan.message);
    return;
  }
  if (plan.addressText) E_Addr_EE->setText(*plan.addressText);  // which empties E_DataEE
  if (plan.write) emit eepromWritesRequested({*plan.write});
}

// Check boxes, radio groups and the track bar: a decode setting them writes nothing.

void MonitorSheet::writeIfUnguarded(quint16 address, int value) {
  if (UpdateGuard || value < 0) return;
  emit eepromWritesRequested({EepromWrite{address, quint8(value)}});
}

void MonitorSheet::CB_TempOkrClick() {
  if (UpdateGuard) return;
  const bool checked = find<QCheckBox>("CB_TempOkr")->isChecked();
  emit tempOkrChanged(checked);
  writeIfUnguarded(SettingsAddress::TempOkr, checked ? 1 : 0);
}

void MonitorSheet::CB_KZHARD25Click() {
  writeIfUnguarded(SettingsAddress::KzHard,
                   kzHardQuarterByte(find<QCheckBox>("CB_KZHARD25")->isChecked(), eeprom111_));
}

void MonitorSheet::RG_CulerClick() {
  writeIfUnguarded(SettingsAddress::Fans,
                   controls_.value(QStringLiteral("RG_Culer")).radios->checkedId());
}
void MonitorSheet::RG_TORClick() {
  writeIfUnguarded(SettingsAddress::Toroid,
                   controls_.value(QStringLiteral("RG_TOR")).radios->checkedId());
}
void MonitorSheet::RG_TempTopBMSClick() {
  writeIfUnguarded(SettingsAddress::TempTopBms,
                   controls_.value(QStringLiteral("RG_TempTopBMS")).radios->checkedId());
}

void MonitorSheet::TB_frecChange() {
  writeIfUnguarded(SettingsAddress::OutputPeriod, TB_frec->value());
}

void MonitorSheet::showWatchedValue(const QString& text) {
  L_DataEE->setText(text);
}

}  // namespace lir2
