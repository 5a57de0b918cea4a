#include "mqtt/serve_config.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

#include <cmath>

#include "monitor/eeprom_backup.h"

namespace lir2 {

namespace {

// The keys of the file, outside and inside a [device] section.
const QSet<QString>& globalKeys() {
  static const QSet<QString> keys = {
      "mqtt", "mqtt_user",    "mqtt_password",    "mqtt_ca",        "mqtt_cert",    "mqtt_key",
      "node", "topic_prefix", "discovery_prefix", "allow_commands", "allow_eeprom", "min_interval"};
  return keys;
}
const QSet<QString>& deviceKeys() {
  static const QSet<QString> keys = {"port", "rate", "name", "allow_eeprom"};
  return keys;
}

std::optional<bool> toSwitch(const QString& value) {
  const QString v = value.toLower();
  if (v == "yes" || v == "true" || v == "on" || v == "1") return true;
  if (v == "no" || v == "false" || v == "off" || v == "0") return false;
  return std::nullopt;
}

// "23, 64 70": addresses, each one the dashboard may be allowed to write.
std::optional<QList<quint16>> toAllowList(const QString& value, QString& error) {
  QList<quint16> cells;
  for (const QString& item : value.split(QRegularExpression("[,\\s]+"), Qt::SkipEmptyParts)) {
    bool ok = false;
    const int address = item.toInt(&ok, 0);
    if (!ok) {
      error = QStringLiteral("«%1» — не адрес ячейки EEPROM").arg(item);
      return std::nullopt;
    }
    if (const QString why = allowListRefusal(address); !why.isEmpty()) {
      error = why;
      return std::nullopt;
    }
    if (!cells.contains(static_cast<quint16>(address))) cells.append(static_cast<quint16>(address));
  }
  return cells;
}

constexpr qint32 kRates[] = {2400, 9600, 19200, 57600, 115200};

bool isTopicSafe(const QString& text) {
  static const QRegularExpression safe("^[A-Za-z0-9_-]+(/[A-Za-z0-9_-]+)*$");
  return safe.match(text).hasMatch();
}

}  // namespace

QString BrokerAddress::text() const {
  return QStringLiteral("%1://%2:%3").arg(tls ? "mqtts" : "mqtt", host).arg(port);
}

std::optional<BrokerAddress> parseBrokerUrl(const QString& url, QString& error) {
  const QUrl u(url, QUrl::StrictMode);
  const QString scheme = u.scheme().toLower();
  if (!u.isValid() || (scheme != "mqtt" && scheme != "mqtts") || u.host().isEmpty()) {
    error = QStringLiteral(
                "«%1» — не адрес брокера: ожидается mqtt://УЗЕЛ[:ПОРТ] или "
                "mqtts://УЗЕЛ[:ПОРТ]")
                .arg(url);
    return std::nullopt;
  }
  if (!u.userInfo().isEmpty()) {
    error = QStringLiteral(
        "имя и пароль в адресе брокера видны в списке процессов: задайте их "
        "в файле настройки (mqtt_user, mqtt_password) или в окружении "
        "(LIR2_MQTT_USER, LIR2_MQTT_PASSWORD)");
    return std::nullopt;
  }
  if ((!u.path().isEmpty() && u.path() != "/") || u.hasQuery() || u.hasFragment()) {
    error = QStringLiteral("«%1»: у адреса брокера нет пути и параметров").arg(url);
    return std::nullopt;
  }
  BrokerAddress b;
  b.tls = scheme == "mqtts";
  b.host = u.host();
  const int port = u.port(b.tls ? 8883 : 1883);
  if (port <= 0 || port > 65535) {
    error = QStringLiteral("«%1»: порт брокера от 1 до 65535").arg(url);
    return std::nullopt;
  }
  b.port = static_cast<quint16>(port);
  return b;
}

QString ServedDeviceConfig::label() const {
  if (!name.isEmpty()) return name;
  return simulated ? QStringLiteral("Симулятор LIR") : port;
}

QString allowListRefusal(int address) {
  if (isRestorable(address)) return {};
  return QStringLiteral(
             "ячейка %1 не может быть разрешена: адреса 0–4 — команда и "
             "идентификация устройства, EEPROM кончается на 1023")
      .arg(address);
}

bool readServeConfig(const QByteArray& text, const QString& fileName, ServeConfig& config,
                     QString& error) {
  ServedDeviceConfig* device = nullptr;
  QSet<QString> seen;  // keys of the current section
  // An editor may start the file with a byte-order mark.
  const QList<QByteArray> lines =
      (text.startsWith("\xEF\xBB\xBF") ? text.mid(3) : text).split('\n');
  for (int i = 0; i < lines.size(); ++i) {
    const QString where = QStringLiteral("%1:%2").arg(fileName).arg(i + 1);
    const auto fail = [&](const QString& why) {
      error = where + QStringLiteral(": ") + why;
      return false;
    };
    const QString line = QString::fromUtf8(lines[i]).trimmed();
    if (line.isEmpty() || line.startsWith('#') || line.startsWith(';')) continue;
    if (line.startsWith('[')) {
      if (line.compare(QLatin1String("[device]"), Qt::CaseInsensitive) != 0)
        return fail(QStringLiteral("раздел «%1» неизвестен; есть только [device]").arg(line));
      config.devices.append(ServedDeviceConfig{});
      device = &config.devices.last();
      device->where = where;
      seen.clear();
      continue;
    }
    const qsizetype eq = line.indexOf('=');
    if (eq <= 0) return fail(QStringLiteral("ожидается КЛЮЧ = ЗНАЧЕНИЕ"));
    const QString key = line.left(eq).trimmed().toLower();
    const QString value = line.mid(eq + 1).trimmed();
    const QSet<QString>& keys = device ? deviceKeys() : globalKeys();
    if (!keys.contains(key)) {
      QStringList known(keys.begin(), keys.end());
      known.sort();
      return fail(QStringLiteral("ключ «%1» неизвестен %2 (есть: %3)")
                      .arg(key, device ? "в разделе [device]" : "до первого раздела [device]",
                           known.join(", ")));
    }
    if (seen.contains(key)) return fail(QStringLiteral("ключ «%1» задан дважды").arg(key));
    seen.insert(key);

    QString why;
    if (device) {
      if (key == "port") {
        if (value.isEmpty()) return fail(QStringLiteral("пустой порт"));
        device->port = value;
      } else if (key == "rate") {
        bool ok = false;
        const int rate = value.toInt(&ok);
        if (!ok || std::find(std::begin(kRates), std::end(kRates), rate) == std::end(kRates))
          return fail(QStringLiteral("скорость «%1» не из списка: 2400, 9600, 19200, 57600, 115200")
                          .arg(value));
        device->rate = rate;
      } else if (key == "name") {
        device->name = value;
      } else {
        const auto cells = toAllowList(value, why);
        if (!cells) return fail(why);
        device->allowEeprom = *cells;
        device->ownAllowList = true;
      }
      continue;
    }
    if (key == "mqtt") {
      config.broker = parseBrokerUrl(value, why);
      if (!config.broker) return fail(why);
    } else if (key == "mqtt_user") {
      config.user = value;
    } else if (key == "mqtt_password") {
      config.password = value;
    } else if (key == "mqtt_ca") {
      config.caFile = value;
    } else if (key == "mqtt_cert") {
      config.certFile = value;
    } else if (key == "mqtt_key") {
      config.keyFile = value;
    } else if (key == "node") {
      config.node = value;
    } else if (key == "topic_prefix" || key == "discovery_prefix") {
      if (!isTopicSafe(value))
        return fail(QStringLiteral("«%1»: в префиксе топика только латинские буквы, цифры, _ и -, "
                                   "части через /")
                        .arg(value));
      (key == "topic_prefix" ? config.topicPrefix : config.discoveryPrefix) = value;
    } else if (key == "allow_commands") {
      const auto on = toSwitch(value);
      if (!on) return fail(QStringLiteral("allow_commands: yes или no, не «%1»").arg(value));
      config.allowCommands = *on;
    } else if (key == "allow_eeprom") {
      const auto cells = toAllowList(value, why);
      if (!cells) return fail(why);
      config.allowEeprom = *cells;
    } else if (key == "min_interval") {
      bool ok = false;
      const double s = value.toDouble(&ok);
      if (!ok || !std::isfinite(s) || s < 0 || s > 3600)
        return fail(QStringLiteral("min_interval: секунды от 0 до 3600, не «%1»").arg(value));
      config.minIntervalSeconds = s;
    }
  }
  for (const ServedDeviceConfig& d : config.devices)
    if (d.port.isEmpty()) {
      error = d.where + QStringLiteral(": в разделе [device] нет port");
      return false;
    }
  return true;
}

void applyServeEnvironment(const QProcessEnvironment& environment, ServeConfig& config) {
  const std::pair<const char*, QString*> vars[] = {
      {"LIR2_MQTT_USER", &config.user},   {"LIR2_MQTT_PASSWORD", &config.password},
      {"LIR2_MQTT_CA", &config.caFile},   {"LIR2_MQTT_CERT", &config.certFile},
      {"LIR2_MQTT_KEY", &config.keyFile},
  };
  for (const auto& [name, target] : vars)
    if (environment.contains(name)) *target = environment.value(name);
}

QString topicId(const QString& text) {
  static const QHash<QChar, QString> cyrillic = [] {
    const QString from = QStringLiteral("абвгдеёжзийклмнопрстуфхцчшщъыьэюя");
    const char* to[] = {"a", "b",  "v",  "g",  "d",    "e", "e", "zh", "z", "i",  "y",
                        "k", "l",  "m",  "n",  "o",    "p", "r", "s",  "t", "u",  "f",
                        "h", "ts", "ch", "sh", "shch", "",  "y", "",   "e", "yu", "ya"};
    QHash<QChar, QString> map;
    for (int i = 0; i < from.size(); ++i) map.insert(from[i], QString::fromLatin1(to[i]));
    return map;
  }();
  QString id;
  for (const QChar c : text.toLower()) {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_')
      id += c;
    else if (cyrillic.contains(c))
      id += cyrillic.value(c);
    else if (!id.endsWith('_'))
      id += '_';
  }
  while (id.startsWith('_')) id.remove(0, 1);
  while (id.endsWith('_')) id.chop(1);
  return id.isEmpty() ? QStringLiteral("lir") : id;
}

bool finishServeConfig(ServeConfig& config, const QString& hostName, QString& error) {
  if (!config.broker) {
    error = QStringLiteral(
        "укажите брокер: --mqtt mqtt://УЗЕЛ:1883 или mqtt = ... в файле "
        "настройки");
    return false;
  }
  if (config.devices.isEmpty()) {
    error = QStringLiteral(
        "нет устройств: --port ПУТЬ (можно несколько раз) или разделы [device] "
        "в файле настройки");
    return false;
  }
  if (config.broker->tls == false &&
      !(config.caFile + config.certFile + config.keyFile).isEmpty()) {
    error = QStringLiteral("сертификаты заданы, а брокер без TLS: используйте mqtts://");
    return false;
  }
  if (config.certFile.isEmpty() != config.keyFile.isEmpty()) {
    error = QStringLiteral("для сертификата клиента нужны оба файла: mqtt_cert и mqtt_key");
    return false;
  }
  config.node = topicId(config.node.isEmpty() ? hostName : config.node);
  QHash<QString, QString> ids, ports;
  for (ServedDeviceConfig& d : config.devices) {
    if (!d.ownAllowList) d.allowEeprom = config.allowEeprom;
    // By-id links and the device they lead to are the same port.
    const QFileInfo info(d.port);
    const QString port = d.simulated     ? QStringLiteral("(sim)")
                         : info.exists() ? info.canonicalFilePath()
                                         : info.absoluteFilePath();
    if (ports.contains(port)) {
      error = QStringLiteral("%1 и %2: один и тот же порт %3 указан дважды")
                  .arg(ports.value(port), d.where,
                       d.simulated ? QStringLiteral("(симулятор)") : d.port);
      return false;
    }
    ports.insert(port, d.where);
    // Unnamed devices of two machines on one broker must not meet: the node goes into the id.
    const QString portName = d.simulated ? QStringLiteral("sim") : info.fileName();
    d.id = topicId(d.name.isEmpty() ? config.node + '_' + portName : d.name);
    if (ids.contains(d.id)) {
      error = QStringLiteral(
                  "%1 и %2: у двух устройств одно имя в топиках «%3»; задайте разные "
                  "name")
                  .arg(ids.value(d.id), d.where, d.id);
      return false;
    }
    ids.insert(d.id, d.where);
  }
  return true;
}

}  // namespace lir2
