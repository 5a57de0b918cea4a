// The modem window and the main window's hidden modem button, on the simulated modem.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/form_opt_hard.h"
#include "app/form_opt_soft.h"
#include "app/form_port_log.h"
#include "app/log_view.h"
#include "host/form_sms_modem.h"
#include "modem_rig.h"
#include "monitor/form_monitor.h"
#include "protocol/device_link.h"
#include "serial/window_timer.h"

namespace {

// The button enters the mode at the configured rate, with both logs on and emptied, without
// touching the actions' check marks; a typed message goes out in the modem's code page.
TEST(FormSmsModem, ModemButtonEntersTheModeAndTheWindowSends) {
  ModemApp app;
  TFormMain& m = app.main();
  m.AReadPort->setChecked(false);
  m.AWritePort->setChecked(true);
  app.w->FormOptHard->ComboBoxRate->setCurrentIndex(0);
  const qint32 rate = app.w->FormOptHard->settings().BaudRate;
  ASSERT_NE(rate, 19200);  // so the test can tell the configured rate from the default
  app.w->FormReadPort->log()->append(u"old read");
  app.w->FormWritePort->log()->append(u"old write");

  m.B_Modem->click();
  EXPECT_EQ(m.RunMode, 'M');
  EXPECT_FALSE(m.AReadPort->isChecked());
  EXPECT_TRUE(m.AWritePort->isChecked());
  EXPECT_TRUE(app.w->FormOptSoft->CheckBoxRead->isChecked());
  EXPECT_TRUE(app.w->FormOptSoft->CheckBoxWrite->isChecked());
  EXPECT_TRUE(app.w->FormReadPort->isVisible());
  EXPECT_TRUE(app.w->FormWritePort->isVisible());
  EXPECT_EQ(app.model->hostRate(), rate);
  EXPECT_EQ(app.w->FormWritePort->log()->logText(), "atz\r\nate0\r\nat+cmgf=1\r\n");
  EXPECT_EQ(app.w->FormReadPort->log()->logText(), "atz\r\nOK\r\nate0\r\nOK\r\n");
  EXPECT_TRUE(app.w->FormSmsModem->isVisible());
  EXPECT_TRUE(m.isVisible());
  // The mode has no stop of its own.
  EXPECT_FALSE(m.StopExec->isEnabled());

  TFormSmsModem& f = *app.w->FormSmsModem;
  f.E_SmsSend->setText("Тест 1");
  f.B_SmsSend->click();
  EXPECT_EQ(f.L_err->text(), "0: Нет ошибок");
  ASSERT_EQ(app.model->modem()->sent().size(), 1);
  EXPECT_EQ(app.model->modem()->sent()[0].text, "\xD2\xE5\xF1\xF2 1");
  // The send leaves the poll its interval but does not start it.
  EXPECT_EQ(f.Timer1->interval(), 3000);
  EXPECT_FALSE(f.Timer1->isActive());
}

// Neither a silent modem nor a dead port stops the mode; each costs its pauses and time-outs
// and nothing more, and leaves no failure behind for the next run mode.
TEST(FormSmsModem, FailuresStillOpenTheWindowAndShowInTheResult) {
  const QByteArray kWire = "atz\r\nate0\r\nat+cmgf=1\r\nat+cmgs=\"+70000000000\"\r\nhell\x1A";
  const struct {
    const char* name;
    bool silent, openFails;
    QString errorBar;
    qint64 setUpMs, sendMs;
    qsizetype heard;  // bytes that reached the modem
  } cases[] = {
      // Three pauses and four time-outs, each ending a millisecond past its 1000 ms.
      {"silent modem", true, false, "", 1500 + 4 * 1001, 1500 + 1001, kWire.size()},
      // Every write fails at its first character and every read at once: nothing to wait on.
      {"port that does not open", false, true, "Open COM port Error", 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ModemApp app(c.silent, c.openFails);
    TFormMain& m = app.main();
    TFormSmsModem& f = *app.w->FormSmsModem;
    m.B_Modem->click();
    EXPECT_EQ(m.RunMode, 'M');
    EXPECT_EQ(m.errorText().left(c.errorBar.size()), c.errorBar) << m.errorText().toStdString();
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(app.clock.nowMs(), c.setUpMs);
    f.B_SmsSend->click();
    EXPECT_EQ(f.L_err->text(), "20: Долго нет ответа при чтении");
    EXPECT_EQ(app.clock.nowMs() - c.setUpMs, c.sendMs);
    EXPECT_EQ(app.model->bytesReceived(), quint64(c.heard));
    EXPECT_TRUE(app.model->modem()->sent().isEmpty());
    EXPECT_EQ(app.w->FormReadPort->log()->logText(), "");
    f.B_Stop->click();
    EXPECT_EQ(app.w->link->exchange().ResultCode, 0);
  }
}

}  // namespace
