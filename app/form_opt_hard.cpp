#include "form_opt_hard.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include "serial/port_discovery.h"
#include "serial/status.h"

namespace lir2 {

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
        PortEntry entry = e;
        entry.name = name;
        entry.path = e.path == e.name ? name : e.path;
        entries.append(entry);
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

// "ttyUSB0   FT232R USB UART · FTDI · № A1B2C3D4": the name, then what tells the adapter apart.
QString buttonText(const PortEntry& e) {
  QStringList parts;
  for (const QString& part : {e.description, e.manufacturer})
    if (!part.isEmpty() && !parts.contains(part)) parts << part;
  if (!e.serialNumber.isEmpty()) parts << QStringLiteral("№ ") + e.serialNumber;
  return parts.isEmpty() ? e.name
                         : e.name + QStringLiteral("   ") + parts.join(QStringLiteral(" · "));
}

// "ttyUSB1 (FT232R USB UART)" for the notice of a port that came or went.
QString noticeName(const PortEntry& e) {
  return e.description.isEmpty() ? e.name : QStringLiteral("%1 (%2)").arg(e.name, e.description);
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
  extraEntries_ = setup.extraEntries;
  discover_ = std::move(setup.discover);
  systemPorts_ = setup.systemPorts;
  entries_ = buildEntries(systemPorts_, extraEntries_);
  RadioGroupCOM = new QGroupBox(QStringLiteral("COM Порты"), this);
  RadioGroupCOM->setObjectName(QStringLiteral("RadioGroupCOM"));
  RadioGroupCOMButtons = new QButtonGroup(this);
  RadioGroupCOMButtons->setObjectName(QStringLiteral("RadioGroupCOMButtons"));
  auto* scroll = new QScrollArea(RadioGroupCOM);
  scroll->setObjectName(QStringLiteral("PortScroll"));
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* groupLayout = new QVBoxLayout(RadioGroupCOM);
  groupLayout->setContentsMargins(0, 0, 0, 0);
  groupLayout->addWidget(scroll);
  buildList();
  const QStringList& names = names_;

  B_Refresh = new QPushButton(QStringLiteral("Обновить"), this);
  B_Refresh->setObjectName(QStringLiteral("B_Refresh"));
  B_Refresh->setToolTip(QStringLiteral("Найти порты снова: адаптер, подключённый сейчас"));
  B_Refresh->setVisible(bool(discover_));
  L_PortsChanged = new QLabel(this);
  L_PortsChanged->setObjectName(QStringLiteral("L_PortsChanged"));
  L_PortsChanged->setWordWrap(true);
  L_PortsChanged->setVisible(false);
  rescan_ = new QTimer(this);
  rescan_->setInterval(kRescanMs);
  connect(rescan_, &QTimer::timeout, this, &TFormOptHard::refreshPorts);
  connect(B_Refresh, &QPushButton::clicked, this, &TFormOptHard::refreshPorts);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(RadioGroupCOM);
  layout->addWidget(L_PortsChanged);
  layout->addWidget(B_Refresh, 0, Qt::AlignLeft);
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

// One radio item per entry (or "Нет COM"), the group as high as the rule for its count.
void TFormOptHard::buildList() {
  names_.clear();
  for (const PortEntry& e : entries_) names_.append(e.name);
  if (names_.isEmpty()) names_.append(kNoPortText);
  auto* scroll = RadioGroupCOM->findChild<QScrollArea*>(QStringLiteral("PortScroll"));
  for (QAbstractButton* b : RadioGroupCOMButtons->buttons()) RadioGroupCOMButtons->removeButton(b);
  list_ = new QWidget;
  auto* listLayout = new QVBoxLayout(list_);
  listLayout->setContentsMargins(6, 0, 6, 0);
  listLayout->setSpacing(0);
  for (int i = 0; i < names_.size(); ++i) {
    auto* button =
        new QRadioButton(i < entries_.size() ? buttonText(entries_[i]) : names_[i], list_);
    // The group's height leaves a port about 17 pixels beside the title when there are few:
    // let the items shrink to that instead of scrolling.
    button->setMinimumHeight(16);
    RadioGroupCOMButtons->addButton(button, i);
    listLayout->addWidget(button);
  }
  listLayout->addStretch();
  delete scroll->takeWidget();
  scroll->setWidget(list_);
  RadioGroupCOM->setFixedHeight(portGroupHeight(int(entries_.size())));
  RadioGroupCOM->setMinimumWidth(list_->sizeHint().width() + 40);
}

void TFormOptHard::refreshPorts() {
  if (!discover_) return;
  const QList<PortEntry> found = discover_();
  // The chosen port stays in the list while it is away, so it stays chosen (and remembered).
  QList<PortEntry> system = found;
  const QString chosen = settings_.PortName;
  bool away = false;
  const auto listed = [](const QList<PortEntry>& list, const QString& name) {
    for (const PortEntry& e : list)
      if (e.name == name) return true;
    return false;
  };
  QStringList came, went;
  for (const PortEntry& e : found)
    if (!listed(systemPorts_, e.name)) came << noticeName(e);
  for (const PortEntry& e : systemPorts_) {
    if (listed(found, e.name)) continue;
    went << noticeName(e);
    if (e.name == chosen) {
      away = true;
      system.append(e);
    }
  }
  systemPorts_ = found;
  const QList<PortEntry> entries = buildEntries(system, extraEntries_);
  if (!came.isEmpty() || !went.isEmpty()) {
    QStringList notice;
    if (!came.isEmpty()) notice << QStringLiteral("Подключён: ") + came.join(QStringLiteral(", "));
    if (!went.isEmpty()) notice << QStringLiteral("Отключён: ") + went.join(QStringLiteral(", "));
    if (away)
      notice << QStringLiteral("Выбранный порт %1 сейчас отсутствует; он остаётся выбранным.")
                    .arg(chosen);
    L_PortsChanged->setText(notice.join(QStringLiteral(". ")));
    L_PortsChanged->setVisible(true);
  }
  const QString awayName = away ? chosen : QString();
  const bool listChanged = entries != entries_;
  if (!listChanged && awayName == away_) return;
  entries_ = entries;
  away_ = awayName;
  const bool ready = OptionsReady;
  OptionsReady = false;  // choosing the kept port again is no click of the user's
  buildList();
  const qsizetype index = names_.indexOf(chosen);
  RadioGroupCOMButtons->button(int(std::max<qsizetype>(index, 0)))->setChecked(true);
  if (index >= 0 && away)
    RadioGroupCOMButtons->button(int(index))->setText(chosen + QStringLiteral("   (отключён)"));
  if (index < 0) settings_.PortName = names_.front();  // no list ever loses its chosen port
  OptionsReady = ready;
  if (listChanged) emit entriesChanged(entries_);
}

void TFormOptHard::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!discover_) return;
  // What changed since the dialog was last open is news again; older news is not.
  L_PortsChanged->clear();
  L_PortsChanged->setVisible(false);
  refreshPorts();
  rescan_->start();
}

void TFormOptHard::hideEvent(QHideEvent* event) {
  rescan_->stop();
  QDialog::hideEvent(event);
}

QStringList TFormOptHard::items() const {
  return names_;
}

int TFormOptHard::selectedIndex() const {
  return RadioGroupCOMButtons->checkedId();
}

void TFormOptHard::RadioGroupCOMClick(int index) {
  if (!OptionsReady) return;
  settings_.PortName = names_.value(index);
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

}  // namespace lir2
