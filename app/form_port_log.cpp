#include "form_port_log.h"

#include <QCloseEvent>
#include <QVBoxLayout>

#include "app/log_view.h"

TFormPortLog::TFormPortLog(Kind kind, QWidget* parent) : QWidget(parent, Qt::Window) {
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
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(log_);
}

void TFormPortLog::closeEvent(QCloseEvent* event) {
  event->accept();
  emit closedByUser();
}
