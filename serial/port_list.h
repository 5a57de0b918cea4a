#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace lir2 {

// One item of the port list in the hardware options.
struct PortEntry {
  enum class Kind {
    System,     // a serial port of the machine (COM3, ttyUSB0, ...)
    Path,       // a device path named on the command line (a pseudo-terminal, say)
    Simulated,  // the built-in simulated device
  };
  QString name;  // as the list shows it and the configuration file remembers it
  QString path;  // what is opened: the device path; empty for the simulated device
  Kind kind = Kind::System;
  // What the system knows of the adapter behind a port (a USB serial adapter says all three;
  // a built-in port usually nothing), so that two adapters can be told apart.
  QString description = {};
  QString manufacturer = {};
  QString serialNumber = {};

  bool operator==(const PortEntry&) const = default;
};

// The line rates the hardware options offer, in bit/s.
inline constexpr qint32 kLineRates[] = {2400, 9600, 19200, 57600, 115200};

// The text the list shows when there is no port to choose at all.
inline const QString kNoPortText = QStringLiteral("Нет COM");

// The number of a port name of the form "COM" + decimal digits; nothing for other names.
std::optional<int> comPortNumber(const QString& name);

// Orders the names of the machine's ports: those of the form COM<n> first, by number, each
// written without leading zeros and listed once (numbers of 65000 and above are left out, as
// are names whose digits do not convert); then every other name in natural order
// (ttyS2 before ttyS10), without duplicates.
QStringList orderPortNames(const QStringList& names);

// Height of the port group for a list of n items: 40 for none, 30 per item plus 10, 370 above
// twelve, never more than 300.
int portGroupHeight(int itemCount);

// Which item the remembered first line of the configuration file selects. A line that begins
// with "COM" selects, among the first comItemCount items, the first whose characters 4 to 7 read
// as the same number as characters 4 to 7 of the line (so COM003 selects COM3, and COM10 is not
// COM1). Any other line selects the item of exactly that name. Otherwise item 0.
int rememberedPortIndex(const QStringList& items, int comItemCount, const QString& line1);

// Natural order of two names: runs of digits compare by value.
bool naturalLess(const QString& a, const QString& b);

}  // namespace lir2
