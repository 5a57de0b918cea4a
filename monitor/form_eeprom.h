#pragma once

#include <QWidget>

class QPlainTextEdit;

// "EEProm": the hex table of the device's whole EEPROM. Closing it only hides it.
class TFormEEProm : public QWidget {
  Q_OBJECT
 public:
  explicit TFormEEProm(QWidget* parent = nullptr);

  // Shows a map text (FormatEepromMap), replacing what was there.
  void showMap(const QString& text);
  // Empties the window: a new map is on its way.
  void clearMap();

  QPlainTextEdit* RichEditEEprom = nullptr;
};
