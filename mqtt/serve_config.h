#pragma once

// What `lir2-cli serve` is told: the broker, the credentials, the devices and what the dashboard
// may change. It comes from a small configuration file, the environment and the command line;
// secrets come only from the first two, so they never show in the process list.
#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace lir2 {

// mqtt://host[:port] or mqtts://host[:port] (TLS).
struct BrokerAddress {
  bool tls = false;
  QString host;
  quint16 port = 1883;
  // "mqtts://broker.lan:8883", as messages name it.
  QString text() const;
};

// The broker's address, or nothing with the reason in error. A URL that carries a user name or
// a password is refused: the command line shows in every process list.
std::optional<BrokerAddress> parseBrokerUrl(const QString& url, QString& error);

// One device to publish.
struct ServedDeviceConfig {
  QString port;  // a path; empty for the built-in simulated device
  bool simulated = false;
  QString simProfile = QStringLiteral("lir");
  qint32 rate = 19200;
  QString name;                // as the owner calls it; empty: named after its port
  QString id;                  // its part of the topics and identifiers, made from name or port
  QList<quint16> allowEeprom;  // EEPROM cells the dashboard may write
  bool ownAllowList = false;   // its section gave allow_eeprom (else the file's applies)
  QString where;               // "FILE:LINE" of its section, or "--port"
  QString label() const;       // the name, else the port, for messages
};

struct ServeConfig {
  std::optional<BrokerAddress> broker;
  QString user, password;             // MQTT credentials
  QString caFile, certFile, keyFile;  // TLS: the broker's CA, and a client certificate
  QString node;                       // this serve's part of the topics: its own availability
  QString topicPrefix = QStringLiteral("lir2");
  QString discoveryPrefix = QStringLiteral("homeassistant");
  bool allowCommands = false;
  double minIntervalSeconds = 1.0;  // between two state messages of one device
  QList<quint16> allowEeprom;       // the file's allow-list, for devices without their own
  QList<ServedDeviceConfig> devices;
};

// Reads the configuration file's text into config (which keeps what it held for keys the file
// does not give). False with "FILE:LINE: what is wrong" in error.
bool readServeConfig(const QByteArray& text, const QString& fileName, ServeConfig& config,
                     QString& error);

// The credentials and certificate paths from the environment (LIR2_MQTT_USER,
// LIR2_MQTT_PASSWORD, LIR2_MQTT_CA, LIR2_MQTT_CERT, LIR2_MQTT_KEY): each one given wins over
// the file.
void applyServeEnvironment(const QProcessEnvironment& environment, ServeConfig& config);

// After every source has been read: device ids made and checked for clashes, the node named,
// allow-lists checked, at least one device and a broker. False with the reason in error.
bool finishServeConfig(ServeConfig& config, const QString& hostName, QString& error);

// A name as a part of topics and identifiers: lower case Latin letters, digits, '_' and '-';
// Cyrillic transliterated ("Гараж" → "garazh"); never empty.
QString topicId(const QString& text);

// Cells the dashboard may be allowed to write: the EEPROM from 5 on. Empty, or why not.
QString allowListRefusal(int address);

}  // namespace lir2
