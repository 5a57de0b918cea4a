#include "port_discovery.h"

#ifdef Q_OS_WIN
#include <QSettings>
#else
#include <QSerialPortInfo>
#endif

QList<PortEntry> discoverSystemPorts() {
  QList<PortEntry> ports;
#ifdef Q_OS_WIN
  // Read only; a missing key simply lists nothing. Only the first 255 values count.
  QSettings key(QStringLiteral("HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM"),
                QSettings::NativeFormat);
  const QStringList values = key.childKeys();
  for (qsizetype i = 0; i < values.size() && i < 255; ++i) {
    const QString name = key.value(values[i]).toString();
    ports.append({name, name, PortEntry::Kind::System});
  }
#else
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
    ports.append({info.portName(), info.systemLocation(), PortEntry::Kind::System,
                  info.description(), info.manufacturer(), info.serialNumber()});
#endif
  return ports;
}
