#pragma once

#include <QByteArray>
#include <QMainWindow>

#include <functional>

#include "serial/result_code.h"
#include "serial/run_stop.h"
#include "serial/status.h"
#include "widgets/window_dialogs.h"

class QAction;
class QLabel;
class QMenuBar;
class QPushButton;
class QToolBar;

namespace lir2 {

class DeviceLink;
class FinalReport;
class LineSession;
class SoundPlayer;
class TFormFile;
class TFormMonitor;
class TFormOptHard;
class TFormOptSoft;
class TFormPortLog;
class TFormSmsModem;
class TranslationSession;
class UploadSession;
class Gauge;
class ShutdownBackend;
struct ProgramFault;

// What the port is being used for.
namespace Run {
enum Mode : char {
  None = 0,
  Upload = 'l',       // firmware upload, keeping the device's settings
  UploadFresh = 'f',  // firmware upload without them
  Translation = 'T',  // showing what the device sends
  Monitor = '!',
  Modem = 'M',
};
}  // namespace Run

// What the main window works with: the windows it shows or asks, the run modes' sessions, the
// line it ends with the program, the report and the sounds.
struct MainWindowParts {
  TFormOptHard* hardware = nullptr;
  TFormOptSoft* software = nullptr;
  TFormFile* file = nullptr;
  TFormPortLog* readLog = nullptr;
  TFormPortLog* writeLog = nullptr;
  TFormMonitor* monitor = nullptr;
  TFormSmsModem* modem = nullptr;
  DeviceLink* link = nullptr;
  UploadSession* upload = nullptr;
  TranslationSession* translation = nullptr;
  FinalReport* report = nullptr;
  SoundPlayer* sounds = nullptr;
};

// The main window: the actions, the run modes, the upload's gauge and version labels, and the
// three status bars every part of the program reports into.
class TFormMain : public QMainWindow, public StatusBars {
  Q_OBJECT
 public:
  explicit TFormMain(QWidget* parent = nullptr);
  ~TFormMain() override;

  // Connects the window to the others once they all exist.
  void attach(const MainWindowParts& parts);
  // The monitor action's caption, which the monitor window takes as its own.
  QString monitorCaption() const;

  // StatusBars: panel 1 of the error, state and file-name bars.
  void setErrorText(const QString& text) override;
  void setStateText(const QString& text) override;
  void setFileNameText(const QString& text) override;
  QString errorText() const;
  QString stateText() const;
  QString fileNameText() const;

  // State of the run and of the opened firmware file.
  QByteArray FirmwareText;
  QString FirmwareFileName;
  Run::Mode RunMode = Run::None;
  quint32 ProgramLength = 0;
  QByteArray ProgramText;  // FirmwareText without its header, as the upload sends it
  quint8 DeviceKind = 1;
  quint8 VerPlatPow = 0;
  quint8 VerPlatPic = 0;
  quint8 VerPOMajor = 0;
  quint8 VerPOMinor = 0;
  quint8 VerCPU = 0;

  // The common start of a run that uses the port (upload, translation) and the common stop.
  void BeginRun();
  void StopExecExecute();
  void TranslateExecute();
  void MonitorExecute();
  void AReadPortExecute(bool checked);
  void AWritePortExecute(bool checked);
  void AFileExecute(bool checked);
  void FOptionsExecute();
  void OptSoftExecute();

  // The firmware file and its upload (form_main_upload.cpp).
  void FileOpen1Execute();
  void FileOpen1Accept(const QString& fileName);
  void LoadProgExecute();
  // The program text without its header, checked whole; what is wrong goes into fault.
  bool PrepareProgramText(ProgramFault* fault = nullptr);
  // The questions the window asks and the messages it shows (the forms framework's error box
  // among them); tests answer them.
  WindowDialogs dialogs;

  // The modem mode, entered through the hidden B_Modem.
  void B_ModemClick();

  // Where shoot sends its request; not owned. Without one, shoot reports false.
  void setShutdownBackend(ShutdownBackend* backend) { shutdownBackend_ = backend; }

 public slots:
  // Powers the machine off (or restarts it), forcing programs to close when force is set;
  // true when the system accepted the request. Offered to callers: nothing in the program
  // calls it.
  bool shoot(bool reboot, bool force);

 signals:
  // The main window has closed: the program ends.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Actions, shared by the menu bar and the tool bar.
  QAction* FileOpen1 = nullptr;
  QAction* FileExit1 = nullptr;
  QAction* Translate = nullptr;
  QAction* LoadProg = nullptr;
  QAction* Monitor = nullptr;
  QAction* StopExec = nullptr;
  QAction* FOptions = nullptr;
  QAction* OptSoft = nullptr;
  QAction* AReadPort = nullptr;
  QAction* AWritePort = nullptr;
  QAction* AFile = nullptr;

  QMenuBar* ActionMainMenuBar1 = nullptr;
  QToolBar* ActionToolBar1 = nullptr;
  Gauge* CGauge1 = nullptr;
  QLabel* L_Time = nullptr;
  QLabel* LVerDevice = nullptr;
  QLabel* LVerPlatPic = nullptr;
  QLabel* LVerPlatPow = nullptr;
  QLabel* LVerCPU = nullptr;
  QLabel* LVerBoot = nullptr;
  QLabel* LVerPO = nullptr;
  QPushButton* B_Modem = nullptr;
  // Panel 0 (title) and panel 1 (text) of each status bar.
  QLabel* StatusBarError[2] = {};
  QLabel* StatusBarMesage[2] = {};
  QLabel* StatusBar_filename[2] = {};

  void createActions();
  void createMenusAndToolBar();
  void createClientArea();
  void createStatusBars();
  void FormClose();

  // The upload's signals into the labels, gauge and bars.
  void connectUpload();
  // An upload's end, back on the window's thread: the report, then the stop step.
  void uploadFinished(RunId run, Result code, const QString& reason, bool partial);
  // The user's Stop or close during an upload asks first: the device would be left with a
  // partial program. True to go on with the stop (always when no upload runs).
  bool confirmStop();
  // A run (upload or translation) that ended by itself: the report, then the stop step, unless
  // the user's Stop has been through it already.
  void runEndedByItself(RunId run, Result code, const QString& reason);
  // Whether a report of run is for the window's present run, not one the user left behind.
  bool isCurrentRun(RunId run) const;
  // A successful upload's look, kept until the next run: its message in the usual colour.
  void showSuccess(bool on);

  MainWindowParts p_;
  LineSession* runSession_ = nullptr;  // the session of the window's last upload or translation
  bool running_ = false;               // and it has not been through the stop step yet
  bool showsSuccess_ = false;
  ShutdownBackend* shutdownBackend_ = nullptr;
  bool closed_ = false;  // the window was closed: nothing may show it again
};

}  // namespace lir2
