#pragma once

#include <QWidget>

class QPlainTextEdit;

// "File": the firmware file as read, and the program text prepared from it for the upload.
class TFormFile : public QWidget {
  Q_OBJECT
 public:
  explicit TFormFile(QWidget* parent = nullptr);

  QPlainTextEdit* MemoHex = nullptr;
  QPlainTextEdit* MemoHexProg = nullptr;

 signals:
  void closedByUser();

 protected:
  void closeEvent(QCloseEvent* event) override;
};
