#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <memory>

#include "protocol/report.h"
#include "serial/port_control.h"
#include "serial/traffic_log.h"

namespace lir2 {

class Clock;
class DeviceLink;
class LinkThread;
class ModemSession;
class MonitorSession;
class TranslationSession;
class UploadSession;
class SoundPlayer;
class WindowBridge;
class TFormEEProm;
class TFormFile;
class TFormMain;
class TFormMonitor;
class TFormOptHard;
class TFormOptSoft;
class TFormPortLog;
class TFormSmsModem;

// What start-up learned from the command line and the machine.
struct AppOptions {
  bool serviceMode = false;
  QString portPath;              // a port path named on the command line; listed and selected
  bool selectSimulated = false;  // select the simulated device whatever the file remembers
  QList<PortEntry> systemPorts;  // the machine's serial ports
  // Finds the machine's ports again while "Железо" is open; without it the list stays.
  std::function<QList<PortEntry>()> discoverPorts;
  QString configPath = QStringLiteral("data/config.txt");
  // Makes the built-in simulated device; without it the list has no simulated entry.
  PortControl::DeviceFactory simulatedDevice;
  // The device line on a thread of its own (the program); without, it runs on the windows'
  // thread, synchronously (most tests).
  bool lineThread = false;
};

// The name of the built-in simulated device in the port list; no system port is named so.
inline const QString kSimulatedPortName = QStringLiteral("Симулятор LIR");

// The read and write logs as the byte primitives see them.
class PortLogs final : public TrafficLog {
 public:
  void appendRead(QStringView text, RunId run) override;
  void appendWrite(QStringView text, RunId run) override;
  void clearLogs(RunId run) override;

  TFormPortLog* read = nullptr;
  TFormPortLog* write = nullptr;
};

// All windows of the program, created once in a fixed order and kept until it ends.
class AppWindows {
 public:
  AppWindows(const AppOptions& options, Clock& clock, SoundPlayer& sounds);
  ~AppWindows();

  Clock& clock;
  SoundPlayer& sounds;
  PortLogs traffic;
  std::unique_ptr<TFormMain> FormMain;
  std::unique_ptr<TFormPortLog> FormReadPort;
  std::unique_ptr<TFormPortLog> FormWritePort;
  std::unique_ptr<TFormFile> FormFile;
  std::unique_ptr<TFormOptHard> FormOptHard;
  std::unique_ptr<TFormOptSoft> FormOptSoft;
  std::unique_ptr<TFormMonitor> FormMonitor;
  std::unique_ptr<TFormEEProm> FormEEProm;
  std::unique_ptr<TFormSmsModem> FormSmsModem;
  // What the line's thread tells the windows: status texts, sounds, logged traffic.
  std::unique_ptr<WindowBridge> bridge;
  std::unique_ptr<FinalReport> report;
  // The device line and its run modes (children of the line).
  std::unique_ptr<DeviceLink> link;
  MonitorSession* monitorSession = nullptr;
  UploadSession* upload = nullptr;
  TranslationSession* translation = nullptr;
  ModemSession* modem = nullptr;
  std::unique_ptr<LinkThread> linkThread;
};

}  // namespace lir2
