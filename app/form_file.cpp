#include "form_file.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QVBoxLayout>

#include "firmware/firmware_header.h"

namespace lir2 {

namespace {
QPlainTextEdit* memoIn(QGroupBox* group, const QString& name) {
  auto* memo = new QPlainTextEdit(group);
  memo->setObjectName(name);
  memo->setReadOnly(true);
  memo->setUndoRedoEnabled(false);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* layout = new QVBoxLayout(group);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(memo);
  return memo;
}
}  // namespace

TFormFile::TFormFile(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("FormFile"));
  setWindowTitle(QStringLiteral("File"));
  setGeometry(48, 209, 768, 502);

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->setHandleWidth(3);
  auto* left = new QGroupBox(QStringLiteral("Hex файл"), splitter);
  auto* right = new QGroupBox(QStringLiteral("Hex файл созданный для загрузки"), splitter);
  MemoHex = memoIn(left, QStringLiteral("MemoHex"));
  MemoHexProg = memoIn(right, QStringLiteral("MemoHexProg"));
  splitter->addWidget(left);
  splitter->addWidget(right);
  splitter->setSizes({377, 768 - 377 - 3});

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(splitter);
}

void TFormFile::showFirmware(const QByteArray& firmwareText) {
  MemoHexProg->clear();
  MemoHex->setPlainText(fromSingleByteText(firmwareText));
}

void TFormFile::showProgram(const QByteArray& programText) {
  MemoHexProg->setPlainText(fromSingleByteText(programText));
}

void TFormFile::closeEvent(QCloseEvent* event) {
  event->accept();
  emit closedByUser();
}

}  // namespace lir2
