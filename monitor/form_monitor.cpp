#include "form_monitor.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <utility>

#include "monitor/csv_recording.h"
#include "monitor/decoders.h"
#include "monitor/eeprom_backup.h"
#include "monitor/eeprom_map.h"
#include "monitor/form_eeprom.h"
#include "monitor/form_trend.h"
#include "monitor/monitor_session.h"
#include "monitor/monitor_sheet.h"
#include "monitor/monitor_view.h"
#include "monitor/settings_writes.h"
#include "protocol/device_link.h"
#include "protocol/result_messages.h"
#include "protocol/sound.h"
#include "serial/shown_text.h"

namespace lir2 {

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
  connect(&session_, &MonitorSession::watchedValueShown, sheet_, &MonitorSheet::showWatchedValue);
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

namespace {

// The alarm log asks only for a few lines: the sheet keeps the room it needs while the window
// shrinks, and the log gets what is left over.
class AlarmLog final : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;
  static constexpr int kLines = 3;
  QSize sizeHint() const override { return minimumSizeHint(); }
  QSize minimumSizeHint() const override {
    const int frame = 2 * frameWidth() + int(2 * document()->documentMargin());
    return {QPlainTextEdit::minimumSizeHint().width(),
            kLines * fontMetrics().lineSpacing() + frame};
  }
};

// The sheet's frame: it asks for the whole sheet (a plain scroll area asks for a small part of
// it), and asks again whenever the sheet's controls come and go (the area filters the sheet's
// events from setWidget on).
class SheetArea final : public QScrollArea {
 public:
  explicit SheetArea(QWidget* parent) : QScrollArea(parent) {}
  QSize sizeHint() const override {
    const int frame = 2 * frameWidth();
    return widget() ? widget()->sizeHint() + QSize(frame, frame) : QScrollArea::sizeHint();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == widget() && event->type() == QEvent::LayoutRequest) updateGeometry();
    return QScrollArea::eventFilter(watched, event);
  }
};

// How high the log is when the window opens, if the screen has room.
constexpr int kLogHeight = 110;
constexpr int kTitleBarGuess = 32;

}  // namespace

void TFormMonitor::createControls() {
  sheet_ = new MonitorSheet;
  // On a small screen the sheet scrolls rather than squeezing its controls.
  sheetArea_ = new SheetArea(this);
  sheetArea_->setObjectName(QStringLiteral("SheetArea"));
  sheetArea_->setWidget(sheet_);
  sheetArea_->setWidgetResizable(true);
  sheetArea_->setFrameShape(QFrame::NoFrame);

  ProgressBarRS232 = new QProgressBar(this);
  ProgressBarRS232->setObjectName(QStringLiteral("ProgressBarRS232"));
  ProgressBarRS232->setOrientation(Qt::Vertical);
  ProgressBarRS232->setRange(0, 15);
  ProgressBarRS232->setValue(15);
  ProgressBarRS232->setTextVisible(false);
  ProgressBarRS232->setFixedSize(14, 64);

  RichEditErr = new AlarmLog(this);
  RichEditErr->setObjectName(QStringLiteral("RichEditErr"));
  RichEditErr->setReadOnly(true);
  RichEditErr->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

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
  top->addWidget(sheetArea_, 1);
  top->addWidget(ProgressBarRS232, 0, Qt::AlignTop);
  auto* records = new QHBoxLayout;
  records->addWidget(B_Record);
  records->addWidget(B_Trend);
  records->addWidget(L_Record, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  // The sheet keeps its height (stretch 0) while there is room; a taller window goes to the log,
  // a shorter one takes from the log down to its few lines, and only then does the sheet scroll.
  layout->addLayout(top, 0);
  layout->addLayout(records);
  layout->addWidget(RichEditErr, 1);
}

QSize TFormMonitor::sizeHint() const {
  // The whole sheet, room for its scroll bar should the screen be short, and the log as high as
  // it used to be.
  const QSize hint = QWidget::sizeHint();
  return {hint.width() + sheetArea_->verticalScrollBar()->sizeHint().width(),
          hint.height() + std::max(0, kLogHeight - RichEditErr->sizeHint().height())};
}

void TFormMonitor::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (sized_) return;
  sized_ = true;
  // The first time, the size the window asks for, within the screen it opens on.
  QSize size = sizeHint();
  if (const QScreen* screen = this->screen()) {
    // Before the window manager has framed it, a title bar's height is a fair guess.
    QSize frame = frameGeometry().size() - geometry().size();
    if (frame.isEmpty()) frame = {0, kTitleBarGuess};
    size = size.boundedTo(screen->availableGeometry().size() - frame);
  }
  resize(size);
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
  connect(sheet_, &MonitorSheet::initEepromRequested, this, &TFormMonitor::B_InitEEClick);
  connect(sheet_, &MonitorSheet::dumpRequested, this, [this, s] {
    cancelPendingInit(u"EEPROM читается для карты"_s);
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
    cancelPendingInit(u"EEPROM читается для сравнения"_s);
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
  recordingName_ = shownText(QFileInfo(path).fileName());
  B_Record->setEnabled(true);
  B_Record->setText(u"Стоп записи"_s);
  L_Record->setStyleSheet(QString());
  L_Record->setText(u"Запись: %1"_s.arg(recordingName_));
  L_Record->setToolTip(shownPath(path));
}

void TFormMonitor::recordingStopped(const QString& path, qint64 rows, const QString& error) {
  recordingRuns_ = false;
  B_Record->setEnabled(true);
  B_Record->setText(u"Запись..."_s);
  if (error.isEmpty()) {
    L_Record->setStyleSheet(QString());
    L_Record->setText(
        u"Записано в %1: строк %2"_s.arg(shownText(QFileInfo(path).fileName())).arg(rows));
    return;
  }
  // The monitor goes on; the user learns why the file stopped growing.
  L_Record->setStyleSheet(u"color: red"_s);
  L_Record->setText(u"Запись остановлена: %1"_s.arg(shownText(QFileInfo(path).fileName())));
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
  if (initBackupPath_.isEmpty()) return;
  const QString path = std::exchange(initBackupPath_, QString());
  const QString error = saveEepromHexFile(path, eeprom, QDateTime::currentDateTime(),
                                          QCoreApplication::applicationVersion());
  const QString shown = shownPath(path);
  if (!error.isEmpty()) {
    // Without its backup the initialisation is not what the user agreed to.
    logLine(u"Копия EEPROM не сохранена в %1: %2. Инициализация не выполнена."_s.arg(shown, error));
    dialogs.warn(
        u"Инициализация"_s,
        u"Копия EEPROM не сохранена в «%1»: %2.\nИнициализация не выполнена."_s.arg(shown, error));
    return;
  }
  logLine(u"Копия EEPROM сохранена в %1"_s.arg(shown));
  // Queued: the map may arrive in the middle of a tick, and a write goes between two.
  QMetaObject::invokeMethod(
      this, [s = &session_] { runIn(s, [s] { s->sendCommand(DeviceCommand::InitEeprom); }); },
      Qt::QueuedConnection);
}

void TFormMonitor::B_InitEEClick() {
  const QStringList buttons{u"Сохранить копию и инициализировать"_s,
                            u"Инициализировать без копии"_s, u"Отмена"_s};
  const QString question =
      u"«Инициализация» вернёт всю EEPROM устройства к заводским значениям: все настройки и "
      u"калибровка (коррекции тока, напряжения и мощности, транзисторы) будут потеряны.\n\n"
      u"Сохранить копию EEPROM в файл перед этим? Её можно вернуть через «Load EEProm» → "
      u"«Сравнить с файлом...»."_s;
  const int choice = dialogs.choose ? dialogs.choose(u"Инициализация"_s, question, buttons)
                                    : int(buttons.size() - 1);
  if (choice == 1) {
    runIn(&session_, [s = &session_] { s->sendCommand(DeviceCommand::InitEeprom); });
    return;
  }
  if (choice != 0) return;
  const QString suggested =
      u"eeprom-"_s + QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s) + u".hex"_s;
  QString path = dialogs.savePath(u"Копия EEPROM перед инициализацией"_s, suggested,
                                  u"Intel HEX (*.hex)"_s, nullptr);
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty() && !QFileInfo::exists(path)) path += u".hex"_s;
  // The EEPROM is read whole between two ticks; the map's answer brings the backup, and then
  // the command (showMap).
  initBackupPath_ = path;
  logLine(u"Инициализация: EEPROM читается для копии"_s);
  runIn(&session_, [s = &session_] { s->requestDump(); });
}

void TFormMonitor::cancelPendingInit(const QString& why) {
  if (initBackupPath_.isEmpty()) return;
  initBackupPath_.clear();
  logLine(u"Инициализация отменена: %1"_s.arg(why));
}

void TFormMonitor::logLine(const QString& text) {
  QScrollBar* bar = RichEditErr->verticalScrollBar();
  const bool atEnd = bar->value() == bar->maximum();
  RichEditErr->appendPlainText(AlarmLogPrefix(QDateTime::currentDateTime()) + text);
  if (atEnd) bar->setValue(bar->maximum());
}

void TFormMonitor::writeFinished(Result result, quint8 command) {
  if (command != DeviceCommand::InitEeprom) return;
  if (result != Result::Ok) {
    logLine(u"Инициализация не выполнена: %1"_s.arg(resultMessage(result)));
    return;
  }
  logLine(u"Инициализация выполнена: EEPROM устройства снова заводская"_s);
  // A successful initialisation is heard whatever the sound switch says.
  if (sounds_) sounds_->play(Sound::Ok);
}

void TFormMonitor::runEnded() {
  cancelPendingInit(u"монитор остановлен"_s);
  if (mainWindow_) mainWindow_->show();
  hide();
}

void TFormMonitor::FormClose() {
  cancelPendingInit(u"монитор закрыт"_s);
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

}  // namespace lir2
