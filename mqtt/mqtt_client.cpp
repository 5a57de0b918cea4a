#include "mqtt/mqtt_client.h"

#include <QFileInfo>
#include <QPointer>

#include <mosquitto.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "serial/run_in.h"

namespace lir2 {

namespace {

// The library's global set-up, once per process.
void initLibrary() {
  static const int once = [] { return mosquitto_lib_init(); }();
  (void)once;
}

QString readableFileProblem(const QString& what, const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) return QStringLiteral("%1 %2 не найден").arg(what, path);
  if (!info.isFile() || !info.isReadable())
    return QStringLiteral("%1 %2 не читается").arg(what, path);
  return {};
}

}  // namespace

MqttClient::MqttClient(Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {
  initLibrary();
}

MqttClient::~MqttClient() {
  finish(0);
  // A thread still stuck in a connection attempt keeps its handle; the process is ending.
  if (mosq_ && shared_->done.load()) mosquitto_destroy(mosq_);
}

bool MqttClient::start(QString& error) {
  mosq_ = mosquitto_new(options_.clientId.toUtf8().constData(), true, this);
  if (!mosq_) {
    error = QStringLiteral("клиент MQTT не создаётся: %1")
                .arg(QString::fromLocal8Bit(std::strerror(errno)));
    return false;
  }
  // The network runs on our own thread, while publish() is called from the program's.
  mosquitto_threaded_set(mosq_, true);
  mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
  mosquitto_connect_callback_set(mosq_, &MqttClient::onConnect);
  mosquitto_publish_callback_set(mosq_, &MqttClient::onPublish);
  mosquitto_message_callback_set(mosq_, &MqttClient::onMessage);
  if (!options_.user.isEmpty() || !options_.password.isEmpty()) {
    const QByteArray user = options_.user.toUtf8(), password = options_.password.toUtf8();
    mosquitto_username_pw_set(mosq_, user.constData(),
                              options_.password.isEmpty() ? nullptr : password.constData());
  }
  if (!options_.willTopic.isEmpty()) {
    const QByteArray topic = options_.willTopic.toUtf8();
    mosquitto_will_set(mosq_, topic.constData(), static_cast<int>(options_.willPayload.size()),
                       options_.willPayload.constData(), 1, true);
  }
  if (options_.broker.tls) {
    for (const auto& [what, path] :
         {std::pair{QStringLiteral("файл CA (mqtt_ca)"), options_.caFile},
          {QStringLiteral("сертификат (mqtt_cert)"), options_.certFile},
          {QStringLiteral("ключ (mqtt_key)"), options_.keyFile}}) {
      if (path.isEmpty()) continue;
      error = readableFileProblem(what, path);
      if (!error.isEmpty()) return false;
    }
    int rc = MOSQ_ERR_SUCCESS;
    if (options_.caFile.isEmpty()) {
      // The system's trusted authorities, as a browser would use.
      rc = mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
      if (rc == MOSQ_ERR_SUCCESS && !options_.certFile.isEmpty())
        rc = mosquitto_tls_set(mosq_, nullptr, "/etc/ssl/certs",
                               QFile::encodeName(options_.certFile).constData(),
                               QFile::encodeName(options_.keyFile).constData(), nullptr);
    } else {
      rc = mosquitto_tls_set(
          mosq_, QFile::encodeName(options_.caFile).constData(), nullptr,
          options_.certFile.isEmpty() ? nullptr : QFile::encodeName(options_.certFile).constData(),
          options_.keyFile.isEmpty() ? nullptr : QFile::encodeName(options_.keyFile).constData(),
          nullptr);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
      error =
          QStringLiteral("TLS не настраивается: %1").arg(QString::fromUtf8(mosquitto_strerror(rc)));
      return false;
    }
  }
  thread_ = std::thread(&MqttClient::run, this, mosq_, shared_, options_);
  return true;
}

void MqttClient::run(MqttClient* client, mosquitto* mosq, std::shared_ptr<Shared> shared,
                     Options options) {
  Shared& s = *shared;
  const QByteArray host = options.broker.host.toUtf8();
  int delay = options.firstRetrySeconds;
  bool first = true;
  while (!s.stop.load()) {
    s.refusal.store(0);
    // The first attempt sets the address; later ones reuse it, also after a first that failed.
    int rc = first ? mosquitto_connect(mosq, host.constData(), options.broker.port,
                                       options.keepAliveSeconds)
                   : mosquitto_reconnect(mosq);
    first = false;
    const int savedErrno = errno;
    // The client may have gone while the attempt hung: touch nothing of it.
    if (s.stop.load() && rc != MOSQ_ERR_SUCCESS) break;
    if (rc == MOSQ_ERR_SUCCESS) {
      // The goodbye runs here, on the network's own thread: DISCONNECT, then a few rounds to
      // write it out before the socket closes.
      int goodbyeRounds = -1;
      while (goodbyeRounds < 4) {
        if (s.stop.load() && goodbyeRounds < 0) {
          if (!s.connected.load()) break;
          mosquitto_disconnect(mosq);
          goodbyeRounds = 0;
        }
        rc = mosquitto_loop(mosq, goodbyeRounds >= 0 ? 100 : 500, 1);
        if (rc != MOSQ_ERR_SUCCESS) break;
        if (goodbyeRounds >= 0) ++goodbyeRounds;
        if (s.connected.load()) delay = options.firstRetrySeconds;
      }
    }
    if (rc == MOSQ_ERR_ERRNO && errno == 0) errno = savedErrno;
    const bool wasConnected = s.connected.exchange(false);
    {
      // Messages in flight are lost with the connection; what matters is republished on the next.
      std::lock_guard lock(s.mutex);
      s.unacknowledged.clear();
      s.acknowledgedEarly.clear();
    }
    s.wake.notify_all();
    if (s.stop.load()) break;
    const QString reason = failureText(rc, s.refusal.load(), options.broker.host);
    runIn(client, [client, reason] { emit client->connectionFailed(reason); });
    // Straight after a lost connection the broker is tried again within a second; a broker that
    // keeps refusing is asked less and less often, never in a tight loop.
    {
      std::unique_lock lock(s.mutex);
      s.wake.wait_for(lock, std::chrono::seconds(wasConnected ? options.firstRetrySeconds : delay),
                      [&s] { return s.stop.load(); });
    }
    if (!wasConnected) delay = std::min(delay * 2, options.lastRetrySeconds);
  }
  s.done.store(true);
  s.wake.notify_all();
}

QString MqttClient::failureText(int rc, int refusal, const QString& host) {
  const QString library = QString::fromUtf8(mosquitto_strerror(rc));
  switch (rc) {
    case MOSQ_ERR_CONN_REFUSED:
      return QStringLiteral("брокер отказал в подключении: %1")
          .arg(QString::fromUtf8(mosquitto_connack_string(refusal)));
    case MOSQ_ERR_ERRNO:
      return QStringLiteral("нет связи с брокером: %1")
          .arg(QString::fromLocal8Bit(std::strerror(errno)));
    case MOSQ_ERR_EAI:
      return QStringLiteral("адрес брокера %1 не находится").arg(host);
    case MOSQ_ERR_TLS:
    case MOSQ_ERR_TLS_HANDSHAKE:
      return QStringLiteral("ошибка TLS (сертификат брокера, CA или время на этой машине): %1")
          .arg(library);
    case MOSQ_ERR_CONN_LOST:
    case MOSQ_ERR_NO_CONN:
      return QStringLiteral("связь с брокером потеряна");
    default:
      return QStringLiteral("нет связи с брокером: %1").arg(library);
  }
}

void MqttClient::onConnect(mosquitto*, void* self, int rc) {
  auto* client = static_cast<MqttClient*>(self);
  if (rc != 0) {
    client->shared_->refusal.store(rc);
    return;
  }
  client->shared_->connected.store(true);
  runIn(client, [client] { emit client->connected(); });
}

void MqttClient::onPublish(mosquitto*, void* self, int mid) {
  Shared& s = *static_cast<MqttClient*>(self)->shared_;
  {
    std::lock_guard lock(s.mutex);
    if (s.unacknowledged.erase(mid) == 0) s.acknowledgedEarly.insert(mid);
  }
  s.wake.notify_all();
}

void MqttClient::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
  auto* client = static_cast<MqttClient*>(self);
  const QString topic = QString::fromUtf8(message->topic);
  const QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
  const bool retained = message->retain;
  runIn(client, [client, topic, payload, retained] {
    emit client->messageReceived(topic, payload, retained);
  });
}

bool MqttClient::publish(const QString& topic, const QByteArray& payload, int qos, bool retain) {
  Shared& s = *shared_;
  if (!mosq_ || !s.connected.load()) return false;
  int mid = 0;
  const int rc =
      mosquitto_publish(mosq_, &mid, topic.toUtf8().constData(), static_cast<int>(payload.size()),
                        payload.constData(), qos, retain);
  if (rc != MOSQ_ERR_SUCCESS) return false;
  if (qos > 0) {
    std::lock_guard lock(s.mutex);
    if (s.acknowledgedEarly.erase(mid) == 0) s.unacknowledged.insert(mid);
  }
  return true;
}

bool MqttClient::subscribe(const QString& filter, int qos) {
  if (!mosq_ || !shared_->connected.load()) return false;
  return mosquitto_subscribe(mosq_, nullptr, filter.toUtf8().constData(), qos) == MOSQ_ERR_SUCCESS;
}

void MqttClient::finish(int ms) {
  if (!thread_.joinable()) return;
  Shared& s = *shared_;
  std::unique_lock lock(s.mutex);
  s.wake.wait_for(lock, std::chrono::milliseconds(ms),
                  [&s] { return s.unacknowledged.empty() || !s.connected.load(); });
  s.stop.store(true);
  s.wake.notify_all();
  // A connection attempt may hang on an unreachable address for minutes: it is not waited for.
  s.wake.wait_for(lock, std::chrono::seconds(3), [&s] { return s.done.load(); });
  lock.unlock();
  if (s.done.load())
    thread_.join();
  else
    thread_.detach();
}

}  // namespace lir2
