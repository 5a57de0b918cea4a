#include "mqtt/served_device.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>

#include "monitor/monitor_session.h"
#include "monitor/settings_writes.h"
#include "protocol/device_link.h"
#include "protocol/result_messages.h"
#include "serial/port_reason.h"
#include "serial/run_in.h"
#include "serial/shown_text.h"

namespace lir2 {

namespace {

// The commands the dashboard may send, by the words of the command topic.
struct NamedCommand {
  const char* word;
  quint8 code;
};
constexpr NamedCommand kCommands[] = {
    {"lir_on", DeviceCommand::SwitchOn},    {"lir_off", DeviceCommand::SwitchOff},
    {"charge_on", DeviceCommand::ChargeOn}, {"charge_off", DeviceCommand::ChargeOff},
    {"reset", DeviceCommand::Reset},
};

// A payload as a log line shows it: control characters escaped, long ones cut.
QString shownPayload(const QByteArray& payload) {
  const QString text = shownText(QString::fromUtf8(payload.left(64)));
  return payload.size() > 64 ? text + QStringLiteral("…") : text;
}

}  // namespace

QString joinSentences(const QString& first, const QString& second) {
  if (first.isEmpty()) return second + QLatin1Char('.');
  const bool ended = first.endsWith(QLatin1Char('.')) || first.endsWith(QLatin1Char('!'));
  return first + (ended ? QStringLiteral(" ") : QStringLiteral(". ")) + second + QLatin1Char('.');
}

void ServedDevice::RunEnd::setErrorText(const QString& text) {
  std::lock_guard lock(mutex_);
  text_ = text;
}

QString ServedDevice::RunEnd::take() {
  std::lock_guard lock(mutex_);
  return std::exchange(text_, {});
}

void ServedDevice::LineStatus::setErrorText(const QString& text) {
  // A port that did not open is told by the run's end; one that took no line settings still
  // opened, which is worth a word, on the program's thread.
  if (text.isEmpty() || !device_.link_->port().PortOpen) return;
  runIn(&device_, [d = QPointer<ServedDevice>(&device_), text] {
    if (d && d->lastPortMessage_ != text) {
      d->lastPortMessage_ = text;
      d->log(QStringLiteral("порт: ") + text);
    }
  });
}

ServedDevice::ServedDevice(Settings settings, PortEntry entry, PortControl::DeviceFactory factory,
                           Outbox& outbox, QObject* parent)
    : QObject(parent), settings_(std::move(settings)), outbox_(outbox) {
  retryMs_ = settings_.firstRetryMs;
  link_ = std::make_unique<DeviceLink>(std::move(factory), QList<PortEntry>{entry}, clock_,
                                       &lineStatus_, nullptr, nullptr);
  session_ = new MonitorSession(*link_, &report_);
  // The rate probe's advice is the log's business here, once.
  session_->setRateAdvice({});
  // The session speaks in this (the program's) thread: every slot below runs here.
  connect(session_, &MonitorSession::eepromDecoded, this,
          [this](const MonitorView&, const DecodeContext& c, const DeviceImages& images) {
            onEepromDecoded(c, images);
          });
  connect(session_, &MonitorSession::ramDecoded, this,
          [this](const MonitorView&, const DecodeContext& c, const DeviceImages&) {
            context_ = c;  // the switches' state of this pass
          });
  connect(session_, &MonitorSession::ramMeasured, this, &ServedDevice::onRamMeasured);
  connect(session_, &MonitorSession::runEnded, this, &ServedDevice::onRunEnded);
  connect(session_, &MonitorSession::writeFinished, this,
          [this](Result result, quint8) { writeResult_ = result; });
  thread_ = std::make_unique<LinkThread>(*link_);

  stateTimer_.setSingleShot(true);
  connect(&stateTimer_, &QTimer::timeout, this, [this] { publishState(false); });
  fullTimer_.setInterval(settings_.fullEveryMs);
  connect(&fullTimer_, &QTimer::timeout, this, [this] { publishState(true); });
  watchdog_.setInterval(1000);
  connect(&watchdog_, &QTimer::timeout, this, &ServedDevice::watch);
  restartTimer_.setSingleShot(true);
  connect(&restartTimer_, &QTimer::timeout, this, &ServedDevice::restart);
}

ServedDevice::~ServedDevice() {
  // The line's thread ends first (the run stopped, the port closed), then the line.
  thread_.reset();
  link_.reset();
}

ServedDevice::Opening ServedDevice::start() {
  session_->start(settings_.port);
  Opening opening;
  // The run's first step (the port's opening) is queued before this look, so it has run.
  runInAndWait(link_.get(), [&] {
    opening.opened = link_->port().PortOpen;
    opening.reason = link_->port().problem();
  });
  if (!opening.opened && !settings_.port.PortName.isEmpty()) {
    const PortFacts facts = probePort(settings_.port.PortName);
    opening.busy = facts.holder && facts.holder->pid != facts.ownPid;
  }
  if (!opening.opened) lastFailure_ = opening.reason;
  watchdog_.start();
  fullTimer_.start();
  return opening;
}

void ServedDevice::stop() {
  stopped_ = true;
  restartTimer_.stop();
  watchdog_.stop();
  fullTimer_.stop();
  stateTimer_.stop();
  link_->stopAllRuns();
  setAvailable(false);
}

void ServedDevice::restart() {
  if (stopped_) return;
  session_->start(settings_.port);
}

void ServedDevice::log(const QString& text) {
  outbox_.log(settings_.label.name + QStringLiteral(": ") + text);
}

void ServedDevice::onEepromDecoded(const DecodeContext& context, const DeviceImages& images) {
  context_ = context;
  facts_ = factsOf(images, context, settings_.allowEeprom);
  if (!identified_) {
    identified_ = true;
    log(QStringLiteral("на связи: %1").arg(facts_.identity.describe()));
  }
  publishDiscovery(false);
}

void ServedDevice::onRamMeasured(const RamValues& values, const QDateTime& at) {
  sinceLastPass_.start();
  retryMs_ = settings_.firstRetryMs;
  if (!identified_) return;
  values_ = values;
  valuesAt_ = at;
  // Each alarm once when it appears, as the window's log tells it; the first pass tells those
  // that stand when serve starts. A settings refresh or a reconnect that finds the alarm still
  // standing tells nothing new.
  for (const AlarmEvent& alarm : values.standingAlarms) {
    const int group = alarm.ramOffset - 42;
    if (group < 0 || group > 3) continue;
    if (alarmsSeen_ && (seenAlarms_[group] >> alarm.bit) & 1) continue;
    publishEvent(alarmEventPayload(alarm, at));
    log(QStringLiteral("тревога: %1").arg(alarm.text.trimmed()));
  }
  seenAlarms_ = values.alarmBytes;
  alarmsSeen_ = true;
  setAvailable(true);
  publishState(false);
}

void ServedDevice::onRunEnded() {
  setAvailable(false);
  const QString why = runEnd_.take();
  const qint32 rate = session_->answeringRate();
  QString text = why.isEmpty() ? QStringLiteral("опрос остановлен") : why;
  if (rate != 0)
    text += QStringLiteral(". Устройство отвечает на скорости %1 — укажите rate = %1").arg(rate);
  if (stopped_) return;
  if (text != lastFailure_) {
    lastFailure_ = text;
    log(joinSentences(text, QStringLiteral("Опрос возобновляется, пока serve работает")));
  }
  // A device that stays away is asked less and less often; one that answers again resets it.
  restartTimer_.start(retryMs_);
  retryMs_ = std::min(retryMs_ * 2, settings_.lastRetryMs);
}

void ServedDevice::watch() {
  if (available_ && sinceLastPass_.isValid() && sinceLastPass_.elapsed() > settings_.silentAfterMs)
    setAvailable(false, QStringLiteral("не отвечает %1 с").arg(sinceLastPass_.elapsed() / 1000));
}

void ServedDevice::setAvailable(bool available, const QString& why) {
  if (available == available_) return;
  available_ = available;
  if (available) {
    lastFailure_.clear();
    lastPortMessage_.clear();
  }
  if (!why.isEmpty() || available) log(available ? QStringLiteral("опрос идёт") : why);
  outbox_.publish(settings_.topics.availability(), available ? "online" : "offline", 1, true);
}

void ServedDevice::publishAll() {
  outbox_.publish(settings_.topics.availability(), available_ ? "online" : "offline", 1, true);
  publishDiscovery(true);
  if (available_) publishState(true);
  if (droppedEvents_ > 0)
    log(QStringLiteral("пока брокер был недоступен, %1 старых тревог не сохранено")
            .arg(droppedEvents_));
  droppedEvents_ = 0;
  while (!heldEvents_.empty() && outbox_.connected()) {
    if (!outbox_.publish(settings_.topics.alarm(), heldEvents_.front(), 1, false)) break;
    heldEvents_.pop_front();
  }
}

void ServedDevice::publishDiscovery(bool all) {
  if (!identified_ || !outbox_.connected()) return;
  if (all) {
    publishedDiscovery_.clear();
    publishedIdentity_.clear();
  }
  for (const DiscoveryMessage& m : discoveryMessages(settings_.topics, settings_.label, facts_,
                                                     context_, settings_.allowCommands)) {
    const auto known = publishedDiscovery_.constFind(m.topic);
    if (known != publishedDiscovery_.cend() && *known == m.payload) continue;
    if (outbox_.publish(m.topic, m.payload, 1, true))
      publishedDiscovery_.insert(m.topic, m.payload);
  }
  const QByteArray identity = identityPayload(facts_, settings_.label);
  if (identity != publishedIdentity_ &&
      outbox_.publish(settings_.topics.identity(), identity, 1, true))
    publishedIdentity_ = identity;
}

void ServedDevice::publishState(bool force) {
  if (!values_ || !available_ || !outbox_.connected()) return;
  // Changes are compared without the time of the pass.
  const QByteArray content = statePayload(*values_, context_, facts_, {});
  if (!force && content == publishedState_) return;
  if (!force && sinceStatePublished_.isValid() &&
      sinceStatePublished_.elapsed() < settings_.minIntervalMs) {
    if (!stateTimer_.isActive())
      stateTimer_.start(static_cast<int>(settings_.minIntervalMs - sinceStatePublished_.elapsed()));
    return;
  }
  if (!outbox_.publish(settings_.topics.state(),
                       statePayload(*values_, context_, facts_, valuesAt_), 0, false))
    return;
  publishedState_ = content;
  sinceStatePublished_.start();
  stateTimer_.stop();
}

void ServedDevice::publishEvent(const QByteArray& payload) {
  if (outbox_.connected() && heldEvents_.empty() &&
      outbox_.publish(settings_.topics.alarm(), payload, 1, false))
    return;
  // The broker is away: the newest alarms wait for it, the oldest make room.
  heldEvents_.push_back(payload);
  while (static_cast<int>(heldEvents_.size()) > settings_.alarmsKept) {
    heldEvents_.pop_front();
    ++droppedEvents_;
  }
}

void ServedDevice::command(const QByteArray& payload) {
  const QString word = QString::fromUtf8(payload).trimmed().toLower();
  const QString what = shownPayload(payload.trimmed());
  std::optional<quint8> code;
  for (const NamedCommand& c : kCommands)
    if (word == QLatin1String(c.word)) code = c.code;
  QString refusal;
  if (!settings_.allowCommands)
    refusal = QStringLiteral("управление по MQTT выключено: serve запущен без --allow-commands");
  else if (word == QLatin1String("init_eeprom"))
    refusal = QStringLiteral(
        "«Инициализация» по MQTT не выполняется: она возвращает EEPROM к "
        "заводским значениям вместе с калибровкой");
  else if (!code)
    refusal = QStringLiteral(
                  "неизвестная команда «%1»; есть lir_on, lir_off, charge_on, "
                  "charge_off, reset")
                  .arg(what);
  else if (!available_)
    refusal = QStringLiteral("устройство не на связи");
  if (!refusal.isEmpty()) {
    publishResult(what, "refused", 0, refusal);
    return;
  }
  runWrite(what, [code = *code](MonitorSession& s) { s.sendCommand(code); });
}

void ServedDevice::writeCell(const QString& addressText, const QByteArray& payload) {
  const QString what =
      QStringLiteral("eeprom %1 = %2")
          .arg(shownPayload(addressText.toUtf8()), shownPayload(payload.trimmed()));
  bool isNumber = false;
  const uint number = addressText.toUInt(&isNumber);
  const quint16 address = isNumber && number < 65536 ? static_cast<quint16>(number) : 0;
  QString refusal;
  CellWritePlan plan;
  if (!isNumber || number >= 65536) {
    refusal = QStringLiteral("«%1» — не адрес ячейки").arg(shownPayload(addressText.toUtf8()));
  } else if (!settings_.allowEeprom.contains(address)) {
    refusal = QStringLiteral(
                  "ячейки %1 нет в allow_eeprom файла настройки: по MQTT она не "
                  "записывается")
                  .arg(address);
  } else if (!available_ || !identified_) {
    refusal = QStringLiteral("устройство не на связи");
  } else {
    plan = planCellWrite(address, payload, context_);
    refusal = plan.refusal;
  }
  if (!refusal.isEmpty()) {
    publishResult(what, "refused", 0, refusal);
    return;
  }
  runWrite(what, [writes = plan.writes](MonitorSession& s) { s.writeEeprom(writes); });
}

void ServedDevice::runWrite(const QString& what, std::function<void(MonitorSession&)> job) {
  log(QStringLiteral("запись: %1").arg(what));
  // The write runs on the line's thread between two ticks, as a click in the monitor window
  // would. Its answer (writeFinished) and then this done step come back in that order.
  MonitorSession* session = session_;
  runIn(session, [session, job = std::move(job), self = QPointer<ServedDevice>(this), what] {
    job(*session);
    runIn(QCoreApplication::instance(), [self, what] {
      if (self) self->writeDone(what);
    });
  });
}

void ServedDevice::writeDone(const QString& what) {
  const std::optional<Result> result = std::exchange(writeResult_, std::nullopt);
  if (!result)
    publishResult(what, "failed", 0, QStringLiteral("не выполнена: опрос устройства остановлен"));
  else if (*result == Result::Ok)
    publishResult(what, "ok", 0, resultMessage(Result::Ok));
  else
    publishResult(what, "failed", codeOf(*result), resultMessage(*result));
}

void ServedDevice::publishResult(const QString& what, const char* result, int code,
                                 const QString& message) {
  log(QStringLiteral("%1: %2%3")
          .arg(what,
               QLatin1String(result) == QLatin1String("ok") ? QStringLiteral("выполнено")
               : QLatin1String(result) == QLatin1String("refused") ? QStringLiteral("отказано")
                                                                   : QStringLiteral("не выполнено"),
               message.isEmpty() ? QString() : QStringLiteral(" — ") + message));
  const QJsonObject body{
      {"command", what}, {"result", result}, {"code", code}, {"message", message}};
  outbox_.publish(settings_.topics.result(), QJsonDocument(body).toJson(QJsonDocument::Compact), 1,
                  false);
}

}  // namespace lir2
