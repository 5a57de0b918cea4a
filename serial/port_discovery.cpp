#include "port_discovery.h"

#include <QSerialPortInfo>

namespace lir2 {

QList<PortEntry> discoverSystemPorts() {
  // On Windows too: the registry's own list of ports (SERIALCOMM) names its values after the
  // drivers' devices ("\Device\Serial0"), which a settings reader cannot take as keys; the
  // system's port enumeration gives the names, the device paths and the adapters.
  QList<PortEntry> ports;
  const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
  for (qsizetype i = 0; i < infos.size() && i < 255; ++i) {
    const QSerialPortInfo& info = infos[i];
    ports.append({info.portName(), info.systemLocation(), PortEntry::Kind::System,
                  info.description(), info.manufacturer(), info.serialNumber()});
  }
  return ports;
}

QHash<QString, QString> adapterDescriptions() {
  QHash<QString, QString> adapters;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
    adapters.insert(info.systemLocation(), adapterDescription(info));
  return adapters;
}

QString adapterDescription(const QSerialPortInfo& info) {
  QStringList parts;
  if (!info.description().isEmpty()) parts << info.description();
  if (!info.manufacturer().isEmpty() && info.manufacturer() != info.description())
    parts << info.manufacturer();
  if (info.hasVendorIdentifier() && info.hasProductIdentifier())
    parts << QStringLiteral("USB %1:%2")
                 .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                 .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
  if (!info.serialNumber().isEmpty()) parts << QStringLiteral("s/n ") + info.serialNumber();
  return parts.join(QStringLiteral(", "));
}

}  // namespace lir2
