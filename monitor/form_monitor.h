#pragma once

#include <QWidget>

#include <memory>

#include "monitor/device_images.h"
#include "serial/result_code.h"
#include "widgets/window_dialogs.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;

namespace lir2 {

class CsvRecording;
struct DecodeContext;
struct EepromRestoreResult;
class MonitorSession;
class MonitorSheet;
class MonitorView;
class SoundPlayer;
class TFormEEProm;
class TFormTrend;
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
  // The EEPROM map: its comparisons read the device through this window, its restores run on
  // the monitor.
  void setMapWindow(TFormEEProm* map);
  // The sound of a successful EEPROM initialisation.
  void setSounds(SoundPlayer* sounds) { sounds_ = sounds; }
  // Shows the controls meant for service engineers only.
  void applyServiceMode(bool serviceMode);

  // The run's start, asked of the line: the port reopened, the first tick 10 ms later.
  void startRun(const PortSettings& settings);
  // Ends the monitor run: the main window comes back, polling stops, this window hides.
  void FormClose();

  // "Запись...": starts a CSV recording of the values, or stops it.
  void B_RecordClick();
  // "Графики": shows the trend chart.
  void B_TrendClick();
  // "Инициализация": asks first, naming what it resets, and offers a backup of the EEPROM.
  void B_InitEEClick();
  // A line in the log under the alarms, stamped as they are.
  void logLine(const QString& text);

  CsvRecording& recording() { return *recording_; }
  TFormTrend& trendWindow() { return *trend_; }

  WindowDialogs dialogs;

  QSize sizeHint() const override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QProgressBar* ProgressBarRS232 = nullptr;
  // The alarm log: only ever appended to, a line per alarm as it appears.
  QPlainTextEdit* RichEditErr = nullptr;
  QPushButton* B_Record = nullptr;
  QPushButton* B_Trend = nullptr;
  // The recording's file and rows, or why it stopped.
  QLabel* L_Record = nullptr;

  void createControls();
  void connectSheet();
  void showEepromDecode(const MonitorView& view, const DecodeContext& context,
                        const DeviceImages& images);
  void showRamDecode(const MonitorView& view, const DecodeContext& context,
                     const DeviceImages& images);
  void showMap(const DeviceImages::Eeprom& eeprom);
  void writeFinished(Result result, quint8 command);
  // An initialisation waiting for its backup drops it (another map was asked for, the run
  // ended), and says so.
  void cancelPendingInit(const QString& why);
  // The run ended by its final report.
  void runEnded();
  void recordingStarted(const QString& path);
  void recordingStopped(const QString& path, qint64 rows, const QString& error);

  MonitorSession& session_;
  MonitorSheet* sheet_ = nullptr;
  QScrollArea* sheetArea_ = nullptr;
  bool sized_ = false;  // the first showing has fitted the window to its screen
  QWidget* mainWindow_ = nullptr;
  TFormEEProm* mapWindow_ = nullptr;
  SoundPlayer* sounds_ = nullptr;
  // A child of the session: it records on the device line's thread.
  CsvRecording* recording_ = nullptr;
  bool recordingRuns_ = false;
  QString recordingName_;
  std::unique_ptr<TFormTrend> trend_;
  // The backup file an initialisation waits for: the EEPROM is read whole, saved there, and
  // only then is the device initialised.
  QString initBackupPath_;
};

}  // namespace lir2
