#pragma once

// Debian's mosquitto broker on a free local port, and a plain libmosquitto subscriber that keeps
// every message it hears: what the serve tests and benchmark talk to.
#include <QByteArray>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

#include <mosquitto.h>

#include <functional>
#include <mutex>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

class MqttBroker {
 public:
  static QString program() {
    for (const char* path : {"/usr/sbin/mosquitto", "/usr/bin/mosquitto"})
      if (QFile::exists(path)) return QString::fromLatin1(path);
    return QStandardPaths::findExecutable("mosquitto");
  }

  MqttBroker() : port_(freePort()) {}
  ~MqttBroker() { stop(); }

  // Starts the broker (again, on the same port); true once it takes connections.
  bool start() {
    QFile conf(dir_.filePath("mosquitto.conf"));
    if (!conf.open(QIODevice::WriteOnly)) return false;
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n")
                   .arg(port_)
                   .toUtf8());
    conf.close();
    proc_.setProgram(program());
    proc_.setArguments({"-c", conf.fileName()});
    proc_.setProcessChannelMode(QProcess::MergedChannels);
    proc_.start();
    if (!proc_.waitForStarted(5000)) return false;
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
      if (accepts()) return true;
      QThread::msleep(50);
    }
    return false;
  }
  // Kills it: the clients see the connection drop, as when the broker's machine goes away.
  void stop() {
    if (proc_.state() == QProcess::NotRunning) return;
    proc_.kill();
    proc_.waitForFinished(5000);
  }
  int port() const { return port_; }
  QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(port_); }

 private:
  static int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port = ntohs(a.sin_port);
    ::close(fd);
    return port;
  }
  bool accepts() const {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port_));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
  }

  QTemporaryDir dir_;
  int port_;
  QProcess proc_;
};

// A subscriber on its own libmosquitto thread; it reconnects by itself after a broker restart.
class MqttListener {
 public:
  struct Message {
    QString topic;
    QByteArray payload;
    bool retained = false;
    qint64 atMs = 0;    // since the listener started
    qint64 wallMs = 0;  // the wall clock's, since the epoch
  };

  MqttListener(int port, const QString& filter) : filter_(filter.toUtf8()) {
    mosquitto_lib_init();
    clock_.start();
    mosq_ = mosquitto_new(nullptr, true, this);
    mosquitto_connect_callback_set(mosq_, [](mosquitto* m, void* self, int rc) {
      if (rc == 0) mosquitto_subscribe(m, nullptr, static_cast<MqttListener*>(self)->filter_, 1);
    });
    mosquitto_message_callback_set(mosq_, [](mosquitto*, void* self, const mosquitto_message* m) {
      auto* l = static_cast<MqttListener*>(self);
      std::lock_guard lock(l->mutex_);
      l->messages_.append({QString::fromUtf8(m->topic),
                           QByteArray(static_cast<const char*>(m->payload), m->payloadlen),
                           m->retain, l->clock_.elapsed(), QDateTime::currentMSecsSinceEpoch()});
    });
    mosquitto_reconnect_delay_set(mosq_, 1, 1, false);
    mosquitto_connect_async(mosq_, "127.0.0.1", port, 30);
    mosquitto_loop_start(mosq_);
  }
  ~MqttListener() {
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, true);
    mosquitto_destroy(mosq_);
  }
  void publish(const QString& topic, const QByteArray& payload, bool retain = false) {
    mosquitto_publish(mosq_, nullptr, topic.toUtf8().constData(), static_cast<int>(payload.size()),
                      payload.constData(), 1, retain);
  }
  QList<Message> messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  QList<Message> on(const QString& topic) const {
    QList<Message> out;
    for (const Message& m : messages())
      if (m.topic == topic) out.append(m);
    return out;
  }
  // The last payload on topic, empty when none came.
  QByteArray last(const QString& topic) const {
    const QList<Message> all = on(topic);
    return all.isEmpty() ? QByteArray() : all.last().payload;
  }
  // Waits until test holds or ms pass; returns test's last answer.
  bool waitFor(const std::function<bool()>& test, int ms) const {
    QDeadlineTimer deadline(ms);
    while (!test()) {
      if (deadline.hasExpired()) return false;
      QThread::msleep(50);
    }
    return true;
  }
  bool waitForPayload(const QString& topic, const QByteArray& payload, int ms) const {
    return waitFor([&] { return last(topic) == payload; }, ms);
  }
  qint64 nowMs() const { return clock_.elapsed(); }

 private:
  QByteArray filter_;
  mosquitto* mosq_ = nullptr;
  QElapsedTimer clock_;
  mutable std::mutex mutex_;
  QList<Message> messages_;
};
