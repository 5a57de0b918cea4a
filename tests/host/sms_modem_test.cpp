// The modem dialogue byte for byte, the modem window, and the mode on lir2-sim's modem through
// the real serial code path.
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
#include "common/exchange_rig.h"
#include "common/find.h"
#include "common/on_line.h"
#include "common/sim_process.h"
#include "common/sim_rig.h"
#include "host/form_sms_modem.h"
#include "host/sms_modem.h"
#include "serial/window_timer.h"

using namespace lir2;

namespace {

const QByteArray kInitWire = "atz\r\nate0\r\nat+cmgf=1\r\n";
const QByteArray kSendWire = "at+cmgs=\"+70000000000\"\r\n";
const QByteArray kMessage =
    "\",\"+79161234567\",,\"24/05/01,12:00:00+12\"\r\nLIR: test message\r\n";

SimConfig modem(bool silent = false) {
  SimConfig cfg = simProfile("modem");
  cfg.modem.silent = silent;
  return cfg;
}

TEST(SmsModem, DialogueWithTheSimulatedModemByteForByte) {
  SimLine line(modem());
  line.switches.reads = line.switches.writes = true;
  SmsModem modem(line.ex);
  qsizetype wrote = 0, read = 0;
  qint64 start = 0;
  // What the step since the last one put on the line and in both logs, and the time it took.
  auto expectStep = [&](const char* name, const QByteArray& wire, const QByteArray& readLog,
                        qint64 ms) {
    SCOPED_TRACE(name);
    EXPECT_EQ(line.wire.mid(wrote), wire);
    EXPECT_EQ(line.log.write.mid(wrote), QString::fromLatin1(wire));
    EXPECT_EQ(line.log.read.mid(read), QString::fromLatin1(readLog));
    EXPECT_EQ(line.clock.nowMs() - start, ms);
    // Nothing in the modem mode reports a failure, so none may linger for the next run.
    EXPECT_EQ(line.ex.ResultCode, Result::Ok);
    wrote = line.wire.size();
    read = line.log.read.size();
    start = line.clock.nowMs();
  };
  modem.ModemInit();
  // Four lines read: the last "OK" waits on the line.
  expectStep("set-up", kInitWire, "atz\r\nOK\r\nate0\r\nOK\r\n", 1500);
  // The waiting "OK" is taken first, so the line read is the answer to the message.
  EXPECT_EQ(codeOf(modem.SendSms("hell")), 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(line.ex.ReplyBuf.data()), "> +CMGS: 1\r\n");
  expectStep("message", kSendWire + "hell\x1A", "OK\r\n> +CMGS: 1\r\n", 1500);
  // No line end, so the modem waits: one line was still there, the second times out.
  modem.sendRaw("at+cmgr=1");
  expectStep("raw command", "at+cmgr=1", "OK\r\n", 500 + 1001);
  modem.sendRaw("\r\n");
  expectStep("its line end, typed as a raw command", "\r\n", "+CMGR: \"REC UNREAD" + kMessage, 500);
  modem.receivePoll();
  expectStep("receive poll", "at+cnmi=1,1,0,0,0\r\nat+cmgr=1\r\n",
             "OK\r\nOK\r\n+CMGR: \"REC READ" + kMessage, 1000);
  // An empty text still costs its pause before the Ctrl-Z.
  EXPECT_EQ(codeOf(modem.SendSms("")), 0);
  expectStep("empty message", kSendWire + "\x1A", "OK\r\n> +CMGS: 2\r\n", 1500);
  ASSERT_EQ(line.model->modem()->sent().size(), 2);
  EXPECT_EQ(line.model->modem()->sent()[0].number, "+70000000000");
  EXPECT_EQ(line.model->modem()->sent()[0].text, "hell");
  EXPECT_EQ(line.model->modem()->sent()[1].text, "");
}

// A modem that answers its set-up (echo and all) and then never answers the message: the
// answers still waiting from the set-up are no answer to it.
TEST(SmsModem, SendReportsATimeOutWhenOnlyEarlierAnswersAreWaiting) {
  ExchangeRig rig;
  rig.switches.reads = rig.switches.writes = true;
  QByteArray said;  // everything the modem sent
  rig.line->respond = [&](quint8 byte) {
    if (rig.line->received.contains("at+cmgs")) return QByteArray();  // gone quiet
    QByteArray out(1, static_cast<char>(byte));
    if (byte == '\n') out += "OK\r\n";
    said += out;
    return out;
  };
  SmsModem modem(rig.ex);
  modem.ModemInit();
  // Six answer lines to the set-up, four read: two are still waiting.
  EXPECT_EQ(said.count('\n'), 6);
  EXPECT_EQ(codeOf(modem.SendSms("hell")), 20);
  // The waiting answers are in the read log all the same, in their order.
  EXPECT_EQ(rig.log.read, QString::fromLatin1(said));
}

TEST(SmsModem, TypedTextBecomesWindows1251) {
  const struct {
    QString typed;
    QByteArray message, command;
  } cases[] = {
      {"Привет, Ёж", "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6", "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6"},
      {"5 €, № 1", "5 \x88, \xB9 1", "5 \x88, \xB9 1"},
      {"日本", "??", "??"},
      // Ctrl-Z or Esc inside a message would end it early; a raw command is sent as typed.
      {QString::fromLatin1("a\x1A-\x1B-c"), "a--c", "a\x1A-\x1B-c"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SmsModem::messageBytes(c.typed), c.message) << c.typed.toStdString();
    EXPECT_EQ(SmsModem::commandBytes(c.typed), c.command) << c.typed.toStdString();
  }
}

// The button enters the mode at the configured rate, with both logs on and emptied, without
// touching the actions' check marks; a typed message goes out in the modem's code page. Neither a
// silent modem nor a dead port stops the mode: each costs its pauses and time-outs and nothing
// more, and leaves no failure behind for the next run mode.
TEST(FormSmsModem, ModemButtonEntersTheModeAndTheWindowSends) {
  const QByteArray sent = kInitWire + kSendWire + "\xD2\xE5\xF1\xF2 1\x1A";
  const struct {
    const char* name;
    bool silent, openFails;
    QString errorBar, result;
    qint64 setUpMs, sendMs;
    QByteArray heard;  // what reached the modem
    QString readLog;
  } cases[] = {
      {"modem", false, false, "", "0: Нет ошибок", 1500, 1500, sent,
       "atz\r\nOK\r\nate0\r\nOK\r\nOK\r\n> +CMGS: 1\r\n"},
      // Three pauses and four time-outs, each ending a millisecond past its 1000 ms.
      {"silent modem", true, false, "", "20: Долго нет ответа при чтении", 1500 + 4 * 1001,
       1500 + 1001, sent, ""},
      // Every write fails at its first character and every read at once: nothing to wait on.
      {"port that does not open", false, true, "Open COM port Error",
       "20: Долго нет ответа при чтении", 0, 0, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimApp app(modem(c.silent), c.openFails);
    TFormMain& m = app.main();
    TFormSmsModem& f = *app.w->FormSmsModem;
    action(m, "AReadPort")->setChecked(false);
    action(m, "AWritePort")->setChecked(true);
    child<QComboBox>(*app.w->FormOptHard, "ComboBoxRate")->setCurrentIndex(0);
    ASSERT_NE(app.w->FormOptHard->settings().BaudRate, 19200);  // tells configured from default
    app.w->FormReadPort->append(u"old read");
    app.w->FormWritePort->append(u"old write");

    child<QPushButton>(m, "B_Modem")->click();
    EXPECT_EQ(m.RunMode, 'M');
    EXPECT_EQ(m.errorText().left(c.errorBar.size()), c.errorBar);  // then the reason, if any
    EXPECT_FALSE(action(m, "AReadPort")->isChecked());
    EXPECT_TRUE(action(m, "AWritePort")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(*app.w->FormOptSoft, "CheckBoxRead")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(*app.w->FormOptSoft, "CheckBoxWrite")->isChecked());
    EXPECT_TRUE(app.w->FormReadPort->isVisible() && app.w->FormWritePort->isVisible());
    EXPECT_TRUE(f.isVisible() && m.isVisible());
    EXPECT_FALSE(action(m, "StopExec")->isEnabled());  // the mode has no stop of its own
    EXPECT_EQ(app.model->hostRate(), c.openFails ? 0 : app.w->FormOptHard->settings().BaudRate);
    EXPECT_EQ(app.clock.nowMs(), c.setUpMs);

    child<QLineEdit>(f, "E_SmsSend")->setText("Тест 1");
    child<QPushButton>(f, "B_SmsSend")->click();
    EXPECT_EQ(child<QLabel>(f, "L_err")->text(), c.result);
    EXPECT_EQ(app.clock.nowMs() - c.setUpMs, c.sendMs);
    EXPECT_EQ(app.wire, c.heard);
    EXPECT_TRUE(app.w->FormWritePort->logText().startsWith('a'));  // on and emptied
    EXPECT_EQ(app.w->FormReadPort->logText(), c.readLog);
    EXPECT_EQ(app.model->modem()->sent().size(), c.result.startsWith('0') ? 1 : 0);
    // The send leaves the poll its interval but does not start it.
    EXPECT_EQ(child<WindowTimer>(f, "Timer1")->interval(), 3000);
    EXPECT_FALSE(child<WindowTimer>(f, "Timer1")->isActive());
    child<QPushButton>(f, "B_Stop")->click();
    EXPECT_EQ(app.link().exchange().ResultCode, Result::Ok);
  }
}

// The modem window works whatever ran before it: after translation has been stopped, a message
// goes out as a new modem run on the port at the configured rate, and the logs show it alone.
TEST(FormSmsModem, SendsAfterAnotherModeStopped) {
  SimApp app(modem());
  TFormMain& m = app.main();
  TFormSmsModem& f = *app.w->FormSmsModem;
  child<QPushButton>(m, "B_Modem")->click();
  action(m, "Translate")->trigger();
  action(m, "StopExec")->trigger();
  ASSERT_FALSE(app.link().port().PortOpen);
  app.wire.clear();
  child<QLineEdit>(f, "E_SmsSend")->setText("ok");
  child<QPushButton>(f, "B_SmsSend")->click();
  EXPECT_EQ(child<QLabel>(f, "L_err")->text(), "0: Нет ошибок");
  EXPECT_EQ(app.wire, kSendWire + "ok\x1A");
  EXPECT_EQ(app.model->modem()->sent().size(), 1);
  EXPECT_EQ(app.w->FormWritePort->logText(), QString::fromLatin1(kSendWire + "ok\x1A"));
  EXPECT_EQ(app.model->hostRate(), app.w->FormOptHard->settings().BaudRate);
}

// On the line's own thread and a real serial port: the set-up and a message go through, and
// closing the program during a raw command's time-out stops the line and closes it at once.
TEST(ModemEndToEnd, SendThenCloseDuringARawCommand) {
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
  const TFormPortLog* read = w.FormReadPort.get();

  // The set-up runs on the line's thread; the window shows at once.
  child<QPushButton>(*w.FormMain, "B_Modem")->click();
  EXPECT_TRUE(w.FormSmsModem->isVisible());
  child<QLineEdit>(*w.FormSmsModem, "E_SmsSend")->setText("LIR2 test");
  child<QPushButton>(*w.FormSmsModem, "B_SmsSend")->click();
  EXPECT_TRUE(runUntil([&] {
    return !child<QLabel>(*w.FormSmsModem, "L_err")->text().startsWith("L_err");
  })) << sim.errors().toStdString()
      << w.FormMain->errorText().toStdString();
  EXPECT_EQ(child<QLabel>(*w.FormSmsModem, "L_err")->text(), "0: Нет ошибок");
  EXPECT_EQ(w.FormWritePort->logText(),
            QString::fromLatin1(kInitWire + kSendWire + "LIR2 test\x1A"));

  // Without its line end the modem waits: one answer still on the line, then a time-out.
  child<QLineEdit>(*w.FormSmsModem, "E_SmsReceive")->setText("at+cmgr=1");
  child<QPushButton>(*w.FormSmsModem, "B_Stop")->click();
  EXPECT_TRUE(runUntil([&] { return read->logText().endsWith("> +CMGS: 1\r\nOK\r\n"); }))
      << read->logText().toStdString();
  w.FormMain->close();
  w.linkThread.reset();
  EXPECT_FALSE(w.link->port().PortOpen);
  EXPECT_TRUE(sim.stop());
}

}  // namespace
