#include "monitor/trend_history.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

float Celsius(const RamValues& v, const TemperatureReading& t, bool hidden = false) {
  return v.temperaturesKnown && !t.absent && !hidden ? float(t.celsius()) : kNone;
}

}  // namespace

void TrendHistory::add(const RamValues& v, qint64 ms) {
  Sample s;
  s.ms = ms;
  s.values[BatteryVolts] = float(v.batteryVolts);
  s.values[BatteryAmps] = float(v.batteryAmps);
  s.values[PowerKw] = float(v.powerKw);
  s.values[MainsVolts] = float(v.mainsVolts);
  s.values[OutputVolts] = float(v.outputVolts);
  s.values[AmbientC] = Celsius(v, v.ambient);
  s.values[TransformerC] = Celsius(v, v.transformer, v.transformerHidden);
  s.values[TransistorsC] = Celsius(v, v.transistors);
  add(s);
  for (const AlarmEvent& a : v.newAlarms) {
    if (alarms_.size() == kMostAlarms) alarms_.pop_front();
    alarms_.push_back({ms, a.text.trimmed()});
  }
}

void TrendHistory::add(const Sample& sample) {
  // A clock set back starts the history again rather than breaking its order.
  if (size_ && sample.ms < newestMs()) clear();
  dropOlderThan(sample.ms - kKeepMs);
  if (size_ == ring_.size()) {
    if (size_ == kMostSamples) {
      head_ = (head_ + 1) % ring_.size();
      --size_;
    } else {
      // Grow in steps, oldest first again.
      std::vector<Sample> grown;
      grown.reserve(std::min(kMostSamples, std::max<size_t>(1024, ring_.size() * 2)));
      for (size_t i = 0; i < size_; ++i) grown.push_back(at(i));
      grown.resize(grown.capacity());
      ring_.swap(grown);
      head_ = 0;
    }
  }
  ring_[(head_ + size_) % ring_.size()] = sample;
  ++size_;
}

void TrendHistory::clear() {
  ring_.clear();
  ring_.shrink_to_fit();
  head_ = size_ = 0;
  alarms_.clear();
}

size_t TrendHistory::memoryBytes() const {
  size_t bytes = ring_.capacity() * sizeof(Sample);
  for (const Alarm& a : alarms_) bytes += sizeof(Alarm) + size_t(a.text.capacity()) * 2;
  return bytes;
}

void TrendHistory::dropOlderThan(qint64 ms) {
  while (size_ && at(0).ms < ms) {
    head_ = (head_ + 1) % ring_.size();
    --size_;
  }
  while (!alarms_.empty() && alarms_.front().ms < ms) alarms_.pop_front();
}

size_t TrendHistory::lowerBound(qint64 ms) const {
  size_t lo = 0, hi = size_;
  while (lo < hi) {
    const size_t mid = (lo + hi) / 2;
    if (at(mid).ms < ms)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

TrendHistory::Drawing TrendHistory::draw(qint64 fromMs, qint64 toMs, int columns) const {
  Drawing d;
  d.low.fill(kNone);
  d.high.fill(kNone);
  if (toMs <= fromMs || columns < 1) return d;
  const double msPerColumn = double(toMs - fromMs) / columns;
  const size_t first = lowerBound(fromMs);
  const size_t end = lowerBound(toMs + 1);
  for (auto& s : d.series) s.reserve(2 * std::min<qsizetype>(columns, qsizetype(end - first)));

  // Per series: the column being gathered, and its lowest and highest sample.
  struct Gather {
    int column = -1;
    qint64 lowMs = 0, highMs = 0;
    float low = 0, high = 0;
  };
  std::array<Gather, kSeriesCount> g;
  auto emitColumn = [&d](int k, const Gather& c) {
    if (c.column < 0) return;
    if (c.lowMs == c.highMs) {
      d.series[k].append(QPointF(double(c.lowMs), c.low));
    } else if (c.lowMs < c.highMs) {
      d.series[k].append(QPointF(double(c.lowMs), c.low));
      d.series[k].append(QPointF(double(c.highMs), c.high));
    } else {
      d.series[k].append(QPointF(double(c.highMs), c.high));
      d.series[k].append(QPointF(double(c.lowMs), c.low));
    }
  };
  for (size_t i = first; i < end; ++i) {
    const Sample& s = at(i);
    const int column = std::min(columns - 1, int((s.ms - fromMs) / msPerColumn));
    for (int k = 0; k < kSeriesCount; ++k) {
      const float v = s.values[k];
      if (std::isnan(v)) continue;
      Gather& c = g[k];
      if (c.column != column) {
        emitColumn(k, c);
        c = {column, s.ms, s.ms, v, v};
      } else if (v < c.low) {
        c.low = v, c.lowMs = s.ms;
      } else if (v > c.high) {
        c.high = v, c.highMs = s.ms;
      }
      if (!(d.low[k] <= v)) d.low[k] = v;
      if (!(d.high[k] >= v)) d.high[k] = v;
    }
  }
  for (int k = 0; k < kSeriesCount; ++k) emitColumn(k, g[k]);

  int lastColumn = -1;
  for (const Alarm& a : alarms_) {
    if (a.ms < fromMs || a.ms > toMs) continue;
    const int column = std::min(columns - 1, int((a.ms - fromMs) / msPerColumn));
    if (column == lastColumn && !d.alarmTexts.isEmpty()) {
      d.alarmTexts.back() += QStringLiteral("\n") + a.text;
      continue;
    }
    lastColumn = column;
    d.alarmMs.append(a.ms);
    d.alarmTexts.append(a.text);
  }
  return d;
}
