#include "monitor/form_eeprom_diff.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "monitor/restore_plan.h"
#include "protocol/result_messages.h"
#include "serial/shown_text.h"

namespace lir2 {

using namespace Qt::StringLiterals;

namespace {

// Lines of cells a confirmation lists before it says how many more there are.
constexpr int kListedChanges = 25;

}  // namespace

TFormEEPromDiff::TFormEEPromDiff(QWidget* parent) : QDialog(parent) {
  setObjectName(u"FormEEPromDiff"_s);
  setWindowTitle(u"Сравнение EEPROM с файлом"_s);
  dialogs = WindowDialogs::standard(this);

  L_Files = new QLabel(this);
  L_Files->setObjectName(u"L_Files"_s);
  L_Files->setTextInteractionFlags(Qt::TextSelectableByMouse);
  L_Files->setWordWrap(true);

  TW_Diff = new QTableWidget(0, kColumns, this);
  TW_Diff->setObjectName(u"TW_Diff"_s);
  TW_Diff->setHorizontalHeaderLabels(
      {u"Адрес"_s, u"Значение ячейки"_s, u"В устройстве"_s, u"В файле"_s});
  TW_Diff->verticalHeader()->hide();
  TW_Diff->setSelectionMode(QAbstractItemView::NoSelection);
  TW_Diff->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TW_Diff->horizontalHeader()->setSectionResizeMode(ColMeaning, QHeaderView::Stretch);
  connect(TW_Diff, &QTableWidget::itemChanged, this, [this] { updateButtons(); });

  B_SelectAll = new QPushButton(u"Выбрать все"_s, this);
  B_SelectAll->setObjectName(u"B_SelectAll"_s);
  B_WriteSelected = new QPushButton(u"Записать выбранные"_s, this);
  B_WriteSelected->setObjectName(u"B_WriteSelected"_s);
  B_StopRestore = new QPushButton(u"Стоп"_s, this);
  B_StopRestore->setObjectName(u"B_StopRestore"_s);
  auto* close = new QPushButton(u"Закрыть"_s, this);
  connect(B_SelectAll, &QPushButton::clicked, this, &TFormEEPromDiff::B_SelectAllClick);
  connect(B_WriteSelected, &QPushButton::clicked, this, &TFormEEPromDiff::B_WriteSelectedClick);
  connect(B_StopRestore, &QPushButton::clicked, this, &TFormEEPromDiff::B_StopRestoreClick);
  connect(close, &QPushButton::clicked, this, &QDialog::hide);

  PB_Restore = new QProgressBar(this);
  PB_Restore->setObjectName(u"PB_Restore"_s);
  PB_Restore->setRange(0, 1);
  PB_Restore->setValue(0);
  L_RestoreState = new QLabel(this);
  L_RestoreState->setObjectName(u"L_RestoreState"_s);
  L_RestoreState->setWordWrap(true);
  L_RestoreState->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(B_SelectAll);
  buttons->addWidget(B_WriteSelected);
  buttons->addWidget(B_StopRestore);
  buttons->addWidget(PB_Restore, 1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(L_Files);
  layout->addWidget(TW_Diff, 1);
  layout->addLayout(buttons);
  layout->addWidget(L_RestoreState);
  resize(720, 480);
  updateButtons();
}

void TFormEEPromDiff::compare(const QString& path, const EepromHexFile& file,
                              const DeviceImages::Eeprom& device) {
  path_ = path;
  file_ = file;
  device_ = device;
  const RestorePlan plan = planRestore(file, device);
  differences_ = plan.differences;
  L_Files->setText(
      u"Файл: %1 (%2 ячеек%3)\nУстройство в файле: %4\nУстройство на линии: %5"_s
          .arg(shownPath(path))
          .arg(file.present.count())
          .arg(file.savedText.isEmpty() ? QString() : u", сохранён "_s + file.savedText)
          .arg(plan.fileDevice ? plan.fileDevice->describe() : u"не указано"_s)
          .arg(plan.device.describe()));
  PB_Restore->setRange(0, 1);
  PB_Restore->setValue(0);
  showState(differences_.isEmpty() ? u"EEPROM устройства совпадает с файлом."_s
                                   : u"Различаются ячеек: %1."_s.arg(differences_.size()),
            false);
  fillTable();
}

void TFormEEPromDiff::fillTable() {
  const QSignalBlocker block(TW_Diff);
  TW_Diff->setRowCount(int(differences_.size()));
  for (int row = 0; row < differences_.size(); ++row) {
    const CellDifference& d = differences_[row];
    auto* address = new QTableWidgetItem(cellAddressText(d.address));
    if (isRestorable(d.address)) {
      address->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
      address->setCheckState(Qt::Unchecked);
    } else {
      // The command register and the identification stay as the device has them.
      address->setFlags(Qt::ItemIsEnabled);
      address->setToolTip(u"Ячейки 0–4 (команда и идентификация) не записываются"_s);
    }
    TW_Diff->setItem(row, ColAddress, address);
    TW_Diff->setItem(row, ColMeaning, new QTableWidgetItem(d.meaning));
    TW_Diff->setItem(row, ColDevice, new QTableWidgetItem(cellValueText(d.device)));
    TW_Diff->setItem(row, ColFile, new QTableWidgetItem(cellValueText(d.file)));
    if (!isRestorable(d.address))
      for (int c = 0; c < kColumns; ++c) TW_Diff->item(row, c)->setForeground(Qt::gray);
  }
  TW_Diff->resizeColumnToContents(ColAddress);
  TW_Diff->resizeColumnToContents(ColDevice);
  TW_Diff->resizeColumnToContents(ColFile);
  updateButtons();
}

QList<EepromWrite> TFormEEPromDiff::selectedCells() const {
  QList<EepromWrite> cells;
  for (int row = 0; row < TW_Diff->rowCount(); ++row) {
    const QTableWidgetItem* item = TW_Diff->item(row, ColAddress);
    const CellDifference& d = differences_[row];
    if (item && item->checkState() == Qt::Checked && isRestorable(d.address))
      cells.append({d.address, d.file});
  }
  return cells;
}

void TFormEEPromDiff::updateButtons() {
  bool anyRestorable = false;
  for (const CellDifference& d : differences_) anyRestorable |= isRestorable(d.address);
  B_SelectAll->setEnabled(!restoring_ && anyRestorable);
  B_WriteSelected->setEnabled(!restoring_ && !selectedCells().isEmpty());
  // Stop comes alive when the restore has started.
  B_StopRestore->setEnabled(restoring_ && restoreTotal_ > 0);
}

void TFormEEPromDiff::showState(const QString& text, bool failure) {
  L_RestoreState->setText(text);
  L_RestoreState->setStyleSheet(failure ? u"color: red"_s : QString());
}

void TFormEEPromDiff::B_SelectAllClick() {
  for (int row = 0; row < TW_Diff->rowCount(); ++row)
    if (QTableWidgetItem* item = TW_Diff->item(row, ColAddress);
        item && (item->flags() & Qt::ItemIsUserCheckable))
      item->setCheckState(Qt::Checked);
  updateButtons();
}

void TFormEEPromDiff::B_WriteSelectedClick() {
  const QList<EepromWrite> cells = selectedCells();
  if (cells.isEmpty() || restoring_) return;

  // The plan the command line follows too. A file of another device: its settings and
  // calibration may not suit this one.
  const RestorePlan plan = planRestore(file_, device_);
  if (plan.origin == RestorePlan::Origin::Unknown) {
    if (!dialogs.confirm(
            u"Другое устройство?"_s,
            kUnknownOriginText + u"\nУстройство на линии: %1.\n\n"
                                 u"Записать ячейки из этого файла?"_s.arg(plan.device.describe())))
      return;
  } else if (plan.origin == RestorePlan::Origin::OtherDevice) {
    if (!dialogs.confirm(u"Другое устройство"_s,
                         u"Файл сохранён с другого устройства.\n"
                         u"В файле: %1.\nНа линии: %2.\n\n"_s.arg(plan.fileDevice->describe(),
                                                                  plan.device.describe()) +
                             kOtherSettingsText + u" Записать всё равно?"_s))
      return;
  }
  // Another kind of device: writing its cells would make this one another model. A second,
  // explicit question, whose default is no.
  if (!plan.otherKind.isEmpty()) {
    if (!dialogs.confirm(u"Устройство другого типа"_s,
                         u"Файл сохранён с устройства другого типа: %1.\n\n"
                         u"Запись его ячеек сделает из этого устройства другую модель, с "
                         u"настройками и калибровкой для другой платы, напряжения или мощности. "
                         u"Обычно это ошибка выбора файла.\n\n"
                         u"Записать ячейки с устройства другого типа?"_s.arg(plan.otherKind)))
      return;
  }

  if (!dialogs.confirm(u"Записать в EEPROM"_s,
                       u"Записать в EEPROM устройства ячеек: %1?\n\n"_s.arg(cells.size()) +
                           restoreChangeLines(cells, device_, kListedChanges).join(u'\n')))
    return;

  restoring_ = true;
  restoreTotal_ = 0;
  PB_Restore->setRange(0, int(cells.size()));
  PB_Restore->setValue(0);
  showState(u"Запись…"_s, false);
  updateButtons();
  emit restoreRequested(cells);
}

void TFormEEPromDiff::B_StopRestoreClick() {
  if (!restoring_) return;
  B_StopRestore->setEnabled(false);
  showState(u"Остановка после текущей ячейки…"_s, false);
  emit restoreStopRequested();
}

void TFormEEPromDiff::restoreProgress(int written, int total) {
  if (!restoring_) return;
  restoreTotal_ = total;
  PB_Restore->setRange(0, std::max(total, 1));
  PB_Restore->setValue(written);
  if (written < total) showState(u"Записано %1 из %2…"_s.arg(written).arg(total), false);
  updateButtons();
}

void TFormEEPromDiff::restoreFinished(const EepromRestoreResult& r) {
  if (!restoring_) return;
  restoring_ = false;
  restoreTotal_ = 0;
  const RestoreOutcome outcome = describeRestore(r, file_);
  if (outcome.remaining) {
    device_ = r.eeprom;
    differences_ = *outcome.remaining;
    fillTable();
  }
  showState(outcome.text, outcome.failure);
  updateButtons();
}

}  // namespace lir2
