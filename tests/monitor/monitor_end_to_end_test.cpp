// The monitor with the real windows and the real serial code path, the line on its own thread,
// against lir2-sim on a pseudo-terminal.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <signal.h>

#include "app/app_windows.h"
#include "app/form_main.h"
#include "app/form_opt_soft.h"
#include "app/form_port_log.h"
#include "app/log_view.h"
#include "common/find.h"
#include "common/on_line.h"
#include "common/recorders.h"
#include "common/signal_process.h"
#include "common/sim_process.h"
#include "monitor/eeprom_map.h"
#include "monitor/form_eeprom.h"
#include "monitor/form_monitor.h"
#include "monitor/monitor_run.h"
#include "monitor/monitor_session.h"
#include "monitor/monitor_sheet.h"
#include "protocol/window_bridge.h"
#include "serial/clock.h"
#include "sim/device_memory.h"
#include "sim/sim_config.h"

using namespace lir2;

namespace {

// The windows in service mode on lir2-sim, started with a profile and the arguments given, its
// measurements held still; its EEPROM is dumped when it stops.
struct SimWindows {
  QTemporaryDir dir;
  SimProcess sim;
  SteadyClock clock;
  SoundRecorder sounds;
  std::unique_ptr<AppWindows> w;

  bool start(const char* profile, QStringList args) {
    args << "--profile" << profile << "--no-drift"
         << "--dump-eeprom" << dir.filePath("eeprom");
    AppOptions options;
    options.serviceMode = true;
    options.portPath = sim.start(args);
    options.configPath = dir.filePath("data/config.txt");
    options.lineThread = true;
    EXPECT_FALSE(options.portPath.isEmpty()) << sim.errors().toStdString();
    if (options.portPath.isEmpty()) return false;
    w = std::make_unique<AppWindows>(options, clock, sounds);
    w->FormMain->show();
    return true;
  }
  MonitorSheet& sheet() { return w->FormMonitor->sheet(); }
  QString text(const char* name) {
    auto* label = qobject_cast<QLabel*>(sheet().control(QString::fromLatin1(name)));
    return label ? label->text() : QString();
  }
  // Ends the program and the simulator; the device's EEPROM as it was left.
  QByteArray stop() {
    w->FormMonitor->close();
    w->FormMain->close();
    w->linkThread.reset();
    EXPECT_TRUE(sim.stop());
    QFile file(dir.filePath("eeprom"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
};

// A service engineer at work, through the real serial code on the line's own thread. First what
// the device is, its readings with a few cells held at known values and a standing alarm logged
// once; behind the window, images equal to the device's memory, in the frame format its
// identification chose. Then the device switched off and on again, a calibration value changed
// through its field and button and read back after the refresh, and the EEPROM map, which must
// equal the device's EEPROM line for line.
TEST(MonitorEndToEnd, ShowsTheDeviceWritesReachItAndTheMapShowsItsEeprom) {
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  const struct {
    const char* profile;
    bool binary;
    QStringList identity;  // Lb_VerPl, Lb_VerPO, Lb_Plir, Lb_Ulir, L_hybrid
  } cases[] = {
      {"gen5", false, {"LCD Ver 5.2", "Ver 10.1", "1,5 кВт", "12 В", ""}},
      {"gen9", true, {"LCD SIN  Ver 9Hi /3 /Net7L -Pro", "Ver 13.3", "3 кВт", "24 В", "HYBRID"}},
  };
  // Battery 50,0 V, output 220 V, mains 0 A at its finest; the battery-discharged warning.
  const std::vector<std::pair<int, quint8>> held = {{5, 1}, {6, 244}, {39, 120}, {35, 0}, {49, 8}};
  QStringList args = {"--alarm", "warning:0"};
  for (auto [offset, value] : held) args << "--ram" << QString("%1=%2").arg(offset).arg(value);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.profile);
    SimWindows e;
    ASSERT_TRUE(e.start(c.profile, args));
    child<QCheckBox>(*e.w->FormOptSoft, "CheckBoxWrite")->setChecked(true);
    child<QLineEdit>(e.sheet(), "E_Addr_EE")->setText("1");
    action(*e.w->FormMain, "Monitor")->trigger();
    TFormMonitor& m = *e.w->FormMonitor;
    MonitorSession& s = *e.w->monitorSession;
    // A refresh, a whole RAM pass and the start of the next: the activity bar has moved on.
    int ticks = 0;
    ASSERT_TRUE(runUntil([&] {
      onLine(*e.w->link, [&] { ticks = s.poll().ActivityCount; });
      return ticks >= 7 || !m.isVisible();
    }));
    m.close();
    quint8 reconnects = 1;
    bool binary = !c.binary;
    DeviceImages images;
    auto look = [&] {
      onLine(*e.w->link, [&] {
        reconnects = e.w->link->exchange().ReconnectCount;
        binary = e.w->link->frameState().BinaryFrames;
        images = s.images();
      });
    };
    look();
    EXPECT_EQ(reconnects, 0);
    EXPECT_EQ(binary, c.binary);
    // Cells no tick reads stay as they were, until the map reads them all.
    EXPECT_EQ(images.EepromImage[3], 0);
    EXPECT_EQ(images.EepromImage[1023], 0);
    const DeviceImages polled = images;
    const QString watched = QString("%1 / 0x0%1").arg(images.EepromImage[1]);
    EXPECT_TRUE(
        runUntil([&] { return child<QLabel>(e.sheet(), "L_DataEE")->text() == watched; }, 1000));
    const QStringList identity = {e.text("Lb_VerPl"), e.text("Lb_VerPO"), e.text("Lb_Plir"),
                                  e.text("Lb_Ulir"), e.text("L_hybrid")};
    EXPECT_EQ(identity, c.identity);
    EXPECT_EQ(e.text("L_UAcc"), "50 В");
    EXPECT_EQ(e.text("Lb_UOUT"), "220 В");
    EXPECT_TRUE(e.text("Lb_INET").endsWith("0,5 A"));
    const QStringList alarms =
        child<QPlainTextEdit>(m, "RichEditErr")->toPlainText().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(alarms.size(), 1)
        << child<QPlainTextEdit>(m, "RichEditErr")->toPlainText().toStdString();
    EXPECT_TRUE(alarms[0].endsWith("    Аккумулятор разряжен"));
    // The simulator's RAM window holds still without drift: the same device in process shows
    // the same bytes.
    SimConfig cfg = *simConfigForProfile(c.profile);
    cfg.firmware.drift = false;
    cfg.firmware.pinnedRam = held;
    cfg.firmware.pinnedAlarms = {{44, 0x01}};
    const DeviceMemory::Ram ram = DeviceMemory(cfg.firmware).ram(0);
    EXPECT_TRUE(std::equal(ram.begin(), ram.end(), images.RamImage.begin()));
    // Text frames until the identification was decoded; after it, the format it chose.
    e.w->bridge->flushLogs();
    const QString written = e.w->FormWritePort->logText();
    EXPECT_TRUE(written.startsWith("PCRD002"));
    if (c.binary) {
      EXPECT_EQ(written.count("PCRD"), 46);
    }
    EXPECT_TRUE(c.binary ? written.count("PCPR") == 0 : written.count("PCPR") >= 5);

    auto button = [&](const char* name) {
      return qobject_cast<QAbstractButton*>(e.sheet().control(QString::fromLatin1(name)));
    };
    action(*e.w->FormMain, "Monitor")->trigger();
    ASSERT_TRUE(runUntil([&] { return e.text("L_OnOff").startsWith("Включен"); }))
        << e.text("L_OnOff").toStdString() << e.w->FormMain->errorText().toStdString();
    button("SB_LIROn")->click();  // "LIR_OFF"
    EXPECT_TRUE(runUntil([&] { return e.text("L_OnOff").startsWith("ВЫключен"); }));
    EXPECT_EQ(button("SB_LIROn")->text(), "LIR_ON");
    button("SB_LIROn")->click();
    EXPECT_TRUE(runUntil([&] { return e.text("L_OnOff").startsWith("Включен"); }));
    qobject_cast<QLineEdit*>(e.sheet().control("E_IAcc_Corr"))->setText("1,2");
    button("B_IAcc_Corr")->click();  // 1,2 × 128 = 153
    EXPECT_TRUE(runUntil([&] { return e.text("L_IAcc_Corr_Cyr") == "1,2"; }))
        << e.text("L_IAcc_Corr_Cyr").toStdString();
    button("SB_EEPromMap")->click();
    EXPECT_TRUE(e.w->FormEEProm->isVisible());
    QString map;
    EXPECT_TRUE(runUntil([&] {
      return !(map = child<QPlainTextEdit>(*e.w->FormEEProm, "RichEditEEprom")->toPlainText())
                  .isEmpty();
    }));
    EXPECT_EQ(e.w->FormMain->errorText(), "");
    EXPECT_TRUE(e.sounds.played.empty());
    m.close();
    look();

    const QByteArray eeprom = e.stop();
    ASSERT_EQ(eeprom.size(), 1024);
    EXPECT_EQ(quint8(eeprom[64]), 153);
    // What the ticks read before the write, and the whole EEPROM the map read.
    QList<quint16> read(MonitorRun::kEepromParamList.begin(), MonitorRun::kEepromParamList.end());
    for (quint16 a : read << 80 << 1)
      if (a != 64) {
        EXPECT_EQ(polled.EepromImage[a], quint8(eeprom[a])) << a;
      }
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(images.EepromImage.data()), 1024), eeprom);
    DeviceImages::Eeprom bytes{};
    std::copy(eeprom.begin(), eeprom.end(), bytes.begin());
    EXPECT_EQ(map.split('\n'), FormatEepromMap(bytes).remove('\r').split('\n'));
  }
}

// The line lost mid-run (lir2-sim killed, its terminal gone): the reconnects' openings find no
// port, and the final report still says what happened, the line lost, not a port that does
// not open.
TEST(MonitorEndToEnd, ALostLineIsReportedAsLost) {
  SimWindows e;
  ASSERT_TRUE(e.start("gen9", {}));
  action(*e.w->FormMain, "Monitor")->trigger();
  TFormMonitor& m = *e.w->FormMonitor;
  ASSERT_TRUE(runUntil([&] { return e.text("L_OnOff").startsWith("Включен"); }));
  signalProcess(e.sim.pid(), SIGKILL);
  // Where another program has taken the terminal's number meanwhile, the reconnects open its
  // silent terminal and each waits its 3 s before the run ends: give them that time.
  ASSERT_TRUE(runUntil([&] { return !m.isVisible(); }, 60000));
  const QString error = e.w->FormMain->errorText();
  // (Its terminal's number may already serve another program, which the reason then names.)
  EXPECT_TRUE(error.contains("Связь с портом") && error.contains("потеряна"))
      << error.toStdString();
  EXPECT_FALSE(error.startsWith("Ошибка открытия COM порта")) << error.toStdString();
}

}  // namespace
