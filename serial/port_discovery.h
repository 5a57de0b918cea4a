#pragma once

#include <QList>

#include "serial/port_list.h"

// The serial ports present in the machine, in no particular order: on Windows the values of
// the registry's serial-port key, elsewhere what Qt finds (ttyS0, ttyUSB0, ttyACM0, ...).
QList<PortEntry> discoverSystemPorts();
