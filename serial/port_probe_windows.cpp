// What Windows shows about a port: whether the system has a device of that name. Windows has no
// lock files and no port groups; a port another program holds is refused with "access denied".
#include <QCoreApplication>
#include <QFileInfo>

#include <windows.h>

#include "serial/port_reason.h"

namespace lir2 {

namespace {

// "COM3" of "\\.\COM3" (or "//./COM3"), the name the system's device table knows.
QString deviceName(const QString& path) {
  for (const QLatin1String prefix : {QLatin1String("\\\\.\\"), QLatin1String("//./")})
    if (path.startsWith(prefix)) return path.mid(prefix.size());
  return path;
}

}  // namespace

QString portSystemLocation(const QString& portName) {
  // Messages name the port as the user chose it (COM3); QSerialPort adds the \\.\ itself.
  return deviceName(portName);
}

bool portPresent(const QString& path) {
  const QString name = deviceName(path);
  if (name.contains(QLatin1Char('\\')) || name.contains(QLatin1Char('/')))
    return QFileInfo::exists(path);
  wchar_t target[1024];
  return QueryDosDeviceW(reinterpret_cast<LPCWSTR>(name.utf16()), target, 1024) != 0;
}

PortFacts probePort(const QString& path) {
  PortFacts facts;
  facts.ownPid = QCoreApplication::applicationPid();
  facts.exists = portPresent(path);
  // A path (not a device name) may name a file or a folder, which is no port.
  const QFileInfo info(path);
  if (info.isFile()) facts.kind = PortFacts::Kind::RegularFile;
  if (info.isDir()) facts.kind = PortFacts::Kind::Folder;
  return facts;
}

}  // namespace lir2
