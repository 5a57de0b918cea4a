// lir2-cli ports: the machine's serial ports, as the hardware options list them.
#include <QSerialPortInfo>

#include "cli/cli_commands.h"
#include "serial/port_discovery.h"
#include "serial/port_list.h"
#include "serial/shown_text.h"

namespace {

// "FT232R USB UART, FTDI, USB 0403:6001" from what the system knows of the adapter.
QString adapterText(const QSerialPortInfo& info) {
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

int runPorts(const Invocation&) {
  QStringList names;
  for (const PortEntry& e : discoverSystemPorts()) names << e.name;
  const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
  const QStringList ordered = orderPortNames(names);
  if (ordered.isEmpty()) {
    printErr(
        QStringLiteral("Нет COM: последовательных портов не найдено. Подключите адаптер; "
                       "для опытов есть --simulated.\n"));
    return Exit::Ok;
  }
  for (const QString& name : ordered) {
    QString path = name, adapter;
    for (const QSerialPortInfo& info : infos) {
      if (info.portName() != name) continue;
      path = info.systemLocation();
      adapter = adapterText(info);
      break;
    }
    // The adapter's words come from its USB descriptors: anything may stand in them.
    const QString shown = ShownText(name) + QLatin1Char('\t') + ShownText(path);
    printOut(adapter.isEmpty()
                 ? shown + QLatin1Char('\n')
                 : shown + QLatin1Char('\t') + ShownText(adapter) + QLatin1Char('\n'));
  }
  return Exit::Ok;
}

}  // namespace

Subcommand portsCommand() {
  Subcommand c;
  c.words = {QStringLiteral("ports")};
  c.summary = QStringLiteral("последовательные порты машины (список «COM Порты» в «Железо»)");
  c.help = QStringLiteral(
      "Выводит порты, которые окно показывает в «Железо», по одному в строке и в том же\n"
      "порядке: имя, путь устройства и, где система это знает, адаптер (описание,\n"
      "изготовитель, USB vendor:product, серийный номер), через табуляцию. Путь годится для\n"
      "--port. Псевдотерминалы в список не входят; встроенный симулятор — --simulated.");
  c.run = runPorts;
  return c;
}
