#pragma once

#include <QDialog>
#include <QList>

#include "monitor/device_images.h"
#include "monitor/eeprom_backup.h"
#include "widgets/window_dialogs.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace lir2 {

// "Сравнение EEPROM с файлом": the cells in which the device and a saved file differ, and the
// restore of the chosen ones. The window never writes itself: it asks for the restore
// (restoreRequested) and shows its progress and its end as the monitor reports them.
class TFormEEPromDiff : public QDialog {
  Q_OBJECT
 public:
  explicit TFormEEPromDiff(QWidget* parent = nullptr);

  // A comparison of the device's EEPROM, as just read, with the file at path.
  void compare(const QString& path, const EepromHexFile& file, const DeviceImages::Eeprom& device);
  // What the monitor reports of a restore.
  void restoreProgress(int written, int total);
  void restoreFinished(const EepromRestoreResult& result);

  const QList<CellDifference>& differences() const { return differences_; }
  // The checked rows' cells with the file's values.
  QList<EepromWrite> selectedCells() const;
  bool restoring() const { return restoring_; }

  // Handlers.
  void B_SelectAllClick();
  void B_WriteSelectedClick();
  void B_StopRestoreClick();

  WindowDialogs dialogs;

  // Columns of TW_Diff.
  enum Column { ColAddress, ColMeaning, ColDevice, ColFile, kColumns };

 signals:
  void restoreRequested(const QList<EepromWrite>& cells);
  void restoreStopRequested();

 private:
  QLabel* L_Files = nullptr;
  QTableWidget* TW_Diff = nullptr;
  QPushButton* B_SelectAll = nullptr;
  QPushButton* B_WriteSelected = nullptr;
  QPushButton* B_StopRestore = nullptr;
  QProgressBar* PB_Restore = nullptr;
  QLabel* L_RestoreState = nullptr;

  void fillTable();
  void updateButtons();
  void showState(const QString& text, bool failure);

  QString path_;
  EepromHexFile file_;
  DeviceImages::Eeprom device_{};
  QList<CellDifference> differences_;
  bool restoring_ = false;
  int restoreTotal_ = 0;
};

}  // namespace lir2
