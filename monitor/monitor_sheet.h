#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QWidget>

#include <functional>

#include "monitor/settings_writes.h"
#include "widgets/window_dialogs.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSlider;
class QTabWidget;

namespace lir2 {

struct DecodeContext;
struct DeviceImages;
class MonitorView;
struct ControlView;
struct SheetCell;

// The monitor window's controls: the device's identification at the top, then the page with
// its state, measurements and settings, and the service controls that change the device. The
// sheet shows what a decode says (applyView) and turns the user's clicks into requests (its
// signals); it never talks to the device itself. Every control carries its name as its object
// name, which is also the name a decode's view uses for it.
class MonitorSheet : public QWidget {
  Q_OBJECT
 public:
  explicit MonitorSheet(QWidget* parent = nullptr);

  // Shows the controls meant for service engineers (with -s) or keeps them hidden. Called once,
  // after creation; a decode may hide some of them again for the device at hand.
  void applyServiceMode(bool serviceMode);
  // Sets every control the view names; names the sheet does not have are ignored. Raises
  // UpdateGuard meanwhile, so that nothing set here writes to the device.
  void applyView(const MonitorView& view);
  // What the handlers need of the last decode: the versions that choose how E_Uakb_korr reads,
  // the device's on and charging state for the two switches, EEPROM 32 for the transistor value
  // and EEPROM 111 for the quarter switch.
  void setDecodeState(const DecodeContext& context, const DeviceImages& images);

  // The value read at the watched address ("Адрес EE"), as its label shows it.
  void showWatchedValue(const QString& text);
  // The control of that name, or nullptr.
  QWidget* control(const QString& name) const;
  // Every control's name, in the order of creation.
  const QStringList& controlNames() const { return names_; }

  // Raised while a decode sets the controls: check boxes, radio groups and the track bar then
  // write nothing.
  bool UpdateGuard = false;
  // The measuring-transistor value chosen with the two transistor combo boxes.
  quint8 PrTrValue = 0;
  // The conversion errors it shows (the framework's error box); tests answer them.
  WindowDialogs dialogs;

  // Handlers, named after control and event.
  void SB_LIROnClick();
  void SB_ChargeONClick();
  void SB_EEPromMapClick();
  void B_ResetClick();
  void B_InitEEClick();
  void B_I_0GenClick();
  void B_I_0ChClick();
  void B_Uakb_korrClick();
  void B_DeathTimeClick();
  void B_POW_KorrClick();
  void B_I_ChargeClick();
  void B_Overload_AddClick();
  void B_IAcc_CorrClick();
  void B_IAcc_CorrKZClick();
  void B_ResetPowClick();
  void B_Pr_TrClick();
  void B_SaveEEClick();
  void CB_TempOkrClick();
  void CB_KZHARD25Click();
  void RG_CulerClick();
  void RG_TORClick();
  void RG_TempTopBMSClick();
  void TB_frecChange();
  void CB_KorrChange(int index);
  void ComputePrTr();
  // Field checks, on every change of the field's text.
  void E_I_0GenChange();
  void E_I_0ChChange();
  void E_Uakb_korrChange();
  void E_DeathTimeChange();
  void E_POW_KorrChange();
  void E_I_ChargeChange();
  void E_Overload_AddChange();
  void E_IAcc_CorrChange();
  void E_IAcc_CorrKZChange();
  void E_Addr_EEChange();
  void E_DataEEChange();

 signals:
  void commandRequested(quint8 code);
  // "Инициализация": the whole EEPROM to the factory's values, once the user agrees.
  void initEepromRequested();
  // Runs in order; the device line stops at the first failure.
  void eepromWritesRequested(const QList<EepromWrite>& writes);
  void tempOkrChanged(bool checked);
  void dumpRequested();
  void watchedAddressChanged(const QString& text);

 private:
  QGroupBox* GroupBox1 = nullptr;
  QTabWidget* PC_Mon = nullptr;
  QWidget* TS_LIR = nullptr;
  QLineEdit* E_Addr_EE = nullptr;
  QLineEdit* E_DataEE = nullptr;
  QLabel* L_DataEE = nullptr;
  QComboBox* CB_Korr = nullptr;
  QComboBox* CB_Pr_Tr = nullptr;
  QComboBox* CB_Pr_TrNum = nullptr;
  QSlider* TB_frec = nullptr;
  // Why the field typed in last is red, and what it takes, or why a click wrote nothing (with
  // -s, where the fields are).
  QLabel* L_FieldError = nullptr;

  enum class Kind { Label, Button, CheckBox, Edit, Combo, RadioGroup, TrackBar, Panel };
  struct Entry {
    QWidget* widget = nullptr;
    Kind kind = Kind::Label;
    QButtonGroup* radios = nullptr;
  };
  struct Section {
    QWidget* box;
    QList<QWidget*> members;
  };

  void buildLayout();
  QWidget* make(const SheetCell& cell, QWidget* parent);
  QGroupBox* panel(const char* name, const QString& title,
                   std::initializer_list<std::initializer_list<SheetCell>> rows,
                   bool section = false);
  void apply(const Entry& entry, const ControlView& view);
  void registerControl(const QString& name, QWidget* widget, Kind kind,
                       QButtonGroup* radios = nullptr);
  void connectHandlers();
  void updateSections();

  template <typename T>
  T* find(const char* name) const;
  QLineEdit* field(const char* name) const;
  bool isRed(const QLineEdit* field) const;
  void markField(QLineEdit* field, bool acceptable, const QString& refusal);
  void showRefusal(QWidget* control, const QString& refusal);
  void checkParameterField(const char* button);
  void writeParameter(const char* button);
  void writeIfUnguarded(quint16 address, int value);

  QHash<QString, Entry> controls_;
  QStringList names_;
  QList<Section> sections_;
  QSet<QString> warnedNames_;
  QWidget* refusalField_ = nullptr;  // the control L_FieldError speaks of
  quint8 generation_ = 0;
  quint16 firmware_ = 0;
  bool lirOn_ = false;
  bool chargeOn_ = false;
  quint8 eeprom32_ = 0;
  quint8 eeprom111_ = 0;
};

}  // namespace lir2
