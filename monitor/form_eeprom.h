#pragma once

#include <QWidget>

#include <optional>

#include "monitor/device_images.h"
#include "monitor/eeprom_backup.h"
#include "widgets/window_dialogs.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace lir2 {

class TFormEEPromDiff;

// "EEProm": the hex table of the device's whole EEPROM. Closing it only hides it. The map can
// be saved (as Intel HEX, or as the text shown) and compared with a saved file; the comparison
// reads the device's EEPROM afresh, and its window restores chosen cells.
class TFormEEProm : public QWidget {
  Q_OBJECT
 public:
  explicit TFormEEProm(QWidget* parent = nullptr);
  ~TFormEEProm() override;

  // Shows a map text (FormatEepromMap), replacing what was there.
  void showMap(const QString& text);
  // Shows the EEPROM as read whole, and keeps it for saving; a comparison waiting for it is
  // made now.
  void showDump(const DeviceImages::Eeprom& eeprom);
  // Empties the window: a new map is on its way.
  void clearMap();
  // The comparison's read cannot be served (the monitor is not running).
  void cancelCompare(const QString& reason);
  // What the monitor reports of a restore, for the comparison window.
  void restoreProgress(int written, int total);
  void restoreFinished(const EepromRestoreResult& result);

  // Handlers.
  void B_SaveMapClick();
  void B_CompareMapClick();

  TFormEEPromDiff* diffWindow() const { return diff_; }
  const std::optional<DeviceImages::Eeprom>& dump() const { return dump_; }

  WindowDialogs dialogs;

 signals:
  // A comparison needs the device's EEPROM read whole.
  void dumpRequested();
  void restoreRequested(const QList<EepromWrite>& cells);
  void restoreStopRequested();

 private:
  QPlainTextEdit* RichEditEEprom = nullptr;
  QPushButton* B_SaveMap = nullptr;
  QPushButton* B_CompareMap = nullptr;
  QLabel* L_MapState = nullptr;

  std::optional<DeviceImages::Eeprom> dump_;
  // A file waiting for the EEPROM it is to be compared with.
  std::optional<EepromHexFile> pendingFile_;
  QString pendingPath_;
  TFormEEPromDiff* diff_ = nullptr;
};

}  // namespace lir2
