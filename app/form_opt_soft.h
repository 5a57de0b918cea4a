#pragma once

#include <QDialog>

#include "serial/traffic_log.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QPushButton;

namespace lir2 {

// "Опции Soft-а": how much of the traffic the port logs show, and (service only) whether an
// upload keeps the device's settings. The switches start at their defaults on every run.
class TFormOptSoft : public QDialog {
  Q_OBJECT
 public:
  explicit TFormOptSoft(bool serviceMode, QWidget* parent = nullptr);

  // The two logging switches as the device line reads them, from any thread.
  const LogSwitches& switches() const { return switches_; }
  bool logReads() const { return switches_.logReads(); }
  bool logWrites() const { return switches_.logWrites(); }
  // Upload mode: 'l' keeps the settings, 'f' does not.
  bool keepSettings() const;
  void setOptionsAction(QAction* action) { optionsAction_ = action; }

  // Both logging switches on, as the modem mode needs them: its answers show only in the logs.
  void switchLoggingOn();

 private:
  QCheckBox* CheckBoxRead = nullptr;
  QCheckBox* CheckBoxWrite = nullptr;
  QCheckBox* CB_Reserv = nullptr;
  QGroupBox* GroupBoxProg = nullptr;
  QPushButton* OkButton = nullptr;

  void OkClick();

  QAction* optionsAction_ = nullptr;
  AtomicLogSwitches switches_;
};

}  // namespace lir2
