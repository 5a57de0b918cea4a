#pragma once

// lir2-cli's command line: a table of subcommands, each with its options, its help and the
// function that runs it. A subcommand may be one word ("upload") or two ("eeprom dump"); adding
// one is one entry in the table of cli_app.cpp.
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace lir2 {

// Exit statuses besides the result codes of the line (3 to 27, passed through; 1, the user's
// stop, only ever ends a run as a signal's status).
namespace Exit {
enum : int {
  Ok = 0,
  Differs = 1,         // eeprom diff and restore: the device's EEPROM differs from the file
  Usage = 2,           // unknown subcommand or option, missing or extra arguments
  NotFirmware = 65,    // the file is no firmware the upload may send ("Не верный файл")
  NotEepromFile = 65,  // the file is no EEPROM backup the reader takes
  FileUnreadable = 66,  // the file is missing or cannot be read
  PortUnavailable = 69,  // the port does not open (result 2, "Ошибка открытия COM порта")
  FileUnwritable = 73,  // the output file cannot be created or written
  LineLost = 74,        // the open line went away (adapter unplugged, far end closed)
  SignalBase = 128,     // ended by a signal: 130 for Ctrl-C, 143 for SIGTERM
};
}

struct OptionSpec {
  QString name;       // "--port"
  QString valueName;  // "ПУТЬ"; empty for a switch
  QString help;
};

// What the parser found behind the subcommand's words.
struct Invocation {
  QStringList args;                   // positional arguments
  QHash<QString, QString> values;     // options with a value, by name (the last one given)
  QHash<QString, QStringList> lists;  // every value of each option, in the order given
  QSet<QString> switches;             // switches given
  bool has(const QString& name) const { return values.contains(name) || switches.contains(name); }
  QString value(const QString& name) const { return values.value(name); }
  QStringList valuesOf(const QString& name) const { return lists.value(name); }
};

struct Subcommand {
  QStringList words;  // {"upload"}, {"eeprom", "dump"}
  QString synopsis;   // what follows the words in the usage line
  QString summary;    // one line for the list of subcommands
  QString help;       // the body of its --help
  QList<OptionSpec> options;
  int minArgs = 0;
  int maxArgs = 0;
  std::function<int(const Invocation&)> run;
};

// Options shared by the subcommands that talk to a device.
QList<OptionSpec> lineOptions();
OptionSpec rateOption();

// Output in UTF-8, flushed at once (progress and messages interleave with other programs').
void printOut(const QString& text);
void printErr(const QString& text);
// A failure: "lir2-cli: " and the text on standard error.
void printError(const QString& text);

// Runs the program with its arguments (arguments[0] is the program) and returns the exit status.
int runCli(const QStringList& arguments);

}  // namespace lir2
