// lir2gui: the service tool for the LIR inverter/chargers.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <memory>

#include "app/app_windows.h"
#include "app/data_paths.h"
#include "app/form_main.h"
#include "app/qt_translation.h"
#include "app/startup.h"
#include "app/unix_signals.h"
#include "app/wave_sound.h"
#include "host/system/system_shutdown.h"
#include "serial/clock.h"
#include "serial/port_discovery.h"
#include "serial/port_reason.h"
#include "sim/device_model.h"
#include "sim/simulated_device.h"

namespace lir2 {

namespace {

// Without a display Qt would stop with a message about its platform plug-in; say plainly what
// is missing and how to start the program anyway.
bool displayAvailable() {
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
  return !qEnvironmentVariableIsEmpty("DISPLAY") ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
         !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
  return true;
#endif
}

}  // namespace

// Resident memory of this process in kB (Linux), for the start-up probe.
long residentKb() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
  return -1;
}

}  // namespace lir2

using namespace lir2;

int main(int argc, char** argv) {
  QElapsedTimer sinceStart;
  sinceStart.start();
  // The command line first: --help, --version and a wrong option need no display.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const CommandLine cl = parseCommandLine(arguments);
  if (cl.help || cl.version || !cl.error.isEmpty()) {
    const QString usage = usageText(simProfileNames());
    if (!cl.error.isEmpty()) {
      std::fprintf(stderr, "lir2gui: %s\n\n%s", qPrintable(cl.error), qPrintable(usage));
      return 2;
    }
    if (cl.help)
      std::printf("%s", qPrintable(usage));
    else
      std::printf("lir2gui %s\n", kProgramVersion);
    return 0;
  }
  bool platformArgument = false;
  for (int i = 1; i < argc; ++i) platformArgument |= qstrcmp(argv[i], "-platform") == 0;
  if (!displayAvailable() && !platformArgument) {
    std::fprintf(stderr,
                 "lir2gui: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                 "Start it from a desktop session, under a virtual display with\n"
                 "  xvfb-run -a lir2gui\n"
                 "or without any window on screen with QT_QPA_PLATFORM=offscreen.\n");
    return 2;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("LIR2Gui"));
  QApplication::setApplicationVersion(QString::fromLatin1(kProgramVersion));
  // The program ends when the main window closes, whatever other windows are open.
  QApplication::setQuitOnLastWindowClosed(false);
  // The framework's dialogs and buttons speak the program's language.
  installQtRussianTranslation(app);

  QString profileName = cl.simProfile.isEmpty() ? QStringLiteral("lir") : cl.simProfile;
  std::optional<SimConfig> simConfig = simConfigForProfile(profileName);
  QString startupError;
  if (!simConfig) {
    startupError = QStringLiteral("Неизвестный профиль симулятора: %1 (есть: %2)")
                       .arg(profileName, simProfileNames().join(QStringLiteral(", ")));
    simConfig = simConfigForProfile(QStringLiteral("lir"));
  }

  // data/ in the working folder, or the user's configuration folder for an installed program.
  const DataPaths paths = dataPaths();
  SteadyClock clock;
  auto sounds = makeWaveSoundPlayer(paths.soundsFolder);
  // One simulated device for the whole run: closing and reopening its line keeps its memory.
  auto model = std::make_shared<DeviceModel>(*simConfig);

  AppOptions options;
  options.configPath = paths.configPath;
  options.serviceMode = cl.serviceMode;
  // A relative name as lir2-cli takes it: a file of the current folder, else under /dev.
  options.portPath = resolvePortArgument(cl.portPath).path;
  options.selectSimulated = cl.simulated;
  options.systemPorts = discoverSystemPorts();
  options.discoverPorts = discoverSystemPorts;
  options.lineThread = true;
  options.simulatedDevice = [model, &clock](const PortEntry&) -> std::unique_ptr<SerialDevice> {
    return std::make_unique<SimulatedSerialDevice>(model, clock);
  };

  // Declared before the windows, so it outlives the main window that uses it.
  const auto shutdownBackend = makeSystemShutdownBackend();
  AppWindows windows(options, clock, *sounds);
  windows.FormMain->setShutdownBackend(shutdownBackend.get());
  QObject::connect(windows.FormMain.get(), &TFormMain::closed, &app, &QApplication::quit);
  // A termination signal ends the program as its window's closing does: the run stops, the port
  // is closed and its lock file removed.
  handleTerminationSignals(&app, [&windows] {
    windows.FormMain->close();
    QApplication::quit();
  });
  windows.FormMain->show();
  if (!startupError.isEmpty()) windows.FormMain->setErrorText(startupError);
  // The start-up benchmark asks the program to say when its main window is up, and to end.
  if (!qEnvironmentVariableIsEmpty("LIR2_STARTUP_PROBE")) {
    QTimer::singleShot(0, &app, [&] {
      std::printf("main_window_ms=%lld rss_kb=%ld\n", static_cast<long long>(sinceStart.elapsed()),
                  residentKb());
      std::fflush(stdout);
      app.quit();
    });
  }
  return app.exec();
}
