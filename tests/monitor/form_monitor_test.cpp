// The monitor window with all the program's windows around it, on the in-process simulated
// device, in virtual time: the timer's ticks are given by the test.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>

#include "app/app_windows.h"
#include "app/form_main.h"
#include "common/recorders.h"
#include "common/scripted_device.h"
#include "monitor/form_monitor.h"
#include "protocol/result_messages.h"
#include "serial/form_opt_hard.h"
#include "serial/window_timer.h"
#include "sim/device_model.h"
#include "sim/simulated_device.h"

namespace {

struct WindowRig {
  QTemporaryDir dir;
  VirtualClock clock;
  SoundRecorder sounds;
  std::shared_ptr<DeviceModel> model;
  std::function<std::unique_ptr<SerialDevice>()> makeLine;
  std::unique_ptr<AppWindows> w;

  explicit WindowRig(const QString& profile = QStringLiteral("gen9"), bool serviceMode = false) {
    SimConfig cfg = *simConfigForProfile(profile);
    cfg.firmware.drift = false;
    model = std::make_shared<DeviceModel>(cfg);
    makeLine = [this] { return std::make_unique<SimulatedSerialDevice>(model, clock); };
    AppOptions options;
    options.serviceMode = serviceMode;
    options.configPath = dir.filePath("data/config.txt");
    options.simulatedDevice = [this](const PortEntry&) { return makeLine(); };
    w = std::make_unique<AppWindows>(options, clock, sounds);
    w->FormMain->show();
  }
  TFormMain& main() { return *w->FormMain; }
  TFormMonitor& mon() { return *w->FormMonitor; }
  // The poll timer's next tick, if it is ticking: its pause passes, then the handler runs.
  bool fire() {
    if (!mon().Timer3->isActive()) return false;
    clock.advance(mon().Timer3->interval());
    mon().Timer3Timer();
    return true;
  }
};

TEST(FormMonitor, WindowFrame) {
  for (bool service : {false, true}) {
    WindowRig rig(QStringLiteral("gen9"), service);
    TFormMonitor& m = rig.mon();
    EXPECT_EQ(m.windowTitle(), "&Монитор Ver 7.8");
    ASSERT_EQ(m.PC_Mon->count(), 1);
    EXPECT_EQ(m.PC_Mon->widget(0), m.TS_LIR);
    EXPECT_EQ(m.TS_LIR->objectName(), "TS_LIR");
    EXPECT_EQ(m.PC_Mon->tabText(0), "LIR LCD");
    EXPECT_EQ(m.ProgressBarRS232->orientation(), Qt::Vertical);
    EXPECT_EQ(m.ProgressBarRS232->minimum(), 0);
    EXPECT_EQ(m.ProgressBarRS232->maximum(), 15);
    EXPECT_EQ(m.ProgressBarRS232->value(), 15);
    EXPECT_EQ(m.E_Addr_EE->text(), "0");
    EXPECT_FALSE(m.Timer3->isEnabled());
    EXPECT_EQ(m.Timer3->interval(), 0);
    EXPECT_FALSE(m.frameState().BinaryFrames);
    EXPECT_EQ(m.exchange().ReconnectCount, 0);
    // The watched address and its value are service controls.
    for (QWidget* control : {static_cast<QWidget*>(m.E_Addr_EE), static_cast<QWidget*>(m.L_DataEE),
                             static_cast<QWidget*>(m.L_AddrEE)})
      EXPECT_EQ(control->isHidden(), !service) << control->objectName().toStdString();
    EXPECT_EQ(m.L_AddrEE->text(), "Адрес EE");
  }
}

TEST(FormMonitor, MonitorActionStartsTheRun) {
  WindowRig rig;
  TFormMonitor& m = rig.mon();
  m.frameState().BinaryFrames = true;
  m.poll().RamOffset = 32;
  m.poll().RamSingles = 5;
  m.exchange().ReconnectCount = 2;
  m.images().EepromImage[500] = 7;
  m.RichEditErr->setPlainText("old alarm");
  rig.main().Monitor->trigger();
  EXPECT_FALSE(rig.main().isVisible());
  EXPECT_TRUE(m.isVisible());
  EXPECT_EQ(rig.main().RunMode, '!');
  EXPECT_TRUE(m.RichEditErr->toPlainText().isEmpty());
  EXPECT_TRUE(m.Timer3->isActive());
  EXPECT_EQ(m.Timer3->interval(), 10);
  EXPECT_FALSE(m.frameState().BinaryFrames);
  EXPECT_EQ(m.poll().RamOffset, 0);
  EXPECT_EQ(m.poll().RamSingles, 0);
  EXPECT_TRUE(m.poll().EepromRefresh);
  EXPECT_TRUE(m.poll().RamChanged);
  EXPECT_EQ(m.exchange().ReconnectCount, 2);
  EXPECT_EQ(m.images().EepromImage[500], 7);
}

// The window's EEPROM decode chooses the frame format from the device's identification; "lir"
// is the whole built-in device, which starts its program when the first command comes.
TEST(FormMonitor, PollsTheDeviceIntoItsImages) {
  const struct {
    const char* profile;
    bool binary;
  } cases[] = {{"gen9", true}, {"gen5", false}, {"lir", true}};
  for (const auto& c : cases) {
    WindowRig rig(c.profile, true);
    TFormMonitor& m = rig.mon();
    m.E_Addr_EE->setText("1");
    rig.main().Monitor->trigger();
    ASSERT_TRUE(rig.fire());
    EXPECT_EQ(m.frameState().BinaryFrames, c.binary) << c.profile;
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(rig.fire()) << c.profile;
    EXPECT_EQ(m.exchange().ReconnectCount, 0) << c.profile;
    const DeviceMemory::Eeprom& eeprom = rig.model->memory().eeprom();
    EXPECT_EQ(m.images().EepromImage[1], eeprom[1]) << c.profile;
    EXPECT_EQ(m.images().EepromImage[315], eeprom[315]) << c.profile;
    const DeviceMemory::Ram ram = rig.model->memory().ram(rig.clock.nowMs());
    EXPECT_TRUE(std::equal(ram.begin(), ram.end(), m.images().RamImage.begin())) << c.profile;
    EXPECT_EQ(m.L_DataEE->text(), QString("%1 / 0x0%1").arg(eeprom[1])) << c.profile;
    EXPECT_EQ(m.ProgressBarRS232->value(), 6) << c.profile;
    EXPECT_EQ(m.Timer3->interval(), 300) << c.profile;
  }
}

// Failing ticks: five silent reconnects, then the sixth failure is reported and the window
// closes.
TEST(FormMonitor, RepeatedFailuresEndTheRunWithTheirMessage) {
  enum class Line { Simulated, OpenFails, Nobody };
  const struct {
    const char* name;
    Line line;
    std::function<void(FirmwareConfig&)> fault;
    int code;
    qint64 minMs, maxMs;  // virtual time the six ticks take, their pauses included
  } cases[] = {
      // Each tick waits a little more than 3000 ms for the echo of its first byte.
      {"device falls silent", Line::Simulated, [](FirmwareConfig& f) { f.silentAfterFrames = 0; },
       20, 6 * 3000, 6 * 3000 + 6 * 300 + 100},
      // Every command fails at its first byte, at once.
      {"port cannot be opened", Line::OpenFails, {}, 4, 0, 6 * 310},
      {"nothing behind the port", Line::Nobody, {}, 20, 6 * 3000, 6 * 3000 + 6 * 300 + 100},
      {"device answers every command with an error", Line::Simulated,
       [](FirmwareConfig& f) { f.errorByte = 0x10; }, 25, 0, 6 * 310},
      {"replies with a bad checksum", Line::Simulated,
       [](FirmwareConfig& f) { f.badChecksum = true; }, 19, 0, 6 * 310},
  };
  for (const auto& c : cases) {
    WindowRig rig;
    if (c.fault) {
      SimConfig cfg = *simConfigForProfile("gen9");
      c.fault(cfg.firmware);
      rig.model = std::make_shared<DeviceModel>(cfg);
    }
    if (c.line == Line::OpenFails) {
      rig.makeLine = [&rig] {
        auto line = std::make_unique<SimulatedSerialDevice>(rig.model, rig.clock);
        line->setOpenFails(true);
        return line;
      };
    } else if (c.line == Line::Nobody) {
      rig.makeLine = [&rig] {
        return std::make_unique<ScriptedDevice>(std::make_shared<ScriptedLine>(), rig.clock);
      };
    }
    TFormMonitor& m = rig.mon();
    rig.main().Monitor->trigger();
    for (int i = 1; i <= 5; ++i) {
      ASSERT_TRUE(rig.fire()) << c.name;
      EXPECT_EQ(m.exchange().ReconnectCount, i) << c.name;
      EXPECT_TRUE(m.isVisible()) << c.name;
      EXPECT_TRUE(rig.sounds.played.empty()) << c.name;
    }
    ASSERT_TRUE(rig.fire()) << c.name;
    EXPECT_FALSE(m.isVisible()) << c.name;
    EXPECT_TRUE(rig.main().isVisible()) << c.name;
    EXPECT_FALSE(m.Timer3->isEnabled()) << c.name;
    EXPECT_EQ(rig.main().stateText(), "Выключенно") << c.name;
    EXPECT_EQ(rig.main().errorText(), resultMessage(c.code)) << c.name;
    EXPECT_GE(rig.clock.nowMs(), c.minMs) << c.name;
    EXPECT_LE(rig.clock.nowMs(), c.maxMs) << c.name;
    EXPECT_EQ(rig.sounds.played, std::vector<Sound>{Sound::Error}) << c.name;
    EXPECT_EQ(m.exchange().ResultCode, 0) << c.name;
    // Left as the monitor left them.
    EXPECT_EQ(rig.main().RunMode, '!') << c.name;
    // The debt is carried into the next run: its first failure is reported at once.
    rig.main().Monitor->trigger();
    ASSERT_TRUE(rig.fire()) << c.name;
    EXPECT_FALSE(m.isVisible()) << c.name;
    EXPECT_EQ(rig.sounds.played.size(), 2u) << c.name;
  }
}

TEST(FormMonitor, ClosingTheWindowStopsPolling) {
  WindowRig rig;
  rig.main().Monitor->trigger();
  ASSERT_TRUE(rig.fire());
  rig.mon().close();
  EXPECT_FALSE(rig.mon().Timer3->isEnabled());
  EXPECT_EQ(rig.mon().Timer3->interval(), 0);
  EXPECT_TRUE(rig.main().isVisible());
  EXPECT_TRUE(rig.w->FormOptHard->port().PortOpen);
  // Nothing was reported: the run ended by the user's hand.
  EXPECT_TRUE(rig.sounds.played.empty());
}

}  // namespace
