#pragma once

#include <QDialog>

#include <atomic>

#include "serial/config_file.h"
#include "serial/port_control.h"
#include "serial/port_list.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QVBoxLayout;
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
  };

  TFormOptHard(StatusBars& status, Setup setup, QWidget* parent = nullptr);

  // The settings as they stand now, for the next run.
  PortSettings settings() const { return settings_; }
  // The list as shown, each entry with what opens it.
  const QList<PortEntry>& entries() const { return entries_; }
  // "Вкл. Звуки"; safe to read from any thread.
  bool soundsOn() const { return sounds_.load(std::memory_order_relaxed); }
  void setOptionsAction(QAction* action) { optionsAction_ = action; }
  const ConfigFile& config() const { return config_; }
  QStringList items() const;
  int selectedIndex() const;

  QGroupBox* RadioGroupCOM = nullptr;
  QButtonGroup* RadioGroupCOMButtons = nullptr;
  QComboBox* ComboBoxRate = nullptr;
  QCheckBox* CheckBoxSound = nullptr;
  QPushButton* Ok = nullptr;
  bool OptionsReady = false;

 protected:
  // Each port's adapter as its tooltip, as the system knows it when the dialog opens.
  void showEvent(QShowEvent* event) override;

 private:
  void RadioGroupCOMClick(int index);
  void ComboBoxRateChange(int index);
  void OkClick();
  void saveConfig();

  StatusBars& status_;
  PortSettings settings_;
  QList<PortEntry> entries_;
  std::atomic<bool> sounds_{true};
  ConfigFile config_;
  QAction* optionsAction_ = nullptr;
};
