#include "app_windows.h"

#include <QAction>
#include "app/form_file.h"
#include "app/form_main.h"
#include "app/form_opt_hard.h"
#include "app/form_opt_soft.h"
#include "app/form_port_log.h"
#include "app/log_view.h"
#include "firmware/upload_session.h"
#include "host/form_sms_modem.h"
#include "host/modem_session.h"
#include "monitor/form_eeprom.h"
#include "monitor/form_monitor.h"
#include "monitor/monitor_session.h"
#include "protocol/device_link.h"
#include "protocol/translation_session.h"
#include "protocol/window_bridge.h"
#include "serial/qt_serial_device.h"

namespace lir2 {

void PortLogs::appendRead(QStringView text, RunId) {
  read->append(text);
}
void PortLogs::appendWrite(QStringView text, RunId) {
  write->append(text);
}
void PortLogs::clearLogs(RunId) {
  read->clear();
  write->clear();
}

AppWindows::AppWindows(const AppOptions& options, Clock& clock, SoundPlayer& sounds)
    : clock(clock), sounds(sounds) {
  FormMain = std::make_unique<TFormMain>();
  FormReadPort = std::make_unique<TFormPortLog>(TFormPortLog::Kind::Read);
  FormWritePort = std::make_unique<TFormPortLog>(TFormPortLog::Kind::Write);
  traffic.read = FormReadPort.get();
  traffic.write = FormWritePort.get();
  FormFile = std::make_unique<TFormFile>();

  TFormOptHard::Setup setup;
  setup.systemPorts = options.systemPorts;
  if (!options.portPath.isEmpty()) {
    setup.extraEntries.append({options.portPath, options.portPath, PortEntry::Kind::Path});
    setup.preselect = options.portPath;
  }
  if (options.simulatedDevice) {
    setup.extraEntries.append({kSimulatedPortName, QString(), PortEntry::Kind::Simulated});
    if (options.selectSimulated && options.portPath.isEmpty()) setup.preselect = kSimulatedPortName;
  }
  setup.configPath = options.configPath;
  setup.discover = options.discoverPorts;
  FormOptHard = std::make_unique<TFormOptHard>(*FormMain, std::move(setup));
  FormOptSoft = std::make_unique<TFormOptSoft>(options.serviceMode);

  // The device line: a system port or a path opens through QSerialPort, the simulated entry
  // makes the model's line.
  bridge = std::make_unique<WindowBridge>(*FormMain, sounds, traffic);
  report =
      std::make_unique<FinalReport>(*bridge, *bridge, [this] { return FormOptHard->soundsOn(); });
  auto factory =
      [sim = options.simulatedDevice](const PortEntry& entry) -> std::unique_ptr<SerialDevice> {
    if (entry.kind == PortEntry::Kind::Simulated) return sim ? sim(entry) : nullptr;
    return std::make_unique<QtSerialDevice>(entry.path.isEmpty() ? entry.name : entry.path);
  };
  link = std::make_unique<DeviceLink>(factory, FormOptHard->entries(), clock, bridge.get(),
                                      bridge.get(), &FormOptSoft->switches());
  // Ports plugged in or pulled while "Железо" is open: the line opens by the list as it is now.
  QObject::connect(FormOptHard.get(), &TFormOptHard::entriesChanged, link.get(),
                   [l = link.get()](const QList<PortEntry>& entries) { l->setEntries(entries); });
  monitorSession = new MonitorSession(*link, report.get());
  upload = new UploadSession(*link);
  translation = new TranslationSession(*link);
  modem = new ModemSession(*link);

  FormMonitor = std::make_unique<TFormMonitor>(FormMain->monitorCaption(), *monitorSession);
  FormMonitor->applyServiceMode(options.serviceMode);
  FormEEProm = std::make_unique<TFormEEProm>();
  FormMonitor->setMapWindow(FormEEProm.get());
  FormMonitor->setSounds(&sounds);
  FormSmsModem = std::make_unique<TFormSmsModem>(*modem);
  MainWindowParts parts;
  parts.hardware = FormOptHard.get();
  parts.software = FormOptSoft.get();
  parts.file = FormFile.get();
  parts.readLog = FormReadPort.get();
  parts.writeLog = FormWritePort.get();
  parts.monitor = FormMonitor.get();
  parts.modem = FormSmsModem.get();
  parts.link = link.get();
  parts.upload = upload;
  parts.translation = translation;
  parts.report = report.get();
  parts.sounds = &sounds;
  FormMain->attach(parts);
  // Last: from here on the line's work runs on its own thread.
  if (options.lineThread) linkThread = std::make_unique<LinkThread>(*link);
}

AppWindows::~AppWindows() {
  // The line's thread ends first (what runs is stopped, the port closed), then the line, then
  // the windows, the last of them the main window.
  linkThread.reset();
  if (link) link->shutDown();
  link.reset();
}

}  // namespace lir2
