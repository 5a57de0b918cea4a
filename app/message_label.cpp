#include "app/message_label.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <QToolTip>

namespace lir2 {

namespace {

// A line's own text, without the separator that ends it.
QString drawn(QString line) {
  while (line.endsWith(QChar::LineSeparator)) line.chop(1);
  return line;
}

}  // namespace

MessageLabel::MessageLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  // The width is what the window gives; the height follows the message.
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* copy = new QAction(QStringLiteral("Копировать сообщение"), this);
  connect(copy, &QAction::triggered, this, &MessageLabel::copyMessage);
  addAction(copy);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

QStringList MessageLabel::wrapLines(const QString& text, const QFont& font, int width,
                                    int maxLines) {
  if (text.isEmpty()) return {};
  const QFontMetrics metrics(font);
  width = std::max(width, metrics.averageCharWidth());
  QString laid = text;
  laid.replace(QLatin1Char('\n'), QChar::LineSeparator);
  QTextLayout layout(laid, font);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  QStringList lines;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    if (lines.size() == maxLines - 1 && line.textStart() + line.textLength() < laid.size()) {
      // The last line there is room for: the rest of the message, elided.
      const QString rest = drawn(laid.mid(line.textStart())).replace(QChar::LineSeparator, u' ');
      lines << metrics.elidedText(rest, Qt::ElideRight, width);
      break;
    }
    lines << laid.mid(line.textStart(), line.textLength());
  }
  layout.endLayout();
  return lines;
}

int MessageLabel::textWidth() const {
  const int width = contentsRect().width() - 2 * std::max(0, margin());
  // Before the window has laid it out, a panel is as wide as its text would like.
  return width > 0 ? width : fontMetrics().averageCharWidth() * 60;
}

QStringList MessageLabel::lines() const {
  return wrapLines(text(), font(), textWidth());
}

QString MessageLabel::shownText() const {
  QStringList shown = lines();
  if (elided()) return shown.join(QString());
  return shown.join(QString()).replace(QChar::LineSeparator, QLatin1Char('\n'));
}

bool MessageLabel::elided() const {
  const QStringList shown = lines();
  qsizetype length = 0;
  for (const QString& line : shown) length += line.size();
  return length != text().size();
}

int MessageLabel::heightFor(int lineCount) const {
  const QMargins m = contentsMargins();
  return std::max(1, lineCount) * fontMetrics().lineSpacing() + m.top() + m.bottom() +
         2 * std::max(0, margin());
}

QSize MessageLabel::sizeHint() const {
  const QMargins m = contentsMargins();
  const int width =
      std::min(fontMetrics().horizontalAdvance(text()), fontMetrics().averageCharWidth() * 60);
  return {width + m.left() + m.right(), heightFor(int(lines().size()))};
}

QSize MessageLabel::minimumSizeHint() const {
  const QMargins m = contentsMargins();
  return {fontMetrics().averageCharWidth() * 8 + m.left() + m.right(),
          heightFor(int(lines().size()))};
}

void MessageLabel::copyMessage() const {
  QApplication::clipboard()->setText(text());
}

void MessageLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  drawFrame(&painter);
  const QRect area =
      contentsRect().marginsRemoved(QMargins(margin(), margin(), margin(), margin()));
  const int step = fontMetrics().lineSpacing();
  int y = area.top();
  for (const QString& line : lines()) {
    const QRect row(area.left(), y, area.width(), step);
    style()->drawItemText(&painter, row, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(),
                          drawn(line), foregroundRole());
    y += step;
  }
}

void MessageLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  // Another width, another number of lines.
  updateGeometry();
}

bool MessageLabel::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    // The whole message, when the panel shows less of it.
    auto* help = static_cast<QHelpEvent*>(event);
    if (elided()) {
      QToolTip::showText(help->globalPos(), text(), this);
    } else {
      QToolTip::hideText();
      event->ignore();
    }
    return true;
  }
  return QLabel::event(event);
}

}  // namespace lir2
