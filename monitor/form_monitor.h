#pragma once

#include <QWidget>

#include <memory>

#include "monitor/device_images.h"
#include "monitor/monitor_run.h"
#include "protocol/frames.h"
#include "serial/exchange.h"

class Clock;
class FinalReport;
class PortControl;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTabWidget;
class QTextEdit;
class WindowTimer;

// The monitor window. It is also the exchange context of every run mode (its Exchange holds
// the received and sent byte and the last result code), carries the translation tick, and owns
// the monitor run: the frame state, the two memory images and the poll cycle.
class TFormMonitor : public QWidget, public MonitorSurface {
  Q_OBJECT
 public:
  TFormMonitor(const QString& caption, PortControl& port, Clock& clock, TrafficLog* log,
               const LogSwitches* switches, QWidget* parent = nullptr);
  ~TFormMonitor() override;

  Exchange& exchange() { return exchange_; }
  FrameState& frameState() { return frameState_; }
  Frames& frames() { return frames_; }
  DeviceImages& images() { return images_; }
  PollState& poll() { return poll_; }
  MonitorRun& run() { return *run_; }
  void setMainWindow(QWidget* main) { mainWindow_ = main; }
  void setFinalReport(FinalReport* report) { run_->setFinalReport(report); }
  // Shows the controls meant for service engineers only.
  void applyServiceMode(bool serviceMode);

  // Translation: every tick reads one byte into the read log; a time-out is not reported.
  WindowTimer* Timer1 = nullptr;
  // The poll timer of the monitor run; disabled until a run starts.
  WindowTimer* Timer3 = nullptr;

  QTabWidget* PC_Mon = nullptr;
  QWidget* TS_LIR = nullptr;
  QProgressBar* ProgressBarRS232 = nullptr;
  QTextEdit* RichEditErr = nullptr;
  QLabel* L_AddrEE = nullptr;  // "Адрес EE"
  QLineEdit* E_Addr_EE = nullptr;
  QLabel* L_DataEE = nullptr;

  // Most bytes one translation tick takes beyond its first, so the window stays responsive.
  static constexpr int kTranslationBurst = 4096;

  // The run's start: a full refresh in text frames, the first tick 10 ms from now.
  void prepareRun() { run_->prepareRun(); }
  // One poll tick (the handler of Timer3).
  void Timer3Timer() { run_->PollTick(); }
  // Ends an exchange of the monitor: a silent reconnect or the final report.
  void ReportResult(bool close) { run_->ReportResult(close); }

  // MonitorSurface.
  QString watchedAddressText() const override;
  void showWatchedValue(const QString& text) override;
  void showActivity(int position) override;
  // Chooses the frame format from the device's identification; the rest of the EEPROM's
  // meaning is shown by the decoders.
  void DecodeEeprom() override;
  // The RAM decode: nothing in this window shows the RAM window yet.
  void DecodeRam() override;
  // Ends the monitor run: the main window comes back, polling stops, this window hides.
  void FormClose() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Timer1Timer();
  void createControls();

  Exchange exchange_;
  FrameState frameState_;
  Frames frames_;
  DeviceImages images_;
  PollState poll_;
  std::unique_ptr<MonitorRun> run_;  // made once the poll timer exists
  QWidget* mainWindow_ = nullptr;
};
