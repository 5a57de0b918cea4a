#include "form_main.h"

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/form_file.h"
#include "app/form_opt_hard.h"
#include "app/form_opt_soft.h"
#include "app/form_port_log.h"
#include "app/gauge.h"
#include "app/log_view.h"
#include "app/message_label.h"
#include "firmware/upload_session.h"
#include "monitor/form_monitor.h"
#include "protocol/device_link.h"
#include "protocol/report.h"
#include "protocol/translation_session.h"
#include "protocol/window_bridge.h"
#include "serial/result_code.h"
#include "serial/window_timer.h"

namespace lir2 {

namespace {

QAction* makeAction(QObject* parent, const char* name, const QString& caption,
                    const QString& hint = {}) {
  auto* action = new QAction(caption, parent);
  action->setObjectName(QString::fromLatin1(name));
  // A hint "Short|Long" shows its short part as the tool tip.
  if (!hint.isEmpty()) action->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
  return action;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

}  // namespace

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("FormMain"));
  setWindowTitle(QStringLiteral("LIR2Gui Ver 8.0"));
  createActions();
  createMenusAndToolBar();
  createClientArea();
  createStatusBars();
  // A client area of 707 × 223, which grows when a message needs more lines to be read whole.
  resize(707, 223);
  dialogs = WindowDialogs::standard(this);

  RunMode = Run::None;
  DeviceKind = 1;
  setStateText(QStringLiteral("Выключенно"));
}

TFormMain::~TFormMain() = default;

void TFormMain::createActions() {
  FileOpen1 = makeAction(this, "FileOpen1", QStringLiteral("&Открыть..."),
                         QStringLiteral("Open|Opens an existing file"));
  FileOpen1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  FileOpen1->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
  FileExit1 = makeAction(this, "FileExit1", QStringLiteral("E&xit"),
                         QStringLiteral("Exit|Quits the application"));
  Translate = makeAction(this, "Translate", QStringLiteral("&Трансляция"),
                         QStringLiteral("Режим трансляции"));
  LoadProg = makeAction(this, "LoadProg", QStringLiteral("Загрузить Программу"),
                        QStringLiteral("Загрузить Программу"));
  LoadProg->setEnabled(false);
  Monitor =
      makeAction(this, "Monitor", QStringLiteral("&Монитор Ver 7.8"), QStringLiteral("Мониторинг"));
  StopExec = makeAction(this, "StopExec", QStringLiteral("&Стоп"), QStringLiteral("Стоп"));
  StopExec->setShortcut(QKeySequence(Qt::Key_Escape));
  StopExec->setIcon(style()->standardIcon(QStyle::SP_BrowserStop));
  StopExec->setEnabled(false);
  FOptions = makeAction(this, "FOptions", QStringLiteral("Железо"));
  OptSoft = makeAction(this, "OptSoft", QStringLiteral("&soft"));
  AReadPort = makeAction(this, "AReadPort", QStringLiteral("Чтение Порта"));
  AReadPort->setCheckable(true);
  AWritePort = makeAction(this, "AWritePort", QStringLiteral("Запись в Порт"));
  AWritePort->setCheckable(true);
  AFile = makeAction(this, "AFile", QStringLiteral("&Hex Файл"));
  AFile->setCheckable(true);
  AFile->setVisible(false);

  connect(FileExit1, &QAction::triggered, this, &QWidget::close);
  connect(FileOpen1, &QAction::triggered, this, &TFormMain::FileOpen1Execute);
  connect(LoadProg, &QAction::triggered, this, &TFormMain::LoadProgExecute);
  connect(Translate, &QAction::triggered, this, &TFormMain::TranslateExecute);
  connect(Monitor, &QAction::triggered, this, &TFormMain::MonitorExecute);
  connect(StopExec, &QAction::triggered, this, [this] {
    if (confirmStop()) StopExecExecute();
  });
  connect(FOptions, &QAction::triggered, this, &TFormMain::FOptionsExecute);
  connect(OptSoft, &QAction::triggered, this, &TFormMain::OptSoftExecute);
  connect(AReadPort, &QAction::triggered, this, &TFormMain::AReadPortExecute);
  connect(AWritePort, &QAction::triggered, this, &TFormMain::AWritePortExecute);
  connect(AFile, &QAction::triggered, this, &TFormMain::AFileExecute);
}

void TFormMain::createMenusAndToolBar() {
  ActionMainMenuBar1 = menuBar();
  ActionMainMenuBar1->setObjectName(QStringLiteral("ActionMainMenuBar1"));
  QMenu* file = ActionMainMenuBar1->addMenu(QStringLiteral("&Файл"));
  file->addActions({FileOpen1, FileExit1});
  QMenu* run = ActionMainMenuBar1->addMenu(QStringLiteral("&Выполнение"));
  run->addActions({Translate, LoadProg, Monitor, StopExec});
  QMenu* options = ActionMainMenuBar1->addMenu(QStringLiteral("&Опции"));
  options->addActions({FOptions, OptSoft});
  QMenu* windows = ActionMainMenuBar1->addMenu(QStringLiteral("Окна"));
  windows->addActions({AReadPort, AWritePort, AFile});

  ActionToolBar1 = addToolBar(QStringLiteral("ActionToolBar1"));
  ActionToolBar1->setObjectName(QStringLiteral("ActionToolBar1"));
  ActionToolBar1->setMovable(false);
  ActionToolBar1->setFloatable(false);
  ActionToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
  ActionToolBar1->setIconSize(QSize(16, 16));
  ActionToolBar1->addActions(
      {FileOpen1, LoadProg, Translate, StopExec, OptSoft, FOptions, Monitor});
  // Open and Stop show their icons only; the others their captions.
  for (QAction* iconOnly : {FileOpen1, StopExec})
    if (auto* button = qobject_cast<QToolButton*>(ActionToolBar1->widgetForAction(iconOnly)))
      button->setToolButtonStyle(Qt::ToolButtonIconOnly);
}

void TFormMain::createClientArea() {
  auto* client = new QWidget(this);
  CGauge1 = new Gauge(client);
  CGauge1->setObjectName(QStringLiteral("CGauge1"));
  CGauge1->setFixedSize(472, 28);
  L_Time = makeLabel(client, "L_Time", QStringLiteral("0:00:00"));
  QFont big = L_Time->font();
  big.setPointSize(18);
  big.setBold(true);
  L_Time->setFont(big);

  LVerDevice = makeLabel(client, "LVerDevice", QStringLiteral("VerDevice"));
  LVerPlatPic = makeLabel(client, "LVerPlatPic", QStringLiteral("VerPlatPic"));
  LVerPlatPow = makeLabel(client, "LVerPlatPow", QStringLiteral("VerPlatPow"));
  LVerCPU = makeLabel(client, "LVerCPU", QStringLiteral("VerCPU"));
  LVerBoot = makeLabel(client, "LVerBoot", QStringLiteral("VerBoot"));
  LVerPO = makeLabel(client, "LVerPO", QStringLiteral("VerPO"));
  B_Modem = new QPushButton(QStringLiteral("B_Modem"), client);
  B_Modem->setObjectName(QStringLiteral("B_Modem"));
  B_Modem->setVisible(false);
  connect(B_Modem, &QPushButton::clicked, this, &TFormMain::B_ModemClick);

  auto* top = new QHBoxLayout;
  top->addWidget(CGauge1);
  top->addSpacing(16);
  top->addWidget(L_Time);
  top->addStretch();
  auto* labels = new QGridLayout;
  labels->setHorizontalSpacing(24);
  labels->setVerticalSpacing(2);
  labels->addWidget(LVerDevice, 0, 0);
  labels->addWidget(LVerPlatPow, 0, 1);
  labels->addWidget(LVerPlatPic, 0, 2);
  labels->addWidget(LVerPO, 1, 0);
  labels->addWidget(LVerCPU, 1, 1);
  labels->addWidget(LVerBoot, 1, 2);
  labels->setColumnStretch(3, 1);
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(8, 4, 8, 2);
  layout->setSpacing(4);
  layout->addLayout(top);
  layout->addLayout(labels);
  layout->addStretch();
  setCentralWidget(client);
}

void TFormMain::createStatusBars() {
  // Three stacked bars, top to bottom: errors, state, file name; each a fixed title panel and a
  // text panel.
  auto* bars = new QWidget(this);
  auto* grid = new QGridLayout(bars);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(2);
  grid->setVerticalSpacing(1);
  const struct {
    QLabel** panels;
    const char* name;
    QString title;
  } rows[] = {{StatusBarError, "StatusBarError", QStringLiteral("Ошибки")},
              {StatusBarMesage, "StatusBarMesage", QStringLiteral("Состояние")},
              {StatusBar_filename, "StatusBar_filename", QStringLiteral("Имя файла")}};
  int row = 0;
  for (const auto& r : rows) {
    r.panels[0] = new QLabel(r.title, bars);
    r.panels[0]->setObjectName(QString::fromLatin1(r.name) + QStringLiteral("_0"));
    r.panels[0]->setFixedWidth(100);
    r.panels[1] = new MessageLabel(bars);  // wraps: every message is read whole
    r.panels[1]->setObjectName(QString::fromLatin1(r.name) + QStringLiteral("_1"));
    for (QLabel* panel : {r.panels[0], r.panels[1]}) {
      panel->setFrameShape(QFrame::StyledPanel);
      panel->setFrameShadow(QFrame::Sunken);
      grid->addWidget(panel, row, panel == r.panels[0] ? 0 : 1);
    }
    ++row;
  }
  StatusBarError[1]->setStyleSheet(QStringLiteral("color: red;"));
  statusBar()->setSizeGripEnabled(false);
  statusBar()->addWidget(bars, 1);
}

QString TFormMain::monitorCaption() const {
  return Monitor->text();
}

void TFormMain::attach(const MainWindowParts& parts) {
  p_ = parts;
  p_.hardware->setOptionsAction(FOptions);
  p_.software->setOptionsAction(OptSoft);
  p_.monitor->setMainWindow(this);
  connect(p_.translation, &TranslationSession::ended, this, &TFormMain::runEndedByItself);
  connectUpload();
  // Closing a window with its close button inverts its action's check mark.
  connect(p_.readLog, &TFormPortLog::closedByUser, this,
          [this] { AReadPort->setChecked(!AReadPort->isChecked()); });
  connect(p_.writeLog, &TFormPortLog::closedByUser, this,
          [this] { AWritePort->setChecked(!AWritePort->isChecked()); });
  connect(p_.file, &TFormFile::closedByUser, this,
          [this] { AFile->setChecked(!AFile->isChecked()); });
}

void TFormMain::showSuccess(bool on) {
  showsSuccess_ = on;
  StatusBarError[1]->setStyleSheet(on ? QString() : QStringLiteral("color: red;"));
}

void TFormMain::setErrorText(const QString& text) {
  StatusBarError[1]->setText(text);
}
void TFormMain::setStateText(const QString& text) {
  StatusBarMesage[1]->setText(text);
}
void TFormMain::setFileNameText(const QString& text) {
  StatusBar_filename[1]->setText(text);
}
QString TFormMain::errorText() const {
  return StatusBarError[1]->text();
}
QString TFormMain::stateText() const {
  return StatusBarMesage[1]->text();
}
QString TFormMain::fileNameText() const {
  return StatusBar_filename[1]->text();
}

void TFormMain::BeginRun() {
  StopExec->setEnabled(true);
  for (QAction* a : {Translate, FileOpen1, LoadProg, Monitor}) a->setEnabled(false);
  CGauge1->setMaxValue(static_cast<qint64>(ProgramLength) - 1);
  CGauge1->setProgress(0);
  showSuccess(false);
  running_ = true;
}

void TFormMain::StopExecExecute() {
  // The window's run ends at its next byte (an upload with "Прервали операцию", which it then
  // reports); its session closes the port. No other run is touched.
  if (runSession_) runSession_->stop();
  running_ = false;
  RunMode = Run::None;
  p_.monitor->hide();
  // An upload that ends after the window was closed must not bring it back.
  if (!closed_) show();
  StopExec->setEnabled(false);
  for (QAction* a : {Translate, FileOpen1, Monitor}) a->setEnabled(true);
  LoadProg->setEnabled(DeviceKind != 1);
  if (!showsSuccess_) CGauge1->setProgress(0);
}

bool TFormMain::isCurrentRun(RunId run) const {
  // A report of any other run belongs to a run the user has left behind.
  return runSession_ && run == runSession_->run();
}

void TFormMain::runEndedByItself(RunId run, Result code, const QString& reason) {
  if (!isCurrentRun(run)) return;
  p_.report->run(code, false, {}, reason);
  // A run the user stopped has been through the stop step already.
  if (running_) StopExecExecute();
}

void TFormMain::TranslateExecute() {
  RunMode = Run::Translation;
  ProgramLength = 1;
  setStateText(QStringLiteral("Режим Трансляции"));
  BeginRun();
  runSession_ = p_.translation;
  p_.translation->start(p_.hardware->settings());
}

void TFormMain::MonitorExecute() {
  hide();
  p_.monitor->show();
  RunMode = Run::Monitor;
  p_.monitor->startRun(p_.hardware->settings());
}

void TFormMain::AReadPortExecute(bool checked) {
  p_.readLog->setVisible(checked);
}
void TFormMain::AWritePortExecute(bool checked) {
  p_.writeLog->setVisible(checked);
}
void TFormMain::AFileExecute(bool checked) {
  p_.file->setVisible(checked);
}

void TFormMain::FOptionsExecute() {
  p_.hardware->exec();
}
void TFormMain::OptSoftExecute() {
  p_.software->exec();
}

void TFormMain::FormClose() {
  closed_ = true;
  if (!p_.link) return;
  // The program ends: every run on the line stops, and the line's end closes the port.
  p_.link->endAllRuns();
}

bool TFormMain::confirmStop() {
  if (!running_ || (RunMode != Run::Upload && RunMode != Run::UploadFresh)) return true;
  const bool yes = dialogs.confirm(
      QStringLiteral("Остановить загрузку"),
      QStringLiteral("Остановить загрузку программы?\n\nУстройство останется с неполной "
                     "программой и не будет работать, пока программу не загрузят снова."));
  // The upload may have ended while the question stood: the stop step is then harmless.
  return yes;
}

void TFormMain::closeEvent(QCloseEvent* event) {
  if (!confirmStop()) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
  emit closed();
}

}  // namespace lir2
