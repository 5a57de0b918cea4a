#include "monitor/window_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

WindowDialogs WindowDialogs::standard(QWidget* parent) {
  // The parent may go before the dialogs are asked for; they then stand on their own.
  QPointer<QWidget> owner(parent);
  WindowDialogs d;
  d.savePath = [owner](const QString& title, const QString& suggested, const QString& filter,
                       QString* chosenFilter) {
    return QFileDialog::getSaveFileName(owner, title, suggested, filter, chosenFilter);
  };
  d.openPath = [owner](const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(owner, title, QString(), filter);
  };
  d.confirm = [owner](const QString& title, const QString& text) {
    return QMessageBox::question(owner, title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  };
  d.warn = [owner](const QString& title, const QString& text) {
    QMessageBox::warning(owner, title, text);
  };
  return d;
}
