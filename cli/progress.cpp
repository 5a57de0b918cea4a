#include "cli/progress.h"

namespace lir2 {

namespace {

constexpr qint64 kRedrawMs = 100;  // a bar redrawn more often only flickers

}  // namespace

UploadProgress::UploadProgress(QByteArrayView programText, int width, Writer write)
    : text_(programText.toByteArray()), width_(width), write_(std::move(write)) {
  qint64 half = 0;
  for (char c : text_) half += byteWeight(c);
  total_ = half / 2;
}

int UploadProgress::byteWeight(char c) {
  if (c == ':') return 2;
  return c == '\r' || c == '\n' ? 0 : 1;
}

QString UploadProgress::duration(qint64 ms) {
  const qint64 s = std::max<qint64>(ms, 0) / 1000;
  if (s >= 3600)
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
  return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString UploadProgress::text(qint64 nowMs) const {
  const int percent = total_ > 0 ? static_cast<int>(100 * bytes_ / total_) : 100;
  const qint64 elapsed = startMs_ < 0 ? 0 : nowMs - startMs_;
  QString line = QStringLiteral("%1%  %2/%3 байт  прошло %4")
                     .arg(percent, 3)
                     .arg(bytes_)
                     .arg(total_)
                     .arg(duration(elapsed));
  // The rest at the pace so far; said only once there is a pace to speak of.
  if (bytes_ > 0 && elapsed >= 1000 && bytes_ < total_)
    line += QStringLiteral("  осталось ~%1").arg(duration(elapsed * (total_ - bytes_) / bytes_));
  if (width_ <= 0) return line;
  const int barWidth = std::max(10, width_ - static_cast<int>(line.size()) - 4);
  const int filled = total_ > 0 ? static_cast<int>(barWidth * bytes_ / total_) : barWidth;
  return QStringLiteral("[%1%2] %3")
      .arg(QString(filled, QLatin1Char('#')), QString(barWidth - filled, QLatin1Char('-')), line);
}

void UploadProgress::update(qint64 characters, qint64 nowMs) {
  if (startMs_ < 0) startMs_ = nowMs;
  characters = std::clamp<qint64>(characters, 0, text_.size());
  for (; characters_ < characters; ++characters_) halfBytes_ += byteWeight(text_[characters_]);
  bytes_ = halfBytes_ / 2;
  const bool done = characters == text_.size();
  if (width_ > 0) {
    if (!done && drawnMs_ >= 0 && nowMs - drawnMs_ < kRedrawMs) return;
    drawnMs_ = nowMs;
    // Blanks behind the text wipe out a longer line drawn before.
    write_(QStringLiteral("\r") + text(nowMs) + QStringLiteral("\x1b[K"));
    barShown_ = true;
    return;
  }
  const int tenth = total_ > 0 ? static_cast<int>(10 * bytes_ / total_) : 10;
  if (tenth <= shownTenth_) return;
  shownTenth_ = tenth;
  write_(text(nowMs) + QLatin1Char('\n'));
}

void UploadProgress::finish() {
  if (barShown_) write_(QStringLiteral("\n"));
  barShown_ = false;
}

}  // namespace lir2
