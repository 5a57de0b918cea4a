#pragma once

#include <QAbstractScrollArea>
#include <QRawFont>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

namespace lir2 {

// A port log: the exact text of everything appended since the last clearing, shown in a
// scrolling, read-only view.
//
// The view draws the log's own text: a line ends at CR LF, a lone CR or a lone LF (as sent,
// even split over appends), and a line longer than the view is wide wraps onto further rows at
// the view's edge, with no break added anywhere. What the user selects and copies is the log's
// text between the two ends of the selection, line ends as they were on the wire. Only the
// rows on screen are drawn, so an append costs the same however long the log or its line:
// appends collect in the text and reach the view a few times a second; the view follows the end
// unless the user has scrolled away from it.
class LogView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit LogView(QWidget* parent = nullptr);

  void append(QStringView text);
  void clearLog();
  // Everything appended since the last clearing, character for character.
  const QString& logText() const { return text_; }
  // Brings the view up to date at once (the appends otherwise wait for the timer).
  void flush();

  // The selection as positions in the log's text; empty when from == to.
  void setSelection(qsizetype anchor, qsizetype position);
  void selectAll();
  QString selectedText() const;
  // Puts the selected text on the clipboard.
  void copy() const;

  // Time stamps: every line remembers when its first character was appended. With stamps on,
  // the view shows that time in a column left of the line; the log's text stays as it is.
  void setTimeStamps(bool on);
  bool timeStamps() const { return stampsShown_; }
  // The text as saved: the log's text in the single-byte code page it shows (Windows-1251, a
  // character it lacks as '?'), with each line's time stamp in front when stamps are on.
  QByteArray savedBytes() const;
  // "14:07:09.123 ": a line's stamp as shown and saved.
  static QString stampText(qint64 msSinceEpoch);
  // The clock of the stamps (milliseconds since the epoch); the system's unless a test sets it.
  std::function<qint64()> now;

  // What the view shows: its rows, each as drawn (a control character as its visible symbol).
  int rowCount() const { return rowStarts_.empty() ? 0 : rowStarts_.back(); }
  QString rowText(int row) const;
  int columns() const { return columns_; }

  static constexpr int kFlushIntervalMs = 50;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  struct Line {
    qsizetype start;  // first character in the text
    qsizetype end;    // behind the last character, before the line end
  };
  int rowsOf(const Line& line) const;
  void takeNewText();  // extends the lines by what was appended since
  void relayout();     // rows of every line anew (the width changed)
  void updateScrollBar(bool followEnd);
  int firstRow() const;
  int visibleRows() const;
  // The line and position of a row's first character.
  std::pair<qsizetype, qsizetype> rowPlace(int row) const;
  qsizetype positionAt(const QPoint& point) const;
  void selectionChanged();
  void drawRow(QPainter& p, const QPointF& origin, const QString& text) const;
  // Where a row's text begins: right of the stamps when they are shown.
  qreal textLeft() const;

  QString text_;
  qsizetype taken_ = 0;         // the text up to here is in lines_
  std::vector<Line> lines_;     // never empty: the last line is open
  std::vector<int> rowStarts_;  // rows before each line; one more entry: all rows
  QRawFont rawFont_;
  int columns_ = 1;
  qreal charWidth_ = 1;  // the font's advance, fractions included: a row is drawn as one run
  int lineHeight_ = 1;
  qsizetype anchor_ = 0;
  qsizetype position_ = 0;
  bool selecting_ = false;
  QTimer flushTimer_;
  // The stamp of each line that has begun, in the order of lines_; the next character begins a
  // line; the last character was a CR (a following LF ends the same line).
  std::vector<qint64> stamps_;
  bool lineBegins_ = true;
  bool afterCr_ = false;
  bool stampsShown_ = false;
};

}  // namespace lir2
