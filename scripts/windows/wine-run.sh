#!/usr/bin/env bash
# Runs a Windows program of the build under Wine: CTest's cross-compiling emulator, and the
# scripts' way to start one. A private Wine prefix (build-windows/wine, or $WINEPREFIX), made on
# first use; the Qt and MinGW DLLs found through WINEPATH.
set -euo pipefail
source "$(dirname "$0")/common.sh"
qt=${LIR2_WIN_QT:-$(win_qt_find)} || { win_qt_missing_line >&2; exit 1; }
win_wine_env "$qt"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # Two tests starting at once make the prefix once.
  flock "$WINEPREFIX/.boot.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || wine64 wineboot -i >/dev/null 2>&1'
fi
exec wine64 "$@"
