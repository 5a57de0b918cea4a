// The hardware options dialog: the ports it lists and chooses, what it remembers in line 1 of the
// configuration, the rate, Ok, a configuration that cannot be written.
#include <gtest/gtest.h>

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/app_windows.h"
#include "app/form_opt_hard.h"
#include "common/find.h"
#include "common/recorders.h"
#include "serial/clock.h"
#include "serial/port_discovery.h"

using namespace lir2;

namespace {

QByteArray fileText(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

struct Dialog {
  QTemporaryDir dir;
  StatusRecorder status;
  std::unique_ptr<TFormOptHard> form;
  QString config() const { return dir.filePath("data/config.txt"); }

  void writeConfig(const QByteArray& text) {
    QDir().mkpath(dir.filePath("data"));
    QFile f(config());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
  void make(const QStringList& names, QList<PortEntry> extra = {}, QString preselect = {},
            std::function<QList<PortEntry>()> discover = {}) {
    TFormOptHard::Setup setup;
    setup.discover = std::move(discover);
    for (const QString& n : names) setup.systemPorts.append({n, n, PortEntry::Kind::System});
    setup.extraEntries = std::move(extra);
    setup.preselect = std::move(preselect);
    setup.configPath = config();
    form = std::make_unique<TFormOptHard>(status, std::move(setup));
  }
};

// The list in order, however long, the port line 1 remembers chosen and written back in its own
// form, the other lines kept. A port named on the command line (a path, the simulated device)
// serves this run only: line 1 keeps the user's own choice for the next start.
TEST(FormOptHard, ListsThePortsAndRemembersTheChoiceInLineOne) {
  const QList<PortEntry> path = {{"/dev/pts/7", "/dev/pts/7", PortEntry::Kind::Path}};
  const QList<PortEntry> sim = {{"Симулятор LIR", "", PortEntry::Kind::Simulated}};
  const QStringList com = {"COM10", "COM3", "COM1"}, ordered = {"COM1", "COM3", "COM10"};
  QStringList many, manyOrdered;  // hundreds of ports: the list scrolls
  for (int i = 1; i <= 300; ++i) many.prepend(QString("COM%1").arg(i)), manyOrdered << many[0];
  const struct {
    QByteArray file;  // null: no file at all
    QStringList system;
    QList<PortEntry> extra;
    QString preselect;
    QStringList items;
    QString selected;
    int height;
    QByteArray after;
  } cases[] = {
      // clang-format off
      {{}, com, {}, {}, ordered, "COM1", 100, "COM1\r\n"},
      {"COM10\r\n", com, {}, {}, ordered, "COM10", 100, "COM10\r\n"},
      {"COM003\r\n", com, {}, {}, ordered, "COM3", 100, "COM3\r\n"},
      {"COM7\r\nkeep me\r\n", com, {}, {}, ordered, "COM1", 100, "COM1\r\nkeep me\r\n"},
      {"ttyS0\r\n", {"ttyS0"}, path + sim, "/dev/pts/7", {"ttyS0", "/dev/pts/7", "Симулятор LIR"},
       "/dev/pts/7", 100, "ttyS0\r\n"},
      {"ttyS0\r\n", {"ttyS0"}, sim, "Симулятор LIR", {"ttyS0", "Симулятор LIR"}, "Симулятор LIR",
       70, "ttyS0\r\n"},
      {"ttyS0\r\n", {}, sim, {}, {"Симулятор LIR"}, "Симулятор LIR", 40, "Симулятор LIR\r\n"},
      {"ttyS0\r\n", {}, {}, {}, {"Нет COM"}, "Нет COM", 40, "Нет COM\r\n"},
      {"COM250\r\n", many, {}, {}, manyOrdered, "COM250", 300, "COM250\r\n"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file.toStdString() + " " + c.selected.toStdString());
    Dialog d;
    if (!c.file.isNull()) d.writeConfig(c.file);
    d.make(c.system, c.extra, c.preselect);
    EXPECT_EQ(d.form->items(), c.items);
    EXPECT_EQ(d.form->settings().PortName, c.selected);
    EXPECT_EQ(child<QButtonGroup>(*d.form, "RadioGroupCOMButtons")->checkedButton()->text(),
              c.selected);
    EXPECT_EQ(child<QGroupBox>(*d.form, "RadioGroupCOM")->height(), c.height);
    EXPECT_EQ(fileText(d.config()), QString(c.after).toLocal8Bit());
    d.form->show();
    EXPECT_LT(d.form->height(), 600);  // a long list scrolls instead of growing the dialog
  }
}

// A click saves at once, before Ok, keeping the other lines; Ok unchecks the options action.
TEST(FormOptHard, ClickSavesAtOnceAndOkUnchecksTheAction) {
  Dialog d;
  d.writeConfig("COM3\r\nline two\r\nline three\r\n");
  d.make({"COM10", "COM3", "COM1"});
  EXPECT_EQ(d.form->windowTitle(), "Опции Железа");
  EXPECT_EQ(d.form->settings().BaudRate, 19200);
  EXPECT_TRUE(child<QCheckBox>(*d.form, "CheckBoxSound")->isChecked());
  EXPECT_TRUE(d.form->OptionsReady);
  child<QButtonGroup>(*d.form, "RadioGroupCOMButtons")->button(2)->click();
  EXPECT_EQ(d.form->settings().PortName, "COM10");
  EXPECT_EQ(fileText(d.config()), "COM10\r\nline two\r\nline three\r\n");
  QAction action;
  action.setCheckable(true);
  action.setChecked(true);
  d.form->setOptionsAction(&action);
  d.form->show();
  child<QPushButton>(*d.form, "Ok")->click();
  EXPECT_FALSE(action.isChecked());
  EXPECT_FALSE(d.form->isVisible());
}

TEST(FormOptHard, RateChangesOnlyByAChosenItem) {
  Dialog d;
  d.make({"COM1"});
  EXPECT_EQ(child<QComboBox>(*d.form, "ComboBoxRate")->currentText(), "19200");
  child<QComboBox>(*d.form, "ComboBoxRate")->setCurrentIndex(4);
  EXPECT_EQ(d.form->settings().BaudRate, 115200);
  d.form->show();
  child<QComboBox>(*d.form, "ComboBoxRate")->setFocus();
  QTest::keyClicks(child<QComboBox>(*d.form, "ComboBoxRate"), "38400");
  EXPECT_EQ(d.form->settings().BaudRate, 115200);
  EXPECT_NE(child<QComboBox>(*d.form, "ComboBoxRate")->currentText(), "38400");
}

TEST(FormOptHard, UnwritableDataFolderKeepsThePortAndSaysSo) {
  Dialog d;
  QFile blocker(d.dir.filePath("data"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  d.make({"COM1", "COM2"});
  EXPECT_EQ(d.form->settings().PortName, "COM1");
  EXPECT_FALSE(d.status.error.isEmpty());
  d.status.error.clear();
  child<QButtonGroup>(*d.form, "RadioGroupCOMButtons")->button(1)->click();
  EXPECT_EQ(d.form->settings().PortName, "COM2");  // in use for this run
  EXPECT_FALSE(d.status.error.isEmpty());
}

// The list looks again when the dialog opens, on "Обновить" and every moment it is open: an
// adapter plugged in shows with what it is, the chosen port stays chosen by its name while it is
// pulled out, and the device line learns every change.
TEST(FormOptHard, RefreshesThePortsWhileOpen) {
  const PortEntry s0{"ttyS0", "/dev/ttyS0", PortEntry::Kind::System};
  const PortEntry ftdi{"ttyUSB0",         "/dev/ttyUSB0", PortEntry::Kind::System,
                       "FT232R USB UART", "FTDI",         "A1B2C3D4"};
  const PortEntry ch340{"ttyUSB1", "/dev/ttyUSB1", PortEntry::Kind::System, "USB Serial", "", ""};
  QList<PortEntry> present{s0};
  Dialog d;
  d.writeConfig("ttyS0\r\nkeep me\r\n");
  d.make({"ttyS0"}, {}, {}, [&present] { return present; });
  QSignalSpy changed(d.form.get(), &TFormOptHard::entriesChanged);
  auto* rescan = d.form->findChild<QTimer*>();
  const struct {
    const char* step;
    QList<PortEntry> present;
    bool click;  // "Обновить"; else the dialog is opened
    QStringList items;
    QString chosenText;  // the chosen button's text
    QStringList notice;  // parts of the notice
    int emitted;         // times the line has been told of a new list, so far
  } steps[] = {
      {"plugged in before opening",
       {s0, ftdi},
       false,
       {"ttyS0", "ttyUSB0"},
       "ttyS0",
       {"Подключён: ttyUSB0 (FT232R USB UART)"},
       1},
      {"chosen, pulled, another plugged",
       {s0, ch340},
       true,
       {"ttyS0", "ttyUSB0", "ttyUSB1"},
       "ttyUSB0   (отключён)",
       {"Подключён: ttyUSB1 (USB Serial)", "Отключён: ttyUSB0 (FT232R USB UART)",
        "ttyUSB0 сейчас отсутствует; он остаётся выбранным"},
       2},
      // The same list as while it was away: only its mark goes.
      {"plugged in again",
       {s0, ftdi, ch340},
       true,
       {"ttyS0", "ttyUSB0", "ttyUSB1"},
       "ttyUSB0   FT232R USB UART · FTDI · № A1B2C3D4",
       {"Подключён: ttyUSB0"},
       2},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.step);
    present = s.present;
    s.click ? child<QPushButton>(*d.form, "B_Refresh")->click() : d.form->show();
    EXPECT_TRUE(rescan->isActive());
    EXPECT_EQ(d.form->items(), s.items);
    EXPECT_EQ(child<QButtonGroup>(*d.form, "RadioGroupCOMButtons")->checkedButton()->text(),
              s.chosenText);
    for (const QString& part : s.notice)
      EXPECT_TRUE(child<QLabel>(*d.form, "L_PortsChanged")->text().contains(part))
          << child<QLabel>(*d.form, "L_PortsChanged")->text().toStdString();
    ASSERT_EQ(changed.size(), s.emitted);
    EXPECT_EQ(changed.last().at(0).value<QList<PortEntry>>(), d.form->entries());
    if (!s.click)
      child<QButtonGroup>(*d.form, "RadioGroupCOMButtons")
          ->button(1)
          ->click();  // the user's choice
  }
  EXPECT_EQ(d.form->entries()[1], ftdi);  // opened by its path, known by what it is
  EXPECT_EQ(d.form->settings().PortName, "ttyUSB0");
  EXPECT_EQ(fileText(d.config()), "ttyUSB0\r\nkeep me\r\n");  // line 1 as ever: the name
  child<QPushButton>(*d.form, "B_Refresh")->click();  // nothing changed: nothing to tell the line
  EXPECT_EQ(changed.size(), 2);
  d.form->hide();
  EXPECT_FALSE(rescan->isActive());
}

// The program's --simulated chooses the simulated device whatever line 1 remembers.
TEST(FormOptHard, SimulatedDeviceCanBeChosenFromTheCommandLine) {
  for (bool select : {false, true}) {
    Dialog d;
    d.writeConfig("ttyS0\r\n");
    VirtualClock clock;
    SoundRecorder sounds;
    AppOptions options;
    options.systemPorts = {{"ttyS0", "/dev/ttyS0", PortEntry::Kind::System}};
    options.configPath = d.config();
    options.selectSimulated = select;
    options.simulatedDevice = [](const PortEntry&) { return std::unique_ptr<SerialDevice>(); };
    AppWindows w(options, clock, sounds);
    EXPECT_EQ(w.FormOptHard->settings().PortName, select ? kSimulatedPortName : QString("ttyS0"));
  }
}

// The machine's own ports reach the list as the system names them, each opened by its device
// path (\\.\COM5 on Windows). Run where a port is known to be there: scripts/windows/test.sh
// maps COM5 to a pseudo-terminal under Wine and names it in LIR2_TEST_SYSTEM_PORT.
TEST(FormOptHard, ListsTheMachinesPorts) {
  const QString expected = qEnvironmentVariable("LIR2_TEST_SYSTEM_PORT");
  if (expected.isEmpty()) GTEST_SKIP() << "no port named in LIR2_TEST_SYSTEM_PORT";
  Dialog d;
  TFormOptHard::Setup setup;
  setup.systemPorts = discoverSystemPorts();
  setup.configPath = d.config();
  d.form = std::make_unique<TFormOptHard>(d.status, std::move(setup));
  const QStringList items = d.form->items();
  ASSERT_TRUE(items.contains(expected)) << items.join(' ').toStdString();
  const PortEntry& entry = d.form->entries()[items.indexOf(expected)];
  EXPECT_EQ(entry.kind, PortEntry::Kind::System);
  EXPECT_EQ(entry.path,
            QSysInfo::kernelType() == "winnt" ? "\\\\.\\" + expected : "/dev/" + expected);
}

}  // namespace
