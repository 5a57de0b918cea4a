#include "cli/terminal.h"

#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace lir2 {

namespace {

UINT g_outputCodePage = 0;
HANDLE g_output = INVALID_HANDLE_VALUE;
DWORD g_outputMode = 0;

void restoreConsole() {
  if (g_outputCodePage != 0) SetConsoleOutputCP(g_outputCodePage);
  if (g_output != INVALID_HANDLE_VALUE) SetConsoleMode(g_output, g_outputMode);
}

bool isConsole(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

}  // namespace

void prepareTerminal() {
  // Bytes out as written, as on Linux: a backup sent to standard output keeps its line ends.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // The program writes UTF-8; a console shows its own code page (866 or 1251) unless told.
  if (const UINT cp = GetConsoleOutputCP(); cp != 0 && cp != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
    g_outputCodePage = cp;
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode) && !(mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) &&
      SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
    g_output = out;
    g_outputMode = mode;
  }
  std::atexit(restoreConsole);
}

int terminalWidth() {
  // _isatty is also true for NUL; only a console has a screen buffer.
  if (!_isatty(_fileno(stdout))) return 0;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return 0;
  const int width = info.srWindow.Right - info.srWindow.Left + 1;
  return width > 20 ? width : 80;
}

bool inputIsTerminal() {
  return isConsole(STD_INPUT_HANDLE);
}

std::optional<QString> readInputLine() {
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  if (isConsole(STD_INPUT_HANDLE)) {
    // As typed, in UTF-16: the console's byte input is in its OEM code page, not the program's.
    wchar_t line[256];
    DWORD read = 0;
    if (!ReadConsoleW(in, line, 255, &read, nullptr) || read == 0) {
      // Ctrl-C ends the read before its handler has run on its own thread: give it a moment,
      // so the caller sees the interruption rather than an empty answer.
      Sleep(200);
      return std::nullopt;
    }
    QString text = QString::fromWCharArray(line, static_cast<int>(read));
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'))) text.chop(1);
    return text;
  }
  char line[256] = {};
  if (!std::fgets(line, sizeof line, stdin)) return std::nullopt;
  QString text = QString::fromLocal8Bit(line);
  while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'))) text.chop(1);
  return text;
}

}  // namespace lir2
