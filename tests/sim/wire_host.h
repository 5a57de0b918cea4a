#pragma once

// Drives a DeviceModel the way the host's byte primitives do: each byte sent is answered
// (or not) before the next goes out, and each reply byte is echoed back at once.

#include "sim/device_model.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

using namespace lir2;

// Failures show bytes as hexadecimal pairs.
inline void PrintTo(const QByteArray& b, std::ostream* os) {
  *os << '"' << b.toHex(' ').toStdString() << '"';
}

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

  // Sends a command byte by byte, each byte to be echoed at once; whatever follows the echo of
  // the last byte is the start of the reply, which is then read and echoed byte by byte (the
  // device may send each only once the one before is echoed) until the device stops.
  QByteArray command(QByteArrayView frame) {
    QByteArray reply, pending;
    for (char c : frame) {
      model_.receive(static_cast<quint8>(c), now);
      pending = model_.takeOutput(now);
      if (pending.isEmpty()) return {};  // no echo: the host would time out here
      EXPECT_EQ(pending.front(), c) << "echo";
      pending.remove(0, 1);
    }
    while (!pending.isEmpty()) {
      EXPECT_EQ(pending.size(), 1) << "reply bytes must wait for the host's echo";
      reply += pending;
      for (char c : pending) model_.receive(static_cast<quint8>(c), now);
      pending = model_.takeOutput(now);
    }
    return reply;
  }

  QByteArray take() { return model_.takeOutput(now); }

 private:
  DeviceModel& model_;

 public:
  qint64 now;
};

// Bytes written as hexadecimal pairs, blanks allowed.
inline QByteArray hex(const char* pairs) {
  return QByteArray::fromHex(pairs);
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

// At `at` ms (the line opened again first when told) the host sends its bytes one by one;
// `heard` is everything the device put out meanwhile and by then.
struct Step {
  qint64 at;
  QByteArray send, heard;
  bool reopen = false;
};
using Steps = std::vector<Step>;

// Plays the steps. Output that comes without input must have been promised by then, and a
// promise never lies in the past: a waiting line would sleep through the one or spin on the other.
inline void play(DeviceModel& m, const Steps& steps) {
  WireHost host(m);
  std::optional<qint64> promised = m.nextOutputAt(0);
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "step " << &s - steps.data() << " at " << s.at << " ms");
    host.now = s.at;
    if (s.reopen) {
      m.portOpened(s.at, 19200);
      promised = m.nextOutputAt(s.at);
    }
    const QByteArray heard = host.send(s.send) + host.take();
    EXPECT_EQ(heard, s.heard);
    if (s.send.isEmpty() && !heard.isEmpty()) {
      EXPECT_TRUE(promised && *promised <= s.at);
    }
    promised = m.nextOutputAt(s.at);
    EXPECT_TRUE(!promised || *promised > s.at) << *promised;
  }
}

inline Steps operator+(Steps a, const Steps& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
