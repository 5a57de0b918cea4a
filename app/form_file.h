#pragma once

#include <QByteArray>
#include <QWidget>

class QPlainTextEdit;

namespace lir2 {

// "File": the firmware file as read, and the program text prepared from it for the upload.
class TFormFile : public QWidget {
  Q_OBJECT
 public:
  explicit TFormFile(QWidget* parent = nullptr);

  // Shows the firmware file as read, and empties the program prepared from it.
  void showFirmware(const QByteArray& firmwareText);
  // Shows the program text the upload sends (the file without its header).
  void showProgram(const QByteArray& programText);

 signals:
  void closedByUser();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QPlainTextEdit* MemoHex = nullptr;
  QPlainTextEdit* MemoHexProg = nullptr;
};

}  // namespace lir2
