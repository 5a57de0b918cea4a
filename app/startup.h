#pragma once

#include <QString>
#include <QStringList>

// The service switch: a parameter string that begins with exactly these two characters.
inline constexpr char kServiceSwitch[] = "-s";

// What the command line asks for. The parameter string is the arguments after the program's
// name joined by single blanks, as the operating system hands it over.
struct CommandLine {
  bool serviceMode = false;
  QString portPath;        // --port PATH: a port to add to the list and select
  QString simProfile;      // --sim-profile NAME: how the built-in simulated device behaves
  bool simulated = false;  // --simulated: select the built-in simulated device
  QString error;           // a malformed option, for the user
};

bool isServiceSwitch(const QString& parameterString);
CommandLine parseCommandLine(const QStringList& arguments);  // arguments[0] is the program
