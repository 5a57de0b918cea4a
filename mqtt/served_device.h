#pragma once

// One device that serve publishes: its own device line on a thread of its own, polled by the
// monitor's session exactly as the monitor window polls it, and what the broker hears of it:
// discovery, availability, state on change and every minute, one event per alarm appearance,
// and the results of the writes the dashboard asks for.
#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "monitor/decode_context.h"
#include "monitor/device_images.h"
#include "monitor/ram_values.h"
#include "mqtt/ha_discovery.h"
#include "mqtt/ha_entities.h"
#include "protocol/report.h"
#include "protocol/sound.h"
#include "serial/clock.h"
#include "serial/port_control.h"
#include "serial/result_code.h"
#include "serial/status.h"

namespace lir2 {

class DeviceLink;
class LinkThread;
class MonitorSession;

// Where a device's messages go: the broker while it is connected, and the log.
class Outbox {
 public:
  virtual ~Outbox() = default;
  virtual bool connected() const = 0;
  // False when the message could not be handed to the broker (not connected).
  virtual bool publish(const QString& topic, const QByteArray& payload, int qos, bool retain) = 0;
  virtual void log(const QString& text) = 0;
};

// Two sentences of a log line: "Порт занят." and "Опрос возобновится." as one.
QString joinSentences(const QString& first, const QString& second);

class ServedDevice : public QObject {
  Q_OBJECT
 public:
  struct Settings {
    DeviceTopics topics;
    DeviceLabel label;
    PortSettings port;
    bool allowCommands = false;
    QList<quint16> allowEeprom;
    int minIntervalMs = 1000;   // between two state messages
    int fullEveryMs = 60000;    // the whole state, changed or not
    int silentAfterMs = 10000;  // no RAM pass this long: the device shows offline
    int firstRetryMs = 2000;    // a run that ended is started again after this, doubling ...
    int lastRetryMs = 60000;    // ... up to this
    int alarmsKept = 64;        // alarm events kept while the broker is away
  };
  struct Opening {
    bool opened = false;
    bool busy = false;  // another process holds the port
    QString reason;     // why it did not open
  };

  ServedDevice(Settings settings, PortEntry entry, PortControl::DeviceFactory factory,
               Outbox& outbox, QObject* parent = nullptr);
  ~ServedDevice() override;

  // The first run: the port opened, or why not. A port that does not open is tried again, with
  // back-off, as long as the device is served.
  Opening start();
  // Everything retained and the current state, again: the broker (re)connected or Home
  // Assistant started.
  void publishAll();
  // Stops polling and shows the device offline; the line's thread ends with the object.
  void stop();
  // Messages from the dashboard.
  void command(const QByteArray& payload);
  // base/eeprom/ADDRESS/set: the address as the topic gives it.
  void writeCell(const QString& addressText, const QByteArray& payload);

  const Settings& settings() const { return settings_; }
  bool available() const { return available_; }

 private:
  // The monitor's final report, made on the line's thread: keeps its message for the log.
  class RunEnd final : public StatusBars, public SoundPlayer {
   public:
    void setErrorText(const QString& text) override;
    void setStateText(const QString&) override {}
    void setFileNameText(const QString&) override {}
    void play(Sound) override {}
    QString take();

   private:
    std::mutex mutex_;
    QString text_;
  };
  // Port messages of the line (settings a port refused), on the line's thread.
  class LineStatus final : public StatusBars {
   public:
    explicit LineStatus(ServedDevice& device) : device_(device) {}
    void setErrorText(const QString& text) override;
    void setStateText(const QString&) override {}
    void setFileNameText(const QString&) override {}

   private:
    ServedDevice& device_;
  };

  void onEepromDecoded(const DecodeContext& context, const DeviceImages& images);
  void onRamMeasured(const RamValues& values, const QDateTime& at);
  void onRunEnded();
  void restart();
  void watch();
  void setAvailable(bool available, const QString& why = {});
  void publishDiscovery(bool all);
  void publishState(bool force);
  void publishEvent(const QByteArray& payload);
  void runWrite(const QString& what, std::function<void(MonitorSession&)> job);
  void writeDone(const QString& what);
  void publishResult(const QString& what, const char* result, int code, const QString& message);
  void log(const QString& text);

  Settings settings_;
  Outbox& outbox_;
  SteadyClock clock_;
  LineStatus lineStatus_{*this};
  RunEnd runEnd_;
  FinalReport report_{runEnd_, runEnd_, [] { return false; }};
  std::unique_ptr<DeviceLink> link_;
  MonitorSession* session_ = nullptr;  // a child of the line
  std::unique_ptr<LinkThread> thread_;

  // What the decodes told, on this thread.
  DecodeContext context_;
  DeviceFacts facts_;
  bool identified_ = false;
  std::optional<RamValues> values_;
  QDateTime valuesAt_;
  std::array<quint8, 4> seenAlarms_{};  // alarm bytes of the last pass, RAM offsets 42 to 45
  bool alarmsSeen_ = false;

  bool available_ = false;
  bool stopped_ = false;
  QElapsedTimer sinceLastPass_;
  QElapsedTimer sinceStatePublished_;
  QByteArray publishedState_;  // the last state sent, without its time
  QMap<QString, QByteArray> publishedDiscovery_;
  QByteArray publishedIdentity_;
  std::deque<QByteArray> heldEvents_;  // alarms that appeared while the broker was away
  int droppedEvents_ = 0;
  std::optional<Result> writeResult_;  // the session's answer to the write in progress
  int retryMs_ = 0;
  // The last failure and port message logged, so a device that stays away is told once.
  QString lastFailure_;
  QString lastPortMessage_;
  QTimer stateTimer_;  // the minimum interval's end, or the minute's full state
  QTimer fullTimer_;
  QTimer watchdog_;
  QTimer restartTimer_;
};

}  // namespace lir2
