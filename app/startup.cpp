#include "startup.h"

namespace lir2 {

namespace {

// Qt's own options, which QApplication takes; those of the first list take a value.
const char* const kQtValueOptions[] = {
    "-platform",     "-platformpluginpath", "-platformtheme", "-plugin",     "-qwindowgeometry",
    "-qwindowtitle", "-qwindowicon",        "-style",         "-stylesheet", "-session",
    "-display",      "-geometry",           "-title",         "-name"};
const char* const kQtFlags[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};

}  // namespace

bool isServiceSwitch(const QString& parameterString) {
  return parameterString.startsWith(QLatin1String(kServiceSwitch));
}

CommandLine parseCommandLine(const QStringList& arguments) {
  CommandLine cl;
  const QStringList params = arguments.mid(1);
  cl.serviceMode = isServiceSwitch(params.join(QLatin1Char(' ')));
  const auto fail = [&cl](const QString& text) {
    if (cl.error.isEmpty()) cl.error = text;
  };
  for (qsizetype i = cl.serviceMode ? 1 : 0; i < params.size(); ++i) {
    const QString& a = params[i];
    if (a == QLatin1String("--simulated")) {
      cl.simulated = true;
      continue;
    }
    if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
      cl.help = true;
      continue;
    }
    if (a == QLatin1String("--version")) {
      cl.version = true;
      continue;
    }
    bool known = false;
    for (const auto& [name, target] :
         {std::pair{QStringLiteral("--port"), &cl.portPath},
          std::pair{QStringLiteral("--sim-profile"), &cl.simProfile}}) {
      if (a == name) {
        known = true;
        if (i + 1 < params.size())
          *target = params[++i];
        else
          fail(QStringLiteral("ключу %1 нужно значение").arg(name));
      } else if (a.startsWith(name + QLatin1Char('='))) {
        known = true;
        *target = a.mid(name.size() + 1);
      }
    }
    for (const char* option : kQtValueOptions) {
      const QLatin1String name(option);
      if (a == name) {
        known = true;
        ++i;  // its value; Qt itself says when it is missing
      } else if (a.startsWith(name + QLatin1Char('='))) {
        known = true;
      }
    }
    for (const char* flag : kQtFlags) known = known || a == QLatin1String(flag);
    if (known) continue;
    fail(a.startsWith(QLatin1Char('-')) ? QStringLiteral("неизвестный ключ: %1").arg(a)
                                        : QStringLiteral("лишний аргумент: %1").arg(a));
  }
  return cl;
}

QString usageText(const QStringList& simProfiles) {
  return QStringLiteral(
             "Использование: lir2gui [-s] [--port ПУТЬ | --simulated] [--sim-profile ИМЯ]\n"
             "\n"
             "Сервисная программа для инверторов-зарядных устройств ЛИР: загрузка прошивки,\n"
             "монитор, трансляция.\n"
             "\n"
             "  -s                 сервисный режим; только первым ключом (годится и -service)\n"
             "  --port ПУТЬ        добавить порт в список «Железо» и выбрать его на этот запуск\n"
             "                     (например /dev/serial/by-id/usb-… или терминал lir2-sim)\n"
             "  --simulated        выбрать встроенный симулятор «Симулятор LIR»\n"
             "  --sim-profile ИМЯ  поведение симулятора (по умолчанию lir): %1\n"
             "  -h, --help         эта справка\n"
             "  --version          версия программы\n"
             "\n"
             "Ключи самой Qt (-platform ИМЯ, -style ИМЯ и другие) передаются Qt.\n")
      .arg(simProfiles.join(QStringLiteral(", ")));
}

}  // namespace lir2
