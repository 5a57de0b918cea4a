#include "cli/terminal.h"

#include <cstdio>

#include <sys/ioctl.h>
#include <unistd.h>

namespace lir2 {

void prepareTerminal() {}

int terminalWidth() {
  if (!::isatty(STDOUT_FILENO)) return 0;
  winsize ws{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 20) return ws.ws_col;
  return 80;
}

bool inputIsTerminal() {
  return ::isatty(STDIN_FILENO);
}

std::optional<QString> readInputLine() {
  char line[256] = {};
  if (!std::fgets(line, sizeof line, stdin)) return std::nullopt;
  QString text = QString::fromLocal8Bit(line);
  while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'))) text.chop(1);
  return text;
}

}  // namespace lir2
