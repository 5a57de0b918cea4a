#pragma once

// Drives a DeviceModel the way the host's byte primitives do: each byte sent is answered
// (or not) before the next goes out, and each reply byte is echoed back at once.

#include "sim/device_model.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <memory>

struct Exchange {
  QByteArray echo;      // what came back while the command was sent (the echo, byte by byte)
  QByteArray reply;     // the reply, read in lock-step with the host's echo
  int widestBurst = 0;  // most reply bytes that were readable at once (lock-step: 1)
};

class WireHost {
 public:
  explicit WireHost(DeviceModel& model, qint64 now = 0) : model_(model), now(now) {}

  // Sends the bytes one by one and gathers everything the device put out meanwhile.
  QByteArray send(QByteArrayView bytes) {
    QByteArray out;
    for (char c : bytes) {
      model_.receive(static_cast<quint8>(c), now);
      out += model_.takeOutput(now);
    }
    return out;
  }

  // Sends a command byte by byte, keeping only the echo of each byte; whatever follows the
  // echo of the last byte is the start of the reply, which is then read and echoed byte by
  // byte until the device stops.
  Exchange command(QByteArrayView frame) {
    Exchange x;
    QByteArray pending;
    for (qsizetype i = 0; i < frame.size(); ++i) {
      model_.receive(static_cast<quint8>(frame[i]), now);
      QByteArray got = model_.takeOutput(now);
      if (got.isEmpty()) return x;  // no echo: the host would time out here
      x.echo.append(got.front());
      pending = got.mid(1);
    }
    while (!pending.isEmpty()) {
      x.widestBurst = std::max(x.widestBurst, static_cast<int>(pending.size()));
      x.reply += pending;
      for (char c : pending) model_.receive(static_cast<quint8>(c), now);
      pending = model_.takeOutput(now);
    }
    return x;
  }

  QByteArray take() { return model_.takeOutput(now); }

 private:
  DeviceModel& model_;

 public:
  qint64 now;
};

inline QByteArray bytes(std::initializer_list<int> values) {
  QByteArray b;
  for (int v : values) b.append(static_cast<char>(v));
  return b;
}

using Tweak = std::function<void(SimConfig&)>;

// A device of the profile, changed as the test says, its line opened at 0 ms.
inline std::unique_ptr<DeviceModel> device(const QString& profile, const Tweak& tweak = {}) {
  SimConfig cfg = *simConfigForProfile(profile);
  if (tweak) tweak(cfg);
  auto m = std::make_unique<DeviceModel>(cfg);
  m->portOpened(0, 19200);
  return m;
}
