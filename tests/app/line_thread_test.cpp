// The device line on its own thread, as in the program: against a device that says nothing,
// every run mode waits for it on the line's thread only, and closing the program while it waits
// ends the run at once, reports it once at most and closes the port. Against lir2-sim on a
// pseudo-terminal through the real serial code: translation, and a line that vanishes mid-run.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

#include "app/app_windows.h"
#include "app/form_main.h"
#include "app/form_opt_hard.h"
#include "app/form_port_log.h"
#include "app/gauge.h"
#include "app/log_view.h"
#include "common/find.h"
#include "common/on_line.h"
#include "common/recorders.h"
#include "common/samples.h"
#include "common/sim_process.h"
#include "monitor/form_monitor.h"
#include "monitor/monitor_sheet.h"
#include "protocol/device_link.h"
#include "serial/window_timer.h"
#include "sim/device_model.h"
#include "sim/simulated_device.h"

using namespace lir2;

namespace {

// The program's windows with the device line on a thread of its own.
struct ThreadedApp {
  QTemporaryDir dir;
  SteadyClock clock;
  SoundRecorder sounds;
  std::unique_ptr<AppWindows> w;
  QStringList errors;

  explicit ThreadedApp(AppOptions options) {
    options.configPath = dir.filePath("data/config.txt");
    options.lineThread = true;
    w = std::make_unique<AppWindows>(options, clock, sounds);
    // Stop and close during an upload ask first; here the user says yes.
    w->FormMain->dialogs.confirm = [](const QString&, const QString&) { return true; };
    // An error box is recorded, never shown: a modal box would hold the test forever.
    w->FormMain->dialogs.error = [this](const QString& text) { errors.append(text); };
    w->FormMain->show();
  }
  TFormMain& main() { return *w->FormMain; }
};

// Counts the calls that reach the line from the windows' thread: there must be none.
class ThreadCheckingDevice final : public SerialDevice {
 public:
  ThreadCheckingDevice(std::unique_ptr<SerialDevice> inner, std::atomic<int>& onWindowThread)
      : inner_(std::move(inner)), onWindowThread_(onWindowThread) {}
  OpenResult open(qint32 rate) override { return note(), inner_->open(rate); }
  void close() override { note(), inner_->close(); }
  bool isOpen() const override { return inner_->isOpen(); }
  void purge() override { note(), inner_->purge(); }
  Read readByte(quint8& byte) override { return note(), inner_->readByte(byte); }
  bool waitForReadyRead(int ms) override { return note(), inner_->waitForReadyRead(ms); }
  bool writeByte(quint8 byte) override { return note(), inner_->writeByte(byte); }

 private:
  void note() const {
    if (QThread::currentThread() == qApp->thread()) ++onWindowThread_;
  }
  std::unique_ptr<SerialDevice> inner_;
  std::atomic<int>& onWindowThread_;
};

// The built-in device behind a ThreadCheckingDevice, chosen at start.
AppOptions simulatedWatched(std::shared_ptr<DeviceModel> model, Clock& clock,
                            std::atomic<int>& onWindowThread) {
  AppOptions options;
  options.selectSimulated = true;
  options.simulatedDevice = [model, &clock, &onWindowThread](const PortEntry&) {
    return std::unique_ptr<SerialDevice>(std::make_unique<ThreadCheckingDevice>(
        std::make_unique<SimulatedSerialDevice>(model, clock), onWindowThread));
  };
  return options;
}

TEST(LineThread, SilentDeviceNeverHoldsTheWindowsAndClosingEndsTheRun) {
  const struct {
    const char* mode;
    const char* profile;
    std::function<void(AppWindows&)> start;
    QString errorAfter;  // the report of the run the closing ended, if any
  } cases[] = {
      {"translation", "gen9", [](AppWindows& w) { action(*w.FormMain, "Translate")->trigger(); },
       ""},
      {"monitor", "gen9", [](AppWindows& w) { action(*w.FormMain, "Monitor")->trigger(); }, ""},
      {"modem", "modem", [](AppWindows& w) { child<QPushButton>(*w.FormMain, "B_Modem")->click(); },
       ""},
      {"upload", "boot",
       [](AppWindows& w) {
         w.FormMain->DeviceKind = 2;
         w.FormMain->FirmwareText = "lir3v12_4&15#:00000001FF\r\n";
         w.FormMain->LoadProgExecute();
       },
       "Прервали операцию"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    SimConfig cfg = *simConfigForProfile(c.profile);
    cfg.firmware.silentAfterFrames = 0;
    cfg.modem.silent = true;
    cfg.boot.silent = true;
    cfg.chatter.enabled = false;
    auto model = std::make_shared<DeviceModel>(cfg);
    SteadyClock clock;
    std::atomic<int> onWindowThread{0};
    ThreadedApp app(simulatedWatched(model, clock, onWindowThread));
    c.start(*app.w);
    // The line is now in its first wait for the device; the windows go on meanwhile.
    QTest::qWait(300);
    app.w->FormMonitor->close();
    app.main().close();
    app.w->linkThread.reset();  // returns once the line has stopped
    QCoreApplication::processEvents();
    EXPECT_EQ(onWindowThread.load(), 0);
    EXPECT_FALSE(app.w->link->port().PortOpen);
    EXPECT_EQ(app.main().errorText(), c.errorAfter);
    EXPECT_EQ(app.sounds.played.size(), c.errorAfter.isEmpty() ? 0u : 1u);
  }
}

// The far end of a real terminal goes away mid-run (lir2-sim killed, as an adapter pulled out):
// each run mode ends by itself, or says so at its next exchange, with the reason after the
// message; the windows never wait for it.
TEST(LineThread, AVanishedLineEndsEveryRunModeWithItsReason) {
  const struct {
    const char* mode;
    QStringList sim;
    std::function<void(AppWindows&)> start;
    std::function<bool(AppWindows&)> running, ended;
  } cases[] = {
      {"translation",
       {"--profile", "translate", "--chatter-period-ms", "100"},
       [](AppWindows& w) { action(*w.FormMain, "Translate")->trigger(); },
       [](AppWindows& w) { return !w.FormReadPort->logText().isEmpty(); },
       [](AppWindows& w) { return w.FormMain->RunMode == Run::None; }},
      {"monitor",
       {"--profile", "gen9"},
       [](AppWindows& w) { action(*w.FormMain, "Monitor")->trigger(); },
       [](AppWindows& w) {
         return !child<QLabel>(w.FormMonitor->sheet(), "L_DataEE")->text().isEmpty();
       },
       [](AppWindows& w) { return !w.FormMonitor->isVisible(); }},
      {"upload",
       {"--profile", "boot", "--emulate-rate"},
       [](AppWindows& w) {
         w.FormMain->FileOpen1Accept(sample("lir-64k.lir2"));
         action(*w.FormMain, "LoadProg")->trigger();
       },
       [](AppWindows& w) { return child<Gauge>(*w.FormMain, "CGauge1")->progress() > 50; },
       [](AppWindows& w) { return w.FormMain->RunMode == Run::None; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    auto sim = std::make_unique<SimProcess>();
    AppOptions options;
    options.portPath = sim->start(c.sim);
    ASSERT_FALSE(options.portPath.isEmpty());
    ThreadedApp app(options);
    c.start(*app.w);
    ASSERT_TRUE(runUntil([&] { return c.running(*app.w); }))
        << app.main().errorText().toStdString();
    sim.reset();  // killed
    // Another program may take the terminal's number meanwhile: the monitor's reconnects then
    // open its silent terminal and wait out their time-outs.
    EXPECT_TRUE(runUntil([&] { return c.ended(*app.w); }, 60000));
    const QString error = app.main().errorText();
    EXPECT_TRUE(error.contains(": ")) << error.toStdString();  // a message, then its reason
    EXPECT_EQ(app.main().stateText(), "Выключенно");
  }
}

// The line is busy (a long exchange of an earlier run) when the user starts an upload and presses
// Stop, or closes the program: the queued upload never begins, never reports, and sends nothing.
TEST(LineThread, AStopOrTheEndReachesARunStillQueued) {
  for (bool exit : {false, true}) {
    SCOPED_TRACE(exit ? "program closed" : "stopped");
    auto model = std::make_shared<DeviceModel>(*simConfigForProfile("boot"));
    SteadyClock clock;
    std::atomic<int> onWindowThread{0};
    ThreadedApp app(simulatedWatched(model, clock, onWindowThread));
    TFormMain& m = app.main();
    m.FileOpen1Accept(sample("lir-small.lir2"));
    runIn(app.w->link.get(), [] { QThread::msleep(300); });  // the line's thread is busy
    action(m, "LoadProg")->trigger();
    exit ? (void)m.close() : action(m, "StopExec")->trigger();
    if (exit) app.w->linkThread.reset();
    QTest::qWait(600);
    EXPECT_EQ(model->portOpenings(), 0);
    EXPECT_EQ(model->bootloader()->completedUploads(), 0);
    EXPECT_EQ(m.errorText(), "");
    EXPECT_TRUE(app.sounds.played.empty());
    EXPECT_TRUE(app.errors.isEmpty()) << app.errors.join('\n').toStdString();
    if (!exit) {
      EXPECT_EQ(m.RunMode, Run::None);
    }
  }
}

TEST(EndToEnd, TranslationShowsTheSimulatorsLinesAndStopClosesThePort) {
  SimProcess sim;
  AppOptions options;
  options.portPath = sim.start({"--profile", "translate", "--chatter-period-ms", "200"});
  ASSERT_FALSE(options.portPath.isEmpty()) << sim.errors().toStdString();
  ThreadedApp app(options);
  EXPECT_EQ(app.w->FormOptHard->settings().PortName, options.portPath);
  action(app.main(), "Translate")->trigger();
  const TFormPortLog* log = app.w->FormReadPort.get();
  // Two whole lines from the device, through the line's own thread.
  EXPECT_TRUE(runUntil([&] { return log->logText().count(QStringLiteral("\r\n")) >= 2; }))
      << log->logText().toStdString() << app.main().errorText().toStdString();
  action(app.main(), "StopExec")->trigger();
  bool open = true, ticking = true;
  onLine(*app.w->link, [&] {
    open = app.w->link->port().PortOpen;
    ticking = app.w->link->findChild<WindowTimer*>("TranslationTimer")->isActive();
  });
  EXPECT_FALSE(open);
  EXPECT_FALSE(ticking);
  // The port is free again: another program can open it.
  QSerialPort other(options.portPath);
  EXPECT_TRUE(other.open(QIODevice::ReadWrite)) << other.errorString().toStdString();
  other.close();
  EXPECT_TRUE(sim.stop());
}

}  // namespace
