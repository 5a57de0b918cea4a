#include "form_eeprom.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "monitor/eeprom_map.h"
#include "monitor/form_eeprom_diff.h"
#include "serial/safe_save.h"
#include "serial/shown_text.h"

namespace lir2 {

using namespace Qt::StringLiterals;

namespace {

// A bold fixed-pitch face, so the columns of the table line up: Courier New where it is
// installed, else the system's fixed font (DejaVu Sans Mono on a Debian desktop).
QFont mapFont() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (const QString& family : {QStringLiteral("Courier New"), QStringLiteral("DejaVu Sans Mono"),
                                QStringLiteral("Liberation Mono")}) {
    if (QFontDatabase::hasFamily(family)) {
      font.setFamily(family);
      break;
    }
  }
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setBold(true);
  font.setPixelSize(18);
  return font;
}

const QString kHexFilter = u"Intel HEX (*.hex)"_s;
const QString kTextFilter = u"Текст карты (*.txt)"_s;

}  // namespace

TFormEEProm::TFormEEProm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("FormEEProm"));
  setWindowTitle(QStringLiteral("EEProm"));
  dialogs = WindowDialogs::standard(this);
  RichEditEEprom = new QPlainTextEdit(this);
  RichEditEEprom->setObjectName(QStringLiteral("RichEditEEprom"));
  RichEditEEprom->setReadOnly(true);
  RichEditEEprom->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEditEEprom->setLineWrapMode(QPlainTextEdit::NoWrap);
  RichEditEEprom->setFont(mapFont());

  B_SaveMap = new QPushButton(u"Сохранить..."_s, this);
  B_SaveMap->setObjectName(u"B_SaveMap"_s);
  B_CompareMap = new QPushButton(u"Сравнить с файлом..."_s, this);
  B_CompareMap->setObjectName(u"B_CompareMap"_s);
  L_MapState = new QLabel(this);
  L_MapState->setObjectName(u"L_MapState"_s);
  L_MapState->setContentsMargins(6, 0, 6, 0);
  connect(B_SaveMap, &QPushButton::clicked, this, &TFormEEProm::B_SaveMapClick);
  connect(B_CompareMap, &QPushButton::clicked, this, &TFormEEProm::B_CompareMapClick);

  diff_ = new TFormEEPromDiff(this);
  connect(diff_, &TFormEEPromDiff::restoreRequested, this, &TFormEEProm::restoreRequested);
  connect(diff_, &TFormEEPromDiff::restoreStopRequested, this, &TFormEEProm::restoreStopRequested);

  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(4, 4, 4, 0);
  buttons->addWidget(B_SaveMap);
  buttons->addWidget(B_CompareMap);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addLayout(buttons);
  layout->addWidget(L_MapState);
  layout->addWidget(RichEditEEprom);
  // Wide enough for a whole line of the table and its scroll bar, high enough for 32 lines.
  const QFontMetrics metrics(RichEditEEprom->font());
  const int width = metrics.horizontalAdvance(QStringLiteral("000:  00 01 02 03 04 05 06 07 ")) +
                    RichEditEEprom->verticalScrollBar()->sizeHint().width() + 24;
  resize(std::max(width, layout->minimumSize().width()),
         metrics.lineSpacing() * 32 + 12 + B_SaveMap->sizeHint().height());
  B_SaveMap->setEnabled(false);
}

TFormEEProm::~TFormEEProm() = default;

void TFormEEProm::showMap(const QString& text) {
  RichEditEEprom->setPlainText(text);
}

void TFormEEProm::showDump(const DeviceImages::Eeprom& eeprom) {
  dump_ = eeprom;
  showMap(FormatEepromMap(eeprom));
  B_SaveMap->setEnabled(true);
  L_MapState->setText(u"Прочитана %1"_s.arg(QTime::currentTime().toString(u"HH:mm:ss"_s)));
  if (pendingFile_) {
    const EepromHexFile file = *pendingFile_;
    pendingFile_.reset();
    diff_->compare(pendingPath_, file, eeprom);
    diff_->show();
    diff_->raise();
  }
}

void TFormEEProm::clearMap() {
  RichEditEEprom->clear();
  dump_.reset();
  B_SaveMap->setEnabled(false);
  L_MapState->setText(pendingFile_ ? u"Чтение EEPROM для сравнения…"_s : u"Чтение EEPROM…"_s);
}

void TFormEEProm::cancelCompare(const QString& reason) {
  pendingFile_.reset();
  L_MapState->clear();
  dialogs.warn(windowTitle(), reason);
}

void TFormEEProm::restoreProgress(int written, int total) {
  diff_->restoreProgress(written, total);
}

void TFormEEProm::restoreFinished(const EepromRestoreResult& result) {
  diff_->restoreFinished(result);
}

void TFormEEProm::B_SaveMapClick() {
  if (!dump_) return;
  QString filter = kHexFilter;
  const QString suggested =
      u"eeprom-"_s + QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s) + u".hex"_s;
  QString path = dialogs.savePath(u"Сохранить EEPROM"_s, suggested,
                                  kHexFilter + u";;"_s + kTextFilter, &filter);
  if (path.isEmpty()) return;
  // The file type follows the chosen filter, or the name's extension.
  const bool text = path.endsWith(u".txt"_s, Qt::CaseInsensitive) ||
                    (filter == kTextFilter && !path.endsWith(u".hex"_s, Qt::CaseInsensitive));
  if (QFileInfo(path).suffix().isEmpty() && !QFileInfo::exists(path))
    path += text ? u".txt"_s : u".hex"_s;
  const QByteArray bytes = text ? FormatEepromMap(*dump_).toUtf8()
                                : writeEepromHex(*dump_, QDateTime::currentDateTime(),
                                                 QCoreApplication::applicationVersion());
  // A failure leaves an earlier file as it was.
  QString reason;
  if (!saveFile(path, bytes, &reason)) {
    dialogs.warn(u"Сохранить EEPROM"_s,
                 u"Файл «%1» не сохранён: %2"_s.arg(shownPath(path), reason));
    return;
  }
  L_MapState->setText(u"Сохранена в %1"_s.arg(shownPath(path)));
}

void TFormEEProm::B_CompareMapClick() {
  if (diff_->restoring()) {
    dialogs.warn(u"Сравнить с файлом"_s, u"Идёт запись в EEPROM: сравните, когда она кончится."_s);
    return;
  }
  const QString path =
      dialogs.openPath(u"Сравнить EEPROM с файлом"_s, kHexFilter + u";;Все файлы (*)"_s);
  if (path.isEmpty()) return;
  EepromHexRead read = readEepromHexFile(path);
  if (!read.file) {
    dialogs.warn(u"Сравнить с файлом"_s,
                 u"Файл «%1» не принят: %2."_s.arg(shownPath(path), read.error));
    return;
  }
  // The device is read afresh, so the comparison shows what it holds now. A read that fails
  // leaves the file waiting for the next map ("Load EEProm", or comparing again).
  pendingFile_ = std::move(read.file);
  pendingPath_ = path;
  emit dumpRequested();
}

}  // namespace lir2
