// The modem window and the main window's hidden modem button, on the simulated modem.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/form_opt_soft.h"
#include "app/form_port_log.h"
#include "app/log_view.h"
#include "host/form_sms_modem.h"
#include "modem_rig.h"
#include "monitor/form_monitor.h"
#include "serial/form_opt_hard.h"
#include "serial/window_timer.h"

namespace {

QString readLog(ModemApp& app) {
  return app.w->FormReadPort->log()->logText();
}
QString writeLog(ModemApp& app) {
  return app.w->FormWritePort->log()->logText();
}

TEST(FormSmsModem, ControlsAsDesignedAndHiddenAtStart) {
  ModemApp app;
  TFormSmsModem& f = *app.w->FormSmsModem;
  EXPECT_FALSE(f.isVisible());
  EXPECT_EQ(f.windowTitle(), "FormSmsModem");
  const struct {
    QWidget* widget;
    const char* name;
    QString text, expected;
  } controls[] = {
      {f.E_SmsSend, "E_SmsSend", f.E_SmsSend->text(), "hell"},
      {f.E_SmsReceive, "E_SmsReceive", f.E_SmsReceive->text(), ""},
      {f.B_SmsSend, "B_SmsSend", f.B_SmsSend->text(), "B_SmsSend"},
      {f.B_Stop, "B_Stop", f.B_Stop->text(), "Read"},
      {f.L_SmsSend, "L_SmsSend", f.L_SmsSend->text(), "L_SmsSend"},
      {f.L_SmsReceive, "L_SmsReceive", f.L_SmsReceive->text(), "L_SmsReceive"},
      {f.L_err, "L_err", f.L_err->text(), "L_err"},
  };
  for (const auto& c : controls) {
    EXPECT_EQ(c.widget->objectName(), c.name);
    EXPECT_EQ(c.text, c.expected) << c.name;
  }
  EXPECT_FALSE(f.Timer1->isEnabled());
  EXPECT_EQ(f.Timer1->interval(), 0);
}

TEST(FormSmsModem, ModemButtonEntersTheModeWithoutTouchingTheCheckMarks) {
  for (const bool readChecked : {false, true}) {
    for (const bool writeChecked : {false, true}) {
      ModemApp app;
      TFormMain& m = app.main();
      // The user's own choices before the mode.
      m.AReadPort->setChecked(readChecked);
      m.AWritePort->setChecked(writeChecked);
      app.w->FormOptHard->ComboBoxRate->setCurrentIndex(0);
      const qint32 rate = app.w->FormOptHard->port().BaudRate;
      ASSERT_NE(rate, 19200);  // so the test can tell the configured rate from the default
      app.w->FormReadPort->log()->append(u"old read");
      app.w->FormWritePort->log()->append(u"old write");

      m.B_Modem->click();

      EXPECT_EQ(m.RunMode, 'M');
      EXPECT_TRUE(app.w->FormReadPort->isVisible());
      EXPECT_TRUE(app.w->FormWritePort->isVisible());
      EXPECT_EQ(m.AReadPort->isChecked(), readChecked);
      EXPECT_EQ(m.AWritePort->isChecked(), writeChecked);
      EXPECT_TRUE(app.w->FormOptSoft->CheckBoxRead->isChecked());
      EXPECT_TRUE(app.w->FormOptSoft->CheckBoxWrite->isChecked());
      EXPECT_TRUE(app.w->FormOptHard->port().PortOpen);
      EXPECT_EQ(app.record->openedAt, rate);
      EXPECT_EQ(app.record->purges, 1);
      // The logs were emptied before the set-up filled them.
      EXPECT_EQ(writeLog(app), "atz\r\nate0\r\nat+cmgf=1\r\n");
      EXPECT_EQ(readLog(app), "atz\r\nOK\r\nate0\r\nOK\r\n");
      EXPECT_TRUE(app.w->FormSmsModem->isVisible());
      EXPECT_TRUE(m.isVisible());
      // The mode has no stop of its own.
      EXPECT_FALSE(m.StopExec->isEnabled());
    }
  }
}

TEST(FormSmsModem, SendShowsTheCodeAndItsMessageAndLeavesThePollOff) {
  ModemApp app;
  app.main().B_Modem->click();
  TFormSmsModem& f = *app.w->FormSmsModem;
  f.E_SmsSend->setText("Тест 1");
  f.B_SmsSend->click();
  EXPECT_EQ(f.L_err->text(), "0: Нет ошибок");
  ASSERT_EQ(app.model->modem()->sent().size(), 1);
  EXPECT_EQ(app.model->modem()->sent()[0].text, "\xD2\xE5\xF1\xF2 1");
  EXPECT_EQ(app.model->modem()->sent()[0].number, "+70000000000");
  EXPECT_EQ(f.Timer1->interval(), 3000);
  EXPECT_FALSE(f.Timer1->isActive());

  // "Read": the typed command exactly, nothing appended.
  f.E_SmsReceive->setText("at+cmgr=1");
  const qsizetype before = app.record->written.size();
  f.B_Stop->click();
  EXPECT_EQ(app.record->written.mid(before), "at+cmgr=1");
  EXPECT_TRUE(
      writeLog(app).endsWith("\x1A"
                             "at+cmgr=1"));
}

TEST(FormSmsModem, FailuresStillOpenTheWindowAndShowInTheResult) {
  const struct {
    const char* name;
    bool silent, openFails;
    QString errorBar;
    qint64 setUpMs;  // the stated pauses and time-outs, and nothing more
  } cases[] = {
      {"silent modem", true, false, "", 1500 + 4 * 1001},
      {"port that does not open", false, true, "Open COM port Error", 0},
  };
  for (const auto& c : cases) {
    ModemApp app(modemConfig(c.silent), c.openFails);
    TFormMain& m = app.main();
    m.B_Modem->click();
    EXPECT_EQ(m.RunMode, 'M') << c.name;
    EXPECT_EQ(m.errorText(), c.errorBar) << c.name;
    EXPECT_TRUE(app.w->FormSmsModem->isVisible()) << c.name;
    EXPECT_EQ(readLog(app), "") << c.name;
    EXPECT_EQ(app.clock.nowMs(), c.setUpMs) << c.name;
    const qint64 start = app.clock.nowMs();
    app.w->FormSmsModem->B_SmsSend->click();
    EXPECT_EQ(app.w->FormSmsModem->L_err->text(), "20: Долго нет ответа при чтении") << c.name;
    EXPECT_LE(app.clock.nowMs() - start, 1500 + 1001) << c.name;
    app.w->FormSmsModem->B_Stop->click();
    // Another run mode starts cleanly afterwards: no failure of the modem lingers.
    EXPECT_EQ(app.w->FormMonitor->exchange().ResultCode, 0) << c.name;
  }
}

}  // namespace
