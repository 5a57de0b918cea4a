#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QTimer>

// A port log: the exact text of everything appended since the last clearing, shown in a
// scrolling view. Appends are cheap: they collect in a buffer that reaches the view a few times
// a second, at its end, without the whole text being laid out again; the view follows the end
// unless the user has scrolled away from it.
class LogView : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit LogView(QWidget* parent = nullptr);

  void append(QStringView text);
  void clearLog();
  // Everything appended since the last clearing, character for character.
  const QString& logText() const { return text_; }
  // Brings the view up to date at once (the buffer otherwise waits for its timer).
  void flush();

  static constexpr int kFlushIntervalMs = 50;
  // Longest paragraph the view builds; longer runs without a line break continue in the next.
  static constexpr int kViewLineLimit = 512;

 private:
  QString text_;
  QString pending_;
  bool pendingCr_ = false;
  int viewLineLength_ =
      0;  // the view's last character came from a CR (a following LF is part of it)
  QTimer flushTimer_;
};
