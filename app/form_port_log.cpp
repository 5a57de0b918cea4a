#include "form_port_log.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/log_view.h"
#include "serial/safe_save.h"
#include "serial/shown_text.h"

namespace lir2 {

using namespace Qt::StringLiterals;

TFormPortLog::TFormPortLog(Kind kind, QWidget* parent) : QWidget(parent, Qt::Window), kind_(kind) {
  log_ = new LogView(this);
  if (kind == Kind::Read) {
    setObjectName(QStringLiteral("FormReadPort"));
    setWindowTitle(QStringLiteral("Чтение с Порта"));
    log_->setObjectName(QStringLiteral("RichEditRead"));
    setGeometry(332, 346, 309, 282);
  } else {
    setObjectName(QStringLiteral("FormWritePort"));
    setWindowTitle(QStringLiteral("Запись в  Порт"));
    log_->setObjectName(QStringLiteral("RichEditWrite"));
    setGeometry(21, 346, 306, 282);
  }
  dialogs = WindowDialogs::standard(this);
  B_SaveLog = new QPushButton(u"Сохранить..."_s, this);
  B_SaveLog->setObjectName(u"B_SaveLog"_s);
  CB_TimeStamps = new QCheckBox(u"Время строк"_s, this);
  CB_TimeStamps->setObjectName(u"CB_TimeStamps"_s);
  CB_TimeStamps->setToolTip(u"Показывать и сохранять время прихода каждой строки"_s);
  connect(B_SaveLog, &QPushButton::clicked, this, &TFormPortLog::B_SaveLogClick);
  connect(CB_TimeStamps, &QCheckBox::toggled, log_, &LogView::setTimeStamps);

  auto* tools = new QHBoxLayout;
  tools->setContentsMargins(4, 2, 4, 0);
  tools->addWidget(B_SaveLog);
  tools->addWidget(CB_TimeStamps);
  tools->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addLayout(tools);
  layout->addWidget(log_);
}

void TFormPortLog::B_SaveLogClick() {
  const QString suggested = (kind_ == Kind::Read ? u"port-read-"_s : u"port-write-"_s) +
                            QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s) + u".txt"_s;
  QString path = dialogs.savePath(u"Сохранить протокол"_s, suggested,
                                  u"Текст (*.txt);;Все файлы (*)"_s, nullptr);
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty() && !QFileInfo::exists(path)) path += u".txt"_s;
  log_->flush();
  const QByteArray bytes = log_->savedBytes();
  // A failure leaves an earlier file as it was.
  QString reason;
  if (!saveFile(path, bytes, &reason))
    dialogs.warn(windowTitle(), u"Протокол не сохранён в «%1»: %2"_s.arg(shownPath(path), reason));
}

void TFormPortLog::closeEvent(QCloseEvent* event) {
  event->accept();
  emit closedByUser();
}

void TFormPortLog::append(QStringView text) {
  log_->append(text);
}

void TFormPortLog::clear() {
  log_->clearLog();
}

QString TFormPortLog::logText() const {
  return log_->logText();
}

}  // namespace lir2
