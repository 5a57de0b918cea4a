#!/usr/bin/env bash
# Cross-builds the programs and the tests for 64-bit Windows into build-windows/ (or
# $LIR2_WIN_BUILD_DIR): lir2gui.exe, lir2-cli.exe, lir2-window-shots.exe and the test programs,
# with MinGW-w64 against Qt for MinGW (found or unpacked by common.sh). Arguments go to CMake.
set -euo pipefail
source "$(dirname "$0")/common.sh"
qt=$(win_qt_find) || { win_qt_missing_line >&2; exit 1; }
"$repo/scripts/windows/setup.sh"
win_qt_complete "$qt"

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# -O2 rather than Release's -O3: as fast here, and quicker to build. No benchmarks: they measure
# Linux's pseudo-terminals and processes.
cmake -S "$repo" -B "$win_build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$repo/scripts/windows/toolchain-mingw64.cmake" \
  -DLIR2_WIN_QT="$qt" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DLIR2_BUILD_BENCH=OFF "${launcher[@]}" "$@" >/dev/null
nice -n 10 cmake --build "$win_build" -j2
