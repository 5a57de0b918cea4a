#pragma once

// The whole set of windows on a scripted line, in virtual time, with a configuration of its
// own: what the program is at start-up, without the real port or sound.
#include <QTemporaryDir>

#include <memory>

#include "app/app_windows.h"
#include "app/form_main.h"
#include "common/recorders.h"
#include "common/scripted_device.h"
#include "protocol/device_link.h"

struct AppRig {
  explicit AppRig(bool serviceMode = false, QList<PortEntry> systemPorts = {}) {
    AppOptions options;
    options.serviceMode = serviceMode;
    options.systemPorts = std::move(systemPorts);
    options.configPath = dir.filePath("data/config.txt");
    options.simulatedDevice = [this](const PortEntry&) {
      return std::make_unique<ScriptedDevice>(line, clock);
    };
    w = std::make_unique<AppWindows>(options, clock, sounds);
    main().show();
  }
  TFormMain& main() { return *w->FormMain; }
  DeviceLink& link() { return *w->link; }

  QTemporaryDir dir;
  VirtualClock clock;
  SoundRecorder sounds;
  std::shared_ptr<ScriptedLine> line = std::make_shared<ScriptedLine>();
  std::unique_ptr<AppWindows> w;
};
