#include "mqtt/ha_discovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

#include "monitor/alarm_messages.h"
#include "monitor/decode_rules.h"
#include "monitor/decoders.h"
#include "mqtt/serve_config.h"

namespace lir2 {

namespace {

// A reading of the state topic as a sensor: its key in the state's JSON, its name (the window's
// caption), and how Home Assistant is to treat it.
struct Reading {
  const char* key;
  const char* name;
  const char* deviceClass;  // nullptr: a text
  const char* unit;
  bool diagnostic = false;
};
constexpr Reading kReadings[] = {
    {"battery_voltage", "Напряжение АКБ", "voltage", "V"},
    {"battery_voltage_load", "Напряжение АКБ под нагрузкой", "voltage", "V"},
    {"battery_current", "Ток АКБ", "current", "A"},
    {"mains_voltage", "Вход Сети", "voltage", "V"},
    {"mains_current", "Ток Сети", "current", "A"},
    {"output_voltage", "Выход ЛИР", "voltage", "V"},
    {"power", "Мощность", "power", "kW"},
    {"temperature_ambient", "Температура окр. среды", "temperature", "°C"},
    {"temperature_transformer", "Температура транса", "temperature", "°C"},
    {"temperature_transistors", "Температура транзисторов", "temperature", "°C"},
    {"frequency", "Частота выхода", "frequency", "Hz"},
    {"seconds_to_charge", "До Заряда", "duration", "s"},
    {"charge_minutes", "Время заряда", "duration", "min"},
    {"mode", "Режим Работы ЛИР", nullptr, nullptr},
    {"charge", "Стадия заряда", nullptr, nullptr},
    {"short_circuits_1", "Счётчик КЗ 1", nullptr, nullptr, true},
    {"short_circuits_2", "Счётчик КЗ 2", nullptr, nullptr, true},
    {"short_circuits_hard", "Счётчик КЗ Hard", nullptr, nullptr, true},
};

// The identification, as diagnostic sensors of the identity topic.
constexpr std::pair<const char*, const char*> kIdentity[] = {
    {"board", "Версия Платы"},
    {"firmware", "Версия ПО"},
    {"power_model", "Мощность модели"},
    {"voltage_class", "Напряжение системы"},
    {"port", "Порт"},
};

const char* groupName(int ramOffset) {
  switch (ramOffset) {
    case 42:
      return "system";
    case 43:
      return "protection";
    case 44:
      return "warning";
    default:
      return "event";
  }
}

double rounded(long double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return std::round(static_cast<double>(value) * scale) / scale;
}

QJsonValue temperature(const RamValues& v, const TemperatureReading& t, bool hidden = false) {
  if (!v.temperaturesKnown || t.absent || hidden) return QJsonValue::Null;
  return t.celsius();
}

QByteArray compact(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString isoTime(const QDateTime& at) {
  return at.toOffsetFromUtc(at.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

}  // namespace

QString alarmKey(int ramOffset, int bit) {
  return QStringLiteral("%1_%2").arg(QLatin1String(groupName(ramOffset))).arg(bit);
}

QList<DiscoveryMessage> discoveryMessages(const DeviceTopics& topics, const DeviceLabel& label,
                                          const DeviceFacts& facts, const DecodeContext& context,
                                          bool commands) {
  const EepromIdentity& id = facts.identity;
  QStringList model;
  for (const QString& part : {id.power, id.voltage})
    if (!part.isEmpty()) model << part;
  // The first identifier stays while the device keeps its name or port; the second follows its
  // board and firmware. Home Assistant joins a device's identifiers, so an upgraded firmware
  // stays the same device, with its history.
  QJsonObject device{
      {"identifiers", QJsonArray{"lir2_" + topics.id,
                                 QStringLiteral("lir2_%1_%2_%3")
                                     .arg(topics.id, topicId(id.board), topicId(id.firmware))}},
      {"name", label.name},
      {"model", QStringLiteral("LIR ") + model.join(' ')},
  };
  if (!id.board.isEmpty()) device["hw_version"] = id.board;
  if (!id.firmware.isEmpty()) device["sw_version"] = id.firmware;
  const QJsonArray availability{QJsonObject{{"topic", topics.serveStatus()}},
                                QJsonObject{{"topic", topics.availability()}}};
  const QJsonObject origin{{"name", "lir2-cli serve"}, {"sw_version", label.programVersion}};

  QList<DiscoveryMessage> out;
  const auto add = [&](const char* component, const QString& key, QJsonObject config) {
    config["unique_id"] = QStringLiteral("lir2_%1_%2").arg(topics.id, key);
    config["has_entity_name"] = true;
    config["availability"] = availability;
    config["availability_mode"] = "all";
    config["device"] = device;
    config["origin"] = origin;
    out.append({QStringLiteral("%1/%2/lir2_%3/%4/config")
                    .arg(topics.discoveryPrefix, QLatin1String(component), topics.id, key),
                compact(config)});
  };
  const auto remove = [&](const char* component, const QString& key) {
    out.append({QStringLiteral("%1/%2/lir2_%3/%4/config")
                    .arg(topics.discoveryPrefix, QLatin1String(component), topics.id, key),
                {}});
  };

  for (const Reading& r : kReadings) {
    QJsonObject c{
        {"name", QString::fromUtf8(r.name)},
        {"state_topic", topics.state()},
        {"value_template", QStringLiteral("{{ value_json.%1 }}").arg(QLatin1String(r.key))}};
    if (r.deviceClass) {
      c["device_class"] = r.deviceClass;
      c["unit_of_measurement"] = QString::fromUtf8(r.unit);
      c["state_class"] = "measurement";
    } else if (r.diagnostic) {
      c["state_class"] = "measurement";
    }
    if (r.diagnostic) c["entity_category"] = "diagnostic";
    add("sensor", QLatin1String(r.key), c);
  }
  for (const auto& [key, name] : kIdentity)
    add("sensor", QLatin1String(key),
        {{"name", QString::fromUtf8(name)},
         {"state_topic", topics.identity()},
         {"value_template", QStringLiteral("{{ value_json.%1 }}").arg(QLatin1String(key))},
         {"entity_category", "diagnostic"}});

  QJsonArray eventTypes;
  for (const AlarmGroup& group : alarmGroupsFor(context.BoardGeneration, context.FirmwareVersion)) {
    for (int bit = 0; bit < 8; ++bit) {
      const QString key = alarmKey(group.ramOffset, bit);
      eventTypes.append(key);
      add("binary_sensor", "alarm_" + key,
          {{"name", (*group.messages)[bit].trimmed()},
           {"device_class", "problem"},
           {"state_topic", topics.state()},
           {"value_template",
            QStringLiteral("{{ 'ON' if '%1' in value_json.alarms else 'OFF' }}").arg(key)},
           {"payload_on", "ON"},
           {"payload_off", "OFF"}});
    }
  }
  add("event", QStringLiteral("alarm"),
      {{"name", "Тревога"}, {"state_topic", topics.alarm()}, {"event_types", eventTypes}});

  if (commands) {
    add("switch", QStringLiteral("lir"),
        {{"name", "ЛИР"},
         {"state_topic", topics.state()},
         {"value_template", "{{ value_json.lir_on }}"},
         {"state_on", "ON"},
         {"state_off", "OFF"},
         {"command_topic", topics.command()},
         {"payload_on", "lir_on"},
         {"payload_off", "lir_off"}});
    add("switch", QStringLiteral("charger"),
        {{"name", "Заряд"},
         {"state_topic", topics.state()},
         {"value_template", "{{ value_json.charge_on }}"},
         {"state_on", "ON"},
         {"state_off", "OFF"},
         {"command_topic", topics.command()},
         {"payload_on", "charge_on"},
         {"payload_off", "charge_off"}});
    add("button", QStringLiteral("reset"),
        {{"name", "Reset"}, {"command_topic", topics.command()}, {"payload_press", "reset"}});
  } else {
    // A run with commands before may have left them: the dashboard shows no dead switches.
    remove("switch", QStringLiteral("lir"));
    remove("switch", QStringLiteral("charger"));
    remove("button", QStringLiteral("reset"));
  }

  for (const SettingCell& cell : facts.settings) {
    QJsonObject c{{"name", cell.name},
                  {"command_topic", topics.eepromSet(cell.address)},
                  {"min", cell.min},
                  {"max", cell.max},
                  {"step", cell.step},
                  {"mode", "box"},
                  {"entity_category", "config"}};
    if (cell.value) {
      c["state_topic"] = topics.state();
      c["value_template"] = QStringLiteral("{{ value_json.settings['%1'] }}").arg(cell.address);
    }
    add("number", QStringLiteral("eeprom_%1").arg(cell.address), c);
  }
  return out;
}

QByteArray statePayload(const RamValues& v, const DecodeContext& c, const DeviceFacts& facts,
                        const QDateTime& at) {
  using namespace decode_rules;
  QJsonObject s;
  s["time"] = isoTime(at);
  const QString mode = modeText(v);
  s["mode"] = mode;
  // From mode 4 on the text ends with the charge stage: ", Идет заряд" and its kin.
  s["charge"] = v.mode >= 4 ? mode.section(QStringLiteral(", "), 2) : QStringLiteral("Нет заряда");
  s["seconds_to_charge"] = v.secondsToCharge ? QJsonValue(*v.secondsToCharge) : QJsonValue::Null;
  s["charge_minutes"] =
      v.mode >= 4 && hasChargeTimer(c) ? QJsonValue(v.chargeMinutes) : QJsonValue::Null;
  s["battery_voltage"] = rounded(v.batteryVolts, 2);
  s["battery_voltage_load"] = rounded(v.batteryVoltsUnderLoad, 2);
  s["battery_current"] = v.batteryAmps;
  s["mains_voltage"] = v.mainsVolts;
  // Negative while the device feeds the mains, as the window shows it in red with a minus.
  s["mains_current"] = rounded(v.mainsReverse ? -v.mainsAmps : v.mainsAmps, 4);
  s["output_voltage"] = v.outputVolts;
  s["power"] = rounded(v.powerKw, 2);
  s["temperature_ambient"] = temperature(v, v.ambient);
  s["temperature_transformer"] = temperature(v, v.transformer, v.transformerHidden);
  s["temperature_transistors"] = temperature(v, v.transistors);
  s["frequency"] = facts.frequencyHz ? QJsonValue(*facts.frequencyHz) : QJsonValue::Null;
  const bool counters = hasShortCircuitLimits(c);
  // From generation 7 with firmware 5.0 only the 48 V system keeps counter 1.
  const bool counter1 = counters && (G(c) < 7 || F(c) < 50 || c.VoltageClass == 2);
  s["short_circuits_1"] = counter1 ? QJsonValue(v.shortCircuits1) : QJsonValue::Null;
  s["short_circuits_2"] = counters ? QJsonValue(v.shortCircuits2) : QJsonValue::Null;
  s["short_circuits_hard"] =
      hasHardShortCircuit(c) ? QJsonValue(v.hardShortCircuits) : QJsonValue::Null;
  s["lir_on"] = c.LirOn ? "ON" : "OFF";
  s["charge_on"] = c.ChargeOn ? "ON" : "OFF";
  // The alarms that stand, by key: a short list where 32 flags would mostly say "off".
  QJsonArray alarms;
  for (int i = 0; i < 4; ++i)
    for (int bit = 0; bit < 8; ++bit)
      if ((v.alarmBytes[i] >> bit) & 1) alarms.append(alarmKey(42 + i, bit));
  s["alarms"] = alarms;
  QJsonObject settings;
  for (const SettingCell& cell : facts.settings)
    if (cell.value) settings[QString::number(cell.address)] = *cell.value;
  s["settings"] = settings;
  return compact(s);
}

QByteArray identityPayload(const DeviceFacts& facts, const DeviceLabel& label) {
  return compact({{"board", facts.identity.board},
                  {"firmware", facts.identity.firmware},
                  {"power_model", facts.identity.power},
                  {"voltage_class", facts.identity.voltage},
                  {"port", label.port},
                  {"rate", label.rate}});
}

QByteArray alarmEventPayload(const AlarmEvent& alarm, const QDateTime& at) {
  return compact({{"event_type", alarmKey(alarm.ramOffset, alarm.bit)},
                  {"text", alarm.text},
                  {"time", isoTime(at)}});
}

}  // namespace lir2
