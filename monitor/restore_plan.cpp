#include "monitor/restore_plan.h"

#include "monitor/eeprom_cells.h"

namespace lir2 {

RestorePlan planRestore(const EepromHexFile& file, const DeviceImages::Eeprom& device) {
  RestorePlan plan;
  plan.differences = compareEeprom(device, file);
  for (const CellDifference& d : plan.differences)
    (isRestorable(d.address) ? plan.cells : plan.kept).append({d.address, d.file});
  plan.device = identityOf(device);
  plan.fileDevice = file.deviceIdentity();
  if (!plan.fileDevice)
    plan.origin = RestorePlan::Origin::Unknown;
  else if (*plan.fileDevice != plan.device)
    plan.origin = RestorePlan::Origin::OtherDevice;
  plan.otherKind = otherDeviceKind(file, device);
  return plan;
}

QStringList restoreChangeLines(const QList<EepromWrite>& cells, const DeviceImages::Eeprom& device,
                               int most) {
  QStringList lines;
  for (qsizetype i = 0; i < cells.size() && (most < 0 || i < most); ++i) {
    const quint16 a = cells[i].address;
    const QString meaning = eepromCellMeaning(a);
    lines << QStringLiteral("%1%2: %3 → %4")
                 .arg(cellAddressText(a),
                      meaning.isEmpty() ? QString() : QStringLiteral(" ") + meaning,
                      cellValueText(device[a]), cellValueText(cells[i].value));
  }
  if (most >= 0 && cells.size() > most)
    lines << QStringLiteral("… и ещё %1").arg(cells.size() - most);
  return lines;
}

}  // namespace lir2
