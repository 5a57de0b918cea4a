#pragma once

#include <QString>
#include <QStringList>

namespace lir2 {

// The program's version, as its window's caption and --version show it.
inline constexpr char kProgramVersion[] = "8.0";

// The service switch: a parameter string that begins with exactly these two characters.
inline constexpr char kServiceSwitch[] = "-s";

// What the command line asks for. The parameter string is the arguments after the program's
// name joined by single blanks, as the operating system hands it over.
struct CommandLine {
  bool serviceMode = false;
  QString portPath;        // --port PATH: a port to add to the list and select
  QString simProfile;      // --sim-profile NAME: how the built-in simulated device behaves
  bool simulated = false;  // --simulated: select the built-in simulated device
  bool help = false;       // --help (-h): the usage, and nothing started
  bool version = false;    // --version: the version, and nothing started
  QString error;           // an unknown or malformed option, for the user: nothing is started
};

bool isServiceSwitch(const QString& parameterString);
// A parameter string that begins with the service switch makes its first argument the switch,
// whatever follows it there (-s, -service); the others are the options above or Qt's own
// (-platform NAME, -style NAME, ...). Anything else is an error.
CommandLine parseCommandLine(const QStringList& arguments);  // arguments[0] is the program

// The usage, naming the simulated device's profiles.
QString usageText(const QStringList& simProfiles);

}  // namespace lir2
