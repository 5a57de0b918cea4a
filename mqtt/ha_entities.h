#pragma once

// What the EEPROM says of a device, for the dashboard: its identification, its output frequency,
// and the settings cells the owner allowed it to write, with their field rules. The only place
// serve reads the EEPROM side (the images and the decode context), so it stays one file to
// switch when the identification and settings come as typed values.
#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

#include "monitor/decode_context.h"
#include "monitor/device_images.h"
#include "monitor/eeprom_backup.h"

namespace lir2 {

// A settings cell the dashboard may write: how its number entity is shown and what it holds.
struct SettingCell {
  quint16 address = 0;
  QString name;  // the window's caption for it, or "EEPROM N"
  double min = 0, max = 255, step = 1;
  std::optional<double> value;  // what the device holds, when the monitor reads the cell
  bool operator==(const SettingCell&) const = default;
};

// The EEPROM side of one device, as the last EEPROM decode left it.
struct DeviceFacts {
  EepromIdentity identity;
  std::optional<int> frequencyHz;  // the output frequency, 10000 div EEPROM 62
  QList<SettingCell> settings;     // the allowed cells, in the allow-list's order
  bool operator==(const DeviceFacts&) const = default;
};

DeviceFacts factsOf(const DeviceImages& images, const DecodeContext& context,
                    const QList<quint16>& allowed);

// A write asked for over MQTT, turned into the cells to write by the cell's field rule, as the
// monitor's field and button would write it; or refused, and why.
struct CellWritePlan {
  QList<EepromWrite> writes;
  QString refusal;
};
// address must be in the allow-list already; payload is the number as text ("1.2" or "1,2").
CellWritePlan planCellWrite(quint16 address, const QByteArray& payload,
                            const DecodeContext& context);

}  // namespace lir2
