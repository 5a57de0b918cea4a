#include "sim/sim_config.h"

QStringList simProfileNames() {
  return {"echo", "translate", "boot", "gen5", "gen9", "modem", "lir"};
}

std::optional<SimConfig> simConfigForProfile(const QString& name) {
  SimConfig cfg;
  cfg.profile = name;
  if (name == "echo") {
    cfg.kind = SimKind::Echo;
  } else if (name == "translate") {
    cfg.kind = SimKind::Translate;
  } else if (name == "boot") {
    cfg.kind = SimKind::Boot;
  } else if (name == "gen5") {
    // An older LCD board: 12 V, 1.5 kW, firmware 8.2, text frames only.
    cfg.kind = SimKind::Monitor;
    cfg.firmware.boardType = 2;
    cfg.firmware.generation = 5;
    cfg.firmware.firmwareByte = (2 << 5) | 8;
    cfg.firmware.powerIndex = 1;
    cfg.firmware.voltageClass = 0;
  } else if (name == "gen9") {
    cfg.kind = SimKind::Monitor;  // the defaults are this board: LCD SIN, 24 V, 3 kW, 13.3
  } else if (name == "modem") {
    cfg.kind = SimKind::Modem;
  } else if (name == "lir") {
    cfg.kind = SimKind::Lir;
    // The first greeting comes later than the monitor's first poll after a (re)open (10 ms,
    // or 300 ms after a silent reconnect), so a polling host never reads a greeting where it
    // expects an echo, while an uploading host (3000 ms patience) still sees three of them.
    cfg.boot.greetFirstMs = 500;
    cfg.boot.greetPeriodMs = 500;
    cfg.boot.windowMs = 2000;
  } else {
    return std::nullopt;
  }
  return cfg;
}
