#pragma once

#include <QWidget>

#include "monitor/device_images.h"

struct DecodeContext;
class MonitorSession;
class MonitorSheet;
class MonitorView;
class QPlainTextEdit;
class QProgressBar;
class SoundPlayer;
class TFormEEProm;
struct PortSettings;

// The monitor window: what the device shows, and the controls that change it. The monitor run
// itself (polling, writes, the EEPROM map) is the MonitorSession on the device line's thread;
// this window asks it for work and applies what it decodes, and never waits for the device.
class TFormMonitor : public QWidget {
  Q_OBJECT
 public:
  TFormMonitor(const QString& caption, MonitorSession& session, QWidget* parent = nullptr);
  ~TFormMonitor() override;

  MonitorSession& session() { return session_; }
  MonitorSheet& sheet() { return *sheet_; }
  void setMainWindow(QWidget* main) { mainWindow_ = main; }
  void setMapWindow(TFormEEProm* map) { mapWindow_ = map; }
  // The sound of a successful EEPROM initialisation.
  void setSounds(SoundPlayer* sounds) { sounds_ = sounds; }
  // Shows the controls meant for service engineers only.
  void applyServiceMode(bool serviceMode);

  // The run's start, asked of the line: the port reopened, the first tick 10 ms later.
  void startRun(const PortSettings& settings);
  // Ends the monitor run: the main window comes back, polling stops, this window hides.
  void FormClose();

  QProgressBar* ProgressBarRS232 = nullptr;
  // The alarm log: only ever appended to, a line per alarm as it appears.
  QPlainTextEdit* RichEditErr = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void createControls();
  void connectSheet();
  void showEepromDecode(const MonitorView& view, const DecodeContext& context,
                        const DeviceImages& images);
  void showRamDecode(const MonitorView& view, const DecodeContext& context,
                     const DeviceImages& images);
  void showMap(const DeviceImages::Eeprom& eeprom);
  void writeFinished(quint8 result, quint8 command);
  // The run ended by its final report.
  void runEnded();

  MonitorSession& session_;
  MonitorSheet* sheet_ = nullptr;
  QWidget* mainWindow_ = nullptr;
  TFormEEProm* mapWindow_ = nullptr;
  SoundPlayer* sounds_ = nullptr;
};
