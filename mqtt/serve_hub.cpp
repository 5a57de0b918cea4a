#include "mqtt/serve_hub.h"

#include <QCoreApplication>
#include <QRandomGenerator>

namespace lir2 {

ServeHub::ServeHub(ServeConfig config, QString programVersion,
                   std::function<void(const QString&)> logger, QObject* parent)
    : QObject(parent),
      config_(std::move(config)),
      programVersion_(std::move(programVersion)),
      logger_(std::move(logger)) {
  serveStatusTopic_ =
      DeviceTopics{config_.topicPrefix, config_.discoveryPrefix, config_.node, {}}.serveStatus();
}

ServeHub::~ServeHub() {
  // The connection goes before the devices whose messages it would carry.
  client_.reset();
  devices_.clear();
}

bool ServeHub::start(const QList<Line>& lines, QString& error, bool& busy) {
  busy = false;
  for (qsizetype i = 0; i < lines.size() && i < config_.devices.size(); ++i) {
    const ServedDeviceConfig& d = config_.devices[i];
    ServedDevice::Settings s;
    s.topics = {config_.topicPrefix, config_.discoveryPrefix, config_.node, d.id};
    s.label.port = d.simulated ? QStringLiteral("Симулятор LIR") : d.port;
    s.label.name = d.name.isEmpty() ? QStringLiteral("LIR ") + s.label.port : d.name;
    s.label.rate = d.rate;
    s.label.programVersion = programVersion_;
    s.port.PortName = lines[i].entry.kind == PortEntry::Kind::Simulated ? lines[i].entry.name
                                                                        : lines[i].entry.path;
    s.port.BaudRate = d.rate;
    s.allowCommands = config_.allowCommands;
    s.allowEeprom = d.allowEeprom;
    s.minIntervalMs = static_cast<int>(config_.minIntervalSeconds * 1000);
    devices_.push_back(
        std::make_unique<ServedDevice>(s, lines[i].entry, lines[i].factory, *this, this));
    const ServedDevice::Opening opening = devices_.back()->start();
    if (opening.busy) {
      busy = true;
      error = opening.reason;
      return false;
    }
    if (!opening.opened)
      log(s.label.name + QStringLiteral(": ") +
          joinSentences(opening.reason.isEmpty()
                            ? QStringLiteral("порт %1 не открывается").arg(s.port.PortName)
                            : opening.reason,
                        QStringLiteral("Устройство показано недоступным, порт пробуется снова")));
  }

  MqttClient::Options o;
  o.broker = *config_.broker;
  // One id per process: two serves never push each other off the broker.
  o.clientId = QStringLiteral("lir2-%1-%2-%3")
                   .arg(config_.node)
                   .arg(QCoreApplication::applicationPid())
                   .arg(QRandomGenerator::global()->generate() & 0xFFFF, 4, 16, QLatin1Char('0'));
  o.user = config_.user;
  o.password = config_.password;
  o.caFile = config_.caFile;
  o.certFile = config_.certFile;
  o.keyFile = config_.keyFile;
  o.willTopic = serveStatusTopic_;
  o.willPayload = "offline";
  client_ = std::make_unique<MqttClient>(o);
  connect(client_.get(), &MqttClient::connected, this, &ServeHub::onConnected);
  connect(client_.get(), &MqttClient::connectionFailed, this, &ServeHub::onConnectionFailed);
  connect(client_.get(), &MqttClient::messageReceived, this, &ServeHub::onMessage);
  if (!client_->start(error)) return false;
  log(QStringLiteral("брокер %1: подключение (клиент %2)").arg(o.broker.text(), o.clientId));
  return true;
}

void ServeHub::stop() {
  for (const auto& d : devices_) d->stop();
  if (client_) {
    publish(serveStatusTopic_, "offline", 1, true);
    client_->finish(3000);
  }
}

bool ServeHub::connected() const {
  return client_ && client_->isConnected();
}

bool ServeHub::publish(const QString& topic, const QByteArray& payload, int qos, bool retain) {
  return client_ && client_->publish(topic, payload, qos, retain);
}

void ServeHub::onConnected() {
  log(QStringLiteral("брокер %1: подключено").arg(config_.broker->text()));
  everConnected_ = true;
  lastBrokerFailure_.clear();
  // The broker may have restarted and lost what it kept: everything retained is told again.
  publish(serveStatusTopic_, "online", 1, true);
  client_->subscribe(config_.topicPrefix + QStringLiteral("/+/command"), 1);
  client_->subscribe(config_.topicPrefix + QStringLiteral("/+/eeprom/+/set"), 1);
  client_->subscribe(config_.discoveryPrefix + QStringLiteral("/status"), 1);
  for (const auto& d : devices_) d->publishAll();
}

void ServeHub::onConnectionFailed(const QString& reason) {
  // A broker that stays away is told once, not at every attempt.
  if (reason == lastBrokerFailure_) return;
  lastBrokerFailure_ = reason;
  log(QStringLiteral("брокер %1: ").arg(config_.broker->text()) +
      joinSentences(reason, QStringLiteral("Опрос устройств идёт, подключение повторяется")));
}

void ServeHub::onMessage(const QString& topic, const QByteArray& payload, bool retained) {
  if (topic == config_.discoveryPrefix + QStringLiteral("/status")) {
    // Home Assistant started again: it hears the devices at once instead of within a minute.
    if (payload.trimmed() == "online")
      for (const auto& d : devices_) d->publishAll();
    return;
  }
  const QString prefix = config_.topicPrefix + QLatin1Char('/');
  if (!topic.startsWith(prefix)) return;
  const QStringList parts = topic.mid(prefix.size()).split(QLatin1Char('/'));
  ServedDevice* device = nullptr;
  for (const auto& d : devices_)
    if (d->settings().topics.id == parts.value(0)) device = d.get();
  if (!device) return;  // another serve's device
  if (retained) {
    // A command the broker kept would run again at every start of serve: a reset each time.
    log(QStringLiteral("%1: сохранённое брокером сообщение %2 не выполняется; команды не "
                       "публикуются с флагом retain")
            .arg(device->settings().label.name, topic));
    return;
  }
  if (parts.size() == 2 && parts[1] == QLatin1String("command")) {
    device->command(payload);
  } else if (parts.size() == 4 && parts[1] == QLatin1String("eeprom") &&
             parts[3] == QLatin1String("set")) {
    device->writeCell(parts[2], payload);
  }
}

}  // namespace lir2
