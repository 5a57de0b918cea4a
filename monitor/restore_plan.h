#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

#include "monitor/device_images.h"
#include "monitor/eeprom_backup.h"

namespace lir2 {

// What restoring a saved EEPROM file would do to the device on the line, worked out once for
// the command line and the comparison window alike: which cells differ, which of them a restore
// may write, whose file it is, and whether it comes from another kind of device (which a restore
// writes only after an explicit second yes: it would make this device another model).
struct RestorePlan {
  QList<CellDifference> differences;  // every cell the file gives and the device does not hold
  QList<EepromWrite> cells;           // those a restore may write, with the file's values
  QList<EepromWrite> kept;            // the command register and the identification (0 to 4)

  EepromIdentity device;                     // the device on the line
  std::optional<EepromIdentity> fileDevice;  // the device the file is for, when it tells
  enum class Origin {
    SameDevice,   // the file names this device
    Unknown,      // the file does not say which device it comes from
    OtherDevice,  // it comes from another device: its settings may not suit this one
  };
  Origin origin = Origin::SameDevice;
  // What makes the file's device another kind ("напряжение 12 В в файле, 24 В на линии"); empty
  // when the kinds agree or the file does not hold those cells.
  QString otherKind;
};

RestorePlan planRestore(const EepromHexFile& file, const DeviceImages::Eeprom& device);

// What the warnings about the file's origin say, in both the window and the command line.
inline const QString kUnknownOriginText =
    QStringLiteral("В файле нет сведений об устройстве, с которого он сохранён.");
inline const QString kOtherSettingsText =
    QStringLiteral("Настройки и калибровка другого устройства могут ему не подойти.");

// The changes a confirmation lists, a line a cell: "0x017 (23) Мёртвое время: 0x10 (16) → 0x14
// (20)" (the cell's meaning where it has one). With `most` at 0 or more, only that many and then
// "… и ещё N".
QStringList restoreChangeLines(const QList<EepromWrite>& cells, const DeviceImages::Eeprom& device,
                               int most = -1);

}  // namespace lir2
