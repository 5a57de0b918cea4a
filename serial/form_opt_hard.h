#pragma once

#include <QDialog>

#include "serial/config_file.h"
#include "serial/port_control.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QVBoxLayout;
class StatusBars;

// "Опции Железа": which port, at which rate, and whether failures make a sound. Owns the port
// state and remembers the chosen port in the configuration file.
class TFormOptHard : public QDialog {
  Q_OBJECT
 public:
  struct Setup {
    QList<PortEntry> systemPorts;   // as discovered, in any order
    QList<PortEntry> extraEntries;  // listed after the system ports, in this order
    QString preselect;              // an entry chosen regardless of the file (a path named
                                    // on the command line)
    QString configPath = QStringLiteral("data/config.txt");
    PortControl::DeviceFactory factory;
  };

  TFormOptHard(StatusBars& status, Setup setup, QWidget* parent = nullptr);

  PortControl& port() { return port_; }
  bool soundsOn() const;
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

 private:
  void RadioGroupCOMClick(int index);
  void ComboBoxRateChange(int index);
  void OkClick();
  void saveConfig();

  StatusBars& status_;
  PortControl port_;
  ConfigFile config_;
  QAction* optionsAction_ = nullptr;
};
