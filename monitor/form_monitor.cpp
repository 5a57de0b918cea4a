#include "form_monitor.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "monitor/csv_recording.h"
#include "monitor/eeprom_map.h"
#include "monitor/form_eeprom.h"
#include "monitor/form_trend.h"
#include "monitor/monitor_session.h"
#include "monitor/monitor_sheet.h"
#include "monitor/monitor_view.h"
#include "monitor/settings_writes.h"
#include "protocol/device_link.h"
#include "protocol/sound.h"

using namespace Qt::StringLiterals;

TFormMonitor::TFormMonitor(const QString& caption, MonitorSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session) {
  setObjectName(QStringLiteral("FormMonitor"));
  setWindowTitle(caption);
  dialogs = WindowDialogs::standard(this);
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

  // The recording lives beside the session, on the line's thread, so that writing to a slow
  // disk never holds this window: each decode's numbers and the run's end go there, and what it
  // says comes back here, through the same handover as everything else.
  recording_ = new CsvRecording(&session_);
  connect(&session_, &MonitorSession::ramMeasured, this,
          [r = recording_](const RamValues& values, const QDateTime& at) {
            runIn(r, [r, values, at] { r->record(values, at); });
          });
  connect(&session_, &MonitorSession::runEnded, this,
          [r = recording_] { runIn(r, [r] { r->stop(); }); });
  connect(
      recording_, &CsvRecording::started, this,
      [this](const QString& path) { runIn(this, [this, path] { recordingStarted(path); }); },
      Qt::DirectConnection);
  connect(
      recording_, &CsvRecording::stopped, this,
      [this](const QString& path, qint64 rows, const QString& error) {
        runIn(this, [this, path, rows, error] { recordingStopped(path, rows, error); });
      },
      Qt::DirectConnection);
  connect(
      recording_, &CsvRecording::rowsWritten, this,
      [this](qint64 rows) {
        runIn(this, [this, rows] {
          if (recordingRuns_)
            L_Record->setText(u"Запись: %1, строк %2"_s.arg(recordingName_).arg(rows));
        });
      },
      Qt::DirectConnection);
  trend_ = std::make_unique<TFormTrend>();
  connect(&session_, &MonitorSession::ramMeasured, trend_.get(), &TFormTrend::addValues);
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

  B_Record = new QPushButton(u"Запись..."_s, this);
  B_Record->setObjectName(u"B_Record"_s);
  B_Record->setToolTip(u"Записывать значения и тревоги в файл CSV"_s);
  B_Trend = new QPushButton(u"Графики"_s, this);
  B_Trend->setObjectName(u"B_Trend"_s);
  L_Record = new QLabel(this);
  L_Record->setObjectName(u"L_Record"_s);
  L_Record->setTextInteractionFlags(Qt::TextSelectableByMouse);
  connect(B_Record, &QPushButton::clicked, this, &TFormMonitor::B_RecordClick);
  connect(B_Trend, &QPushButton::clicked, this, &TFormMonitor::B_TrendClick);

  auto* top = new QHBoxLayout;
  top->addWidget(sheet_, 1);
  top->addWidget(ProgressBarRS232, 0, Qt::AlignTop);
  auto* records = new QHBoxLayout;
  records->addWidget(B_Record);
  records->addWidget(B_Trend);
  records->addWidget(L_Record, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addLayout(top, 1);
  layout->addLayout(records);
  layout->addWidget(RichEditErr);
  // The window takes the size its contents ask for.
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFormMonitor::connectSheet() {
  MonitorSession* s = &session_;
  connect(sheet_, &MonitorSheet::commandRequested, this,
          [s](quint8 code) { runIn(s, [s, code] { s->sendCommand(code); }); });
  connect(
      sheet_, &MonitorSheet::eepromWritesRequested, this,
      [s](const QList<EepromWrite>& writes) { runIn(s, [s, writes] { s->writeEeprom(writes); }); });
  connect(sheet_, &MonitorSheet::tempOkrChanged, this,
          [s](bool checked) { runIn(s, [s, checked] { s->setTempOkrChecked(checked); }); });
  connect(sheet_, &MonitorSheet::watchedAddressChanged, this,
          [s](const QString& text) { runIn(s, [s, text] { s->setWatchedAddressText(text); }); });
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

void TFormMonitor::setMapWindow(TFormEEProm* map) {
  mapWindow_ = map;
  if (!map) return;
  MonitorSession* s = &session_;
  connect(map, &TFormEEProm::dumpRequested, this, [this, s] {
    // Only a running monitor reads the device; a request would otherwise wait for the next run.
    if (!isVisible()) {
      mapWindow_->cancelCompare(
          u"Сравнение читает EEPROM устройства: запустите монитор и сравните снова."_s);
      return;
    }
    mapWindow_->clearMap();
    runIn(s, [s] { s->requestDump(); });
  });
  connect(map, &TFormEEProm::restoreRequested, this, [s](const QList<EepromWrite>& cells) {
    runIn(s, [s, cells] { s->restoreEeprom(cells); });
  });
  // The line's thread is busy with the restore: the stop is a flag it looks at between cells.
  connect(map, &TFormEEProm::restoreStopRequested, this, [s] { s->requestRestoreStop(); });
  connect(s, &MonitorSession::restoreProgress, map, &TFormEEProm::restoreProgress);
  connect(s, &MonitorSession::restoreFinished, map, &TFormEEProm::restoreFinished);
}

void TFormMonitor::B_RecordClick() {
  if (recordingRuns_) {
    runIn(recording_, [r = recording_] { r->stop(); });
    return;
  }
  const QString suggested =
      u"lir-"_s + QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s) + u".csv"_s;
  QString path =
      dialogs.savePath(u"Записывать значения в файл"_s, suggested, u"Файлы CSV (*.csv)"_s, nullptr);
  if (path.isEmpty()) return;
  // A new name without a type gets one; an existing file is taken as the user chose it.
  if (QFileInfo(path).suffix().isEmpty() && !QFileInfo::exists(path)) path += u".csv"_s;
  B_Record->setEnabled(false);  // until the recording says it started or could not
  runIn(recording_, [r = recording_, path] { r->start(path); });
}

void TFormMonitor::B_TrendClick() {
  trend_->show();
  trend_->raise();
  trend_->activateWindow();
}

void TFormMonitor::recordingStarted(const QString& path) {
  recordingRuns_ = true;
  recordingName_ = QFileInfo(path).fileName();
  B_Record->setEnabled(true);
  B_Record->setText(u"Стоп записи"_s);
  L_Record->setStyleSheet(QString());
  L_Record->setText(u"Запись: %1"_s.arg(recordingName_));
  L_Record->setToolTip(QDir::toNativeSeparators(path));
}

void TFormMonitor::recordingStopped(const QString& path, qint64 rows, const QString& error) {
  recordingRuns_ = false;
  B_Record->setEnabled(true);
  B_Record->setText(u"Запись..."_s);
  if (error.isEmpty()) {
    L_Record->setStyleSheet(QString());
    L_Record->setText(u"Записано в %1: строк %2"_s.arg(QFileInfo(path).fileName()).arg(rows));
    return;
  }
  // The monitor goes on; the user learns why the file stopped growing.
  L_Record->setStyleSheet(u"color: red"_s);
  L_Record->setText(u"Запись остановлена: %1"_s.arg(QFileInfo(path).fileName()));
  L_Record->setToolTip(error);
  dialogs.warn(u"Запись"_s, error);
}

void TFormMonitor::startRun(const PortSettings& settings) {
  RichEditErr->clear();
  trend_->clearHistory();
  session_.start(settings);
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
  if (mapWindow_) mapWindow_->showDump(eeprom);
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
  session_.stop();
  runIn(recording_, [r = recording_] { r->stop(); });
  hide();
}

void TFormMonitor::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}
