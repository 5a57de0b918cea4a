#include "form_monitor.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QVBoxLayout>

#include "monitor/eeprom_map.h"
#include "monitor/form_eeprom.h"
#include "monitor/monitor_session.h"
#include "monitor/monitor_sheet.h"
#include "monitor/monitor_view.h"
#include "monitor/settings_writes.h"
#include "protocol/device_link.h"
#include "protocol/sound.h"

TFormMonitor::TFormMonitor(const QString& caption, MonitorSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session) {
  setObjectName(QStringLiteral("FormMonitor"));
  setWindowTitle(caption);
  createControls();
  applyServiceMode(false);

  // What the line's thread decodes arrives here, queued; the window only applies it.
  connect(&session_, &MonitorSession::eepromDecoded, this, &TFormMonitor::showEepromDecode);
  connect(&session_, &MonitorSession::ramDecoded, this, &TFormMonitor::showRamDecode);
  connect(&session_, &MonitorSession::watchedValueShown, sheet_->L_DataEE, &QLabel::setText);
  connect(&session_, &MonitorSession::activityShown, ProgressBarRS232, &QProgressBar::setValue);
  connect(&session_, &MonitorSession::eepromDumped, this, &TFormMonitor::showMap);
  connect(&session_, &MonitorSession::writeFinished, this, &TFormMonitor::writeFinished);
  connect(&session_, &MonitorSession::runEnded, this, &TFormMonitor::runEnded);
  connectSheet();
}

TFormMonitor::~TFormMonitor() = default;

void TFormMonitor::createControls() {
  sheet_ = new MonitorSheet(this);

  ProgressBarRS232 = new QProgressBar(this);
  ProgressBarRS232->setObjectName(QStringLiteral("ProgressBarRS232"));
  ProgressBarRS232->setOrientation(Qt::Vertical);
  ProgressBarRS232->setRange(0, 15);
  ProgressBarRS232->setValue(15);
  ProgressBarRS232->setTextVisible(false);
  ProgressBarRS232->setFixedSize(14, 64);

  RichEditErr = new QPlainTextEdit(this);
  RichEditErr->setObjectName(QStringLiteral("RichEditErr"));
  RichEditErr->setReadOnly(true);
  RichEditErr->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEditErr->setFixedHeight(110);

  auto* top = new QHBoxLayout;
  top->addWidget(sheet_, 1);
  top->addWidget(ProgressBarRS232, 0, Qt::AlignTop);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addLayout(top, 1);
  layout->addWidget(RichEditErr);
  // The window takes the size its contents ask for.
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFormMonitor::connectSheet() {
  MonitorSession* s = &session_;
  connect(sheet_, &MonitorSheet::commandRequested, this,
          [s](quint8 code) { runIn(s, [s, code] { s->sendCommand(code); }); });
  connect(sheet_, &MonitorSheet::eepromWritesRequested, this,
          [s](const QList<EepromWrite>& writes) { runIn(s, [s, writes] { s->writeEeprom(writes); }); });
  connect(sheet_, &MonitorSheet::tempOkrChanged, this,
          [s](bool checked) { runIn(s, [s, checked] { s->setTempOkrChecked(checked); }); });
  connect(sheet_, &MonitorSheet::watchedAddressChanged, this, [s](const QString& text) {
    runIn(s, [s, text] { s->setWatchedAddressText(text); });
  });
  connect(sheet_, &MonitorSheet::dumpRequested, this, [this, s] {
    if (mapWindow_) {
      mapWindow_->show();
      mapWindow_->clearMap();
    }
    runIn(s, [s] { s->requestDump(); });
  });
}

void TFormMonitor::applyServiceMode(bool serviceMode) {
  sheet_->applyServiceMode(serviceMode);
  runIn(&session_, [s = &session_, serviceMode] { s->setServiceMode(serviceMode); });
}

void TFormMonitor::startRun(const PortSettings& settings) {
  RichEditErr->clear();
  runIn(&session_, [s = &session_, settings] { s->start(settings); });
}

void TFormMonitor::showEepromDecode(const MonitorView& view, const DecodeContext& context,
                                    const DeviceImages& images) {
  sheet_->setDecodeState(context, images);
  sheet_->applyView(view);
}

void TFormMonitor::showRamDecode(const MonitorView& view, const DecodeContext& context,
                                 const DeviceImages& images) {
  sheet_->setDecodeState(context, images);
  sheet_->applyView(view);
  if (view.alarmLines.isEmpty()) return;
  // Appended at the end without laying out the whole log again; the view follows the end
  // unless the user has scrolled away from it.
  QScrollBar* bar = RichEditErr->verticalScrollBar();
  const bool atEnd = bar->value() == bar->maximum();
  for (QString line : view.alarmLines) {
    if (line.endsWith(QLatin1String("\r\n"))) line.chop(2);
    RichEditErr->appendPlainText(line);
  }
  if (atEnd) bar->setValue(bar->maximum());
}

void TFormMonitor::showMap(const DeviceImages::Eeprom& eeprom) {
  if (mapWindow_) mapWindow_->showMap(FormatEepromMap(eeprom));
}

void TFormMonitor::writeFinished(quint8 result, quint8 command) {
  // A successful initialisation is heard whatever the sound switch says.
  if (command == DeviceCommand::InitEeprom && result == 0 && sounds_) sounds_->play(Sound::Ok);
}

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
