// The main window and the soft options on a scripted line: its actions, menus and start, the
// translation mode, the log windows' toggles, the end of the program.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>

#include "app/app_windows.h"
#include "app/form_file.h"
#include "app/form_main.h"
#include "app/form_opt_hard.h"
#include "app/form_opt_soft.h"
#include "app/form_port_log.h"
#include "app/gauge.h"
#include "app/log_view.h"
#include "common/recorders.h"
#include "common/scripted_device.h"
#include "host/form_sms_modem.h"
#include "monitor/form_eeprom.h"
#include "monitor/form_monitor.h"
#include "protocol/device_link.h"
#include "serial/window_timer.h"

namespace {

// The whole set of windows on a scripted line, in virtual time, with a configuration of its own:
// what the program is at start-up, without the real port or sound.
struct AppRig {
  explicit AppRig(bool serviceMode = false) {
    AppOptions options;
    options.serviceMode = serviceMode;
    options.configPath = dir.filePath("data/config.txt");
    options.simulatedDevice = [this](const PortEntry&) {
      return std::make_unique<ScriptedDevice>(line, clock);
    };
    w = std::make_unique<AppWindows>(options, clock, sounds);
    main().show();
  }
  TFormMain& main() { return *w->FormMain; }
  DeviceLink& link() { return *w->link; }

  QTemporaryDir dir;
  VirtualClock clock;
  SoundRecorder sounds;
  std::shared_ptr<ScriptedLine> line = std::make_shared<ScriptedLine>();
  std::unique_ptr<AppWindows> w;
};

QStringList names(const QList<QAction*>& actions) {
  QStringList list;
  for (QAction* a : actions)
    if (!a->isSeparator()) list.append(a->objectName());
  return list;
}

// The window as it starts: its actions with their captions, tips, keys and states, the menus and
// tool bar that share them, the status bars, and the other windows hidden with their captions.
TEST(FormMain, StartsAsDesigned) {
  AppRig rig;
  TFormMain& m = rig.main();
  // caption, tip, key; then enabled, visible, checkable
  const std::pair<QAction*, QString> actions[] = {
      {m.FileOpen1, "&Открыть...|Open|Ctrl+O|110"},
      {m.FileExit1, "E&xit|Exit||110"},
      {m.Translate, "&Трансляция|Режим трансляции||110"},
      {m.LoadProg, "Загрузить Программу|Загрузить Программу||010"},
      {m.Monitor, "&Монитор Ver 7.8|Мониторинг||110"},
      {m.StopExec, "&Стоп|Стоп|Esc|010"},
      {m.FOptions, "Железо|Железо||110"},
      {m.OptSoft, "&soft|soft||110"},
      {m.AReadPort, "Чтение Порта|Чтение Порта||111"},
      {m.AWritePort, "Запись в Порт|Запись в Порт||111"},
      {m.AFile, "&Hex Файл|Hex Файл||001"},  // hidden: cannot be chosen
  };
  for (const auto& [a, want] : actions) {
    const QString states =
        QString::number(a->isEnabled() * 100 + a->isVisible() * 10 + a->isCheckable())
            .rightJustified(3, '0');
    EXPECT_EQ(QStringList({a->text(), a->toolTip(), a->shortcut().toString(), states})
                  .join('|')
                  .toStdString(),
              want.toStdString());
    EXPECT_FALSE(a->isChecked()) << want.toStdString();
  }
  QStringList menus;
  for (QAction* menu : m.ActionMainMenuBar1->actions())
    menus << menu->text() + ": " + names(menu->menu()->actions()).join(' ');
  EXPECT_EQ(menus, QStringList({"&Файл: FileOpen1 FileExit1",
                                "&Выполнение: Translate LoadProg Monitor StopExec",
                                "&Опции: FOptions OptSoft", "Окна: AReadPort AWritePort AFile"}));
  EXPECT_EQ(names(m.ActionToolBar1->actions()),
            QStringList({"FileOpen1", "LoadProg", "Translate", "StopExec", "OptSoft", "FOptions",
                         "Monitor"}));
  auto style = [&](QAction* a) {
    return qobject_cast<QToolButton*>(m.ActionToolBar1->widgetForAction(a))->toolButtonStyle();
  };
  EXPECT_EQ(style(m.FileOpen1), Qt::ToolButtonIconOnly);
  EXPECT_EQ(style(m.StopExec), Qt::ToolButtonIconOnly);
  EXPECT_EQ(style(m.Monitor), Qt::ToolButtonTextOnly);

  EXPECT_EQ(m.size(), QSize(707, 223));
  EXPECT_EQ(m.minimumSize(), m.maximumSize());
  EXPECT_EQ(m.windowTitle(), "LIR2Gui Ver 8.0");
  // Stacked top to bottom: errors, state, file name; their titles 100 wide.
  QLabel* const* bars[] = {m.StatusBarError, m.StatusBarMesage, m.StatusBar_filename};
  const char* titles[] = {"Ошибки", "Состояние", "Имя файла"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(bars[i][0]->text(), titles[i]);
    EXPECT_EQ(bars[i][0]->width(), 100);
    if (i) {
      EXPECT_LT(bars[i - 1][1]->y(), bars[i][1]->y());
    }
  }
  EXPECT_EQ(m.stateText(), "Выключенно");
  EXPECT_EQ(
      QStringList({m.L_Time->text(), m.CGauge1->text(), m.LVerDevice->text(), m.LVerPO->text()}),
      QStringList({"0:00:00", "0%", "VerDevice", "VerPO"}));
  EXPECT_TRUE(m.B_Modem->isHidden());
  EXPECT_EQ(m.RunMode, 0);
  EXPECT_EQ(m.DeviceKind, 1);
  const std::pair<QWidget*, QString> others[] = {// clang-format off
      {rig.w->FormReadPort.get(), "Чтение с Порта"}, {rig.w->FormWritePort.get(), "Запись в  Порт"},
      {rig.w->FormFile.get(), "File"}, {rig.w->FormOptHard.get(), "Опции Железа"},
      {rig.w->FormOptSoft.get(), "Опции Soft-а"}, {rig.w->FormMonitor.get(), "&Монитор Ver 7.8"},
      {rig.w->FormEEProm.get(), "EEProm"}, {rig.w->FormSmsModem.get(), "FormSmsModem"}};
  // clang-format on
  for (const auto& [window, caption] : others) {
    EXPECT_FALSE(window->isVisible()) << caption.toStdString();
    EXPECT_EQ(window->windowTitle(), caption);
  }
}

TEST(FormMain, TranslationShowsWhatTheDeviceSendsUntilStop) {
  AppRig rig;
  TFormMain& m = rig.main();
  auto* timer = rig.link().findChild<WindowTimer*>("TranslationTimer");
  ASSERT_NE(timer, nullptr);
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
  EXPECT_EQ(timer->interval(), 100);
  EXPECT_TRUE(timer->isActive());

  rig.line->send("U=26.4\r\n");
  emit timer->timeout();
  // One tick shows everything that has arrived, without waiting for more.
  EXPECT_EQ(rig.w->FormReadPort->log()->logText(), "U=26.4\r\n");
  EXPECT_EQ(rig.clock.nowMs(), 0);
  emit timer->timeout();
  // The second tick waited 3000 ms for nothing: not reported, not kept.
  EXPECT_GT(rig.clock.nowMs(), 3000);
  EXPECT_EQ(rig.link().exchange().ResultCode, 0);
  EXPECT_EQ(m.errorText(), "");
  EXPECT_TRUE(rig.line->received.isEmpty());  // translation sends nothing

  m.StopExec->trigger();
  EXPECT_EQ(m.RunMode, 0);
  EXPECT_FALSE(rig.link().port().PortOpen);
  EXPECT_FALSE(timer->isActive());
  EXPECT_FALSE(m.StopExec->isEnabled());
  EXPECT_TRUE(m.Translate->isEnabled());
  EXPECT_FALSE(m.LoadProg->isEnabled());                           // no firmware file held
  EXPECT_EQ(rig.w->FormReadPort->log()->logText(), "U=26.4\r\n");  // stop keeps the log

  // On a port that does not open, translation ends at once with the opening's code.
  rig.line->openFails = true;
  m.Translate->trigger();
  EXPECT_EQ(m.errorText(), "Ошибка открытия COM порта");
  EXPECT_EQ(m.stateText(), "Выключенно");
  EXPECT_EQ(m.RunMode, 0);
  EXPECT_FALSE(m.StopExec->isEnabled());
  EXPECT_FALSE(timer->isActive());
  EXPECT_EQ(rig.sounds.played, std::vector<Sound>{Sound::Error});
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

TEST(FormMain, LogWindowTogglesFollowTheirCheckMarks) {
  AppRig rig;
  TFormMain& m = rig.main();
  const std::pair<QAction*, QWidget*> pairs[] = {{m.AReadPort, rig.w->FormReadPort.get()},
                                                 {m.AWritePort, rig.w->FormWritePort.get()},
                                                 {m.AFile, rig.w->FormFile.get()}};
  for (auto [action, window] : pairs) {
    SCOPED_TRACE(action->objectName().toStdString());
    action->trigger();
    EXPECT_TRUE(window->isVisible() && action->isChecked());
    action->trigger();
    EXPECT_FALSE(window->isVisible() || action->isChecked());
    // Shown by its action, then closed with its close button: the item is unchecked again.
    action->trigger();
    window->close();
    EXPECT_FALSE(window->isVisible() || action->isChecked());
  }
}

TEST(FormMain, ClosingEndsTheProgramAndClosesThePort) {
  AppRig rig;
  rig.main().Translate->trigger();
  QSignalSpy closed(rig.w->FormMain.get(), &TFormMain::closed);
  rig.main().FileExit1->trigger();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(rig.link().port().PortOpen);
  EXPECT_TRUE(rig.link().allRunsStopped());
}

// The service controls show only with -s; every upload keeps the settings by default; Ok keeps
// the switches and unchecks its action.
TEST(FormOptSoft, ServiceControlsAndOk) {
  for (bool service : {false, true}) {
    AppRig rig(service);
    TFormOptSoft& soft = *rig.w->FormOptSoft;
    EXPECT_EQ(!soft.CB_Reserv->isHidden(), service);
    EXPECT_EQ(!soft.GroupBoxProg->isHidden(), service);
    EXPECT_TRUE(soft.CB_Reserv->isChecked());
    EXPECT_EQ(soft.CB_Reserv->text(), "Не стирать настройки ");
    EXPECT_EQ(soft.GroupBoxProg->title(), "Программировать  из  Файла");
    EXPECT_FALSE(soft.logReads() || soft.logWrites());
    int checked = 0;
    for (QCheckBox* box : soft.GroupBoxProg->findChildren<QCheckBox*>())
      checked += box->isChecked();
    EXPECT_EQ(checked, 4);
    soft.show();
    soft.CheckBoxWrite->setChecked(true);
    rig.main().OptSoft->setCheckable(true);
    rig.main().OptSoft->setChecked(true);
    soft.OkButton->click();
    EXPECT_FALSE(soft.isVisible());
    EXPECT_FALSE(rig.main().OptSoft->isChecked());
    EXPECT_TRUE(soft.logWrites());
  }
}

}  // namespace
