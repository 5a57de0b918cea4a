// Service records: a day of CSV rows at the poll rate in simulated time (file size, CPU time per
// row), a row forced to the disk, and the trend chart with a day of points (memory, redraw).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QXYSeries>

#include <ctime>
#include <fstream>

#include "monitor/csv_recording.h"
#include "monitor/decoders.h"
#include "monitor/form_trend.h"
#include "sim/device_memory.h"
#include "sim/sim_config.h"

using namespace lir2;

namespace {

constexpr qint64 kDayMs = 24LL * 3600 * 1000;
// A RAM decode per tick: 300 ms between ticks, and a tick of a few milliseconds.
constexpr qint64 kPollMs = 300;
const QDateTime kStart(QDate(2024, 3, 5), QTime(0, 0));

double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

long residentKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long kb = 0;
  while (status >> key)
    if (key == "VmRSS:") return status >> kb, kb;
  return 0;
}

// The simulated device's RAM window moving through a day, decoded as the monitor decodes it.
struct Day {
  SimConfig cfg = *simConfigForProfile(QStringLiteral("gen9"));
  DeviceMemory memory{cfg.firmware};
  DeviceImages images;
  DecodeContext ctx;

  Day() {
    images.EepromImage = memory.eeprom();
    bool binary = false;
    DecodeEeprom(images, ctx, binary);
  }
  RamValues at(qint64 ms, int n) {
    const DeviceMemory::Ram ram = memory.ram(ms);
    std::copy(ram.begin(), ram.end(), images.RamImage.begin());
    images.RamImage[44] = n % 5000 == 0 ? 0x01 : 0;  // an alarm now and then
    RamValues v = measureRam(images, ctx);
    DecodeRam(v, ctx, kStart);  // the context learns this pass's alarms
    return v;
  }
};

// 24 hours of rows, handed to the system row by row; the CPU time is that of the recording
// (formatting and writing), not of the simulated device.
void BM_CsvDay(benchmark::State& state) {
  for (auto _ : state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("day.csv"));
    CsvRecording rec;
    rec.setSyncEachRow(false);
    rec.start(path);
    Day day;
    double cpu = 0;
    qint64 rows = 0;
    for (qint64 ms = 0; ms < kDayMs; ms += kPollMs) {
      const RamValues v = day.at(ms, int(rows));
      const QDateTime at = kStart.addMSecs(ms);
      const double before = threadCpuSeconds();
      rec.record(v, at);
      cpu += threadCpuSeconds() - before;
      ++rows;
    }
    rec.stop();
    const qint64 bytes = QFileInfo(path).size();
    state.counters["rows"] = double(rec.rows());
    state.counters["file_MB"] = double(bytes) / 1e6;
    state.counters["bytes_per_row"] = double(bytes) / double(rec.rows());
    state.counters["cpu_us_per_row"] = cpu * 1e6 / double(rows);
  }
}
BENCHMARK(BM_CsvDay)->Unit(benchmark::kSecond)->Iterations(1);

// One row forced to the disk of the temporary folder, as the program records.
void BM_CsvRowSynced(benchmark::State& state) {
  QTemporaryDir dir;
  CsvRecording rec;
  rec.start(dir.filePath(QStringLiteral("synced.csv")));
  Day day;
  qint64 ms = 0;
  for (auto _ : state) {
    rec.record(day.at(ms, 1), kStart.addMSecs(ms));
    ms += kPollMs;
  }
  state.counters["rows"] = double(rec.rows());
}
BENCHMARK(BM_CsvRowSynced)->Unit(benchmark::kMicrosecond)->Iterations(2000);

// The chart window with 24 hours of samples: its history's memory, and one redraw after a new
// decode (the drawing of the chosen span, the charts' new points and axes, painting the three
// charts) of the whole day and of the last ten minutes.
void BM_TrendRedraw(benchmark::State& state) {
  const long rssBefore = residentKb();
  TFormTrend trend;
  Day day;
  int n = 0;
  for (qint64 ms = 0; ms < kDayMs; ms += kPollMs)
    trend.history().add(day.at(ms, n++), kStart.addMSecs(ms).toMSecsSinceEpoch());
  const long rssFilled = residentKb();
  trend.findChild<QComboBox*>(QStringLiteral("CB_Span"))->setCurrentIndex(int(state.range(0)));
  trend.resize(1200, 800);
  trend.show();
  QApplication::processEvents();
  QImage canvas(trend.size(), QImage::Format_ARGB32_Premultiplied);
  double redrawMs = 0, paintMs = 0;
  qint64 ms = kDayMs;
  for (auto _ : state) {
    // As in a run: a new decode, the span moving on with it.
    state.PauseTiming();
    trend.history().add(day.at(ms, n++), kStart.addMSecs(ms).toMSecsSinceEpoch());
    ms += kPollMs;
    state.ResumeTiming();
    const double t0 = threadCpuSeconds();
    trend.redraw();
    const double t1 = threadCpuSeconds();
    QPainter painter(&canvas);
    trend.render(&painter);
    paintMs += (threadCpuSeconds() - t1) * 1e3;
    redrawMs += (t1 - t0) * 1e3;
  }
  state.counters["cpu_ms_redraw"] = redrawMs / double(state.iterations());
  state.counters["cpu_ms_paint"] = paintMs / double(state.iterations());
  state.counters["samples"] = double(trend.history().size());
  state.counters["history_MB"] = double(trend.history().memoryBytes()) / 1e6;
  state.counters["rss_growth_MB"] = double(rssFilled - rssBefore) / 1e3;
  state.counters["points_drawn"] = [&] {
    double points = 0;
    for (QChartView* v : trend.views)
      for (auto* s : v->chart()->series())
        if (auto* line = qobject_cast<QXYSeries*>(s)) points += line->count();
    return points;
  }();
}
BENCHMARK(BM_TrendRedraw)->Arg(8)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(20);

// Only the history's part of a redraw: a day of samples into 870 columns.
void BM_HistoryDrawDay(benchmark::State& state) {
  TrendHistory h;
  Day day;
  int n = 0;
  for (qint64 ms = 0; ms < kDayMs; ms += kPollMs)
    h.add(day.at(ms, n++), kStart.addMSecs(ms).toMSecsSinceEpoch());
  for (auto _ : state) benchmark::DoNotOptimize(h.draw(h.at(0).ms, h.newestMs(), 870));
}
BENCHMARK(BM_HistoryDrawDay)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
