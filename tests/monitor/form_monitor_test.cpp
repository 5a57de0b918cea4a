// The monitor window with all the program's windows around it, on the in-process simulated
// device, in virtual time: the timer's ticks are given by the test.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QPlainTextEdit>

#include "app/app_windows.h"
#include "app/form_main.h"
#include "app/form_opt_hard.h"
#include "common/recorders.h"
#include "monitor/form_monitor.h"
#include "monitor/monitor_session.h"
#include "monitor/monitor_sheet.h"
#include "protocol/device_link.h"
#include "protocol/result_messages.h"
#include "serial/window_timer.h"
#include "sim/device_model.h"
#include "sim/simulated_device.h"

namespace {

// The windows on the simulated device of a profile, its measurements held still; `fault`
// changes its firmware.
struct WindowRig {
  QTemporaryDir dir;
  VirtualClock clock;
  SoundRecorder sounds;
  std::shared_ptr<DeviceModel> model;
  std::function<std::unique_ptr<SerialDevice>()> makeLine;
  std::unique_ptr<AppWindows> w;

  explicit WindowRig(const char* profile = "gen9", bool serviceMode = false,
                     const std::function<void(SimConfig&)>& fault = {}) {
    SimConfig cfg = *simConfigForProfile(profile);
    cfg.firmware.drift = false;
    if (fault) fault(cfg);
    model = std::make_shared<DeviceModel>(cfg);
    makeLine = [this] { return std::make_unique<SimulatedSerialDevice>(model, clock); };
    AppOptions options;
    options.serviceMode = serviceMode;
    options.configPath = dir.filePath("data/config.txt");
    options.simulatedDevice = [this](const PortEntry&) { return makeLine(); };
    w = std::make_unique<AppWindows>(options, clock, sounds);
    main().show();
  }
  TFormMain& main() { return *w->FormMain; }
  TFormMonitor& mon() { return *w->FormMonitor; }
  MonitorSession& s() { return *w->monitorSession; }
  DeviceLink& link() { return *w->link; }
  // The poll timer's next tick, if it is ticking: its pause passes, then the handler runs.
  bool fire() {
    if (!s().Timer3->isActive()) return false;
    clock.advance(s().Timer3->interval());
    s().Timer3Timer();
    return true;
  }
};

// The Monitor action starts a run from its first tick in text frames, keeping the images and
// the reconnect debt of the last. The window's EEPROM decode chooses the frame format from the
// device's identification; "lir" is the whole built-in device, which starts its program when
// the first command comes.
TEST(FormMonitor, MonitorActionStartsARunThatPollsTheDevice) {
  const std::pair<const char*, bool> cases[] = {{"gen9", true}, {"gen5", false}, {"lir", true}};
  for (auto [profile, binary] : cases) {
    WindowRig rig(profile, true);
    TFormMonitor& m = rig.mon();
    m.sheet().E_Addr_EE->setText("1");
    rig.link().frameState().BinaryFrames = true;
    rig.s().poll().RamOffset = 32;
    rig.link().exchange().ReconnectCount = 1;
    rig.s().images().EepromImage[500] = 7;
    m.RichEditErr->setPlainText("old alarm");
    rig.main().Monitor->trigger();
    EXPECT_FALSE(rig.main().isVisible()) << profile;
    EXPECT_TRUE(m.isVisible()) << profile;
    EXPECT_EQ(rig.main().RunMode, '!') << profile;
    EXPECT_TRUE(m.RichEditErr->toPlainText().isEmpty()) << profile;
    EXPECT_EQ(rig.s().Timer3->interval(), 10) << profile;
    EXPECT_FALSE(rig.link().frameState().BinaryFrames) << profile;
    EXPECT_EQ(rig.s().poll().RamOffset, 0) << profile;
    ASSERT_TRUE(rig.fire()) << profile;
    EXPECT_EQ(rig.link().frameState().BinaryFrames, binary) << profile;
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(rig.fire()) << profile;
    EXPECT_EQ(rig.link().exchange().ReconnectCount, 0)
        << profile;  // the first good tick paid it back
    EXPECT_EQ(rig.s().images().EepromImage[500], 7) << profile;
    const DeviceMemory::Eeprom& eeprom = rig.model->memory().eeprom();
    const DeviceMemory::Ram ram = rig.model->memory().ram(rig.clock.nowMs());
    EXPECT_TRUE(std::equal(ram.begin(), ram.end(), rig.s().images().RamImage.begin())) << profile;
    EXPECT_EQ(m.sheet().L_DataEE->text(), QString("%1 / 0x0%1").arg(eeprom[1])) << profile;
    EXPECT_EQ(m.ProgressBarRS232->value(), 6) << profile;
    // Closed by the user's hand: polling stops, the line stays open, nothing is reported.
    m.close();
    EXPECT_FALSE(rig.s().Timer3->isEnabled()) << profile;
    EXPECT_TRUE(rig.main().isVisible()) << profile;
    EXPECT_TRUE(rig.link().port().PortOpen) << profile;
    EXPECT_TRUE(rig.sounds.played.empty()) << profile;
  }
}

// Failing ticks: five silent reconnects, then the sixth failure is reported and the window
// closes.
TEST(FormMonitor, RepeatedFailuresEndTheRunWithTheirMessage) {
  const struct {
    const char* name;
    bool openFails;
    std::function<void(SimConfig&)> fault;
    int code;
    qint64 minMs, maxMs;  // virtual time the six ticks take, their pauses included
  } cases[] = {
      // Each tick waits a little more than 3000 ms for the echo of its first byte; the first
      // one also asks at the four other rates whether the device is set to one of them.
      {"device falls silent", false, [](SimConfig& s) { s.firmware.silentAfterFrames = 0; }, 20,
       10 * 3000, 10 * 3000 + 6 * 300 + 100},
      // Every command fails at its first byte, at once; what ended the run is the port that
      // does not open, and that is what the report says, with the reason.
      {"port cannot be opened", true, {}, 2, 0, 6 * 310},
      {"device answers every command with an error", false,
       [](SimConfig& s) { s.firmware.errorByte = 0x10; }, 25, 0, 6 * 310},
  };
  for (const auto& c : cases) {
    WindowRig rig("gen9", false, c.fault);
    if (c.openFails) {
      rig.makeLine = [&rig] {
        auto line = std::make_unique<SimulatedSerialDevice>(rig.model, rig.clock);
        line->setOpenFails(true);
        return line;
      };
    }
    TFormMonitor& m = rig.mon();
    rig.main().Monitor->trigger();
    for (int i = 1; i <= 5; ++i) {
      ASSERT_TRUE(rig.fire()) << c.name;
      EXPECT_EQ(rig.link().exchange().ReconnectCount, i) << c.name;
      // Silent: the failure is neither shown nor heard.
      EXPECT_TRUE(m.isVisible()) << c.name;
      EXPECT_NE(rig.main().errorText(), resultMessage(c.code)) << c.name;
      EXPECT_TRUE(rig.sounds.played.empty()) << c.name;
    }
    ASSERT_TRUE(rig.fire()) << c.name;
    EXPECT_FALSE(m.isVisible()) << c.name;
    EXPECT_TRUE(rig.main().isVisible()) << c.name;
    EXPECT_FALSE(rig.s().Timer3->isEnabled()) << c.name;
    EXPECT_EQ(rig.main().stateText(), "Выключенно") << c.name;
    EXPECT_TRUE(rig.main().errorText().startsWith(resultMessage(c.code))) << c.name;
    EXPECT_GE(rig.clock.nowMs(), c.minMs) << c.name;
    EXPECT_LE(rig.clock.nowMs(), c.maxMs) << c.name;
    EXPECT_EQ(rig.sounds.played, std::vector<Sound>{Sound::Error}) << c.name;
    EXPECT_EQ(rig.link().exchange().ResultCode, 0) << c.name;
    EXPECT_EQ(rig.main().RunMode, '!') << c.name;  // left as the monitor left it
    // The debt is carried into the next run: its first failure is reported at once.
    rig.main().Monitor->trigger();
    ASSERT_TRUE(rig.fire()) << c.name;
    EXPECT_FALSE(m.isVisible()) << c.name;
    EXPECT_EQ(rig.sounds.played.size(), 2u) << c.name;
  }
}

// A device set to another rate than the options: the first tick finds it at its rate, and the
// run ends at once saying which; the options keep their rate.
TEST(FormMonitor, DeviceAtAnotherRateIsNamed) {
  WindowRig rig("gen9", false, [](SimConfig& s) { s.lineRate = 9600; });
  rig.main().Monitor->trigger();
  ASSERT_TRUE(rig.fire());
  EXPECT_FALSE(rig.mon().isVisible());
  EXPECT_EQ(rig.main().errorText(),
            "Долго нет ответа при чтении. Устройство отвечает на скорости 9600 — выберите её в "
            "«Железо»");
  EXPECT_EQ(rig.w->FormOptHard->settings().BaudRate, 19200);
  EXPECT_EQ(rig.model->hostRate(), 19200);  // the line is back at the configured rate
}

}  // namespace
