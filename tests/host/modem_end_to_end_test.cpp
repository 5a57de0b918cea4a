// The modem mode through the real windows and the real serial code path, against lir2-sim's
// modem on a pseudo-terminal.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "app/app_windows.h"
#include "app/form_main.h"
#include "app/form_opt_hard.h"
#include "app/form_port_log.h"
#include "app/log_view.h"
#include "common/on_line.h"
#include "common/recorders.h"
#include "common/sim_process.h"
#include "host/form_sms_modem.h"
#include "protocol/device_link.h"
#include "serial/clock.h"

namespace {

TEST(ModemEndToEnd, SetUpSendAndRawCommandShowInTheLogs) {
  SimProcess sim;
  QTemporaryDir dir;
  SteadyClock clock;
  SoundRecorder sounds;
  AppOptions options;
  options.portPath = sim.start({"--profile", "modem", "--sms-delay-ms", "100"});
  options.configPath = dir.filePath("data/config.txt");
  options.lineThread = true;
  AppWindows w(options, clock, sounds);
  w.FormMain->show();
  const LogView* read = w.FormReadPort->log();
  const LogView* write = w.FormWritePort->log();

  // The set-up runs on the line's thread; the window shows at once.
  w.FormMain->B_Modem->click();
  EXPECT_TRUE(w.FormSmsModem->isVisible());
  EXPECT_TRUE(runUntil([&] { return write->logText().endsWith("at+cmgf=1\r\n"); }))
      << sim.errors().toStdString() << w.FormMain->errorText().toStdString();
  EXPECT_EQ(write->logText(), "atz\r\nate0\r\nat+cmgf=1\r\n");

  w.FormSmsModem->E_SmsSend->setText("LIR2 test");
  w.FormSmsModem->B_SmsSend->click();
  EXPECT_TRUE(runUntil([&] { return !w.FormSmsModem->L_err->text().startsWith("L_err"); }));
  EXPECT_EQ(w.FormSmsModem->L_err->text(), "0: Нет ошибок");
  EXPECT_EQ(write->logText(),
            "atz\r\nate0\r\nat+cmgf=1\r\nat+cmgs=\"+70000000000\"\r\nLIR2 test\x1A");
  EXPECT_EQ(read->logText(), "atz\r\nOK\r\nate0\r\nOK\r\nOK\r\n> +CMGS: 1\r\n");

  // A raw command with its line end typed in cannot be had from a one-line field, so the
  // modem waits for it: one answer still on the line, then a time-out.
  w.FormSmsModem->E_SmsReceive->setText("at+cmgr=1");
  w.FormSmsModem->B_Stop->click();
  const QString expectedRead = "atz\r\nOK\r\nate0\r\nOK\r\nOK\r\n> +CMGS: 1\r\nOK\r\n";
  EXPECT_TRUE(runUntil([&] { return read->logText() == expectedRead; }))
      << read->logText().toStdString();
  EXPECT_TRUE(
      write->logText().endsWith("\x1A"
                                "at+cmgr=1"));

  // Closing the program during the raw command's time-out: the line stops and closes at once.
  w.FormMain->close();
  w.linkThread.reset();
  EXPECT_FALSE(w.link->port().PortOpen);
  EXPECT_TRUE(sim.stop());
}

}  // namespace
