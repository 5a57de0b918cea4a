#pragma once

// A serial line whose far end is a script: tests say what the device answers to each byte and
// can make the line fail in the ways real ones do.
#include <QByteArray>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>

#include "serial/clock.h"
#include "serial/serial_device.h"

using namespace lir2;

struct ScriptedLine {
  // What the device sends back for each byte it receives (default: nothing).
  std::function<QByteArray(quint8)> respond;
  std::deque<quint8> pending;  // bytes the device has sent that the host has not read
  QByteArray received;         // every byte the host wrote
  bool openFails = false;
  bool writeFails = false;
  bool vanished = false;
  int opens = 0;
  qint32 lastRate = 0;
  int purges = 0;

  // Bytes the device sends by itself once the clock reaches atMs.
  QByteArray later;
  qint64 laterAtMs = 0;

  void send(const QByteArray& bytes) {
    for (char c : bytes) pending.push_back(static_cast<quint8>(c));
  }
};

class ScriptedDevice final : public SerialDevice {
 public:
  ScriptedDevice(std::shared_ptr<ScriptedLine> line, Clock& clock)
      : line_(std::move(line)), clock_(clock) {}

  OpenResult open(qint32 rate) override {
    OpenResult r;
    ++line_->opens;
    line_->lastRate = rate;
    if (line_->openFails) {
      r.message = QStringLiteral("Open COM port Error");
      return r;
    }
    open_ = true;
    r.opened = true;
    return r;
  }
  void close() override { open_ = false; }
  bool isOpen() const override { return open_ && !line_->vanished; }
  void purge() override {
    ++line_->purges;
    line_->pending.clear();
  }
  Read readByte(quint8& byte) override {
    if (!isOpen()) {
      open_ = false;
      return Read::Failed;
    }
    if (line_->pending.empty()) return Read::Empty;
    byte = line_->pending.front();
    line_->pending.pop_front();
    return Read::Byte;
  }
  bool waitForReadyRead(int ms) override {
    if (!isOpen()) return false;
    if (!line_->pending.empty()) return true;
    if (!line_->later.isEmpty() && clock_.nowMs() + ms >= line_->laterAtMs) {
      clock_.sleepMs(static_cast<int>(std::max<qint64>(0, line_->laterAtMs - clock_.nowMs())));
      line_->send(line_->later);
      line_->later.clear();
      return true;
    }
    clock_.sleepMs(ms);
    return false;
  }
  bool writeByte(quint8 byte) override {
    if (!isOpen() || line_->writeFails) return false;
    line_->received.append(static_cast<char>(byte));
    if (line_->respond) line_->send(line_->respond(byte));
    return true;
  }

 private:
  std::shared_ptr<ScriptedLine> line_;
  Clock& clock_;
  bool open_ = false;
};

// Echoes every byte, as the device does under the echo discipline.
inline QByteArray echoByte(quint8 b) {
  return QByteArray(1, static_cast<char>(b));
}
