#include "gauge.h"

#include <QPainter>

namespace lir2 {

Gauge::Gauge(QWidget* parent) : QWidget(parent) {}

void Gauge::setMaxValue(qint64 value) {
  // An empty program would ask for a maximum below the minimum: hold it at the minimum.
  max_ = value < 0 ? 0 : value;
  if (progress_ > max_) progress_ = max_;
  update();
}

void Gauge::setProgress(qint64 value) {
  value = std::clamp<qint64>(value, 0, max_);
  if (value == progress_) return;
  const int before = percentDone();
  progress_ = value;
  if (percentDone() != before) update();
}

int Gauge::percentDone() const {
  return max_ == 0 ? 0 : static_cast<int>(progress_ * 100 / max_);
}

QString Gauge::text() const {
  return QStringLiteral("%1%").arg(percentDone());
}

void Gauge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  p.fillRect(frame, Qt::white);
  const int filled = max_ == 0 ? 0 : static_cast<int>(frame.width() * progress_ / max_);
  p.fillRect(QRect(frame.left(), frame.top(), filled, frame.height()), QColor(0, 0, 128));
  p.setPen(Qt::black);
  p.drawRect(frame);
  // The percentage reads white over the fill and black beside it.
  p.save();
  p.setClipRect(QRect(frame.left(), frame.top(), filled, frame.height() + 1));
  p.setPen(Qt::white);
  p.drawText(frame, Qt::AlignCenter, text());
  p.restore();
  p.setClipRect(
      QRect(frame.left() + filled, frame.top(), frame.width() - filled + 1, frame.height() + 1));
  p.drawText(frame, Qt::AlignCenter, text());
}

}  // namespace lir2
