#pragma once

// The exchange context on a scripted line, opened, in virtual time, with recording logs and
// switches: what most tests of the byte primitives and the protocols above them stand on.
#include <memory>

#include "common/recorders.h"
#include "common/scripted_device.h"
#include "serial/exchange.h"
#include "serial/port_control.h"

using namespace lir2;

struct ExchangeRig {
  VirtualClock clock;
  std::shared_ptr<ScriptedLine> line = std::make_shared<ScriptedLine>();
  StatusRecorder status;
  LogRecorder log;
  Switches switches;
  PortControl port{
      &status, [this](const PortEntry&) { return std::make_unique<ScriptedDevice>(line, clock); }};
  Exchange ex{port, clock, &log, &switches};

  ExchangeRig() {
    port.setEntries({{"COM1", "COM1", PortEntry::Kind::System}});
    port.PortName = "COM1";
    EXPECT_EQ(port.OpenPort(19200), Result::Ok);
  }
};
