#include "log_view.h"

#include <QScrollBar>
#include <QTextCursor>

LogView::LogView(QWidget* parent) : QPlainTextEdit(parent) {
  setUndoRedoEnabled(false);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  flushTimer_.setSingleShot(true);
  flushTimer_.setInterval(kFlushIntervalMs);
  connect(&flushTimer_, &QTimer::timeout, this, &LogView::flush);
}

void LogView::append(QStringView text) {
  if (text.isEmpty()) return;
  text_.append(text);
  pending_.append(text);
  if (!flushTimer_.isActive()) flushTimer_.start();
}

void LogView::clearLog() {
  text_.clear();
  pending_.clear();
  pendingCr_ = false;
  viewLineLength_ = 0;
  flushTimer_.stop();
  clear();
}

void LogView::flush() {
  flushTimer_.stop();
  if (pending_.isEmpty()) return;
  // The view breaks lines at CR LF, a lone CR and a lone LF alike; the text keeps them as sent.
  QString shown;
  shown.reserve(pending_.size());
  for (QChar c : pending_) {
    if (c == u'\n' && pendingCr_) {
      pendingCr_ = false;
      continue;
    }
    pendingCr_ = c == u'\r';
    if (c == u'\r' || c == u'\n') {
      shown.append(QChar::LineFeed);
      viewLineLength_ = 0;
      continue;
    }
    // A paragraph is laid out whole on every change, so one that grows without end (hex
    // traffic has no line breaks) would make each append cost more than the last. The view
    // therefore starts a new paragraph every kViewLineLimit characters; the text is unchanged.
    if (viewLineLength_ == kViewLineLimit) {
      shown.append(QChar::LineFeed);
      viewLineLength_ = 0;
    }
    shown.append(c == QChar::Null ? QChar(0x2400) : c);  // a visible symbol for NUL
    ++viewLineLength_;
  }
  pending_.clear();
  QScrollBar* bar = verticalScrollBar();
  const bool following = bar->value() >= bar->maximum();
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(shown);
  if (following) bar->setValue(bar->maximum());
}
