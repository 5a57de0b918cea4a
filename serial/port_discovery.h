#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include "serial/port_list.h"

class QSerialPortInfo;

namespace lir2 {

// The serial ports present in the machine, in no particular order, as the system lists them
// (COM3 ... on Windows, ttyS0, ttyUSB0, ttyACM0 ... elsewhere), each with the device path that
// opens it (\\.\COM3, /dev/ttyUSB0).
QList<PortEntry> discoverSystemPorts();

// "FT232R USB UART, FTDI, USB 0403:6001, s/n A1B2C3D4" from what the system knows of the
// adapter; empty when it knows nothing.
QString adapterDescription(const QSerialPortInfo& info);
// The adapters of the ports present now, by device path (as PortEntry::path holds it).
QHash<QString, QString> adapterDescriptions();

}  // namespace lir2
