#pragma once

#include <QWidget>

namespace lir2 {

// A horizontal bar gauge with its percentage in the middle: minimum, maximum and progress.
class Gauge : public QWidget {
  Q_OBJECT
 public:
  explicit Gauge(QWidget* parent = nullptr);

  void setMaxValue(qint64 value);
  void setProgress(qint64 value);
  qint64 maxValue() const { return max_; }
  qint64 progress() const { return progress_; }
  // Whole percent of the way from 0 to the maximum; 0 for an empty range.
  int percentDone() const;
  QString text() const;

  QSize sizeHint() const override { return {472, 28}; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  qint64 max_ = 100;
  qint64 progress_ = 0;
};

}  // namespace lir2
