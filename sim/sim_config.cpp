#include "sim/sim_config.h"

namespace lir2 {

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
    // An older LCD board "LCD Ver 5.2": 12 V, 1.5 kW, text frames only. Firmware 10.1 has
    // everything a generation-5 board can show (charge time, service values, sensor flags).
    cfg.kind = SimKind::Monitor;
    FirmwareConfig& f = cfg.firmware;
    f.boardType = 2;
    f.generation = 5;
    f.firmwareByte = (1 << 5) | 10;
    f.powerIndex = 1;
    f.voltageClass = 0;
    f.subVersion = 2;
    // The cells of the SIN board and the hybrid option are not there: erased.
    f.sinVersion = f.netCode = f.hiLowCode = f.variantFlag = f.hybridMarker = 0xFF;
  } else if (name == "gen9") {
    // The defaults are this board: "LCD SIN  Ver 9Hi /3 /Net7L -Pro", HYBRID, firmware 13.3,
    // 3 kW, 24 V.
    cfg.kind = SimKind::Monitor;
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

}  // namespace lir2
