// Renders the program's windows to PNG files, to look at them without a screen:
//   lir2-window-shots OUTDIR [-s] [--monitor PROFILE]
// Each window is shown offscreen, with the built-in simulated device selected. With --monitor
// the monitor runs on the simulated device of that profile (its line on its own thread, as in
// the program) until it has decoded the device, then the monitor window and the EEPROM map are
// rendered as FormMonitor-PROFILE[-s].png and FormEEProm-PROFILE.png, then the map's comparison
// with its saved file after two cells changed on the device (FormEEPromDiff-PROFILE.png) and the
// trend chart (FormTrend-PROFILE.png).
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

#include "app/app_windows.h"
#include "app/form_file.h"
#include "app/form_main.h"
#include "app/form_opt_hard.h"
#include "app/form_opt_soft.h"
#include "app/form_port_log.h"
#include "host/form_sms_modem.h"
#include "monitor/form_eeprom.h"
#include "monitor/form_eeprom_diff.h"
#include "monitor/form_monitor.h"
#include "monitor/form_trend.h"
#include "protocol/device_link.h"
#include "protocol/sound.h"
#include "serial/clock.h"
#include "serial/safe_save.h"
#include "serial/shown_text.h"
#include "sim/device_model.h"
#include "sim/simulated_device.h"

namespace {

// A picture saved as every file of the project is saved; a failure is told, not passed over.
void savePng(const QPixmap& picture, const QString& path) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QString reason = QStringLiteral("the picture could not be encoded");
  if (!picture.save(&buffer, "PNG") || !SaveFile(path, bytes, &reason))
    std::fprintf(stderr, "lir2-window-shots: %s: %s\n", ShownPath(path).toUtf8().constData(),
                 reason.toUtf8().constData());
}

struct Silence final : SoundPlayer {
  void play(Sound) override {}
};
}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  const QString out = args.value(1, QStringLiteral("shots"));
  const bool service = args.contains(QStringLiteral("-s"));
  const int monitorAt = args.indexOf(QStringLiteral("--monitor"));
  const QString profile = monitorAt > 0 ? args.value(monitorAt + 1) : QStringLiteral("lir");
  QDir().mkpath(out);

  SteadyClock clock;
  Silence silence;
  const auto config = simConfigForProfile(profile);
  if (!config) {
    qCritical("unknown profile %s", qPrintable(profile));
    return 2;
  }
  auto model = std::make_shared<DeviceModel>(*config);
  AppOptions options;
  options.serviceMode = service;
  options.selectSimulated = true;
  options.lineThread = true;
  options.configPath = out + QStringLiteral("/config.txt");
  options.simulatedDevice = [&](const PortEntry&) -> std::unique_ptr<SerialDevice> {
    return std::make_unique<SimulatedSerialDevice>(model, clock);
  };
  AppWindows w(options, clock, silence);
  auto runFor = [](int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
  };
  if (monitorAt > 0) {
    const QString suffix = profile + (service ? QStringLiteral("-s") : QString());
    w.FormMain->show();
    w.FormMain->Monitor->trigger();
    runFor(6000);  // the parameters, two whole passes over the RAM window
    savePng(w.FormMonitor->grab(),
            out + QStringLiteral("/FormMonitor-") + suffix + QStringLiteral(".png"));
    if (auto* map = w.FormMonitor->findChild<QAbstractButton*>(QStringLiteral("SB_EEPromMap"))) {
      map->click();
      runFor(profile == QStringLiteral("gen5") ? 9000 : 4000);
      savePng(w.FormEEProm->grab(),
              out + QStringLiteral("/FormEEProm-") + profile + QStringLiteral(".png"));
    }
    // The comparison with the map just saved, after two cells changed on the device.
    w.FormEEProm->dialogs.savePath = [&](auto&&...) { return out + QStringLiteral("/eeprom.hex"); };
    w.FormEEProm->dialogs.openPath = [&](auto&&...) { return out + QStringLiteral("/eeprom.hex"); };
    w.FormEEProm->B_SaveMapClick();
    QMetaObject::invokeMethod(
        w.link.get(),
        [&] {  // the device belongs to the line's thread
          model->memory().write(64, 100);
          model->memory().write(389, 120);
        },
        Qt::BlockingQueuedConnection);
    w.FormEEProm->B_CompareMapClick();
    runFor(profile == QStringLiteral("gen5") ? 9000 : 4000);
    w.FormEEProm->diffWindow()->B_SelectAllClick();
    savePng(w.FormEEProm->diffWindow()->grab(),
            out + QStringLiteral("/FormEEPromDiff-") + profile + QStringLiteral(".png"));
    if (auto* trend = w.FormMonitor->findChild<QAbstractButton*>(QStringLiteral("B_Trend"))) {
      trend->click();
      runFor(1000);
      savePng(w.FormMonitor->trendWindow().grab(),
              out + QStringLiteral("/FormTrend-") + profile + QStringLiteral(".png"));
    }
    return 0;
  }
  const std::pair<QWidget*, const char*> windows[] = {
      {w.FormMain.get(), "FormMain"},           {w.FormReadPort.get(), "FormReadPort"},
      {w.FormWritePort.get(), "FormWritePort"}, {w.FormFile.get(), "FormFile"},
      {w.FormOptHard.get(), "FormOptHard"},     {w.FormOptSoft.get(), "FormOptSoft"},
      {w.FormMonitor.get(), "FormMonitor"},     {w.FormEEProm.get(), "FormEEProm"},
      {w.FormSmsModem.get(), "FormSmsModem"}};
  for (auto [window, name] : windows) {
    window->show();
    QApplication::processEvents();
    savePng(window->grab(), out + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
    window->hide();
  }
  return 0;
}
