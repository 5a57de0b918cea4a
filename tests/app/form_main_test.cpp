#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>

#include "app/form_file.h"
#include "app/form_opt_hard.h"
#include "app/form_opt_soft.h"
#include "app/form_port_log.h"
#include "app/gauge.h"
#include "app/log_view.h"
#include "app_rig.h"
#include "host/form_sms_modem.h"
#include "monitor/form_eeprom.h"
#include "monitor/form_monitor.h"
#include "serial/window_timer.h"

namespace {

QStringList texts(const QList<QAction*>& actions) {
  QStringList list;
  for (QAction* a : actions)
    if (!a->isSeparator()) list.append(a->objectName());
  return list;
}

TEST(FormMain, ActionsAsDesigned) {
  AppRig rig;
  TFormMain& m = rig.main();
  const struct {
    QAction* action;
    QString caption, tip;
    QKeySequence shortcut;
    bool enabled, visible, checkable;
  } cases[] = {
      {m.FileOpen1, "&Открыть...", "Open", QKeySequence("Ctrl+O"), true, true, false},
      {m.FileExit1, "E&xit", "Exit", {}, true, true, false},
      {m.Translate, "&Трансляция", "Режим трансляции", {}, true, true, false},
      {m.LoadProg, "Загрузить Программу", "Загрузить Программу", {}, false, true, false},
      {m.Monitor, "&Монитор Ver 7.8", "Мониторинг", {}, true, true, false},
      {m.StopExec, "&Стоп", "Стоп", QKeySequence(Qt::Key_Escape), false, true, false},
      {m.FOptions, "Железо", "Железо", {}, true, true, false},
      {m.OptSoft, "&soft", "soft", {}, true, true, false},
      {m.AReadPort, "Чтение Порта", "Чтение Порта", {}, true, true, true},
      {m.AWritePort, "Запись в Порт", "Запись в Порт", {}, true, true, true},
      {m.AFile, "&Hex Файл", "Hex Файл", {}, false, false, true},  // hidden: cannot be chosen
  };
  for (const auto& c : cases) {
    const std::string name = c.action->objectName().toStdString();
    EXPECT_EQ(c.action->text(), c.caption) << name;
    EXPECT_EQ(c.action->toolTip(), c.tip) << name;
    EXPECT_EQ(c.action->shortcut(), c.shortcut) << name;
    EXPECT_EQ(c.action->isEnabled(), c.enabled) << name;
    EXPECT_EQ(c.action->isVisible(), c.visible) << name;
    EXPECT_EQ(c.action->isCheckable(), c.checkable) << name;
    EXPECT_FALSE(c.action->isChecked()) << name;
  }
}

TEST(FormMain, MenusAndToolBarShareTheActions) {
  AppRig rig;
  TFormMain& m = rig.main();
  QStringList menuTitles;
  QList<QStringList> menuItems;
  for (QAction* menu : m.ActionMainMenuBar1->actions()) {
    menuTitles.append(menu->text());
    menuItems.append(texts(menu->menu()->actions()));
  }
  EXPECT_EQ(menuTitles, QStringList({"&Файл", "&Выполнение", "&Опции", "Окна"}));
  EXPECT_EQ(menuItems[0], QStringList({"FileOpen1", "FileExit1"}));
  EXPECT_EQ(menuItems[1], QStringList({"Translate", "LoadProg", "Monitor", "StopExec"}));
  EXPECT_EQ(menuItems[2], QStringList({"FOptions", "OptSoft"}));
  EXPECT_EQ(menuItems[3], QStringList({"AReadPort", "AWritePort", "AFile"}));
  EXPECT_EQ(texts(m.ActionToolBar1->actions()),
            QStringList({"FileOpen1", "LoadProg", "Translate", "StopExec", "OptSoft", "FOptions",
                         "Monitor"}));
  auto style = [&](QAction* a) {
    return qobject_cast<QToolButton*>(m.ActionToolBar1->widgetForAction(a))->toolButtonStyle();
  };
  EXPECT_EQ(style(m.FileOpen1), Qt::ToolButtonIconOnly);
  EXPECT_EQ(style(m.StopExec), Qt::ToolButtonIconOnly);
  EXPECT_EQ(style(m.Monitor), Qt::ToolButtonTextOnly);
}

TEST(FormMain, StartsAsDesigned) {
  AppRig rig;
  TFormMain& m = rig.main();
  EXPECT_EQ(m.size(), QSize(707, 223));
  EXPECT_EQ(m.minimumSize(), m.maximumSize());
  EXPECT_EQ(m.windowTitle(), "LIR2Gui Ver 8.0");
  EXPECT_EQ(m.StatusBarError[0]->text(), "Ошибки");
  EXPECT_EQ(m.StatusBarMesage[0]->text(), "Состояние");
  EXPECT_EQ(m.StatusBar_filename[0]->text(), "Имя файла");
  for (QLabel* title : {m.StatusBarError[0], m.StatusBarMesage[0], m.StatusBar_filename[0]})
    EXPECT_EQ(title->width(), 100);
  // Stacked top to bottom: errors, state, file name.
  EXPECT_LT(m.StatusBarError[1]->y(), m.StatusBarMesage[1]->y());
  EXPECT_LT(m.StatusBarMesage[1]->y(), m.StatusBar_filename[1]->y());
  EXPECT_EQ(m.stateText(), "Выключенно");
  EXPECT_EQ(m.L_Time->text(), "0:00:00");
  EXPECT_EQ(m.CGauge1->text(), "0%");
  EXPECT_EQ(m.LVerDevice->text(), "VerDevice");
  EXPECT_EQ(m.LVerPO->text(), "VerPO");
  EXPECT_TRUE(m.B_Modem->isHidden());
  EXPECT_EQ(m.RunMode, 0);
  EXPECT_EQ(m.DeviceKind, 1);
  // Only the main window is shown; the others exist, hidden, with their captions.
  const std::pair<QWidget*, QString> others[] = {{rig.w->FormReadPort.get(), "Чтение с Порта"},
                                                 {rig.w->FormWritePort.get(), "Запись в  Порт"},
                                                 {rig.w->FormFile.get(), "File"},
                                                 {rig.w->FormOptHard.get(), "Опции Железа"},
                                                 {rig.w->FormOptSoft.get(), "Опции Soft-а"},
                                                 {rig.w->FormMonitor.get(), "&Монитор Ver 7.8"},
                                                 {rig.w->FormEEProm.get(), "EEProm"},
                                                 {rig.w->FormSmsModem.get(), "FormSmsModem"}};
  for (const auto& [window, caption] : others) {
    EXPECT_FALSE(window->isVisible()) << caption.toStdString();
    EXPECT_EQ(window->windowTitle(), caption);
  }
  EXPECT_TRUE(m.isVisible());
}

TEST(FormMain, TranslationShowsWhatTheDeviceSendsUntilStop) {
  AppRig rig;
  TFormMain& m = rig.main();
  rig.w->FormOptHard->ComboBoxRate->setCurrentIndex(4);
  rig.w->FormReadPort->log()->append(u"old");
  m.Translate->trigger();
  EXPECT_EQ(m.RunMode, 'T');
  EXPECT_EQ(m.stateText(), "Режим Трансляции");
  EXPECT_EQ(rig.line->lastRate, 115200);
  EXPECT_TRUE(rig.link().port().PortOpen);
  EXPECT_EQ(rig.w->FormReadPort->log()->logText(), "");  // cleared by the start
  EXPECT_TRUE(m.StopExec->isEnabled());
  for (QAction* locked : {m.Translate, m.FileOpen1, m.LoadProg, m.Monitor})
    EXPECT_FALSE(locked->isEnabled()) << locked->objectName().toStdString();
  EXPECT_EQ(rig.link().TranslationTimer->interval(), 100);
  EXPECT_TRUE(rig.link().TranslationTimer->isActive());

  rig.line->send("U=26.4\r\n");
  emit rig.link().TranslationTimer->timeout();
  // One tick shows everything that has arrived, without waiting for more.
  EXPECT_EQ(rig.w->FormReadPort->log()->logText(), "U=26.4\r\n");
  EXPECT_EQ(rig.clock.nowMs(), 0);
  emit rig.link().TranslationTimer->timeout();
  // The second tick waited 3000 ms for nothing: not reported, not kept.
  EXPECT_GT(rig.clock.nowMs(), 3000);
  EXPECT_EQ(rig.link().exchange().ResultCode, 0);
  EXPECT_EQ(m.errorText(), "");
  EXPECT_TRUE(rig.line->received.isEmpty());  // translation sends nothing

  m.StopExec->trigger();
  EXPECT_EQ(m.RunMode, 0);
  EXPECT_FALSE(rig.link().port().PortOpen);
  EXPECT_FALSE(rig.link().TranslationTimer->isActive());
  EXPECT_FALSE(m.StopExec->isEnabled());
  EXPECT_TRUE(m.Translate->isEnabled());
  EXPECT_FALSE(m.LoadProg->isEnabled());                           // no firmware file held
  EXPECT_EQ(rig.w->FormReadPort->log()->logText(), "U=26.4\r\n");  // stop keeps the log
}

TEST(FormMain, StopEnablesUploadOnlyWithARecognisedFile) {
  for (quint8 kind : {0, 1, 2, 3, 4}) {
    AppRig rig;
    rig.main().DeviceKind = kind;
    rig.main().StopExec->setEnabled(true);
    rig.main().StopExec->trigger();
    EXPECT_EQ(rig.main().LoadProg->isEnabled(), kind != 1) << int(kind);
    EXPECT_EQ(rig.main().CGauge1->progress(), 0);
  }
}

// Translation on a port that does not open ends at once with the opening's code.
TEST(FormMain, PortThatCannotBeOpenedEndsTranslation) {
  AppRig rig;
  rig.line->openFails = true;
  rig.main().Translate->trigger();
  EXPECT_EQ(rig.main().errorText(), "Ошибка открытия COM порта");
  EXPECT_EQ(rig.main().stateText(), "Выключенно");
  EXPECT_EQ(rig.main().RunMode, 0);
  EXPECT_FALSE(rig.main().StopExec->isEnabled());
  EXPECT_FALSE(rig.link().TranslationTimer->isActive());
  EXPECT_EQ(rig.sounds.played, std::vector<Sound>{Sound::Error});
}

TEST(FormMain, MonitorHandOver) {
  AppRig rig;
  TFormMain& m = rig.main();
  rig.w->FormWritePort->log()->append(u"old");
  m.Monitor->trigger();
  EXPECT_FALSE(m.isVisible());
  EXPECT_TRUE(rig.w->FormMonitor->isVisible());
  EXPECT_EQ(m.RunMode, '!');
  EXPECT_EQ(rig.w->FormWritePort->log()->logText(), "");
  EXPECT_TRUE(rig.link().port().PortOpen);
  EXPECT_EQ(rig.line->lastRate, 19200);
  rig.w->FormMonitor->close();
  EXPECT_TRUE(m.isVisible());
  EXPECT_FALSE(rig.w->FormMonitor->isVisible());
  EXPECT_EQ(m.RunMode, '!');                // left as the monitor left it
  EXPECT_TRUE(rig.link().port().PortOpen);  // until the next run or a stop
}

TEST(FormMain, LogWindowTogglesFollowTheirCheckMarks) {
  AppRig rig;
  TFormMain& m = rig.main();
  const std::pair<QAction*, QWidget*> pairs[] = {{m.AReadPort, rig.w->FormReadPort.get()},
                                                 {m.AWritePort, rig.w->FormWritePort.get()},
                                                 {m.AFile, rig.w->FormFile.get()}};
  for (auto [action, window] : pairs) {
    action->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(action->isChecked());
    action->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(action->isChecked());
    // Shown by its action, then closed with its close button: the item is unchecked again.
    action->trigger();
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(action->isChecked()) << action->objectName().toStdString();
  }
}

TEST(FormMain, ClosingEndsTheProgramAndClosesThePort) {
  AppRig rig;
  rig.main().Translate->trigger();
  QSignalSpy closed(rig.w->FormMain.get(), &TFormMain::closed);
  rig.main().FileExit1->trigger();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(rig.link().port().PortOpen);
  EXPECT_TRUE(rig.link().stopRequested());
}

TEST(FormOptSoft, ServiceControlsShowOnlyWithTheSwitch) {
  for (bool service : {false, true}) {
    AppRig rig(service);
    TFormOptSoft& soft = *rig.w->FormOptSoft;
    EXPECT_EQ(!soft.CB_Reserv->isHidden(), service);
    EXPECT_EQ(!soft.GroupBoxProg->isHidden(), service);
    EXPECT_TRUE(soft.CB_Reserv->isChecked());  // every upload keeps the settings by default
    EXPECT_EQ(soft.CB_Reserv->text(), "Не стирать настройки ");
    EXPECT_EQ(soft.GroupBoxProg->title(), "Программировать  из  Файла");
    EXPECT_FALSE(soft.logReads());
    EXPECT_FALSE(soft.logWrites());
    int checked = 0;
    for (QCheckBox* box : soft.GroupBoxProg->findChildren<QCheckBox*>())
      checked += box->isChecked();
    EXPECT_EQ(checked, 4);
  }
}

TEST(FormOptSoft, OkKeepsTheSwitchesAndUnchecksItsAction) {
  AppRig rig;
  TFormOptSoft& soft = *rig.w->FormOptSoft;
  soft.show();
  soft.CheckBoxWrite->setChecked(true);
  rig.main().OptSoft->setCheckable(true);
  rig.main().OptSoft->setChecked(true);
  soft.OkButton->click();
  EXPECT_FALSE(soft.isVisible());
  EXPECT_FALSE(rig.main().OptSoft->isChecked());
  EXPECT_TRUE(soft.logWrites());
}

}  // namespace

namespace {

TEST(FormOptHard, SimulatedDeviceCanBeChosenFromTheCommandLine) {
  QTemporaryDir dir;
  VirtualClock clock;
  SoundRecorder sounds;
  QFile config(dir.filePath("config.txt"));
  ASSERT_TRUE(config.open(QIODevice::WriteOnly));
  config.write("ttyS0\r\n");
  config.close();
  for (bool select : {false, true}) {
    AppOptions options;
    options.systemPorts = {{"ttyS0", "/dev/ttyS0", PortEntry::Kind::System}};
    options.configPath = config.fileName();
    options.selectSimulated = select;
    options.simulatedDevice = [](const PortEntry&) { return std::unique_ptr<SerialDevice>(); };
    AppWindows w(options, clock, sounds);
    EXPECT_EQ(w.FormOptHard->settings().PortName, select ? kSimulatedPortName : QString("ttyS0"));
  }
}

}  // namespace
