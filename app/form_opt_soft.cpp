#include "form_opt_soft.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace lir2 {

TFormOptSoft::TFormOptSoft(bool serviceMode, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("FormOptSoft"));
  setWindowTitle(QStringLiteral("Опции Soft-а"));
  setModal(true);
  setGeometry(248, 193, 228, 324);
  setFixedSize(228, 324);

  auto* logGroup = new QGroupBox(QStringLiteral("Читать передачу"), this);
  CheckBoxRead = new QCheckBox(QStringLiteral("Протокол Чтение RS232"), logGroup);
  CheckBoxRead->setObjectName(QStringLiteral("CheckBoxRead"));
  CheckBoxWrite = new QCheckBox(QStringLiteral("Протокол Запись RS232"), logGroup);
  CheckBoxWrite->setObjectName(QStringLiteral("CheckBoxWrite"));
  // The device line reads the switches on its own thread, byte by byte: it gets a copy that
  // follows the check boxes.
  connect(CheckBoxRead, &QCheckBox::toggled, this,
          [this](bool on) { switches_.reads.store(on, std::memory_order_relaxed); });
  connect(CheckBoxWrite, &QCheckBox::toggled, this,
          [this](bool on) { switches_.writes.store(on, std::memory_order_relaxed); });
  auto* logLayout = new QVBoxLayout(logGroup);
  logLayout->addWidget(CheckBoxRead);
  logLayout->addWidget(CheckBoxWrite);

  CB_Reserv = new QCheckBox(QStringLiteral("Не стирать настройки "), this);
  CB_Reserv->setObjectName(QStringLiteral("CB_Reserv"));
  CB_Reserv->setChecked(true);

  GroupBoxProg = new QGroupBox(QStringLiteral("Программировать  из  Файла"), this);
  GroupBoxProg->setObjectName(QStringLiteral("GroupBoxProg"));
  auto* progLayout = new QVBoxLayout(GroupBoxProg);
  for (const char* caption : {"Programm", "EEProm", "ID", "Config"}) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), GroupBoxProg);
    box->setChecked(true);
    progLayout->addWidget(box);
  }

  OkButton = new QPushButton(QStringLiteral("Ok"), this);
  OkButton->setObjectName(QStringLiteral("Ok"));
  connect(OkButton, &QPushButton::clicked, this, &TFormOptSoft::OkClick);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(logGroup);
  layout->addWidget(CB_Reserv);
  layout->addWidget(GroupBoxProg);
  layout->addStretch();
  layout->addWidget(OkButton, 0, Qt::AlignHCenter);

  // The service controls exist always and show only with the service switch.
  CB_Reserv->setVisible(serviceMode);
  GroupBoxProg->setVisible(serviceMode);
}

bool TFormOptSoft::keepSettings() const {
  return CB_Reserv->isChecked();
}

void TFormOptSoft::OkClick() {
  if (optionsAction_) optionsAction_->setChecked(false);
  accept();
}

void TFormOptSoft::switchLoggingOn() {
  CheckBoxRead->setChecked(true);
  CheckBoxWrite->setChecked(true);
}

}  // namespace lir2
