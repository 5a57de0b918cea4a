#pragma once

// What lir2-cli needs of the terminal, which differs between a Linux terminal and a Windows
// console.
#include <QString>

#include <optional>

namespace lir2 {

// Before any output. On Windows: standard output and error pass bytes unchanged (no CR added),
// and the console shows UTF-8 and understands the escape sequence the progress bar ends its
// line with; the console's own settings come back when the program ends.
void prepareTerminal();
// Columns of the terminal on standard output, or 0 when standard output is no terminal.
int terminalWidth();
// Whether standard input is a terminal a user types into.
bool inputIsTerminal();
// One line typed on standard input, without its line end; nothing at its end.
std::optional<QString> readInputLine();

}  // namespace lir2
