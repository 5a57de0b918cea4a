#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace lir2 {

// The questions a window asks its user: where to save, what to open, whether to go on, and the
// messages it shows. Every window that asks or tells holds one of these (the main window, the
// monitor and its sheet, the EEPROM windows, the log windows); its members default to the
// standard dialogs over that window, and tests replace them with answers of their own.
struct WindowDialogs {
  // A path to save to, or empty when the user cancels. `filter` is the filter list
  // ("Intel HEX (*.hex);;Текст (*.txt)"); `chosenFilter` receives the one the user took.
  std::function<QString(const QString& title, const QString& suggested, const QString& filter,
                        QString* chosenFilter)>
      savePath;
  // A file to open, or empty.
  std::function<QString(const QString& title, const QString& filter)> openPath;
  // A question with Yes and No, No the default; true for Yes.
  std::function<bool(const QString& title, const QString& text)> confirm;
  // A question with buttons of these captions, the last one the cancel and default: the index
  // of the button taken (the last one when the dialog is closed). Left unset, every question
  // is taken as cancelled.
  std::function<int(const QString& title, const QString& text, const QStringList& buttons)> choose;
  // A warning with an OK button.
  std::function<void(const QString& title, const QString& text)> warn;
  // The error box of a conversion or a file that failed ("'' is not a valid integer value"),
  // titled with the program's name.
  std::function<void(const QString& text)> error;

  // The standard dialogs, over parent.
  static WindowDialogs standard(QWidget* parent);
};

}  // namespace lir2
