// lir2-cli: the service tool's upload, identification, EEPROM backup and recording from the
// command line, for scripts and for flashing many devices in a row. No windows: the same
// libraries as lir2gui.
#include <QCoreApplication>

#include "cli/cli_app.h"
#include "cli/cli_line.h"
#include "cli/terminal.h"

namespace lir2 {}  // namespace lir2

using namespace lir2;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("lir2-cli"));
  QCoreApplication::setApplicationVersion(QStringLiteral(LIR2_VERSION));
  prepareTerminal();
  Interrupt::install();
  return runCli(QCoreApplication::arguments());
}
