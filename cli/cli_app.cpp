#include "cli/cli_app.h"

#include <cstdio>

#include "cli/cli_commands.h"
#include "serial/shown_text.h"
#include "sim/sim_config.h"

namespace lir2 {

namespace {

const QString kProgram = QStringLiteral("lir2-cli");

// The subcommands, in the order the usage lists them.
const QList<Subcommand>& subcommands() {
  static const QList<Subcommand> table = {
      portsCommand(),      uploadCommand(),        identifyCommand(), eepromDumpCommand(),
      eepromDiffCommand(), eepromRestoreCommand(), recordCommand(),
#ifdef LIR2_HAVE_SERVE
      serveCommand(),
#endif
  };
  return table;
}

QString usageLine(const Subcommand& c) {
  return QStringLiteral("%1 %2 %3").arg(kProgram, c.words.join(QLatin1Char(' ')), c.synopsis);
}

QString optionLines(const QList<OptionSpec>& options) {
  QString text;
  for (const OptionSpec& o : options) {
    const QString head = o.valueName.isEmpty() ? o.name : o.name + QLatin1Char(' ') + o.valueName;
    text += QStringLiteral("  %1  %2\n").arg(head, -22).arg(o.help);
  }
  return text;
}

QString generalUsage() {
  QString text = QStringLiteral(
      "Использование: lir2-cli КОМАНДА [ПАРАМЕТРЫ]\n\n"
      "Сервисная программа для инверторов ЛИР из командной строки: загрузка прошивки,\n"
      "опрос устройства, копия EEPROM и запись значений — так же, как в окне LIR2Gui.\n\n"
      "Команды:\n");
  for (const Subcommand& c : subcommands())
    text += QStringLiteral("  %1  %2\n").arg(c.words.join(QLatin1Char(' ')), -14).arg(c.summary);
  text += QStringLiteral("\nЛиния (для команд, которые говорят с устройством):\n") +
          optionLines(lineOptions() + QList<OptionSpec>{rateOption()});
  text += QStringLiteral(
      "\n  --help                  эта справка; lir2-cli КОМАНДА --help — справка по команде\n"
      "  --version               версия программы\n\n"
      "Коды завершения:\n"
      "  0         Нет ошибок\n"
      "  1         eeprom diff: EEPROM устройства отличается от файла; eeprom restore: запись\n"
      "            не подтверждена, файл с устройства другого типа без --force-other-device\n"
      "            или ячейка не держит записанное значение\n"
      "  2         неверная командная строка (и eeprom restore без --yes не с терминала)\n"
      "  3-27      код результата обмена с устройством, как в строке ошибок окна\n"
      "            (например, 20 — «Долго нет ответа при чтении»)\n"
      "  65        файл не является прошивкой («Не верный файл», и слишком большой для неё)\n"
      "            или копией EEPROM\n"
      "  66        файл не найден, не читается или не обычный файл\n"
      "  69        порт не открывается («Ошибка открытия COM порта»; причина — в сообщении)\n"
      "  73        файл не создаётся или не записывается (прежний файл остаётся как был);\n"
      "            устройство, канал или папка вместо файла\n"
      "  74        связь с портом потеряна во время работы (адаптер отключён)\n"
      "  130       прервано (Ctrl-C)\n"
      "  143       завершено сигналом SIGTERM\n");
  return text;
}

QString commandHelp(const Subcommand& c) {
  return QStringLiteral(
             "Использование: %1\n\n%2\n\nПараметры:\n%3  --help                  эта "
             "справка\n")
      .arg(usageLine(c), c.help, optionLines(c.options));
}

int usageError(const QString& message, const Subcommand* c) {
  // It may quote an argument, and a glob can hand over any file name.
  printError(shownText(message));
  printErr(c ? QStringLiteral("Использование: %1\nПодробнее: lir2-cli %2 --help\n")
                   .arg(usageLine(*c), c->words.join(QLatin1Char(' ')))
             : generalUsage());
  return Exit::Usage;
}

const OptionSpec* findOption(const Subcommand& c, const QString& name) {
  for (const OptionSpec& o : c.options)
    if (o.name == name) return &o;
  return nullptr;
}

}  // namespace

QList<OptionSpec> lineOptions() {
  return {
      {QStringLiteral("--port"), QStringLiteral("ПУТЬ"),
       QStringLiteral("порт: /dev/ttyUSB0, /dev/serial/by-id/..., псевдотерминал")},
      {QStringLiteral("--simulated"), QString(),
       QStringLiteral("встроенный симулятор устройства, как «Симулятор LIR» в «Железо»")},
      {QStringLiteral("--sim-profile"), QStringLiteral("ИМЯ"),
       QStringLiteral("профиль симулятора, по умолчанию lir (%1)")
           .arg(simProfileNames().join(QStringLiteral(", ")))},
  };
}

OptionSpec rateOption() {
  return {QStringLiteral("--rate"), QStringLiteral("N"),
          QStringLiteral("скорость монитора, бит/с: 2400, 9600, 19200 (по умолчанию), 57600, "
                         "115200")};
}

void printOut(const QString& text) {
  std::fputs(text.toUtf8().constData(), stdout);
  std::fflush(stdout);
}

void printErr(const QString& text) {
  std::fputs(text.toUtf8().constData(), stderr);
  std::fflush(stderr);
}

void printError(const QString& text) {
  printErr(kProgram + QStringLiteral(": ") + text + QLatin1Char('\n'));
}

int runCli(const QStringList& arguments) {
  const QStringList params = arguments.mid(1);
  if (params.isEmpty()) return usageError(QStringLiteral("не указана команда"), nullptr);
  const QString& first = params.constFirst();
  if (first == QLatin1String("--help") || first == QLatin1String("-h") ||
      first == QLatin1String("help")) {
    printOut(generalUsage());
    return Exit::Ok;
  }
  if (first == QLatin1String("--version")) {
    printOut(QStringLiteral("lir2-cli %1 (Qt %2)\n").arg(QStringLiteral(LIR2_VERSION), qVersion()));
    return Exit::Ok;
  }

  // The longest run of words that names a subcommand.
  const Subcommand* command = nullptr;
  for (const Subcommand& c : subcommands()) {
    if (params.mid(0, c.words.size()) == c.words &&
        (!command || c.words.size() > command->words.size()))
      command = &c;
  }
  if (!command) {
    // "eeprom" alone or with an unknown second word: name the words it may take.
    QStringList next;
    for (const Subcommand& c : subcommands())
      if (c.words.size() > 1 && c.words.constFirst() == first) next << c.words[1];
    if (next.isEmpty())
      return usageError(QStringLiteral("неизвестная команда «%1»").arg(first), nullptr);
    return usageError(
        params.size() > 1 && !params[1].startsWith(QLatin1Char('-'))
            ? QStringLiteral("неизвестная команда «%1 %2» (есть: %3)")
                  .arg(first, params[1], next.join(QStringLiteral(", ")))
            : QStringLiteral("после «%1» укажите %2").arg(first, next.join(QStringLiteral(", "))),
        nullptr);
  }

  Invocation inv;
  bool optionsEnd = false;
  for (qsizetype i = command->words.size(); i < params.size(); ++i) {
    const QString& a = params[i];
    if (optionsEnd || a == QLatin1String("-") || !a.startsWith(QLatin1Char('-'))) {
      inv.args << a;
      continue;
    }
    if (a == QLatin1String("--")) {
      optionsEnd = true;
      continue;
    }
    if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
      printOut(commandHelp(*command));
      return Exit::Ok;
    }
    const qsizetype eq = a.indexOf(QLatin1Char('='));
    const QString name = eq < 0 ? a : a.left(eq);
    const OptionSpec* spec = findOption(*command, name);
    if (!spec) return usageError(QStringLiteral("неизвестный параметр «%1»").arg(name), command);
    if (spec->valueName.isEmpty()) {
      if (eq >= 0)
        return usageError(QStringLiteral("параметр %1 не принимает значения").arg(name), command);
      inv.switches << name;
    } else if (eq >= 0) {
      inv.values[name] = a.mid(eq + 1);
      inv.lists[name] << inv.values[name];
    } else if (i + 1 < params.size()) {
      inv.values[name] = params[++i];
      inv.lists[name] << inv.values[name];
    } else {
      return usageError(
          QStringLiteral("параметру %1 нужно значение (%2)").arg(name, spec->valueName), command);
    }
  }
  if (inv.args.size() < command->minArgs)
    return usageError(QStringLiteral("не хватает аргументов"), command);
  if (inv.args.size() > command->maxArgs)
    return usageError(QStringLiteral("лишний аргумент «%1»").arg(inv.args.value(command->maxArgs)),
                      command);
  const int status = command->run(inv);
  if (status == Exit::Usage)
    printErr(QStringLiteral("Использование: %1\n").arg(usageLine(*command)));
  return status;
}

}  // namespace lir2
