#include "form_monitor.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>

#include "monitor/monitor_session.h"
#include "protocol/device_link.h"

TFormMonitor::TFormMonitor(const QString& caption, MonitorSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session) {
  setObjectName(QStringLiteral("FormMonitor"));
  setWindowTitle(caption);
  createControls();
  applyServiceMode(false);

  // What the line's thread decodes arrives here, queued; the window only applies it.
  connect(&session_, &MonitorSession::eepromDecoded, this, &TFormMonitor::showEepromDecode);
  connect(&session_, &MonitorSession::ramDecoded, this, &TFormMonitor::showRamDecode);
  connect(&session_, &MonitorSession::watchedValueShown, L_DataEE, &QLabel::setText);
  connect(&session_, &MonitorSession::activityShown, ProgressBarRS232, &QProgressBar::setValue);
  connect(&session_, &MonitorSession::eepromDumped, this, &TFormMonitor::showMap);
  connect(&session_, &MonitorSession::runEnded, this, &TFormMonitor::runEnded);
  connect(E_Addr_EE, &QLineEdit::textChanged, this, [this](const QString& text) {
    runIn(&session_, [s = &session_, text] { s->setWatchedAddressText(text); });
  });
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
  runIn(&session_, [s = &session_, serviceMode] { s->setServiceMode(serviceMode); });
}

void TFormMonitor::startRun(const PortSettings& settings) {
  RichEditErr->clear();
  runIn(&session_, [s = &session_, settings] { s->start(settings); });
}

void TFormMonitor::showEepromDecode(const MonitorView&, const DecodeContext&, const DeviceImages&) {
}

void TFormMonitor::showRamDecode(const MonitorView&) {}

void TFormMonitor::showMap(const DeviceImages::Eeprom&) {}

void TFormMonitor::runEnded() {
  if (mainWindow_) mainWindow_->show();
  hide();
}

void TFormMonitor::FormClose() {
  if (mainWindow_) mainWindow_->show();
  // A tick that waits for a silent device ends at once; the port stays open.
  session_.link().requestStop();
  runIn(&session_, [s = &session_] { s->end(); });
  hide();
}

void TFormMonitor::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}
