#include "protocol/device_link.h"

#include <QCoreApplication>
#include <QPointer>

#include "serial/clock.h"
#include "serial/port_list.h"
#include "serial/result_code.h"
#include "serial/window_timer.h"

DeviceLink::DeviceLink(PortControl::DeviceFactory factory, QList<PortEntry> entries, Clock& clock,
                       StatusBars* status, TrafficLog* log, const LogSwitches* switches,
                       QObject* parent)
    : QObject(parent),
      clock_(clock),
      port_(status, std::move(factory)),
      exchange_(port_, clock, log, switches),
      frames_(exchange_, frameState_) {
  setObjectName(QStringLiteral("DeviceLink"));
  port_.setEntries(std::move(entries));
  exchange_.setStopFlag(&stop_);
  TranslationTimer = new WindowTimer(this);
  TranslationTimer->setObjectName(QStringLiteral("TranslationTimer"));
  connect(TranslationTimer, &WindowTimer::timeout, this, &DeviceLink::TranslationTick);
}

DeviceLink::~DeviceLink() = default;

quint8 DeviceLink::reopen(const PortSettings& settings, qint32 rate) {
  settings_ = settings;
  port_.PortName = settings.PortName;
  port_.BaudRate = settings.BaudRate;
  port_.ClosePort();
  const quint8 code = port_.OpenPort(rate);
  port_.PurgePort();
  return code;
}

quint8 DeviceLink::reopen() {
  port_.ClosePort();
  const quint8 code = port_.OpenPort(port_.BaudRate);
  port_.PurgePort();
  return code;
}

bool DeviceLink::isGarbledLine(quint8 code) {
  return code == Result::NoReply || code == Result::WrongEcho || code == Result::BadReplyLine ||
         code == Result::NotHexDigit || code == Result::ReplyChecksum;
}

qint32 DeviceLink::findAnsweringRate() {
  const PortSettings settings = settings_;
  const quint8 code = exchange_.ResultCode;
  qint32 answering = 0;
  for (qint32 rate : kLineRates) {
    if (rate == settings.BaudRate) continue;
    if (reopen(settings, rate) != Result::Ok) break;
    exchange_.ResultCode = Result::Ok;
    if (frames_.ReadDeviceMemory(2, 0) == Result::Ok) {
      answering = rate;
      break;
    }
    if (stopRequested()) break;
  }
  reopen(settings, settings.BaudRate);
  exchange_.ResultCode = code;
  return stopRequested() ? 0 : answering;
}

void DeviceLink::closePort() {
  port_.PurgePort();
  port_.ClosePort();
}

void DeviceLink::startTranslation() {
  TranslationTimer->setInterval(kTranslationIntervalMs);
  TranslationTimer->setEnabled(true);
}

void DeviceLink::stopTranslation() {
  TranslationTimer->setInterval(0);
}

void DeviceLink::TranslationTick() {
  // Translation shows what comes and reports nothing: a quiet line is no failure, so its
  // time-out must not linger in ResultCode and surface in the next run.
  if (exchange_.ReadByte(LogChar) != 0) {
    exchange_.ResultCode = Result::Ok;
    // A line that has gone cannot come back by waiting: the run ends and says so.
    if (!port_.PortOpen && !stopRequested()) {
      stopTranslation();
      runIn(QCoreApplication::instance(),
            [alive = QPointer<DeviceLink>(this), reason = port_.problem()] {
              if (alive) emit alive->translationEnded(Result::ReadFailed, reason);
            });
    }
    return;
  }
  // One byte a tick is ten a second: a device that says more would fill the line's buffer
  // until bytes are lost. What has already arrived is shown at once.
  exchange_.ReadReceived(LogChar, kTranslationBurst);
}

void DeviceLink::shutDown() {
  requestStop();
  TranslationTimer->setEnabled(false);
  port_.release();
}

LinkThread::LinkThread(DeviceLink& link) : link_(link) {
  thread_.setObjectName(QStringLiteral("DeviceLinkThread"));
  link_.moveToThread(&thread_);
  thread_.start();
}

LinkThread::~LinkThread() {
  link_.requestStop();
  if (thread_.isRunning()) {
    QThread* home = QCoreApplication::instance() ? QCoreApplication::instance()->thread()
                                                 : QThread::currentThread();
    // Runs after whatever the line is doing, which the stop ends at its next byte. The line
    // comes back to this thread with its timers stopped, so it can be destroyed here.
    runInAndWait(&link_, [this, home] {
      link_.shutDown();
      for (QObject* child : link_.findChildren<QObject*>())
        if (auto* timer = qobject_cast<WindowTimer*>(child)) timer->setEnabled(false);
      link_.moveToThread(home);
    });
    thread_.quit();
    thread_.wait();
  }
}
