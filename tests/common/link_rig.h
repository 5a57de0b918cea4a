#pragma once

// The device line on a scripted line, opened, in virtual time, with recording logs and switches:
// what the tests of the monitor's run and writes stand on.
#include <memory>

#include "common/recorders.h"
#include "common/scripted_device.h"
#include "protocol/device_link.h"

using namespace lir2;

struct LinkRig {
  VirtualClock clock;
  std::shared_ptr<ScriptedLine> line = std::make_shared<ScriptedLine>();
  StatusRecorder status;
  LogRecorder log;
  Switches switches;
  DeviceLink link{
      [this](const PortEntry&) { return std::make_unique<ScriptedDevice>(line, clock); },
      {{"COM1", "COM1", PortEntry::Kind::System}},
      clock,
      &status,
      &log,
      &switches};
  Exchange& ex = link.exchange();

  LinkRig() { EXPECT_EQ(link.reopen({QStringLiteral("COM1"), 19200}, 19200), Result::Ok); }
};
