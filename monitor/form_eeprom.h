#pragma once

#include <QWidget>

class QPlainTextEdit;

// "EEProm": the hex table of the device's whole EEPROM. Closing it only hides it.
class TFormEEProm : public QWidget {
  Q_OBJECT
 public:
  explicit TFormEEProm(QWidget* parent = nullptr);

  QPlainTextEdit* RichEditEEprom = nullptr;
};
