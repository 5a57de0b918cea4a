#include "form_eeprom.h"

#include <QFont>
#include <QPlainTextEdit>
#include <QVBoxLayout>

TFormEEProm::TFormEEProm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("FormEEProm"));
  setWindowTitle(QStringLiteral("EEProm"));
  resize(520, 600);
  RichEditEEprom = new QPlainTextEdit(this);
  RichEditEEprom->setObjectName(QStringLiteral("RichEditEEprom"));
  RichEditEEprom->setReadOnly(true);
  RichEditEEprom->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Fixed pitch, so the columns of the table line up.
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setBold(true);
  font.setPixelSize(18);
  RichEditEEprom->setFont(font);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(RichEditEEprom);
}
