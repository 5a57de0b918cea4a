#pragma once

#include <QDialog>

#include <atomic>
#include <functional>

#include "serial/config_file.h"
#include "serial/port_control.h"
#include "serial/port_list.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;
class QVBoxLayout;

namespace lir2 {

class StatusBars;

// "Опции Железа": which port, at which rate, and whether failures make a sound. It only edits the
// port settings (the device line takes a copy of them when a run starts) and remembers the chosen
// port in the configuration file.
class TFormOptHard : public QDialog {
  Q_OBJECT
 public:
  struct Setup {
    QList<PortEntry> systemPorts;   // as discovered, in any order
    QList<PortEntry> extraEntries;  // listed after the system ports, in this order
    QString preselect;              // an entry chosen for this run regardless of the file (a
                                    // path named on the command line, the simulated device);
                                    // it is not remembered unless the user chooses it here
    QString configPath = QStringLiteral("data/config.txt");
    // Looks for the machine's ports again: when the dialog opens, on "Обновить", and every
    // kRescanMs while it is open, so an adapter plugged in or pulled meanwhile shows. Without
    // it the list stays as it was built.
    std::function<QList<PortEntry>()> discover;
  };

  static constexpr int kRescanMs = 1500;

  TFormOptHard(StatusBars& status, Setup setup, QWidget* parent = nullptr);

  // The settings as they stand now, for the next run.
  PortSettings settings() const { return settings_; }
  // The list as shown, each entry with what opens it.
  const QList<PortEntry>& entries() const { return entries_; }
  // "Вкл. Звуки"; safe to read from any thread.
  bool soundsOn() const { return sounds_.load(std::memory_order_relaxed); }
  void setOptionsAction(QAction* action) { optionsAction_ = action; }
  const ConfigFile& config() const { return config_; }
  // The names listed, in order (the buttons add what is known of each adapter).
  QStringList items() const;
  int selectedIndex() const;
  // Looks for the machine's ports again and shows what changed; the chosen port stays chosen
  // by its name, also while it is unplugged.
  void refreshPorts();

  bool OptionsReady = false;

 signals:
  // The list changed: the device line opens ports by these entries.
  void entriesChanged(const QList<PortEntry>& entries);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QGroupBox* RadioGroupCOM = nullptr;
  QButtonGroup* RadioGroupCOMButtons = nullptr;
  QComboBox* ComboBoxRate = nullptr;
  QCheckBox* CheckBoxSound = nullptr;
  QPushButton* Ok = nullptr;
  QPushButton* B_Refresh = nullptr;
  // What the last look for ports found new or missing.
  QLabel* L_PortsChanged = nullptr;

  void buildList();
  void RadioGroupCOMClick(int index);
  void ComboBoxRateChange(int index);
  void OkClick();
  void saveConfig();

  StatusBars& status_;
  PortSettings settings_;
  QList<PortEntry> entries_;
  QStringList names_;  // as listed: the entries' names, or "Нет COM"
  QList<PortEntry> extraEntries_;
  std::function<QList<PortEntry>()> discover_;
  QList<PortEntry> systemPorts_;  // as last discovered
  QString away_;                  // the chosen port, while it is not there
  QWidget* list_ = nullptr;
  QTimer* rescan_ = nullptr;
  std::atomic<bool> sounds_{true};
  ConfigFile config_;
  QAction* optionsAction_ = nullptr;
};

}  // namespace lir2
