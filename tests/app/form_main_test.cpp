// The main window and the soft options on a scripted line: its actions, menus and start, the
// translation mode, the log windows' toggles, the end of the program.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

#include "app/app_windows.h"
#include "app/form_file.h"
#include "app/form_main.h"
#include "app/form_opt_hard.h"
#include "app/form_opt_soft.h"
#include "app/form_port_log.h"
#include "app/gauge.h"
#include "app/log_view.h"
#include "app/message_label.h"
#include "common/find.h"
#include "common/recorders.h"
#include "common/scripted_device.h"
#include "host/form_sms_modem.h"
#include "monitor/form_eeprom.h"
#include "monitor/form_monitor.h"
#include "protocol/device_link.h"
#include "protocol/result_messages.h"
#include "serial/port_reason.h"
#include "serial/result_code.h"
#include "serial/window_timer.h"

using namespace lir2;

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

// The port messages the README's troubleshooting table tells the user to read, each read whole
// in the error bar: wrapped over as many lines as it takes, the window growing to show them,
// and still within a 1024 × 768 screen at 125 % (819 × 614 of the window's own pixels; a scale
// factor enlarges everything alike, so this is the narrower of the two).
TEST(FormMain, EveryPortMessageIsReadWhole) {
  const QString path = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3D4-if00-port0";
  const QString open = resultMessage(Result::OpenFailed) + ": ";
  PortFacts missing, held, refused, relogin, busy;
  missing.exists = false;
  held.holder = PortHolder{123456, "ModemManager"};
  refused.accessible = false, refused.user = "technician", refused.group = "dialout";
  relogin = refused, relogin.groupNeedsLogin = true;
  const QString messages[] = {
      open + explainOpenFailure(path, QSerialPort::DeviceNotFoundError, {}, missing).text,
      open + explainOpenFailure(path, QSerialPort::PermissionError, {}, held).text,
      open + explainOpenFailure(path, QSerialPort::PermissionError, {}, refused).text,
      open + explainOpenFailure(path, QSerialPort::PermissionError, {}, relogin).text,
      open + explainOpenFailure(path, QSerialPort::OpenError, {}, busy).text,
      resultMessage(Result::NoReply) + ": " + explainVanished(path, false).text,
      resultMessage(Result::NoReply) +
          ". Устройство отвечает на скорости 9600 — выберите её в "
          "«Железо»",
  };
  AppRig rig;
  TFormMain& m = rig.main();
  auto* bar = static_cast<MessageLabel*>(child<QLabel>(m, "StatusBarError_1"));
  const QSize screen = QSize(1024, 768) / 1.25;
  for (const QString& text : messages) {
    SCOPED_TRACE(text.toStdString());
    m.setErrorText(text);
    m.setFileNameText("/home/technician/firmware/" + QString(60, 'x') + ".lir2");
    for (int i = 0; i < 4; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(bar->shownText(), text);
    EXPECT_GE(bar->height(), bar->minimumSizeHint().height());  // all its lines are in view
    EXPECT_LE(m.frameGeometry().width(), screen.width());
    EXPECT_LE(m.frameGeometry().height(), screen.height());
  }
  // Whatever does not fit its lines ends in "…" and is whole in the tool tip; and it copies.
  const QString huge = QString("Порт %1 занят. ").arg(path).repeated(20);
  m.setErrorText(huge);
  QCoreApplication::processEvents();
  EXPECT_TRUE(bar->elided());
  EXPECT_TRUE(bar->shownText().endsWith("…"));
  QHelpEvent help(QEvent::ToolTip, QPoint(4, 4), bar->mapToGlobal(QPoint(4, 4)));
  QApplication::sendEvent(bar, &help);
  EXPECT_EQ(QToolTip::text(), huge);
  bar->copyMessage();
  EXPECT_EQ(QApplication::clipboard()->text(), huge);
}

// The window as it starts: its actions with their captions, tips, keys and states, the menus and
// tool bar that share them, the status bars, and the other windows hidden with their captions.
TEST(FormMain, StartsAsDesigned) {
  AppRig rig;
  TFormMain& m = rig.main();
  // caption, tip, key; then enabled, visible, checkable
  const std::pair<QAction*, QString> actions[] = {
      {action(m, "FileOpen1"), "&Открыть...|Open|Ctrl+O|110"},
      {action(m, "FileExit1"), "E&xit|Exit||110"},
      {action(m, "Translate"), "&Трансляция|Режим трансляции||110"},
      {action(m, "LoadProg"), "Загрузить Программу|Загрузить Программу||010"},
      {action(m, "Monitor"), "&Монитор Ver 7.8|Мониторинг||110"},
      {action(m, "StopExec"), "&Стоп|Стоп|Esc|010"},
      {action(m, "FOptions"), "Железо|Железо||110"},
      {action(m, "OptSoft"), "&soft|soft||110"},
      {action(m, "AReadPort"), "Чтение Порта|Чтение Порта||111"},
      {action(m, "AWritePort"), "Запись в Порт|Запись в Порт||111"},
      {action(m, "AFile"), "&Hex Файл|Hex Файл||001"},  // hidden: cannot be chosen
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
  for (QAction* menu : child<QMenuBar>(m, "ActionMainMenuBar1")->actions())
    menus << menu->text() + ": " + names(menu->menu()->actions()).join(' ');
  EXPECT_EQ(menus, QStringList({"&Файл: FileOpen1 FileExit1",
                                "&Выполнение: Translate LoadProg Monitor StopExec",
                                "&Опции: FOptions OptSoft", "Окна: AReadPort AWritePort AFile"}));
  EXPECT_EQ(names(child<QToolBar>(m, "ActionToolBar1")->actions()),
            QStringList({"FileOpen1", "LoadProg", "Translate", "StopExec", "OptSoft", "FOptions",
                         "Monitor"}));
  auto style = [&](QAction* a) {
    return qobject_cast<QToolButton*>(child<QToolBar>(m, "ActionToolBar1")->widgetForAction(a))
        ->toolButtonStyle();
  };
  EXPECT_EQ(style(action(m, "FileOpen1")), Qt::ToolButtonIconOnly);
  EXPECT_EQ(style(action(m, "StopExec")), Qt::ToolButtonIconOnly);
  EXPECT_EQ(style(action(m, "Monitor")), Qt::ToolButtonTextOnly);

  // 707 × 223 at the start, and free to grow for a long message.
  EXPECT_EQ(m.size(), QSize(707, 223));
  EXPECT_NE(m.minimumSize(), m.maximumSize());
  EXPECT_EQ(m.windowTitle(), "LIR2Gui Ver 8.0");
  // Stacked top to bottom: errors, state, file name; their titles 100 wide.
  QLabel* const bars[3][2] = {
      {child<QLabel>(m, "StatusBarError_0"), child<QLabel>(m, "StatusBarError_1")},
      {child<QLabel>(m, "StatusBarMesage_0"), child<QLabel>(m, "StatusBarMesage_1")},
      {child<QLabel>(m, "StatusBar_filename_0"), child<QLabel>(m, "StatusBar_filename_1")}};
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
      QStringList({child<QLabel>(m, "L_Time")->text(), child<Gauge>(m, "CGauge1")->text(),
                   child<QLabel>(m, "LVerDevice")->text(), child<QLabel>(m, "LVerPO")->text()}),
      QStringList({"0:00:00", "0%", "VerDevice", "VerPO"}));
  EXPECT_TRUE(child<QPushButton>(m, "B_Modem")->isHidden());
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
  child<QComboBox>(*rig.w->FormOptHard, "ComboBoxRate")->setCurrentIndex(4);
  rig.w->FormReadPort->append(u"old");
  action(m, "Translate")->trigger();
  EXPECT_EQ(m.RunMode, 'T');
  EXPECT_EQ(m.stateText(), "Режим Трансляции");
  EXPECT_EQ(rig.line->lastRate, 115200);
  EXPECT_TRUE(rig.link().port().PortOpen);
  EXPECT_EQ(rig.w->FormReadPort->logText(), "");  // cleared by the start
  EXPECT_TRUE(action(m, "StopExec")->isEnabled());
  for (QAction* locked : {action(m, "Translate"), action(m, "FileOpen1"), action(m, "LoadProg"),
                          action(m, "Monitor")})
    EXPECT_FALSE(locked->isEnabled()) << locked->objectName().toStdString();
  EXPECT_EQ(timer->interval(), 100);
  EXPECT_TRUE(timer->isActive());

  rig.line->send("U=26.4\r\n");
  emit timer->timeout();
  // One tick shows everything that has arrived, without waiting for more.
  EXPECT_EQ(rig.w->FormReadPort->logText(), "U=26.4\r\n");
  EXPECT_EQ(rig.clock.nowMs(), 0);
  emit timer->timeout();
  // The second tick waited 3000 ms for nothing: not reported, not kept.
  EXPECT_GT(rig.clock.nowMs(), 3000);
  EXPECT_EQ(rig.link().exchange().ResultCode, Result::Ok);
  EXPECT_EQ(m.errorText(), "");
  EXPECT_TRUE(rig.line->received.isEmpty());  // translation sends nothing

  action(m, "StopExec")->trigger();
  EXPECT_EQ(m.RunMode, 0);
  EXPECT_FALSE(rig.link().port().PortOpen);
  EXPECT_FALSE(timer->isActive());
  EXPECT_FALSE(action(m, "StopExec")->isEnabled());
  EXPECT_TRUE(action(m, "Translate")->isEnabled());
  EXPECT_FALSE(action(m, "LoadProg")->isEnabled());         // no firmware file held
  EXPECT_EQ(rig.w->FormReadPort->logText(), "U=26.4\r\n");  // stop keeps the log

  // On a port that does not open, translation ends at once with the opening's code.
  rig.line->openFails = true;
  action(m, "Translate")->trigger();
  EXPECT_EQ(m.errorText(), "Ошибка открытия COM порта");
  EXPECT_EQ(m.stateText(), "Выключенно");
  EXPECT_EQ(m.RunMode, 0);
  EXPECT_FALSE(action(m, "StopExec")->isEnabled());
  EXPECT_FALSE(timer->isActive());
  EXPECT_EQ(rig.sounds.played, std::vector<Sound>{Sound::Error});
}

TEST(FormMain, StopEnablesUploadOnlyWithARecognisedFile) {
  for (quint8 kind : {0, 1, 2, 3, 4}) {
    AppRig rig;
    rig.main().DeviceKind = kind;
    action(rig.main(), "StopExec")->setEnabled(true);
    action(rig.main(), "StopExec")->trigger();
    EXPECT_EQ(action(rig.main(), "LoadProg")->isEnabled(), kind != 1) << int(kind);
    EXPECT_EQ(child<Gauge>(rig.main(), "CGauge1")->progress(), 0);
  }
}

TEST(FormMain, LogWindowTogglesFollowTheirCheckMarks) {
  AppRig rig;
  TFormMain& m = rig.main();
  const std::pair<QAction*, QWidget*> pairs[] = {
      {action(m, "AReadPort"), rig.w->FormReadPort.get()},
      {action(m, "AWritePort"), rig.w->FormWritePort.get()},
      {action(m, "AFile"), rig.w->FormFile.get()}};
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
  action(rig.main(), "Translate")->trigger();
  QSignalSpy closed(rig.w->FormMain.get(), &TFormMain::closed);
  action(rig.main(), "FileExit1")->trigger();
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
    EXPECT_EQ(!child<QCheckBox>(soft, "CB_Reserv")->isHidden(), service);
    EXPECT_EQ(!child<QGroupBox>(soft, "GroupBoxProg")->isHidden(), service);
    EXPECT_TRUE(child<QCheckBox>(soft, "CB_Reserv")->isChecked());
    EXPECT_EQ(child<QCheckBox>(soft, "CB_Reserv")->text(), "Не стирать настройки ");
    EXPECT_EQ(child<QGroupBox>(soft, "GroupBoxProg")->title(), "Программировать  из  Файла");
    EXPECT_FALSE(soft.logReads() || soft.logWrites());
    int checked = 0;
    for (QCheckBox* box : child<QGroupBox>(soft, "GroupBoxProg")->findChildren<QCheckBox*>())
      checked += box->isChecked();
    EXPECT_EQ(checked, 4);
    soft.show();
    child<QCheckBox>(soft, "CheckBoxWrite")->setChecked(true);
    action(rig.main(), "OptSoft")->setCheckable(true);
    action(rig.main(), "OptSoft")->setChecked(true);
    child<QPushButton>(soft, "Ok")->click();
    EXPECT_FALSE(soft.isVisible());
    EXPECT_FALSE(action(rig.main(), "OptSoft")->isChecked());
    EXPECT_TRUE(soft.logWrites());
  }
}

}  // namespace
