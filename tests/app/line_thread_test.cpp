// The device line on its own thread, as in the program, against a device that says nothing:
// every run mode waits for it on the line's thread only, and closing the program while it waits
// ends the run at once, reports it once at most and closes the port.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

#include "app/app_windows.h"
#include "app/form_main.h"
#include "app/form_port_log.h"
#include "app/gauge.h"
#include "app/log_view.h"
#include "common/on_line.h"
#include "common/recorders.h"
#include "common/sim_process.h"
#include "host/form_sms_modem.h"
#include "monitor/form_monitor.h"
#include "monitor/monitor_sheet.h"
#include "protocol/device_link.h"
#include "serial/clock.h"
#include "sim/device_model.h"
#include "sim/simulated_device.h"

namespace {

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

TEST(LineThread, SilentDeviceNeverHoldsTheWindowsAndClosingEndsTheRun) {
  const struct {
    const char* mode;
    const char* profile;
    std::function<void(AppWindows&)> start;
    QString errorAfter;  // the report of the run the closing ended, if any
  } cases[] = {
      {"translation", "gen9", [](AppWindows& w) { w.FormMain->Translate->trigger(); }, ""},
      {"monitor", "gen9", [](AppWindows& w) { w.FormMain->Monitor->trigger(); }, ""},
      {"modem", "modem", [](AppWindows& w) { w.FormMain->B_Modem->click(); }, ""},
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
    QTemporaryDir dir;
    SteadyClock clock;
    SoundRecorder sounds;
    std::atomic<int> onWindowThread{0};
    AppOptions options;
    options.configPath = dir.filePath("data/config.txt");
    options.selectSimulated = true;
    options.lineThread = true;
    options.simulatedDevice = [&](const PortEntry&) -> std::unique_ptr<SerialDevice> {
      return std::make_unique<ThreadCheckingDevice>(
          std::make_unique<SimulatedSerialDevice>(model, clock), onWindowThread);
    };
    AppWindows w(options, clock, sounds);
    w.FormMain->show();
    c.start(w);
    // The line is now in its first wait for the device; the windows go on meanwhile.
    QTest::qWait(300);
    w.FormMonitor->close();
    w.FormMain->close();
    w.linkThread.reset();  // returns once the line has stopped
    QCoreApplication::processEvents();
    EXPECT_EQ(onWindowThread.load(), 0);
    EXPECT_FALSE(w.link->port().PortOpen);
    EXPECT_EQ(w.FormMain->errorText(), c.errorAfter);
    EXPECT_EQ(sounds.played.size(), c.errorAfter.isEmpty() ? 0u : 1u);
  }
}

}  // namespace

namespace {

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
      {"translation", {"--profile", "translate", "--chatter-period-ms", "100"},
       [](AppWindows& w) { w.FormMain->Translate->trigger(); },
       [](AppWindows& w) { return !w.FormReadPort->log()->logText().isEmpty(); },
       [](AppWindows& w) { return w.FormMain->RunMode == Run::None; }},
      {"monitor", {"--profile", "gen9"}, [](AppWindows& w) { w.FormMain->Monitor->trigger(); },
       [](AppWindows& w) { return !w.FormMonitor->sheet().L_DataEE->text().isEmpty(); },
       [](AppWindows& w) { return !w.FormMonitor->isVisible(); }},
      {"upload", {"--profile", "boot", "--emulate-rate"},
       [](AppWindows& w) {
         w.FormMain->FileOpen1Accept(qEnvironmentVariable("LIR2_SOURCE_DIR") +
                                     "/samples/lir-64k.lir2");
         w.FormMain->LoadProg->trigger();
       },
       [](AppWindows& w) { return w.FormMain->CGauge1->progress() > 50; },
       [](AppWindows& w) { return w.FormMain->RunMode == Run::None; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    QTemporaryDir dir;
    auto sim = std::make_unique<SimProcess>();
    AppOptions options;
    options.portPath = sim->start(c.sim);
    ASSERT_FALSE(options.portPath.isEmpty());
    options.configPath = dir.filePath("data/config.txt");
    options.lineThread = true;
    SteadyClock clock;
    SoundRecorder sounds;
    AppWindows w(options, clock, sounds);
    w.FormMain->show();
    c.start(w);
    ASSERT_TRUE(runUntil([&] { return c.running(w); })) << w.FormMain->errorText().toStdString();
    sim.reset();  // killed
    EXPECT_TRUE(runUntil([&] { return c.ended(w); }));
    const QString error = w.FormMain->errorText();
    EXPECT_TRUE(error.contains(": ")) << error.toStdString();  // a message, then its reason
    EXPECT_EQ(w.FormMain->stateText(), "Выключенно");
  }
}

}  // namespace
