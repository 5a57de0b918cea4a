#pragma once

// The upload's progress on the terminal: a bar redrawn in place when standard output is a
// terminal, otherwise a plain line at every tenth of the way (a log or a script reads those).
#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>

namespace lir2 {

class UploadProgress {
 public:
  using Writer = std::function<void(const QString&)>;

  // programText: what the upload sends (the gauge counts its characters); width: the
  // terminal's columns, 0 for plain lines.
  UploadProgress(QByteArrayView programText, int width, Writer write);

  // The gauge moved to `characters` of the program text at nowMs.
  void update(qint64 characters, qint64 nowMs);
  // Ends the bar's line, so what follows starts on a line of its own.
  void finish();

  qint64 bytesSent() const { return bytes_; }
  qint64 bytesTotal() const { return total_; }

  // "  45%  29480/65536 байт  прошло 0:34  осталось ~0:41", the bar put in front on a terminal.
  QString text(qint64 nowMs) const;
  // H:MM:SS, or M:SS under an hour.
  static QString duration(qint64 ms);

 private:
  static int byteWeight(char c);  // in half bytes: ':' 2, a hex digit 1, a line break 0

  QByteArray text_;
  int width_;
  Writer write_;
  qint64 total_ = 0;  // program bytes (record bytes and the ':' of each record)
  qint64 halfBytes_ = 0;
  qint64 bytes_ = 0;
  qint64 characters_ = 0;
  qint64 startMs_ = -1;
  qint64 drawnMs_ = -1;
  int shownTenth_ = 0;
  bool barShown_ = false;
};

}  // namespace lir2
