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
    if (c == u'\r' || c == u'\n')
      shown.append(QChar::LineFeed);
    else if (c == QChar::Null)
      shown.append(QChar(0x2400));  // a visible symbol for NUL
    else
      shown.append(c);
  }
  pending_.clear();
  QScrollBar* bar = verticalScrollBar();
  const bool following = bar->value() >= bar->maximum();
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(shown);
  if (following) bar->setValue(bar->maximum());
}
