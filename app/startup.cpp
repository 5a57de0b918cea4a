#include "startup.h"

bool isServiceSwitch(const QString& parameterString) {
  return parameterString.startsWith(QLatin1String(kServiceSwitch));
}

CommandLine parseCommandLine(const QStringList& arguments) {
  CommandLine cl;
  const QStringList params = arguments.mid(1);
  cl.serviceMode = isServiceSwitch(params.join(QLatin1Char(' ')));
  for (qsizetype i = 0; i < params.size(); ++i) {
    const QString& a = params[i];
    if (a == QLatin1String("--simulated")) cl.simulated = true;
    for (const auto& [name, target] :
         {std::pair{QStringLiteral("--port"), &cl.portPath},
          std::pair{QStringLiteral("--sim-profile"), &cl.simProfile}}) {
      if (a == name) {
        if (i + 1 < params.size())
          *target = params[++i];
        else
          cl.error = QStringLiteral("%1 needs a value").arg(name);
      } else if (a.startsWith(name + QLatin1Char('='))) {
        *target = a.mid(name.size() + 1);
      }
    }
  }
  return cl;
}
