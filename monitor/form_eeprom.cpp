#include "form_eeprom.h"

#include <QFont>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

// A bold fixed-pitch face, so the columns of the table line up: Courier New where it is
// installed, else the system's fixed font (DejaVu Sans Mono on a Debian desktop).
QFont MapFont() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (const QString& family : {QStringLiteral("Courier New"), QStringLiteral("DejaVu Sans Mono"),
                                QStringLiteral("Liberation Mono")}) {
    if (QFontDatabase::hasFamily(family)) {
      font.setFamily(family);
      break;
    }
  }
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setBold(true);
  font.setPixelSize(18);
  return font;
}

}  // namespace

TFormEEProm::TFormEEProm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("FormEEProm"));
  setWindowTitle(QStringLiteral("EEProm"));
  RichEditEEprom = new QPlainTextEdit(this);
  RichEditEEprom->setObjectName(QStringLiteral("RichEditEEprom"));
  RichEditEEprom->setReadOnly(true);
  RichEditEEprom->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEditEEprom->setLineWrapMode(QPlainTextEdit::NoWrap);
  RichEditEEprom->setFont(MapFont());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(RichEditEEprom);
  // Wide enough for a whole line of the table and its scroll bar, high enough for 32 lines.
  const QFontMetrics metrics(RichEditEEprom->font());
  const int width = metrics.horizontalAdvance(QStringLiteral("000:  00 01 02 03 04 05 06 07 ")) +
                    RichEditEEprom->verticalScrollBar()->sizeHint().width() + 24;
  resize(width, metrics.lineSpacing() * 32 + 12);
}

void TFormEEProm::showMap(const QString& text) {
  RichEditEEprom->setPlainText(text);
}

void TFormEEProm::clearMap() {
  RichEditEEprom->clear();
}
