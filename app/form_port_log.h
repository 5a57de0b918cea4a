#pragma once

#include <QWidget>

#include "widgets/window_dialogs.h"

class QCheckBox;
class QPushButton;

namespace lir2 {

class LogView;

// "Чтение с Порта" and "Запись в  Порт": a port log in a window of its own. Closing the window
// only hides it and tells the main window, whose action then inverts its check mark. The log
// can be saved to a file, as the bytes it shows, and can show when each line came.
class TFormPortLog : public QWidget {
  Q_OBJECT
 public:
  enum class Kind { Read, Write };
  explicit TFormPortLog(Kind kind, QWidget* parent = nullptr);

  // The traffic as the line logged it, and the log emptied for a new run.
  void append(QStringView text);
  void clear();
  // The log's whole text, as shown.
  QString logText() const;

  // "Сохранить...": the log's text to a file, with the time stamps when they are shown.
  void B_SaveLogClick();

  WindowDialogs dialogs;

 signals:
  void closedByUser();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QPushButton* B_SaveLog = nullptr;
  QCheckBox* CB_TimeStamps = nullptr;
  LogView* log_;
  Kind kind_;
};

}  // namespace lir2
