#pragma once

#include <QWidget>

// The GSM modem window, reached through the main window's hidden modem button.
class TFormSmsModem : public QWidget {
  Q_OBJECT
 public:
  explicit TFormSmsModem(QWidget* parent = nullptr);
};
