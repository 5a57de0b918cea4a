#include "form_monitor.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>

#include "serial/window_timer.h"

TFormMonitor::TFormMonitor(const QString& caption, PortControl& port, Clock& clock, TrafficLog* log,
                           const LogSwitches* switches, QWidget* parent)
    : QWidget(parent, Qt::Window),
      exchange_(port, clock, log, switches),
      frames_(exchange_, frameState_) {
  setObjectName(QStringLiteral("FormMonitor"));
  setWindowTitle(caption);

  Timer1 = new WindowTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(0);
  Timer1->setEnabled(true);  // ticks once translation gives it an interval
  connect(Timer1, &WindowTimer::timeout, this, &TFormMonitor::Timer1Timer);

  Timer3 = new WindowTimer(this);
  Timer3->setObjectName(QStringLiteral("Timer3"));
  run_ =
      std::make_unique<MonitorRun>(exchange_, frames_, frameState_, images_, poll_, *Timer3, *this);
  connect(Timer3, &WindowTimer::timeout, this, &TFormMonitor::Timer3Timer);

  createControls();
  applyServiceMode(false);
}

TFormMonitor::~TFormMonitor() = default;

void TFormMonitor::createControls() {
  PC_Mon = new QTabWidget(this);
  PC_Mon->setObjectName(QStringLiteral("PC_Mon"));
  TS_LIR = new QWidget(PC_Mon);
  TS_LIR->setObjectName(QStringLiteral("TS_LIR"));
  PC_Mon->addTab(TS_LIR, QStringLiteral("LIR LCD"));
  // Room for the state, measurement and settings controls the tab carries.
  TS_LIR->setMinimumSize(600, 320);

  L_AddrEE = new QLabel(QStringLiteral("Адрес EE"), TS_LIR);
  L_AddrEE->setObjectName(QStringLiteral("L_AddrEE"));
  E_Addr_EE = new QLineEdit(QStringLiteral("0"), TS_LIR);
  E_Addr_EE->setObjectName(QStringLiteral("E_Addr_EE"));
  E_Addr_EE->setFixedWidth(64);
  L_DataEE = new QLabel(TS_LIR);
  L_DataEE->setObjectName(QStringLiteral("L_DataEE"));
  L_DataEE->setMinimumWidth(90);
  L_DataEE->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  auto* service = new QHBoxLayout;
  service->addWidget(L_AddrEE);
  service->addWidget(E_Addr_EE);
  service->addSpacing(8);
  service->addWidget(L_DataEE);
  service->addStretch();
  auto* tab = new QVBoxLayout(TS_LIR);
  tab->addStretch();
  tab->addLayout(service);

  ProgressBarRS232 = new QProgressBar(this);
  ProgressBarRS232->setObjectName(QStringLiteral("ProgressBarRS232"));
  ProgressBarRS232->setOrientation(Qt::Vertical);
  ProgressBarRS232->setRange(0, 15);
  ProgressBarRS232->setValue(15);
  ProgressBarRS232->setTextVisible(false);
  ProgressBarRS232->setFixedSize(14, 64);

  RichEditErr = new QTextEdit(this);
  RichEditErr->setObjectName(QStringLiteral("RichEditErr"));
  RichEditErr->setReadOnly(true);
  RichEditErr->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEditErr->setFixedHeight(110);

  auto* top = new QHBoxLayout;
  top->addWidget(PC_Mon, 1);
  top->addWidget(ProgressBarRS232, 0, Qt::AlignTop);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addLayout(top, 1);
  layout->addWidget(RichEditErr);
  // The window takes the size its contents ask for.
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFormMonitor::applyServiceMode(bool serviceMode) {
  for (QWidget* control : {static_cast<QWidget*>(L_AddrEE), static_cast<QWidget*>(E_Addr_EE),
                           static_cast<QWidget*>(L_DataEE)})
    control->setVisible(serviceMode);
}

QString TFormMonitor::watchedAddressText() const {
  return E_Addr_EE->text();
}
void TFormMonitor::showWatchedValue(const QString& text) {
  L_DataEE->setText(text);
}
void TFormMonitor::showActivity(int position) {
  ProgressBarRS232->setValue(position);
}

void TFormMonitor::DecodeEeprom() {
  const auto& eeprom = images_.EepromImage;
  frameState_.BinaryFrames =
      BinaryFramesFor(eeprom[1], FirmwareVersionOf(eeprom[2]), frameState_.BinaryFrames);
}

void TFormMonitor::DecodeRam() {}

void TFormMonitor::Timer1Timer() {
  // Translation shows what comes and reports nothing: a quiet line is no failure, so its
  // time-out must not linger in ResultCode and surface in the next run.
  if (exchange_.ReadByte(LogChar) != 0) {
    exchange_.ResultCode = 0;
    return;
  }
  // One byte a tick is ten a second: a device that says more would fill the line's buffer
  // until bytes are lost. What has already arrived is shown at once.
  exchange_.ReadReceived(LogChar, kTranslationBurst);
}

void TFormMonitor::FormClose() {
  if (mainWindow_) mainWindow_->show();
  Timer3->setInterval(0);
  Timer3->setEnabled(false);
  hide();
}

void TFormMonitor::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}
