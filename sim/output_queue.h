#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <deque>
#include <optional>
#include <utility>

namespace lir2 {

// Bytes the device has put on the line, each stamped with the moment it becomes readable.
// Order is kept: a byte never overtakes one queued before it.
class OutputQueue {
 public:
  // Like a receive buffer that nobody empties: beyond this the oldest bytes are lost.
  static constexpr std::size_t kCapacity = 65536;

  void push(qint64 at, quint8 byte) {
    if (!q_.empty() && at < q_.back().first) at = q_.back().first;
    q_.emplace_back(at, byte);
    while (q_.size() > kCapacity) {
      q_.pop_front();
      ++overflowed_;
    }
  }
  void push(qint64 at, QByteArrayView bytes) {
    for (char c : bytes) push(at, static_cast<quint8>(c));
  }

  // Everything readable by now.
  QByteArray take(qint64 now) {
    QByteArray out;
    while (!q_.empty() && q_.front().first <= now) {
      out.append(static_cast<char>(q_.front().second));
      q_.pop_front();
    }
    return out;
  }
  // Drops what is readable by now; later bytes have not left the device yet.
  void discardDue(qint64 now) {
    while (!q_.empty() && q_.front().first <= now) q_.pop_front();
  }
  void clear() { q_.clear(); }

  bool empty() const { return q_.empty(); }
  std::optional<qint64> nextAt() const {
    if (q_.empty()) return std::nullopt;
    return q_.front().first;
  }
  quint64 overflowed() const { return overflowed_; }

 private:
  std::deque<std::pair<qint64, quint8>> q_;
  quint64 overflowed_ = 0;
};

}  // namespace lir2
