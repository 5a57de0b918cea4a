#pragma once

// A connection to an MQTT broker through libmosquitto, the broker project's own client library.
// The network runs on a thread of this object's own, which connects, keeps the connection alive
// and, when it is lost or refused, connects again after a pause that doubles up to a minute, for
// as long as the object lives. What happens is told through signals in the thread the object
// lives in; publishing and subscribing may be asked from there at any time.
#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "mqtt/serve_config.h"

struct mosquitto;
struct mosquitto_message;

namespace lir2 {

class MqttClient : public QObject {
  Q_OBJECT
 public:
  struct Options {
    BrokerAddress broker;
    QString clientId;
    QString user, password;
    QString caFile, certFile, keyFile;
    // The last will: what the broker publishes (retained) when this client vanishes without a
    // goodbye (killed, machine off, network gone).
    QString willTopic;
    QByteArray willPayload;
    int keepAliveSeconds = 30;
    int firstRetrySeconds = 1;
    int lastRetrySeconds = 60;
  };

  explicit MqttClient(Options options, QObject* parent = nullptr);
  ~MqttClient() override;

  // Checks the settings (TLS files that do not read, for one) and starts connecting. False with
  // the reason in error; then nothing runs.
  bool start(QString& error);
  // The broker has accepted the connection and it still stands.
  bool isConnected() const { return shared_->connected.load(); }
  // Publishes at once; false (nothing sent) while not connected. QoS 1 messages are waited for
  // by finish().
  bool publish(const QString& topic, const QByteArray& payload, int qos, bool retain);
  bool subscribe(const QString& filter, int qos);
  // The goodbye: waits up to ms for the broker to acknowledge the QoS 1 messages published so
  // far, disconnects cleanly (the will is not published) and ends the network thread.
  void finish(int ms);

 signals:
  // Each time the broker accepts the connection (again): subscriptions and retained messages
  // may need renewing, since the broker may have restarted.
  void connected();
  // A connection was lost, could not be made or was refused; reason says why. Repeats at each
  // failed attempt.
  void connectionFailed(const QString& reason);
  // retained: the broker kept it from before this subscription.
  void messageReceived(const QString& topic, const QByteArray& payload, bool retained);

 private:
  // What the network thread shares with the client. A thread left behind in a connection
  // attempt that hangs keeps it alive after the client has gone.
  struct Shared {
    std::atomic<bool> stop{false};
    std::atomic<bool> connected{false};
    std::atomic<bool> done{false};
    std::atomic<int> refusal{0};  // the last CONNACK refusal, for the failure's text
    std::mutex mutex;
    std::condition_variable wake;
    std::set<int> unacknowledged;     // QoS 1 messages the broker has not acknowledged yet
    std::set<int> acknowledgedEarly;  // acknowledged before publish() noted them
  };

  static void onConnect(mosquitto*, void* self, int rc);
  static void onPublish(mosquitto*, void* self, int mid);
  static void onMessage(mosquitto*, void* self, const mosquitto_message* message);
  static void run(MqttClient* client, mosquitto* mosq, std::shared_ptr<Shared> shared,
                  Options options);
  static QString failureText(int rc, int refusal, const QString& host);

  Options options_;
  mosquitto* mosq_ = nullptr;
  std::thread thread_;
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

}  // namespace lir2
