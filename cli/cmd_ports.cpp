// lir2-cli ports: the machine's serial ports, as the hardware options list them.
#include "cli/cli_commands.h"
#include "serial/port_discovery.h"
#include "serial/port_list.h"
#include "serial/shown_text.h"

namespace lir2 {

namespace {

int runPorts(const Invocation&) {
  QStringList names;
  const QList<PortEntry> ports = discoverSystemPorts();
  const QHash<QString, QString> adapters = adapterDescriptions();
  for (const PortEntry& e : ports) names << e.name;
  const QStringList ordered = orderPortNames(names);
  if (ordered.isEmpty()) {
    printErr(
        QStringLiteral("Нет COM: последовательных портов не найдено. Подключите адаптер; "
                       "для опытов есть --simulated.\n"));
    return Exit::Ok;
  }
  for (const QString& name : ordered) {
    QString path = name, adapter;
    for (const PortEntry& e : ports) {
      if (e.name != name) continue;
      path = e.path;
      adapter = adapters.value(e.path);
      break;
    }
    // The adapter's words come from its USB descriptors: anything may stand in them.
    const QString shown = shownText(name) + QLatin1Char('\t') + shownText(path);
    printOut(adapter.isEmpty()
                 ? shown + QLatin1Char('\n')
                 : shown + QLatin1Char('\t') + shownText(adapter) + QLatin1Char('\n'));
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

}  // namespace lir2
