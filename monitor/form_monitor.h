#pragma once

#include <QWidget>

#include <memory>

#include "serial/exchange.h"

class Clock;
class PortControl;
class WindowTimer;

// The monitor window. It is also the exchange context of every run mode (its Exchange holds
// the received and sent byte and the last result code) and carries the translation tick.
class TFormMonitor : public QWidget {
  Q_OBJECT
 public:
  TFormMonitor(const QString& caption, PortControl& port, Clock& clock, TrafficLog* log,
               const LogSwitches* switches, QWidget* parent = nullptr);
  ~TFormMonitor() override;

  Exchange& exchange() { return exchange_; }
  void setMainWindow(QWidget* main) { mainWindow_ = main; }

  // Translation: every tick reads one byte into the read log; a time-out is not reported.
  WindowTimer* Timer1 = nullptr;
  // The poll timer of the monitor run; disabled until a run starts.
  WindowTimer* Timer3 = nullptr;

  // Most bytes one translation tick takes beyond its first, so the window stays responsive.
  static constexpr int kTranslationBurst = 4096;

  // Ends the monitor run: the main window comes back, polling stops, this window hides.
  void FormClose();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Timer1Timer();

  Exchange exchange_;
  QWidget* mainWindow_ = nullptr;
};
