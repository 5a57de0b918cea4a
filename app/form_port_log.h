#pragma once

#include <QWidget>

class LogView;

// "Чтение с Порта" and "Запись в  Порт": a port log in a window of its own. Closing the window
// only hides it and tells the main window, whose action then inverts its check mark.
class TFormPortLog : public QWidget {
  Q_OBJECT
 public:
  enum class Kind { Read, Write };
  explicit TFormPortLog(Kind kind, QWidget* parent = nullptr);

  LogView* log() const { return log_; }

 signals:
  void closedByUser();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  LogView* log_;
};
