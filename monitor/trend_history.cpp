#include "monitor/trend_history.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace lir2 {

namespace {

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

float celsiusOrNone(const RamValues& v, const TemperatureReading& t, bool hidden = false) {
  return v.temperaturesKnown && !t.absent && !hidden ? float(t.celsius()) : kNone;
}

constexpr float kInf = std::numeric_limits<float>::infinity();

}  // namespace

TrendHistory::Extremes::Extremes() {
  low.fill(kInf);
  high.fill(-kInf);
  lowMs.fill(0);
  highMs.fill(0);
}

void TrendHistory::Extremes::take(const Sample& s) {
  for (int k = 0; k < kSeriesCount; ++k) {
    const float v = s.values[k];
    if (std::isnan(v)) continue;
    if (v < low[k]) low[k] = v, lowMs[k] = s.ms;
    if (v > high[k]) high[k] = v, highMs[k] = s.ms;
  }
}

void TrendHistory::Extremes::take(const Extremes& e) {
  for (int k = 0; k < kSeriesCount; ++k) {
    if (e.low[k] < low[k]) low[k] = e.low[k], lowMs[k] = e.lowMs[k];
    if (e.high[k] > high[k]) high[k] = e.high[k], highMs[k] = e.highMs[k];
  }
}

void TrendHistory::add(const RamValues& v, qint64 ms) {
  Sample s;
  s.ms = ms;
  s.values[BatteryVolts] = float(v.batteryVolts);
  s.values[BatteryAmps] = float(v.batteryAmps);
  s.values[PowerKw] = float(v.powerKw);
  s.values[MainsVolts] = float(v.mainsVolts);
  s.values[OutputVolts] = float(v.outputVolts);
  s.values[AmbientC] = celsiusOrNone(v, v.ambient);
  s.values[TransformerC] = celsiusOrNone(v, v.transformer, v.transformerHidden);
  s.values[TransistorsC] = celsiusOrNone(v, v.transistors);
  add(s);
  for (const AlarmEvent& a : v.newAlarms) {
    if (alarms_.size() == kMostAlarms) alarms_.pop_front();
    alarms_.push_back({ms, a.text.trimmed()});
  }
}

namespace {

// Steps per unit of each series, in the order of TrendHistory::Series.
constexpr std::array<float, TrendHistory::kSeriesCount> kStepsPerUnit = {100, 50, 1000, 10,
                                                                         10,  10, 10,   10};
constexpr qint16 kNoValue = std::numeric_limits<qint16>::min();

}  // namespace

TrendHistory::Packed TrendHistory::pack(const Sample& s) {
  Packed p{s.ms, {}};
  for (int k = 0; k < kSeriesCount; ++k) {
    const float v = s.values[k];
    p.steps[k] = std::isnan(v)
                     ? kNoValue
                     : qint16(std::lround(std::clamp(v * kStepsPerUnit[k], -32767.f, 32767.f)));
  }
  return p;
}

TrendHistory::Sample TrendHistory::unpack(const Packed& p) {
  Sample s;
  s.ms = p.ms;
  for (int k = 0; k < kSeriesCount; ++k)
    s.values[k] = p.steps[k] == kNoValue ? NAN : float(p.steps[k]) / kStepsPerUnit[k];
  return s;
}

void TrendHistory::add(const Sample& sample) {
  // A clock set back starts the history again rather than breaking its order.
  if (!empty() && sample.ms < newestMs()) clear();
  dropOlderThan(sample.ms - kKeepMs);
  if (size() == kMostSamples) dropOldest();
  const quint64 number = first_ + size();
  samples_.push_back(pack(sample));
  if (blocks_.empty()) firstBlock_ = number / kBlock;
  while (firstBlock_ + blocks_.size() <= number / kBlock) blocks_.emplace_back();
  blocks_.back().take(at(size() - 1));
}

void TrendHistory::clear() {
  samples_.clear();
  samples_.shrink_to_fit();
  first_ = 0;
  blocks_.clear();
  firstBlock_ = 0;
  alarms_.clear();
}

size_t TrendHistory::memoryBytes() const {
  size_t bytes = samples_.size() * sizeof(Packed) + blocks_.size() * sizeof(Extremes);
  for (const Alarm& a : alarms_) bytes += sizeof(Alarm) + size_t(a.text.capacity()) * 2;
  return bytes;
}

void TrendHistory::dropOldest() {
  samples_.pop_front();
  ++first_;
  // A block goes with its last sample; one partly gone is never read whole again.
  while (!blocks_.empty() && (firstBlock_ + 1) * kBlock <= first_) {
    blocks_.pop_front();
    ++firstBlock_;
  }
}

void TrendHistory::dropOlderThan(qint64 ms) {
  while (!empty() && samples_.front().ms < ms) dropOldest();
  while (!alarms_.empty() && alarms_.front().ms < ms) alarms_.pop_front();
}

size_t TrendHistory::lowerBound(qint64 ms) const {
  size_t lo = 0, hi = size();
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
  auto columnOf = [&](qint64 ms) {
    return std::min(columns - 1, int(double(ms - fromMs) / msPerColumn));
  };
  const size_t first = lowerBound(fromMs);
  const size_t end = lowerBound(toMs + 1);
  for (auto& s : d.series) s.reserve(2 * std::min<qsizetype>(columns, qsizetype(end - first)));

  size_t i = first;
  while (i < end) {
    // The column's samples: i up to the first of a later column.
    const int column = columnOf(at(i).ms);
    size_t lo = i + 1, hi = end;
    while (lo < hi) {
      const size_t mid = (lo + hi) / 2;
      if (columnOf(at(mid).ms) <= column)
        lo = mid + 1;
      else
        hi = mid;
    }
    const size_t columnEnd = lo;
    // Single samples up to a block's start, whole blocks, single samples after the last.
    Extremes e;
    quint64 n = first_ + i;
    const quint64 nEnd = first_ + columnEnd;
    for (; n < nEnd && n % kBlock != 0; ++n) e.take(at(size_t(n - first_)));
    for (; n + kBlock <= nEnd; n += kBlock) e.take(blocks_[size_t(n / kBlock - firstBlock_)]);
    for (; n < nEnd; ++n) e.take(at(size_t(n - first_)));
    i = columnEnd;

    for (int k = 0; k < kSeriesCount; ++k) {
      if (e.low[k] > e.high[k]) continue;  // no value in this column
      // A column is a vertical stroke from its lowest to its highest value, at the middle of
      // their moments, begun at the end nearer the line so far: the line stays a chain of
      // strokes rather than a zigzag, which costs the chart far more to lay out and paint.
      QList<QPointF>& line = d.series[k];
      const double x = (double(e.lowMs[k]) + double(e.highMs[k])) / 2;
      const bool lowFirst = line.isEmpty() || std::fabs(line.back().y() - e.low[k]) <=
                                                  std::fabs(line.back().y() - e.high[k]);
      line.append(QPointF(x, lowFirst ? e.low[k] : e.high[k]));
      if (e.low[k] != e.high[k]) line.append(QPointF(x, lowFirst ? e.high[k] : e.low[k]));
      if (!(d.low[k] <= e.low[k])) d.low[k] = e.low[k];
      if (!(d.high[k] >= e.high[k])) d.high[k] = e.high[k];
    }
  }

  int lastColumn = -1;
  for (const Alarm& a : alarms_) {
    if (a.ms < fromMs || a.ms > toMs) continue;
    const int column = columnOf(a.ms);
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

}  // namespace lir2
