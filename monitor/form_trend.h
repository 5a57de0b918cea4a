#pragma once

#include <QDateTime>
#include <QList>
#include <QTimer>
#include <QWidget>

#include <array>

#include "monitor/ram_values.h"
#include "monitor/trend_history.h"

class QChart;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace lir2 {

// "Графики": the monitor's values over the last minutes or hours, read from the same numbers the
// labels show: the voltages, the battery current and the power, the temperatures, and the
// moments alarms appeared. The history is kept from the start of a monitor run whether the
// window is open or not; the window draws it when shown and follows new values.
class TFormTrend : public QWidget {
  Q_OBJECT
 public:
  explicit TFormTrend(QWidget* parent = nullptr);
  ~TFormTrend() override;

  // A RAM decode's numbers, and when it was made.
  void addValues(const RamValues& values, const QDateTime& at);
  // A new run starts with an empty history.
  void clearHistory();
  // Draws the chosen span up to the newest values now.
  void redraw();

  TrendHistory& history() { return history_; }
  // The chosen span in milliseconds.
  qint64 spanMs() const;

  // The spans to choose from, shortest first; 10 minutes at start.
  struct Span {
    const char16_t* text;
    qint64 ms;
  };
  static const std::array<Span, 9> kSpans;

  // The three charts: voltages; battery current and power; temperatures.
  std::array<QChartView*, 3> views{};

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QComboBox* CB_Span = nullptr;

  struct Chart {
    QChart* chart = nullptr;
    QDateTimeAxis* time = nullptr;
    QValueAxis* left = nullptr;
    QValueAxis* right = nullptr;                 // may be none
    QList<std::pair<int, QLineSeries*>> series;  // TrendHistory::Series and its line
    QList<int> rightSeries;                      // the series measured on the right axis
    QScatterSeries* alarms = nullptr;
  };
  Chart makeChart(const QString& title, const QString& leftTitle, const QString& rightTitle,
                  std::initializer_list<std::pair<int, const char16_t*>> left,
                  std::initializer_list<std::pair<int, const char16_t*>> right);
  void scheduleRedraw();

  TrendHistory history_;
  std::array<Chart, 3> charts_;
  QStringList alarmTexts_;  // of the markers drawn, in their order
  QTimer redrawTimer_;
};

}  // namespace lir2
