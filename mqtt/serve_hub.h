#pragma once

// lir2-cli serve's middle: one broker connection for every served device. It owns the devices,
// tells the broker its own availability (with the last will for a serve that vanishes), hands the
// dashboard's messages to the device they name, and says goodbye when serve ends.
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "mqtt/mqtt_client.h"
#include "mqtt/serve_config.h"
#include "mqtt/served_device.h"

namespace lir2 {

class ServeHub : public QObject, public Outbox {
  Q_OBJECT
 public:
  // How a device's line is made: its port entry and the factory that opens it.
  struct Line {
    PortEntry entry;
    PortControl::DeviceFactory factory;
  };

  ServeHub(ServeConfig config, QString programVersion, std::function<void(const QString&)> logger,
           QObject* parent = nullptr);
  ~ServeHub() override;

  // Starts every device's polling, then the broker's connection. False with the reason when it
  // cannot run: a port held by another program (busy is set), or a broker setting that does not
  // work (a TLS file that does not read).
  bool start(const QList<Line>& lines, QString& error, bool& busy);
  // The end: polling stops, every device and serve itself show "offline", the connection closes.
  void stop();

  // Outbox.
  bool connected() const override;
  bool publish(const QString& topic, const QByteArray& payload, int qos, bool retain) override;
  void log(const QString& text) override { logger_(text); }

 private:
  void onConnected();
  void onConnectionFailed(const QString& reason);
  void onMessage(const QString& topic, const QByteArray& payload, bool retained);

  ServeConfig config_;
  QString programVersion_;
  std::function<void(const QString&)> logger_;
  QString serveStatusTopic_;
  std::unique_ptr<MqttClient> client_;
  std::vector<std::unique_ptr<ServedDevice>> devices_;
  QString lastBrokerFailure_;
  bool everConnected_ = false;
};

}  // namespace lir2
