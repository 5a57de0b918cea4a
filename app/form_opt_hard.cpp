#include "form_opt_hard.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "serial/port_discovery.h"
#include "serial/status.h"

namespace {

// The list as shown: the machine's ports in their order, then the extra entries.
QList<PortEntry> buildEntries(const QList<PortEntry>& system, const QList<PortEntry>& extra) {
  QStringList names;
  for (const PortEntry& e : system) names.append(e.name);
  QList<PortEntry> entries;
  for (const QString& name : orderPortNames(names)) {
    // COM003 is listed as COM3 and opened as the port it came from.
    const auto number = comPortNumber(name);
    for (const PortEntry& e : system) {
      if (e.name == name || (number && comPortNumber(e.name) == number)) {
        entries.append({name, e.path == e.name ? name : e.path, PortEntry::Kind::System});
        break;
      }
    }
  }
  for (const PortEntry& e : extra) {
    bool listed = false;
    for (const PortEntry& have : entries) listed = listed || have.name == e.name;
    if (!listed) entries.append(e);
  }
  return entries;
}

}  // namespace

TFormOptHard::TFormOptHard(StatusBars& status, Setup setup, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      status_(status),
      config_(setup.configPath) {
  setObjectName(QStringLiteral("FormOptHard"));
  setWindowTitle(QStringLiteral("Опции Железа"));
  setModal(true);

  ComboBoxRate = new QComboBox(this);
  ComboBoxRate->setObjectName(QStringLiteral("ComboBoxRate"));
  for (qint32 rate : kLineRates) ComboBoxRate->addItem(QString::number(rate));
  ComboBoxRate->setCurrentIndex(2);
  CheckBoxSound = new QCheckBox(QStringLiteral("Вкл. Звуки"), this);
  CheckBoxSound->setObjectName(QStringLiteral("CheckBoxSound"));
  CheckBoxSound->setChecked(true);
  connect(CheckBoxSound, &QCheckBox::toggled, this,
          [this](bool on) { sounds_.store(on, std::memory_order_relaxed); });
  Ok = new QPushButton(QStringLiteral("Ok"), this);
  Ok->setObjectName(QStringLiteral("Ok"));

  settings_.BaudRate = ComboBoxRate->currentText().toInt();
  OptionsReady = false;

  // The port list: one radio item per port, scrolling when the machine has many.
  entries_ = buildEntries(setup.systemPorts, setup.extraEntries);
  const QList<PortEntry>& entries = entries_;
  QStringList names;
  for (const PortEntry& e : entries) names.append(e.name);
  if (names.isEmpty()) names.append(kNoPortText);

  RadioGroupCOM = new QGroupBox(QStringLiteral("COM Порты"), this);
  RadioGroupCOM->setObjectName(QStringLiteral("RadioGroupCOM"));
  RadioGroupCOM->setFixedHeight(portGroupHeight(entries.size()));
  RadioGroupCOMButtons = new QButtonGroup(this);
  auto* list = new QWidget;
  auto* listLayout = new QVBoxLayout(list);
  listLayout->setContentsMargins(6, 0, 6, 0);
  listLayout->setSpacing(0);
  for (int i = 0; i < names.size(); ++i) {
    auto* button = new QRadioButton(names[i], list);
    // The group's height leaves a port about 17 pixels beside the title when there are few:
    // let the items shrink to that instead of scrolling.
    button->setMinimumHeight(16);
    RadioGroupCOMButtons->addButton(button, i);
    listLayout->addWidget(button);
  }
  listLayout->addStretch();
  auto* scroll = new QScrollArea(RadioGroupCOM);
  scroll->setWidget(list);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* groupLayout = new QVBoxLayout(RadioGroupCOM);
  groupLayout->setContentsMargins(0, 0, 0, 0);
  groupLayout->addWidget(scroll);
  RadioGroupCOM->setMinimumWidth(list->sizeHint().width() + 40);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(RadioGroupCOM);
  layout->addWidget(ComboBoxRate);
  layout->addWidget(CheckBoxSound);
  layout->addWidget(Ok, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // The remembered port, or the one named on the command line.
  QString error;
  if (!config_.load(&error)) status_.setErrorText(error);
  int comItems = 0;
  while (comItems < names.size() && comPortNumber(names[comItems])) ++comItems;
  int index = rememberedPortIndex(names, comItems, config_.line1());
  RadioGroupCOMButtons->button(index)->setChecked(true);
  settings_.PortName = names[index];
  config_.setLine1(settings_.PortName);
  saveConfig();
  // A port chosen on the command line serves this run only: the file keeps the user's choice.
  if (!setup.preselect.isEmpty() && names.contains(setup.preselect)) {
    index = names.indexOf(setup.preselect);
    RadioGroupCOMButtons->button(index)->setChecked(true);
    settings_.PortName = names[index];
  }

  connect(RadioGroupCOMButtons, &QButtonGroup::idClicked, this, &TFormOptHard::RadioGroupCOMClick);
  connect(ComboBoxRate, &QComboBox::currentIndexChanged, this, &TFormOptHard::ComboBoxRateChange);
  connect(Ok, &QPushButton::clicked, this, &TFormOptHard::OkClick);
  OptionsReady = true;
}

void TFormOptHard::showEvent(QShowEvent* event) {
  // Which adapter a port is ("USB Serial Port, FTDI, ..."), where the system knows it.
  const QHash<QString, QString> adapters = adapterDescriptions();
  for (int i = 0; i < entries_.size(); ++i)
    if (QAbstractButton* b = RadioGroupCOMButtons->button(i))
      b->setToolTip(adapters.value(entries_[i].path));
  QDialog::showEvent(event);
}

QStringList TFormOptHard::items() const {
  QStringList names;
  for (QAbstractButton* b : RadioGroupCOMButtons->buttons()) names.append(b->text());
  return names;
}

int TFormOptHard::selectedIndex() const {
  return RadioGroupCOMButtons->checkedId();
}

void TFormOptHard::RadioGroupCOMClick(int index) {
  if (!OptionsReady) return;
  settings_.PortName = RadioGroupCOMButtons->button(index)->text();
  config_.setLine1(settings_.PortName);
  saveConfig();
}

void TFormOptHard::ComboBoxRateChange(int index) {
  // Only a chosen item counts; a rate that is not in the list never becomes the rate.
  if (index < 0) return;
  bool ok = false;
  const int rate = ComboBoxRate->itemText(index).toInt(&ok);
  if (ok) settings_.BaudRate = rate;
}

void TFormOptHard::OkClick() {
  if (optionsAction_) optionsAction_->setChecked(false);
  accept();
}

void TFormOptHard::saveConfig() {
  QString error;
  // The chosen port stays in use for this run even when it cannot be remembered.
  if (!config_.save(&error)) status_.setErrorText(error);
}
