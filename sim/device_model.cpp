#include "sim/device_model.h"

#include <algorithm>

namespace lir2 {

DeviceModel::DeviceModel(SimConfig cfg) : cfg_(std::move(cfg)), memory_(cfg_.firmware) {
  switch (cfg_.kind) {
    case SimKind::Echo:
      break;
    case SimKind::Translate:
      chatter_ = std::make_unique<LineChatter>(cfg_.chatter, 0, memory_);
      break;
    case SimKind::Boot:
      boot_ = std::make_unique<Bootloader>(cfg_.boot);
      break;
    case SimKind::Monitor:
      firmware_ = std::make_unique<MonitorFirmware>(cfg_.firmware, memory_);
      break;
    case SimKind::Modem:
      modem_ = std::make_unique<GsmModem>(cfg_.modem);
      break;
    case SimKind::Lir:
      boot_ = std::make_unique<Bootloader>(cfg_.boot);
      firmware_ = std::make_unique<MonitorFirmware>(cfg_.firmware, memory_);
      chatter_ = std::make_unique<LineChatter>(cfg_.chatter, cfg_.chatter.afterSilenceMs, memory_);
      lirBoot_ = true;
      break;
  }
}

bool DeviceModel::hears(Listener who) const {
  // A device at another rate than the host's sees only garbage, and sends garbage back; the
  // model treats both directions as lost.
  const qint32 rate = who == Listener::Boot ? cfg_.bootRate : cfg_.lineRate;
  return rate == 0 || hostRate_ == 0 || rate == hostRate_;
}

OutputQueue& DeviceModel::sink(Listener who) {
  if (hears(who)) return queue_;
  unheardSink_.clear();
  return unheardSink_;
}

qint64 DeviceModel::clampNow(qint64 now) {
  lastNow_ = std::max(lastNow_, now);
  return lastNow_;
}

void DeviceModel::portOpened(qint64 nowMs, qint32 baudRate) {
  const qint64 now = clampNow(nowMs);
  hostRate_ = baudRate;
  ++openings_;
  queue_.clear();
  if (boot_) boot_->restart(now);
  if (firmware_) firmware_->reset();
  if (modem_) modem_->reset();
  if (chatter_) chatter_->restart(now);
  lirBoot_ = cfg_.kind == SimKind::Lir;
}

void DeviceModel::hostRateChanged(qint64 nowMs, qint32 baudRate) {
  clampNow(nowMs);
  hostRate_ = baudRate;
}

void DeviceModel::noteUploads() {
  if (!boot_ || boot_->completedUploads() == uploadsSeen_) return;
  uploadsSeen_ = boot_->completedUploads();
  // A load without "keep settings" leaves the new program with factory settings.
  if (boot_->upload().mode == 'f') memory_.initialiseEeprom();
}

void DeviceModel::advance(qint64 now) {
  switch (cfg_.kind) {
    case SimKind::Translate:
      chatter_->advance(now, sink(Listener::Line));
      break;
    case SimKind::Boot:
      boot_->advance(now, sink(Listener::Boot));
      noteUploads();
      break;
    case SimKind::Lir:
      if (lirBoot_) {
        boot_->advance(now, sink(Listener::Boot));
        noteUploads();
        if (boot_->state() == Bootloader::State::Expired) {
          lirBoot_ = false;
          chatter_->noteActivity(boot_->expiredAt());
        }
      }
      if (!lirBoot_ && firmware_->idle(now))
        chatter_->advance(now, sink(Listener::Line), firmware_->busyUntil());
      break;
    case SimKind::Echo:
    case SimKind::Monitor:
    case SimKind::Modem:
      break;
  }
}

void DeviceModel::receive(quint8 byte, qint64 nowMs) {
  const qint64 now = clampNow(nowMs);
  advance(now);
  ++received_;
  switch (cfg_.kind) {
    case SimKind::Echo:
      if (hears(Listener::Line))
        queue_.push(now, byte);
      else
        ++unheard_;
      return;
    case SimKind::Translate:
      return;  // it talks, it does not listen
    case SimKind::Boot:
      if (!hears(Listener::Boot)) {
        ++unheard_;
        return;
      }
      boot_->receive(byte, now, queue_);
      noteUploads();
      return;
    case SimKind::Monitor:
      if (!hears(Listener::Line)) {
        ++unheard_;
        return;
      }
      firmware_->receive(byte, now, queue_);
      return;
    case SimKind::Modem:
      if (!hears(Listener::Line)) {
        ++unheard_;
        return;
      }
      modem_->receive(byte, now, queue_);
      return;
    case SimKind::Lir:
      break;
  }

  chatter_->noteActivity(now);
  if (lirBoot_) {
    const bool greeting = boot_->state() == Bootloader::State::Greeting;
    const bool modeLetter = hears(Listener::Boot) && (byte == 'l' || byte == 'f');
    if (!greeting || modeLetter) {
      // The bootloader's dialogue has begun; it keeps the line until it lets go.
      if (hears(Listener::Boot))
        boot_->receive(byte, now, queue_);
      else
        ++unheard_;
      noteUploads();
      return;
    }
    // Anything but a mode letter during the greeting window starts the program at once,
    // and the program takes this byte as the first of a command.
    boot_->stop(now);
    lirBoot_ = false;
    firmware_->reset();
  }
  if (hears(Listener::Line))
    firmware_->receive(byte, now, queue_);
  else
    ++unheard_;
}

QByteArray DeviceModel::takeOutput(qint64 nowMs) {
  const qint64 now = clampNow(nowMs);
  advance(now);
  return queue_.take(now);
}

void DeviceModel::discardOutput(qint64 nowMs) {
  const qint64 now = clampNow(nowMs);
  advance(now);
  queue_.discardDue(now);
}

std::optional<qint64> DeviceModel::nextOutputAt(qint64 nowMs) const {
  Q_UNUSED(nowMs);
  if (!queue_.empty()) return queue_.nextAt();
  switch (cfg_.kind) {
    case SimKind::Translate:
      if (hears(Listener::Line)) return chatter_->nextAt();
      return std::nullopt;
    case SimKind::Boot:
      if (hears(Listener::Boot)) return boot_->nextOutputAt();
      return std::nullopt;
    case SimKind::Lir:
      if (lirBoot_) {
        if (hears(Listener::Boot)) {
          if (const std::optional<qint64> greet = boot_->nextOutputAt()) return greet;
        }
        // After the window the program starts and, left alone, begins to chat.
        const std::optional<qint64> end = boot_->windowEndsAt();
        if (end && hears(Listener::Line)) return chatter_->nextAt(*end);
        return std::nullopt;
      }
      if (hears(Listener::Line)) return chatter_->nextAt(firmware_->busyUntil());
      return std::nullopt;
    case SimKind::Echo:
    case SimKind::Monitor:
    case SimKind::Modem:
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace lir2
