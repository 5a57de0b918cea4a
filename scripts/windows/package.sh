#!/usr/bin/env bash
# Makes the Windows packages from the Windows build, into build-windows/package/: the installer
# LIR2Gui-<version>-win64.exe (NSIS) and the portable LIR2Gui-<version>-win64.zip. Both carry
# the programs with exactly the DLLs, plugins and translations they load (found by
# packaging/windows/deploy.cmake), stripped.
set -euo pipefail
source "$(dirname "$0")/common.sh"
[ -f "$win_build/CPackConfig.cmake" ] || "$repo/scripts/windows/build.sh"
nice -n 10 cmake --build "$win_build" --target lir2gui lir2-cli -j2 >/dev/null
rm -rf "$win_build/package"
if ! (cd "$win_build" && cpack -B package >cpack.log 2>&1); then
  cat "$win_build/cpack.log" >&2
  echo "cpack failed" >&2
  exit 1
fi
sed 's/^/  /' "$win_build/deploy.txt"
for f in "$win_build"/package/LIR2Gui-*-win64.{exe,zip}; do
  printf '  %s  %s\n' "$(du -h "$f" | cut -f1)" "$f"
done
