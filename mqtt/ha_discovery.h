#pragma once

// The device as Home Assistant's MQTT discovery sees it: one discovery device per inverter with
// its entities (the monitor's readings, the alarms, the identification, and what the owner
// allowed the dashboard to change), and the messages that carry their values.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include "monitor/decode_context.h"
#include "monitor/ram_values.h"
#include "mqtt/ha_entities.h"

namespace lir2 {

// The topics of one device, and of the serve that publishes it.
struct DeviceTopics {
  QString prefix;           // "lir2"
  QString discoveryPrefix;  // "homeassistant"
  QString node;             // the serve's part: its own availability
  QString id;               // the device's part

  QString base() const { return prefix + '/' + id; }
  QString serveStatus() const {
    return prefix + QStringLiteral("/bridge/") + node + QStringLiteral("/status");
  }
  QString availability() const { return base() + QStringLiteral("/availability"); }
  QString state() const { return base() + QStringLiteral("/state"); }
  QString identity() const { return base() + QStringLiteral("/identity"); }
  QString alarm() const { return base() + QStringLiteral("/alarm"); }
  QString command() const { return base() + QStringLiteral("/command"); }
  QString result() const { return base() + QStringLiteral("/result"); }
  // Writes of allowed EEPROM cells: base/eeprom/ADDRESS/set.
  QString eepromSet(quint16 address) const {
    return base() + QStringLiteral("/eeprom/%1/set").arg(address);
  }
};

// What names the device besides its EEPROM.
struct DeviceLabel {
  QString name;  // the owner's name for it, or "LIR" and its port
  QString port;  // its port path (or the simulated device)
  qint32 rate = 0;
  QString programVersion;
};

struct DiscoveryMessage {
  QString topic;
  QByteArray payload;  // empty: the entity is removed
};

// Every entity's discovery message, retained by the broker. The alarm binary sensors take the
// names of this device's alarm tables; with commands the switches and the reset button are
// offered, without them their entities are removed.
QList<DiscoveryMessage> discoveryMessages(const DeviceTopics& topics, const DeviceLabel& label,
                                          const DeviceFacts& facts, const DecodeContext& context,
                                          bool commands);

// The state topic's JSON: every reading of the RAM pass, the switches' state, the alarm bits,
// the output frequency and the allowed settings, and when the pass was decoded.
QByteArray statePayload(const RamValues& values, const DecodeContext& context,
                        const DeviceFacts& facts, const QDateTime& at);
// The identification's JSON (retained).
QByteArray identityPayload(const DeviceFacts& facts, const DeviceLabel& label);
// An alarm that appeared: its event, its text as the log writes it, and when.
QByteArray alarmEventPayload(const AlarmEvent& alarm, const QDateTime& at);
// "system_0" ... "event_7": an alarm bit's key in events and in the state's "alarms".
QString alarmKey(int ramOffset, int bit);

}  // namespace lir2
