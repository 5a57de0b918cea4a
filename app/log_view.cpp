#include "log_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QtMath>

#include <algorithm>
#include <array>
#include <cmath>

#include "serial/traffic_log.h"

namespace lir2 {

namespace {

constexpr int kMargin = 3;

bool isLineEnd(QChar c) {
  return c == u'\r' || c == u'\n';
}

// A control character takes one column like any other, as its visible symbol (NUL as ␀).
QChar shown(QChar c) {
  return c.unicode() < 0x20 ? QChar(0x2400 + c.unicode()) : c;
}

// "HH:mm:ss.zzz " takes this many columns.
constexpr int kStampColumns = 13;

// The byte a character of the log stands for: the inverse of the logs' Windows-1251.
char toLogByte(QChar c) {
  static const auto table = [] {
    std::array<char, 0x2200> t{};  // the code page's characters all lie below U+2200
    t.fill('?');
    for (int b = 0; b < 256; ++b) t[cp1251ToUnicode(quint8(b)).unicode()] = char(b);
    return t;
  }();
  return c.unicode() < table.size() ? table[c.unicode()] : '?';
}

}  // namespace

LogView::LogView(QWidget* parent) : QAbstractScrollArea(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  // Columns of a fixed width: hex traffic lines up, and a row's characters are found by
  // arithmetic rather than by laying the text out.
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  lines_.push_back({0, 0});
  rowStarts_ = {0, 1};
  flushTimer_.setSingleShot(true);
  flushTimer_.setInterval(kFlushIntervalMs);
  connect(&flushTimer_, &QTimer::timeout, this, &LogView::flush);
  relayout();
}

void LogView::append(QStringView text) {
  if (text.isEmpty()) return;
  // The lines that begin in this text are stamped now, split as the view splits them.
  qint64 stamp = -1;
  for (QChar c : text) {
    if (c == u'\n' && afterCr_) {
      afterCr_ = false;
      continue;
    }
    afterCr_ = c == u'\r';
    if (lineBegins_) {
      if (stamp < 0) stamp = now ? now() : QDateTime::currentMSecsSinceEpoch();
      stamps_.push_back(stamp);
      lineBegins_ = false;
    }
    if (isLineEnd(c)) lineBegins_ = true;
  }
  text_.append(text);
  if (!flushTimer_.isActive()) flushTimer_.start();
}

void LogView::clearLog() {
  text_.clear();
  taken_ = 0;
  lines_.assign(1, {0, 0});
  rowStarts_ = {0, 1};
  anchor_ = position_ = 0;
  selecting_ = false;
  stamps_.clear();
  lineBegins_ = true;
  afterCr_ = false;
  flushTimer_.stop();
  updateScrollBar(true);
  viewport()->update();
}

void LogView::flush() {
  flushTimer_.stop();
  if (taken_ == text_.size()) return;
  QScrollBar* bar = verticalScrollBar();
  const bool following = bar->value() >= bar->maximum();
  takeNewText();
  updateScrollBar(following);
  viewport()->update();
}

int LogView::rowsOf(const Line& line) const {
  const qsizetype length = line.end - line.start;
  return length == 0 ? 1 : static_cast<int>((length + columns_ - 1) / columns_);
}

void LogView::takeNewText() {
  const size_t firstChanged = lines_.size() - 1;
  for (qsizetype i = taken_; i < text_.size(); ++i) {
    const QChar c = text_[i];
    if (!isLineEnd(c)) {
      lines_.back().end = i + 1;
      continue;
    }
    // The LF of a CR LF whose CR came first, perhaps in an earlier append: one line end.
    if (c == u'\n' && i > 0 && text_[i - 1] == u'\r' && lines_.back().start == i) {
      lines_.back() = {i + 1, i + 1};
      continue;
    }
    lines_.push_back({i + 1, i + 1});
  }
  taken_ = text_.size();
  rowStarts_.resize(firstChanged + 1);
  for (size_t l = firstChanged; l < lines_.size(); ++l)
    rowStarts_.push_back(rowStarts_.back() + rowsOf(lines_[l]));
}

void LogView::relayout() {
  const QFontMetricsF fm(font());
  rawFont_ = QRawFont::fromFont(font());
  charWidth_ = std::max<qreal>(1, fm.horizontalAdvance(QLatin1Char('0')));
  lineHeight_ = std::max(1, qCeil(fm.lineSpacing()));
  // Keep the row at the top where it was, in the text, across a change of width.
  const qsizetype topPosition = rowCount() > 0 ? rowPlace(firstRow()).second : 0;
  QScrollBar* bar = verticalScrollBar();
  const bool following = bar->value() >= bar->maximum();
  columns_ =
      std::max(1, static_cast<int>((viewport()->width() - kMargin - textLeft()) / charWidth_));
  rowStarts_.assign(1, 0);
  for (const Line& line : lines_) rowStarts_.push_back(rowStarts_.back() + rowsOf(line));
  updateScrollBar(following);
  if (!following) {
    const auto it = std::upper_bound(lines_.begin(), lines_.end(), topPosition,
                                     [](qsizetype p, const Line& l) { return p < l.start; });
    const size_t l = static_cast<size_t>(std::max<ptrdiff_t>(0, it - lines_.begin() - 1));
    bar->setValue(rowStarts_[l] + static_cast<int>((topPosition - lines_[l].start) / columns_));
  }
  viewport()->update();
}

void LogView::updateScrollBar(bool followEnd) {
  QScrollBar* bar = verticalScrollBar();
  const int visible = visibleRows();
  bar->setRange(0, std::max(0, rowCount() - visible));
  bar->setPageStep(visible);
  bar->setSingleStep(1);
  if (followEnd) bar->setValue(bar->maximum());
}

int LogView::firstRow() const {
  return verticalScrollBar()->value();
}

int LogView::visibleRows() const {
  return std::max(1, (viewport()->height() - kMargin) / lineHeight_);
}

std::pair<qsizetype, qsizetype> LogView::rowPlace(int row) const {
  row = std::clamp(row, 0, rowCount() - 1);
  const auto it = std::upper_bound(rowStarts_.begin(), rowStarts_.end() - 1, row);
  const size_t l = static_cast<size_t>(it - rowStarts_.begin() - 1);
  return {static_cast<qsizetype>(l),
          lines_[l].start + static_cast<qsizetype>(row - rowStarts_[l]) * columns_};
}

QString LogView::rowText(int row) const {
  if (row < 0 || row >= rowCount()) return {};
  const auto [l, start] = rowPlace(row);
  QString out(std::min<qsizetype>(columns_, lines_[l].end - start), Qt::Uninitialized);
  for (qsizetype k = 0; k < out.size(); ++k) out[k] = shown(text_[start + k]);
  return out;
}

void LogView::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const QPalette& pal = palette();
  const qsizetype selFrom = std::min(anchor_, position_);
  const qsizetype selTo = std::max(anchor_, position_);
  const qreal ascent = QFontMetricsF(font()).ascent();
  const int last = std::min(rowCount(), firstRow() + visibleRows() + 1);
  for (int row = firstRow(); row < last; ++row) {
    const auto [l, start] = rowPlace(row);
    const QString t = rowText(row);
    const int y = kMargin + (row - firstRow()) * lineHeight_;
    if (stampsShown_ && start == lines_[l].start && l < static_cast<qsizetype>(stamps_.size())) {
      p.setPen(pal.color(QPalette::PlaceholderText));
      drawRow(p, QPointF(kMargin, y + ascent), stampText(stamps_[l]));
    }
    p.setPen(pal.color(QPalette::Text));
    drawRow(p, QPointF(textLeft(), y + ascent), t);
    if (selFrom == selTo) continue;
    // The selected part of the row drawn over it; a selected line end as a narrow mark.
    const qsizetype a = std::clamp(selFrom - start, qsizetype(0), t.size());
    const qsizetype b = std::clamp(selTo - start, qsizetype(0), t.size());
    const bool lineEndSelected =
        start + t.size() == lines_[l].end && selFrom <= lines_[l].end && selTo > lines_[l].end;
    const int endMark = lineEndSelected ? charWidth_ / 2 : 0;
    if (a == b && !endMark) continue;
    const QRect r(int(textLeft()) + int(a) * charWidth_, y, int(b - a) * charWidth_ + endMark,
                  lineHeight_);
    p.fillRect(r, pal.color(QPalette::Highlight));
    p.setPen(pal.color(QPalette::HighlightedText));
    drawRow(p, QPointF(r.left(), y + ascent), t.mid(a, b - a));
  }
}

void LogView::drawRow(QPainter& p, const QPointF& origin, const QString& text) const {
  // The glyphs straight from the font's character map, one column apart: laying the text out
  // for every row of every repaint would cost more than everything else the view does.
  QList<quint32> glyphs = rawFont_.glyphIndexesForString(text);
  if (glyphs.size() != text.size() || glyphs.contains(0u)) {
    p.drawText(origin, text);  // a character the font lacks: let Qt find another font
    return;
  }
  QList<QPointF> positions(glyphs.size());
  for (qsizetype i = 0; i < positions.size(); ++i) positions[i] = QPointF(i * charWidth_, 0);
  QGlyphRun run;
  run.setRawFont(rawFont_);
  run.setGlyphIndexes(glyphs);
  run.setPositions(positions);
  p.drawGlyphRun(origin, run);
}

qreal LogView::textLeft() const {
  return kMargin + (stampsShown_ ? kStampColumns * charWidth_ : 0);
}

void LogView::setTimeStamps(bool on) {
  if (on == stampsShown_) return;
  stampsShown_ = on;
  relayout();
}

QString LogView::stampText(qint64 msSinceEpoch) {
  return QDateTime::fromMSecsSinceEpoch(msSinceEpoch).toString(QStringLiteral("HH:mm:ss.zzz "));
}

QByteArray LogView::savedBytes() const {
  QByteArray out;
  out.reserve(text_.size() + (stampsShown_ ? qsizetype(stamps_.size()) * kStampColumns : 0));
  // The same split into lines as the stamps were taken with.
  size_t line = 0;
  bool begins = true;
  bool afterCr = false;
  for (QChar c : text_) {
    const bool lfOfCrLf = c == u'\n' && afterCr;
    afterCr = c == u'\r';
    if (!lfOfCrLf && begins) {
      if (stampsShown_ && line < stamps_.size()) out += stampText(stamps_[line]).toLatin1();
      ++line;
      begins = false;
    }
    if (!lfOfCrLf && isLineEnd(c)) begins = true;
    out += toLogByte(c);
  }
  return out;
}

void LogView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  relayout();
}

void LogView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) relayout();
}

qsizetype LogView::positionAt(const QPoint& point) const {
  const int row =
      firstRow() + static_cast<int>(std::floor(double(point.y() - kMargin) / lineHeight_));
  if (row < 0) return 0;
  if (row >= rowCount()) return taken_;
  const auto [l, start] = rowPlace(row);
  const qsizetype length = std::min<qsizetype>(columns_, lines_[l].end - start);
  const auto column =
      static_cast<qsizetype>(std::floor((point.x() - textLeft()) / charWidth_ + 0.5));
  return start + std::clamp(column, qsizetype(0), length);
}

void LogView::setSelection(qsizetype anchor, qsizetype position) {
  anchor_ = std::clamp(anchor, qsizetype(0), text_.size());
  position_ = std::clamp(position, qsizetype(0), text_.size());
  viewport()->update();
}

void LogView::selectAll() {
  flush();
  setSelection(0, text_.size());
  selectionChanged();
}

QString LogView::selectedText() const {
  const qsizetype from = std::min(anchor_, position_);
  return text_.mid(from, std::max(anchor_, position_) - from);
}

void LogView::copy() const {
  if (anchor_ != position_) QGuiApplication::clipboard()->setText(selectedText());
}

void LogView::selectionChanged() {
  // X11's selection: what is selected can be pasted with the middle button, as from any text.
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (anchor_ != position_ && clipboard->supportsSelection())
    clipboard->setText(selectedText(), QClipboard::Selection);
}

void LogView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
  const qsizetype at = positionAt(event->position().toPoint());
  if (!(event->modifiers() & Qt::ShiftModifier)) anchor_ = at;
  position_ = at;
  selecting_ = true;
  viewport()->update();
}

void LogView::mouseMoveEvent(QMouseEvent* event) {
  if (!selecting_) return QAbstractScrollArea::mouseMoveEvent(event);
  const QPoint at = event->position().toPoint();
  // Dragging past the top or bottom edge scrolls on.
  QScrollBar* bar = verticalScrollBar();
  if (at.y() < 0) bar->setValue(bar->value() - 1);
  if (at.y() > viewport()->height()) bar->setValue(bar->value() + 1);
  position_ = positionAt(at);
  viewport()->update();
}

void LogView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !selecting_)
    return QAbstractScrollArea::mouseReleaseEvent(event);
  selecting_ = false;
  selectionChanged();
}

void LogView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mouseDoubleClickEvent(event);
  // The run of characters around the click up to blanks or the line's ends: a whole hex run.
  qsizetype from = positionAt(event->position().toPoint());
  qsizetype to = from;
  auto inRun = [&](qsizetype i) { return !text_[i].isSpace() && !isLineEnd(text_[i]); };
  while (from > 0 && inRun(from - 1)) --from;
  while (to < taken_ && inRun(to)) ++to;
  anchor_ = from;
  position_ = to;
  selecting_ = false;
  viewport()->update();
  selectionChanged();
}

void LogView::keyPressEvent(QKeyEvent* event) {
  QScrollBar* bar = verticalScrollBar();
  if (event->matches(QKeySequence::Copy)) {
    copy();
  } else if (event->matches(QKeySequence::SelectAll)) {
    selectAll();
  } else if (event->key() == Qt::Key_Home) {
    bar->setValue(bar->minimum());
  } else if (event->key() == Qt::Key_End) {
    bar->setValue(bar->maximum());
  } else {
    QAbstractScrollArea::keyPressEvent(event);
  }
}

void LogView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copyAction = menu.addAction(QStringLiteral("Копировать"), this, &LogView::copy);
  copyAction->setShortcut(QKeySequence::Copy);
  copyAction->setEnabled(anchor_ != position_);
  menu.addAction(QStringLiteral("Выделить всё"), this, &LogView::selectAll)
      ->setShortcut(QKeySequence::SelectAll);
  menu.exec(event->globalPos());
}

}  // namespace lir2
