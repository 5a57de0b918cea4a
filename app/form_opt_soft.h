#pragma once

#include <QDialog>

#include "serial/traffic_log.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QPushButton;

// "Опции Soft-а": how much of the traffic the port logs show, and (service only) whether an
// upload keeps the device's settings. The switches start at their defaults on every run.
class TFormOptSoft : public QDialog, public LogSwitches {
  Q_OBJECT
 public:
  explicit TFormOptSoft(bool serviceMode, QWidget* parent = nullptr);

  bool logReads() const override;
  bool logWrites() const override;
  // Upload mode: 'l' keeps the settings, 'f' does not.
  bool keepSettings() const;
  void setOptionsAction(QAction* action) { optionsAction_ = action; }

  QCheckBox* CheckBoxRead = nullptr;
  QCheckBox* CheckBoxWrite = nullptr;
  QCheckBox* CB_Reserv = nullptr;
  QGroupBox* GroupBoxProg = nullptr;
  QPushButton* OkButton = nullptr;

 private:
  void OkClick();

  QAction* optionsAction_ = nullptr;
};
