// The monitor with the real windows and the real serial code path, against lir2-sim on a
// pseudo-terminal.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QAbstractButton>
#include <QPlainTextEdit>

#include "app/app_windows.h"
#include "app/form_main.h"
#include "app/form_opt_soft.h"
#include "app/form_port_log.h"
#include "app/log_view.h"
#include "common/on_line.h"
#include "common/recorders.h"
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

namespace {

QString labelText(TFormMonitor& m, const char* name) {
  auto* label = qobject_cast<QLabel*>(m.sheet().control(QString::fromLatin1(name)));
  return label ? label->text() : QString();
}

// What a newcomer sees of a simulated device through the real serial code: what it is, its
// readings with a few cells held at known values, and a standing alarm logged once; behind the
// window, images equal to the device's memory, in the frame format its identification chose.
TEST(MonitorEndToEnd, ShowsTheDeviceAndImagesMatchItsMemory) {
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
  for (const auto& c : cases) {
    QTemporaryDir dir;
    const QString dump = dir.filePath("eeprom.bin");
    SimProcess sim;
    QStringList args = {"--profile", c.profile, "--no-drift", "--dump-eeprom", dump,
                        "--alarm", "warning:0"};
    for (auto [offset, value] : held) args << "--ram" << QString("%1=%2").arg(offset).arg(value);
    const QString path = sim.start(args);
    ASSERT_FALSE(path.isEmpty()) << sim.errors().toStdString();
    SteadyClock clock;
    SoundRecorder sounds;
    AppOptions options;
    options.portPath = path;
    options.configPath = dir.filePath("data/config.txt");
    options.lineThread = true;
    auto w = std::make_unique<AppWindows>(options, clock, sounds);
    w->FormMain->show();
    w->FormOptSoft->CheckBoxWrite->setChecked(true);
    TFormMonitor& m = *w->FormMonitor;
    MonitorSession& s = *w->monitorSession;
    m.sheet().E_Addr_EE->setText("1");

    w->FormMain->Monitor->trigger();
    // A refresh, a whole RAM pass and the start of the next: the activity bar has moved on.
    int ticks = 0;
    ASSERT_TRUE(runUntil(
        [&] {
          onLine(*w->link, [&] { ticks = s.poll().ActivityCount; });
          return ticks >= 7 || !m.isVisible();
        },
        30000))
        << c.profile;
    m.close();
    quint8 reconnects = 1;
    bool binary = !c.binary;
    DeviceImages images;
    onLine(*w->link, [&] {
      reconnects = w->link->exchange().ReconnectCount;
      binary = w->link->frameState().BinaryFrames;
      images = s.images();
    });
    EXPECT_EQ(reconnects, 0) << c.profile;
    EXPECT_TRUE(sounds.played.empty()) << c.profile;
    EXPECT_EQ(binary, c.binary) << c.profile;
    const QString watched = QString("%1 / 0x0%1").arg(images.EepromImage[1]);
    EXPECT_TRUE(runUntil([&] { return m.sheet().L_DataEE->text() == watched; }, 1000));
    EXPECT_EQ(m.sheet().L_DataEE->text(), QString("%1 / 0x0%1").arg(images.EepromImage[1]));
    const QStringList identity = {labelText(m, "Lb_VerPl"), labelText(m, "Lb_VerPO"),
                                  labelText(m, "Lb_Plir"), labelText(m, "Lb_Ulir"),
                                  labelText(m, "L_hybrid")};
    EXPECT_EQ(identity, c.identity) << c.profile;
    EXPECT_EQ(labelText(m, "L_UAcc"), "50 В") << c.profile;
    EXPECT_EQ(labelText(m, "Lb_UOUT"), "220 В") << c.profile;
    EXPECT_TRUE(labelText(m, "Lb_INET").endsWith("0,5 A")) << c.profile;
    const QStringList alarms = m.RichEditErr->toPlainText().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(alarms.size(), 1) << m.RichEditErr->toPlainText().toStdString();
    EXPECT_TRUE(alarms[0].endsWith("    Аккумулятор разряжен")) << c.profile;

    // Text frames until the identification was decoded; after it, the format it chose.
    w->bridge->flushLogs();
    const QString written = w->FormWritePort->log()->logText();
    EXPECT_TRUE(written.startsWith("PCRD002")) << c.profile;
    if (c.binary) {
      EXPECT_EQ(written.count("PCRD"), 46) << c.profile;
      EXPECT_EQ(written.count("PCPR"), 0) << c.profile;
    } else {
      EXPECT_GE(written.count("PCPR"), 5) << c.profile;
    }

    w->FormMain->StopExec->trigger();
    ASSERT_TRUE(sim.stop()) << c.profile;
    QFile file(dump);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.profile;
    const QByteArray eeprom = file.readAll();
    ASSERT_EQ(eeprom.size(), 1024);
    QList<quint16> read(MonitorRun::kEepromParamList.begin(), MonitorRun::kEepromParamList.end());
    read << 80 << 1;
    for (quint16 a : read)
      EXPECT_EQ(images.EepromImage[a], static_cast<quint8>(eeprom[a])) << c.profile << " " << a;
    // Cells no tick reads stay as they were.
    EXPECT_EQ(images.EepromImage[3], 0) << c.profile;
    EXPECT_EQ(images.EepromImage[1023], 0) << c.profile;

    // The simulator's RAM window holds still without drift: the same device in process shows
    // the same bytes.
    SimConfig cfg = *simConfigForProfile(c.profile);
    cfg.firmware.drift = false;
    cfg.firmware.pinnedRam = held;
    cfg.firmware.pinnedAlarms = {{44, 0x01}};
    DeviceMemory memory(cfg.firmware);
    const DeviceMemory::Ram ram = memory.ram(0);
    EXPECT_TRUE(std::equal(ram.begin(), ram.end(), images.RamImage.begin())) << c.profile;
  }
}

}  // namespace

namespace {

QString textOf(MonitorSheet& sheet, const char* name) {
  auto* label = qobject_cast<QLabel*>(sheet.control(QString::fromLatin1(name)));
  return label ? label->text() : QString();
}

// A service engineer at work, through the line's own thread and a real terminal: the device
// switched off and on again, a calibration value changed through its field and button and read
// back after the refresh, and the EEPROM map, which must equal the device's EEPROM line for
// line.
TEST(MonitorEndToEnd, WritesReachTheDeviceAndTheMapShowsItsEeprom) {
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  for (const char* profile : {"gen9", "gen5"}) {
    SCOPED_TRACE(profile);
    QTemporaryDir dir;
    const QString dump = dir.filePath("eeprom.bin");
    SimProcess sim;
    const QString path = sim.start({"--profile", profile, "--no-drift", "--dump-eeprom", dump});
    ASSERT_FALSE(path.isEmpty()) << sim.errors().toStdString();
    SteadyClock clock;
    SoundRecorder sounds;
    AppOptions options;
    options.serviceMode = true;
    options.portPath = path;
    options.configPath = dir.filePath("data/config.txt");
    options.lineThread = true;
    AppWindows w(options, clock, sounds);
    w.FormMain->show();
    MonitorSheet& sheet = w.FormMonitor->sheet();
    auto button = [&](const char* name) {
      return qobject_cast<QAbstractButton*>(sheet.control(QString::fromLatin1(name)));
    };
    w.FormMain->Monitor->trigger();
    ASSERT_TRUE(runUntil([&] { return textOf(sheet, "L_OnOff").startsWith("Включен"); }))
        << textOf(sheet, "L_OnOff").toStdString() << w.FormMain->errorText().toStdString();

    button("SB_LIROn")->click();  // "LIR_OFF"
    EXPECT_TRUE(runUntil([&] { return textOf(sheet, "L_OnOff").startsWith("ВЫключен"); }));
    EXPECT_EQ(button("SB_LIROn")->text(), "LIR_ON");
    button("SB_LIROn")->click();
    EXPECT_TRUE(runUntil([&] { return textOf(sheet, "L_OnOff").startsWith("Включен"); }));

    auto* corr = qobject_cast<QLineEdit*>(sheet.control("E_IAcc_Corr"));
    corr->setText("1,2");
    button("B_IAcc_Corr")->click();  // 1,2 × 128 = 153
    EXPECT_TRUE(runUntil([&] { return textOf(sheet, "L_IAcc_Corr_Cyr") == "1,2"; }))
        << textOf(sheet, "L_IAcc_Corr_Cyr").toStdString();

    button("SB_EEPromMap")->click();
    EXPECT_TRUE(w.FormEEProm->isVisible());
    QString map;
    EXPECT_TRUE(runUntil([&] {
      map = w.FormEEProm->RichEditEEprom->toPlainText();
      return !map.isEmpty();
    }));
    EXPECT_EQ(w.FormMain->errorText(), "");
    EXPECT_TRUE(sounds.played.empty());
    w.FormMonitor->close();
    w.FormMain->close();
    w.linkThread.reset();

    ASSERT_TRUE(sim.stop());
    QFile file(dump);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray eeprom = file.readAll();
    ASSERT_EQ(eeprom.size(), 1024);
    EXPECT_EQ(static_cast<quint8>(eeprom[64]), 153);
    DeviceImages::Eeprom bytes{};
    std::copy(eeprom.begin(), eeprom.end(), bytes.begin());
    EXPECT_EQ(map.split('\n'), FormatEepromMap(bytes).remove('\r').split('\n'));
  }
}

}  // namespace
