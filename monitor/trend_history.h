#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <QtGlobal>

#include <array>
#include <deque>
#include <vector>

#include "monitor/ram_values.h"

namespace lir2 {

// The monitor's values over time, for the trend chart: a queue of small samples, one per RAM
// decode, kept for 24 hours, and the alarms that appeared meanwhile. Drawing takes a time range
// and a number of columns and gets back at most two points per column and series (the lowest
// and the highest), so a day of samples draws as fast as a minute.
class TrendHistory {
 public:
  // The series the chart draws, in this order.
  enum Series {
    BatteryVolts,
    BatteryAmps,
    PowerKw,
    MainsVolts,
    OutputVolts,
    AmbientC,
    TransformerC,
    TransistorsC,
    kSeriesCount
  };

  // One decode: the time in milliseconds since the epoch and the values; NaN where the labels
  // show none (a missing sensor, a board without temperatures).
  struct Sample {
    qint64 ms = 0;
    std::array<float, kSeriesCount> values{};
  };

  // How long the history reaches back, and at most how many samples it keeps (a decode every
  // 216 ms for a day; the monitor decodes at most once a tick, ticks are 300 ms apart).
  static constexpr qint64 kKeepMs = 24LL * 60 * 60 * 1000;
  static constexpr size_t kMostSamples = 400'000;
  static constexpr size_t kMostAlarms = 10'000;

  void add(const RamValues& values, qint64 ms);
  void add(const Sample& sample);
  void clear();

  size_t size() const { return samples_.size(); }
  bool empty() const { return samples_.empty(); }
  // Oldest first.
  Sample at(size_t i) const { return unpack(samples_[i]); }
  qint64 newestMs() const { return samples_.empty() ? 0 : samples_.back().ms; }
  // Bytes the history holds (samples and alarm texts), for the benchmark.
  size_t memoryBytes() const;

  // Each series between fromMs and toMs in at most `columns` columns: per column its lowest and
  // highest value as a vertical stroke at the middle of their moments (one point where they are
  // equal), so peaks stay visible; x is a time in milliseconds.
  struct Drawing {
    std::array<QList<QPointF>, kSeriesCount> series;
    // Per series the lowest and highest value drawn (NaN when none).
    std::array<float, kSeriesCount> low{}, high{};
    // Alarm moments in the range, at most one per column, with their texts.
    QList<qint64> alarmMs;
    QStringList alarmTexts;
  };
  Drawing draw(qint64 fromMs, qint64 toMs, int columns) const;

 private:
  struct Alarm {
    qint64 ms;
    QString text;
  };
  // The lowest and highest value of each series over some samples, and when they came; none
  // while low > high.
  struct Extremes {
    std::array<float, kSeriesCount> low, high;
    std::array<qint64, kSeriesCount> lowMs, highMs;
    Extremes();
    void take(const Sample& s);
    void take(const Extremes& e);
  };
  // Samples are summed up in blocks of this many (by their number since the history began), so
  // a drawing of many samples per column reads the blocks, not every sample.
  static constexpr quint64 kBlock = 64;

  // The first sample at or after ms.
  size_t lowerBound(qint64 ms) const;
  void dropOlderThan(qint64 ms);
  void dropOldest();

  // A sample as held: each value in a 16-bit step of its series (a hundredth of a volt, a
  // fiftieth of an ampere, a watt, a tenth of a volt or a degree: finer than any label shows),
  // so a day of samples takes a quarter of the memory floats would.
  struct Packed {
    qint64 ms;
    std::array<qint16, kSeriesCount> steps;
  };
  static Packed pack(const Sample& s);
  static Sample unpack(const Packed& p);
  // In chunks, so memory follows the samples held: no doubling, no copy as it grows.
  std::deque<Packed> samples_;
  quint64 first_ = 0;  // the number of the oldest sample since the history began
  std::deque<Extremes> blocks_;
  quint64 firstBlock_ = 0;  // the number of blocks_.front()
  std::deque<Alarm> alarms_;
};

}  // namespace lir2
