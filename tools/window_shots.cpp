// Renders the program's windows to PNG files, to look at them without a screen:
//   lir2-window-shots OUTDIR [-s]
// Each window is shown offscreen, with the built-in simulated device selected.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPixmap>

#include "app/app_windows.h"
#include "app/form_file.h"
#include "app/form_main.h"
#include "app/form_opt_hard.h"
#include "app/form_opt_soft.h"
#include "app/form_port_log.h"
#include "host/form_sms_modem.h"
#include "monitor/form_eeprom.h"
#include "monitor/form_monitor.h"
#include "protocol/sound.h"
#include "serial/clock.h"
#include "sim/device_model.h"
#include "sim/simulated_device.h"

namespace {
struct Silence final : SoundPlayer {
  void play(Sound) override {}
};
}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots");
  const bool service = argc > 2 && qstrcmp(argv[2], "-s") == 0;
  QDir().mkpath(out);

  SteadyClock clock;
  Silence silence;
  auto model = std::make_shared<DeviceModel>(*simConfigForProfile(QStringLiteral("lir")));
  AppOptions options;
  options.serviceMode = service;
  options.configPath = out + QStringLiteral("/config.txt");
  options.simulatedDevice = [&](const PortEntry&) -> std::unique_ptr<SerialDevice> {
    return std::make_unique<SimulatedSerialDevice>(model, clock);
  };
  AppWindows w(options, clock, silence);
  const std::pair<QWidget*, const char*> windows[] = {
      {w.FormMain.get(), "FormMain"},           {w.FormReadPort.get(), "FormReadPort"},
      {w.FormWritePort.get(), "FormWritePort"}, {w.FormFile.get(), "FormFile"},
      {w.FormOptHard.get(), "FormOptHard"},     {w.FormOptSoft.get(), "FormOptSoft"},
      {w.FormMonitor.get(), "FormMonitor"},     {w.FormEEProm.get(), "FormEEProm"},
      {w.FormSmsModem.get(), "FormSmsModem"}};
  for (auto [window, name] : windows) {
    window->show();
    QApplication::processEvents();
    window->grab().save(out + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
    window->hide();
  }
  return 0;
}
