#pragma once

// The subcommands of lir2-cli, one function each, gathered into the table in cli_app.cpp.
#include "cli/cli_app.h"

namespace lir2 {

Subcommand portsCommand();
Subcommand uploadCommand();
Subcommand identifyCommand();
Subcommand eepromDumpCommand();
Subcommand eepromDiffCommand();
Subcommand eepromRestoreCommand();
Subcommand recordCommand();
#ifdef LIR2_HAVE_SERVE
Subcommand serveCommand();  // where libmosquitto is found
#endif

}  // namespace lir2
