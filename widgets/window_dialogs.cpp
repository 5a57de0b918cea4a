#include "widgets/window_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>

#include "serial/config_file.h"

namespace lir2 {

namespace {

// A suggested name alone is offered in the working folder, as always; where the user may not
// write there (a Windows program installed under Program Files and started from its menu
// entry, which works in its own folder), in the user's documents instead.
QString savePlace(const QString& suggested) {
  if (suggested.isEmpty() || QFileInfo(suggested).isAbsolute() ||
      folderWritable(QDir::currentPath()))
    return suggested;
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return documents.isEmpty() ? suggested : QDir(documents).filePath(suggested);
}

}  // namespace

WindowDialogs WindowDialogs::standard(QWidget* parent) {
  // The parent may go before the dialogs are asked for; they then stand on their own.
  QPointer<QWidget> owner(parent);
  WindowDialogs d;
  d.savePath = [owner](const QString& title, const QString& suggested, const QString& filter,
                       QString* chosenFilter) {
    return QFileDialog::getSaveFileName(owner, title, savePlace(suggested), filter, chosenFilter);
  };
  d.openPath = [owner](const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(owner, title, QString(), filter);
  };
  d.confirm = [owner](const QString& title, const QString& text) {
    return QMessageBox::question(owner, title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  };
  d.choose = [owner](const QString& title, const QString& text, const QStringList& buttons) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, owner);
    QList<QAbstractButton*> made;
    for (qsizetype i = 0; i < buttons.size(); ++i)
      made << box.addButton(
          buttons[i], i + 1 == buttons.size() ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
    if (!made.isEmpty()) {
      box.setDefaultButton(qobject_cast<QPushButton*>(made.back()));
      box.setEscapeButton(made.back());
    }
    box.exec();
    const qsizetype index = made.indexOf(box.clickedButton());
    return int(index < 0 ? buttons.size() - 1 : index);
  };
  d.warn = [owner](const QString& title, const QString& text) {
    QMessageBox::warning(owner, title, text);
  };
  d.error = [owner](const QString& text) {
    QMessageBox::critical(owner, QGuiApplication::applicationDisplayName(), text);
  };
  return d;
}

}  // namespace lir2
