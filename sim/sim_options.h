#pragma once

#include "sim/sim_config.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace lir2 {

// The command line of lir2-sim: a profile, then any knob of the device, plus what the
// program itself does (symlink, line timing, dumps at exit).
struct SimProgramOptions {
  SimConfig config;
  QString link;  // symlink to the pseudo-terminal, removed at exit
  bool emulateRate = false;
  qint32 fixedRate = 0;  // emulated rate; 0 = the rate the host configured
  QString dumpImage;     // received program as Intel HEX records, written at exit
  QString dumpEeprom;    // EEPROM (1024 bytes) written at exit
  bool verbose = false;
};

struct SimArgumentsOutcome {
  std::optional<SimProgramOptions> options;  // set when the program should run
  bool help = false;                         // --help: print text and end successfully
  QString text;                              // the help text, or what was wrong
};

// arguments[0] is the program name.
SimArgumentsOutcome parseSimArguments(const QStringList& arguments);

// "\r", "\n", "\t", "\\" and "\xHH" in a typed text become the bytes they name.
std::optional<QByteArray> unescapeText(const QString& typed);

}  // namespace lir2
