#pragma once

#include <QLabel>
#include <QStringList>

namespace lir2 {

// A status bar's text panel that shows its whole message: the text wraps, at a blank where it
// can and anywhere else where it must (a long port path has no blank), and the panel asks for
// the height its lines take at its width, so the window grows to show them. A message longer
// than kMaxLines lines ends in "…" and shows whole in its tool tip. Its context menu copies the
// message, so it can be pasted into a report.
class MessageLabel : public QLabel {
  Q_OBJECT
 public:
  static constexpr int kMaxLines = 6;

  explicit MessageLabel(QWidget* parent = nullptr);

  // The lines the message takes at a text width, at most kMaxLines, the last one elided when
  // the message does not fit them.
  static QStringList wrapLines(const QString& text, const QFont& font, int width,
                               int maxLines = kMaxLines);
  // What the panel shows now, its lines joined by blanks: the message itself unless elided.
  QString shownText() const;
  bool elided() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

  // Puts the message on the clipboard.
  void copyMessage() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QStringList lines() const;
  int textWidth() const;
  int heightFor(int lineCount) const;
};

}  // namespace lir2
