#pragma once

#include <QSerialPort>
#include <QString>
#include <QStringList>

#include <optional>

namespace lir2 {

// Why a port did not open, or why an open line went away, in words a service engineer can act
// on. QSerialPort reports little more than "permission error" for three different situations
// (a port held by another program, a user outside the port's group, a lock file it cannot
// take), so the reason is worked out from what the system shows about the port at that moment.

// A process that holds a port, as the port's lock file names it.
struct PortHolder {
  qint64 pid = 0;
  QString program;  // the process's name (/proc/PID/comm); empty when it cannot be read
};

// What the system shows about a port path when it did not open.
struct PortFacts {
  enum class Kind { CharDevice, RegularFile, Folder, Other };
  bool exists = true;            // the path names something
  Kind kind = Kind::CharDevice;  // what it names (through a link)
  bool accessible = true;        // this user may read and write it
  QString user;                  // this user's login name
  QString group;                 // the group the device belongs to; empty when it is root's own
  QString owner;                 // the user it belongs to
  uint mode = 0660;              // its permission bits
  // The device's group may read and write it: joining the group gives access.
  bool groupMayUse = true;
  // The user is listed in that group, but this session was started before: the group counts
  // only after a new login.
  bool groupNeedsLogin = false;
  std::optional<PortHolder> holder;  // a live process holding the port's lock file
  qint64 ownPid = 0;                 // this process
};

enum class PortFault {
  Missing,       // no such device: the adapter is not plugged in, or the name is wrong
  Busy,          // another program (or this one) has the port open
  NoPermission,  // this user may not open it
  NotAPort,      // the path names no serial port (a regular file, a folder, /dev/null)
  Vanished,      // the line was open and has gone (adapter unplugged, far end closed)
  Other,
};

struct PortReason {
  PortFault fault = PortFault::Other;
  QString text;  // one or two sentences in Russian: what happened and what to do
};

// The device path of a port as QSerialPort names it: a bare name ("ttyUSB0", "pts/3") lives
// under /dev, anything else is a path already. On Windows the port's name (COM3, also for
// \\.\COM3), as messages name it.
QString portSystemLocation(const QString& portName);

// Whether the system has the port (the device file; on Windows the device name) now.
bool portPresent(const QString& path);

// The lock files that may hold a port, in the places and forms that programs use
// (LCK..ttyUSB0 under /run/lock and its kin; LCK..pts_3 for a name with a slash).
QStringList portLockFileCandidates(const QString& path);

// The process a lock file names, when it is still alive. The file holds the process id as
// decimal text, alone or as the first line.
std::optional<PortHolder> lockFileHolder(const QString& lockFile);

// Looks at the port path as the system shows it now (port_probe_posix.cpp,
// port_probe_windows.cpp).
PortFacts probePort(const QString& path);

// The reason for a failed opening, from what QSerialPort reported and the facts.
PortReason explainOpenFailure(const QString& path, QSerialPort::SerialPortError error,
                              const QString& errorString, const PortFacts& facts);

// The same with the facts probed now; portName as QSerialPort::portName() gives it.
QString portOpenReason(const QString& portName, QSerialPort::SerialPortError error,
                       const QString& errorString);

// How a --port name is taken: an absolute path as it is; a relative one in the current folder
// when something of that name is there, else under /dev. note says which was tried and why,
// for a name that did not stand as it was typed; empty otherwise.
struct PortArgument {
  QString path;
  QString note;
};
PortArgument resolvePortArgument(const QString& typed);

// The reason for a line that was open and failed (a read or write error).
PortReason explainVanished(const QString& path, bool stillExists);
QString portVanishedReason(const QString& path);

}  // namespace lir2
