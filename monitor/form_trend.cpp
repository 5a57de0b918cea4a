#include "monitor/form_trend.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>

namespace lir2 {

using namespace Qt::StringLiterals;

namespace {

// New values redraw the window at most this often.
constexpr int kRedrawPauseMs = 250;
constexpr int kDefaultSpan = 2;  // 10 minutes

// An axis range that shows lo to hi with a little room, in round steps of 1, 2 or 5 times a
// power of ten; a flat line gets a band around it. Sets the axis only where it changes: every
// change lays the chart out again.
void setRoundRange(QValueAxis* axis, double lo, double hi) {
  if (std::isnan(lo) || std::isnan(hi)) lo = 0, hi = 1;
  const double pad = hi > lo ? (hi - lo) * 0.05 : std::max(1.0, std::fabs(hi) * 0.05);
  lo -= pad, hi += pad;
  const double rough = (hi - lo) / 4;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  const double step = rough <= power       ? power
                      : rough <= 2 * power ? 2 * power
                      : rough <= 5 * power ? 5 * power
                                           : 10 * power;
  lo = std::floor(lo / step) * step;
  hi = std::ceil(hi / step) * step;
  const int ticks = int(std::lround((hi - lo) / step)) + 1;
  if (axis->tickCount() != ticks) axis->setTickCount(ticks);
  if (axis->min() != lo || axis->max() != hi) axis->setRange(lo, hi);
  const QString format = step >= 1     ? QStringLiteral("%.0f")
                         : step >= 0.1 ? QStringLiteral("%.1f")
                                       : QStringLiteral("%.2f");
  if (axis->labelFormat() != format) axis->setLabelFormat(format);
}

}  // namespace

const std::array<TFormTrend::Span, 9> TFormTrend::kSpans = {{
    {u"1 мин", 60'000},
    {u"5 мин", 5 * 60'000},
    {u"10 мин", 10 * 60'000},
    {u"30 мин", 30 * 60'000},
    {u"1 ч", 3'600'000},
    {u"3 ч", 3 * 3'600'000},
    {u"6 ч", 6 * 3'600'000},
    {u"12 ч", 12 * 3'600'000},
    {u"24 ч", 24 * 3'600'000},
}};

TFormTrend::TFormTrend(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(u"FormTrend"_s);
  setWindowTitle(u"Графики"_s);

  CB_Span = new QComboBox(this);
  CB_Span->setObjectName(u"CB_Span"_s);
  for (const Span& s : kSpans) CB_Span->addItem(QString::fromUtf16(s.text));
  CB_Span->setCurrentIndex(kDefaultSpan);
  connect(CB_Span, &QComboBox::currentIndexChanged, this, [this] { redraw(); });

  using H = TrendHistory;
  charts_[0] =
      makeChart(u"Напряжение"_s, u"АКБ, В"_s, u"Сеть и выход, В"_s, {{H::BatteryVolts, u"АКБ"}},
                {{H::MainsVolts, u"Вход сети"}, {H::OutputVolts, u"Выход ЛИР"}});
  charts_[1] = makeChart(u"Ток АКБ и мощность"_s, u"А"_s, u"кВт"_s, {{H::BatteryAmps, u"Ток АКБ"}},
                         {{H::PowerKw, u"Мощность"}});
  charts_[2] = makeChart(u"Температуры"_s, u"°C"_s, QString(),
                         {{H::AmbientC, u"окр. среды"},
                          {H::TransformerC, u"транса"},
                          {H::TransistorsC, u"транзисторов"}},
                         {});

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(u"Интервал:"_s, this));
  top->addWidget(CB_Span);
  top->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addLayout(top);
  for (size_t i = 0; i < charts_.size(); ++i) {
    views[i] = new QChartView(charts_[i].chart, this);
    views[i]->setObjectName(u"ChartView%1"_s.arg(i + 1));
    views[i]->setMinimumHeight(180);
    layout->addWidget(views[i], 1);
  }
  resize(900, 720);

  redrawTimer_.setSingleShot(true);
  redrawTimer_.setInterval(kRedrawPauseMs);
  connect(&redrawTimer_, &QTimer::timeout, this, &TFormTrend::redraw);
}

TFormTrend::~TFormTrend() = default;

TFormTrend::Chart TFormTrend::makeChart(
    const QString& title, const QString& leftTitle, const QString& rightTitle,
    std::initializer_list<std::pair<int, const char16_t*>> left,
    std::initializer_list<std::pair<int, const char16_t*>> right) {
  Chart c;
  c.chart = new QChart;
  c.chart->setTitle(title);
  c.chart->setAnimationOptions(QChart::NoAnimation);
  c.chart->legend()->setAlignment(Qt::AlignRight);
  c.chart->setMargins(QMargins(4, 2, 4, 2));
  c.time = new QDateTimeAxis;
  c.chart->addAxis(c.time, Qt::AlignBottom);
  c.left = new QValueAxis;
  c.left->setTitleText(leftTitle);
  c.chart->addAxis(c.left, Qt::AlignLeft);
  if (!rightTitle.isEmpty()) {
    c.right = new QValueAxis;
    c.right->setTitleText(rightTitle);
    c.chart->addAxis(c.right, Qt::AlignRight);
  }
  auto add = [&c](int which, const char16_t* name, QValueAxis* axis) {
    auto* line = new QLineSeries;
    line->setName(QString::fromUtf16(name));
    c.chart->addSeries(line);
    line->attachAxis(c.time);
    line->attachAxis(axis);
    // A thin pen: a day drawn as the lowest and highest value of each pixel column zigzags, and
    // a wide pen's joins would cost more than the rest of the drawing.
    QPen pen = line->pen();
    pen.setWidth(1);
    line->setPen(pen);
    c.series.append({which, line});
    return line;
  };
  for (auto [which, name] : left) add(which, name, c.left);
  for (auto [which, name] : right) {
    add(which, name, c.right);
    c.rightSeries.append(which);
  }
  // Alarm moments: red marks along the top of the chart; a mark's tip names the alarms.
  c.alarms = new QScatterSeries;
  c.alarms->setName(u"Тревоги"_s);
  c.alarms->setColor(Qt::red);
  c.alarms->setBorderColor(Qt::darkRed);
  c.alarms->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
  c.alarms->setMarkerSize(8);
  c.chart->addSeries(c.alarms);
  c.alarms->attachAxis(c.time);
  c.alarms->attachAxis(c.left);
  connect(c.alarms, &QScatterSeries::hovered, this,
          [this, s = c.alarms](const QPointF& p, bool state) {
            if (!state) return QToolTip::hideText();
            const auto points = s->points();
            for (qsizetype i = 0; i < points.size() && i < alarmTexts_.size(); ++i)
              if (points[i].x() == p.x())
                return QToolTip::showText(
                    QCursor::pos(),
                    QDateTime::fromMSecsSinceEpoch(qint64(p.x())).toString(u"dd.MM HH:mm:ss"_s) +
                        u"\n"_s + alarmTexts_[i]);
          });
  return c;
}

qint64 TFormTrend::spanMs() const {
  const int i = CB_Span->currentIndex();
  return kSpans[i >= 0 && i < int(kSpans.size()) ? i : kDefaultSpan].ms;
}

void TFormTrend::addValues(const RamValues& values, const QDateTime& at) {
  history_.add(values, at.toMSecsSinceEpoch());
  scheduleRedraw();
}

void TFormTrend::clearHistory() {
  history_.clear();
  if (isVisible()) redraw();
}

void TFormTrend::scheduleRedraw() {
  if (isVisible() && !redrawTimer_.isActive()) redrawTimer_.start();
}

void TFormTrend::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  redraw();
}

void TFormTrend::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  scheduleRedraw();
}

void TFormTrend::redraw() {
  redrawTimer_.stop();
  const qint64 to = history_.empty() ? QDateTime::currentMSecsSinceEpoch() : history_.newestMs();
  const qint64 from = to - spanMs();
  // A column per two pixels of the widest plot, each drawn as its lowest and highest value:
  // every peak stays in sight, and the charts lay out half the points they would per pixel.
  int width = 0;
  for (const Chart& c : charts_) width = std::max(width, int(c.chart->plotArea().width()));
  const int columns = std::max(100, width / 2);
  const TrendHistory::Drawing d = history_.draw(from, to, columns);
  alarmTexts_ = d.alarmTexts;

  const QString format = spanMs() <= 3'600'000       ? u"HH:mm:ss"_s
                         : spanMs() < 24 * 3'600'000 ? u"HH:mm"_s
                                                     : u"dd.MM HH:mm"_s;
  for (Chart& c : charts_) {
    c.time->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
    if (c.time->format() != format) c.time->setFormat(format);
    double lo[2] = {NAN, NAN}, hi[2] = {NAN, NAN};
    for (auto& [which, line] : c.series) {
      line->replace(d.series[which]);
      const int side = c.rightSeries.contains(which) ? 1 : 0;
      if (!std::isnan(d.low[which])) {
        lo[side] = std::isnan(lo[side]) ? d.low[which] : std::min(lo[side], double(d.low[which]));
        hi[side] = std::isnan(hi[side]) ? d.high[which] : std::max(hi[side], double(d.high[which]));
      }
    }
    setRoundRange(c.left, lo[0], hi[0]);
    if (c.right) setRoundRange(c.right, lo[1], hi[1]);
    // The marks stand just inside the top of the chart.
    const double top = c.left->max() - (c.left->max() - c.left->min()) * 0.03;
    QList<QPointF> marks;
    marks.reserve(d.alarmMs.size());
    for (qint64 ms : d.alarmMs) marks.append(QPointF(double(ms), top));
    c.alarms->replace(marks);
  }
}

}  // namespace lir2
