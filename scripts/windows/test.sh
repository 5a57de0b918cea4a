#!/usr/bin/env bash
# The Windows build, tried under Wine (called by scripts/test.sh). Without Qt for MinGW it says
# in one line how to get it, and passes. With it: installs what is missing (setup.sh), builds
# (build.sh), and runs
#   (a) the unit and table tests through CTest, Wine as the cross-compiling emulator;
#   (b) lir2-cli.exe end to end with the built-in simulated device: identify, EEPROM backup and
#       comparison, an upload, Ctrl-C, paths with Cyrillic letters and spaces;
#   (c) the COM port path as far as Wine carries it: a port mapped to a pseudo-terminal through
#       HKLM\Software\Wine\Ports is listed and gets the bytes written to it; a missing port and
#       a refused one get their named messages and exit status;
#   (d) the packages: the installer installed and removed again, lir2gui.exe started from the
#       unpacked .zip in a clean Wine prefix, and pictures of the windows (lir2-window-shots.exe).
# Wine runs in private prefixes under build-windows/ and its servers are ended afterwards.
set -euo pipefail
source "$(dirname "$0")/common.sh"
qt=$(win_qt_find) || { win_qt_missing_line; exit 0; }
started=$SECONDS

"$repo/scripts/windows/build.sh"
build_s=$((SECONDS - started))
export LIR2_WIN_QT=$qt
win_wine_env "$qt"
export WINEPREFIX=$win_build/wine
clean_prefix=$win_build/wine-clean
work=$win_build/test-work
rm -rf "$work" "$clean_prefix"
mkdir -p "$work"
cli=$win_build/cli/lir2-cli.exe
run=("$repo/scripts/windows/wine-run.sh")
status=0
peers=()

cleanup() {
  for p in "${peers[@]}"; do kill "$p" 2>/dev/null || true; done
  WINEPREFIX=$clean_prefix wineserver -k >/dev/null 2>&1 || true
  wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

fail() { echo "FAILED: $*"; status=1; }
# A fresh Wine server of the prefix that stays for the whole run, and Wine's own services
# started by a program whose output goes nowhere: the services keep the output handles of the
# program that started them, and a test runner would wait for them to close.
wine_up() {
  wineserver -p >/dev/null 2>&1
  wine64 cmd /c exit >/dev/null 2>&1 </dev/null || true
}
ok() { echo "ok: $*"; }

# check NAME STATUS OUTFILE TEXT...: the run ended with STATUS and its output holds each TEXT.
check() {
  local name=$1 want=$2 out=$3 got=$4 text
  shift 4
  if [ "$got" != "$want" ]; then
    fail "$name: exit status $got, not $want"
    sed 's/^/    /' "$out"
    return
  fi
  for text in "$@"; do
    if ! grep -qF -- "$text" "$out"; then
      fail "$name: no «$text» in its output"
      sed 's/^/    /' "$out"
      return
    fi
  done
  ok "$name"
}

# cli NAME STATUS [TEXT...] -- ARGS...: lir2-cli.exe with ARGS in the working folder.
cli() {
  local name=$1 want=$2 texts=() rc=0
  shift 2
  while [ "$1" != "--" ]; do texts+=("$1"); shift; done
  shift
  (cd "$work" && "${run[@]}" "$cli" "$@") >"$work/out.txt" 2>&1 || rc=$?
  check "$name" "$want" "$work/out.txt" "$rc" "${texts[@]}"
}

# The prefix, made on first use.
"${run[@]}" cmd /c exit >/dev/null 2>&1 </dev/null || true

# COM ports for the tests: COM5 and COM12 on pseudo-terminals whose other sides record what
# arrives. COM6 leads to a device the system refuses to open ("access denied", as Windows
# answers for a port another program holds: Wine itself lets two programs open one port).
for port in COM5 COM12; do
  python3 "$repo/scripts/windows/pty-peer.py" "$work/$port" "$work/$port.bytes" &
  peers+=($!)
  for _ in $(seq 50); do [ -L "$work/$port" ] && break; sleep 0.1; done
  wine64 reg add 'HKLM\Software\Wine\Ports' /v "$port" /t REG_SZ /d "$(readlink "$work/$port")" /f \
    >/dev/null 2>&1
done
wine64 reg add 'HKLM\Software\Wine\Ports' /v COM6 /t REG_SZ /d /sys/kernel/notes /f >/dev/null 2>&1
# The mapping is read when Wine starts.
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
wine_up

echo "== (a) unit and table tests under Wine"
tests_started=$SECONDS
if ! (cd "$win_build" && LIR2_TEST_SYSTEM_PORT=COM5 ctest -j2 --output-on-failure --timeout 300 \
        >"$work/ctest.log" 2>&1); then
  tail -n 60 "$work/ctest.log"
  fail "ctest under Wine"
fi
grep -E "tests passed|tests failed" "$work/ctest.log" || true

echo "== (b) lir2-cli.exe and the built-in simulated device"
folder="Прошивки и копии"
mkdir -p "$work/$folder"
cp "$repo/samples/lir-small.lir2" "$work/$folder/прошивка 1.lir2"
cli "identify gen9" 0 "Версия Платы: LCD SIN  Ver 9" " -Pro" "Версия ПО:    Ver 13.3" \
  "Мощность:     3 кВт" "Напряжение:   24 В" -- identify --simulated --sim-profile gen9
cli "eeprom dump into a Cyrillic folder" 0 "сохранена в $folder\\eeprom копия.hex" -- \
  eeprom dump -o "$folder/eeprom копия.hex" --simulated --sim-profile gen9
backup=$work/$folder/eeprom\ копия.hex
if [ "$(grep -c '^:10' "$backup" 2>/dev/null)" != 64 ] || ! grep -q '^:00000001FF' "$backup"; then
  fail "the backup holds no 64 data records and an end record"
fi
# The same device backed up by the Linux build: the same data records, byte for byte.
linux_cli=$(realpath -m "$repo/${LIR2_BUILD_DIR:-build}/cli/lir2-cli")
if [ -x "$linux_cli" ]; then
  "$linux_cli" eeprom dump -o "$work/linux.hex" --simulated --sim-profile gen9 >/dev/null
  if diff <(grep '^:' "$backup") <(grep '^:' "$work/linux.hex") >/dev/null; then
    ok "the backup's records are those the Linux build writes"
  else
    fail "the backup's records differ from the Linux build's"
  fi
fi
cli "eeprom diff" 0 "EEPROM устройства совпадает с файлом." -- \
  eeprom diff "$folder/eeprom копия.hex" --simulated --sim-profile gen9
cli "upload from a Cyrillic path" 0 "VerBoot = 11" "100%" "Файл Загружен" "Нет ошибок" -- \
  upload "$folder/прошивка 1.lir2" --simulated --sim-profile boot
cli "no firmware" 65 "Не верный файл" -- upload "$folder/eeprom копия.hex" --simulated --sim-profile boot
cli "missing file" 66 "не найден" -- upload "$folder/нет такого.lir2" --simulated

# Ctrl-C: Wine hands SIGINT to the console's control handler as Ctrl-C.
rc=0
(cd "$work" && exec "${run[@]}" "$cli" record -o "$folder/запись 1.csv" --simulated \
   >"$work/record.txt" 2>&1) &
recorder=$!
for _ in $(seq 100); do
  [ "$(grep -c '' "$work/$folder/запись 1.csv" 2>/dev/null || echo 0)" -ge 3 ] && break
  sleep 0.1
done
kill -INT "$recorder" 2>/dev/null || true
wait "$recorder" || rc=$?
check "Ctrl-C ends record" 130 "$work/record.txt" "$rc" "Записано в" "Прервали операцию"

echo "== (c) COM ports under Wine"
cli "ports lists COM5 and COM12" 0 "COM5	\\\\.\\COM5" "COM12	\\\\.\\COM12" -- ports
if ! grep -A100 '^COM5	' "$work/out.txt" | grep -q '^COM12	'; then
  fail "ports lists COM12 before COM5"
fi
: >"$work/COM12.bytes"
cli "COM12 without a device" 20 "Долго нет ответа при чтении" -- identify --port COM12
# lir2-cli asks at every rate before it gives up; the first byte of its first frame ("PCRD")
# arrived each time, through \\.\COM12.
if grep -qx 'P\+' "$work/COM12.bytes"; then
  ok "the bytes written to COM12 arrive at the pseudo-terminal"
else
  fail "COM12's pseudo-terminal received $(od -c "$work/COM12.bytes" | head -3)"
fi
cli "missing COM9" 69 "Ошибка открытия COM порта: Порт COM9 не найден" -- identify --port COM9
cli "refused COM6" 69 "Ошибка открытия COM порта: Порт COM6 занят другой программой" -- \
  eeprom dump -o "$folder/e.hex" --port COM6
[ ! -e "$work/$folder/e.hex" ] || fail "a port that did not open left a backup file"
tests_s=$((SECONDS - tests_started))

echo "== (d) the packages"
package_started=$SECONDS
"$repo/scripts/windows/package.sh"
installer=$(ls "$win_build"/package/LIR2Gui-*-win64.exe)
zip=$(ls "$win_build"/package/LIR2Gui-*-win64.zip)
# Installed silently into Program Files, then removed by its own uninstaller.
installed=$WINEPREFIX/drive_c/Program\ Files/LIR2Gui
before=$status
(WINEPATH= wine64 "$installer" /S >"$work/install.txt" 2>&1 </dev/null) ||
  fail "the installer ended with an error"
for f in lir2gui.exe lir2-cli.exe Qt6Core.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll \
         translations/qtbase_ru.qm data/ok.wav samples/lir-small.lir2 LICENSE.txt Uninstall.exe; do
  [ -f "$installed/$f" ] || fail "the installer did not install $f"
done
menu=$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'LIR2Gui.lnk' | head -n 1)
[ -n "$menu" ] || fail "no Start menu entry LIR2Gui"
(WINEPATH= wine64 "$installed/Uninstall.exe" /S >/dev/null 2>&1 </dev/null) || true
for _ in $(seq 50); do [ -e "$installed/lir2gui.exe" ] || break; sleep 0.2; done
[ ! -e "$installed/lir2gui.exe" ] || fail "the uninstaller left lir2gui.exe"
if [ -n "$menu" ] && [ -e "$menu" ]; then fail "the uninstaller left the Start menu entry"; fi
[ "$status" -eq "$before" ] && ok "installer: installed into Program Files with its menu entry, and removed"

# The portable copy in a Wine prefix that has never seen Qt: every DLL must come from the zip.
unzip -q "$zip" -d "$work/zip"
portable=$(ls -d "$work"/zip/LIR2Gui-*)
cp -r "$portable" "$work/zip/LIR2Gui копия"
portable="$work/zip/LIR2Gui копия"
(
  export WINEPREFIX=$clean_prefix WINEPATH=
  unset WINEQT_QPA_FONTDIR
  wine64 wineboot -i >/dev/null 2>&1 </dev/null
  # The window plugin needs a display, and the Wine of this prefix has to start under it.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  cd "$portable"
  t0=$(date +%s%N)
  LIR2_STARTUP_PROBE=1 timeout 120 xvfb-run -a wine64 lir2gui.exe --simulated \
    >"$work/startup.txt" 2>&1 || true
  echo "wall_ms=$((($(date +%s%N) - t0) / 1000000))" >>"$work/startup.txt"
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  rc=0
  wine64 lir2-cli.exe identify --simulated --sim-profile gen5 >"$work/portable-cli.txt" 2>&1 \
    </dev/null || rc=$?
  echo "$rc" >"$work/portable-cli.rc"
  wineserver -k >/dev/null 2>&1 || true
) || true
if grep -q '^main_window_ms=' "$work/startup.txt" && [ -f "$portable/data/config.txt" ]; then
  ok "lir2gui.exe from the zip shows its main window in a clean prefix ($(grep -o 'main_window_ms=[0-9]*' "$work/startup.txt"), whole start $(grep -o 'wall_ms=[0-9]*' "$work/startup.txt")), config.txt in its data folder"
else
  fail "lir2gui.exe from the zip did not start"; sed 's/^/    /' "$work/startup.txt"
fi
check "lir2-cli.exe from the zip" 0 "$work/portable-cli.txt" "$(cat "$work/portable-cli.rc")" "Ver 10.1"

# Pictures of the windows, offscreen with the DejaVu fonts: to be looked at (Cyrillic text, no
# empty boxes).
shots=$win_build/shots
rm -rf "$shots"
export WINEQT_QPA_PLATFORM=offscreen
(cd "$work" && "${run[@]}" "$win_build/tools/lir2-window-shots.exe" "$(winpath "$shots")" -s \
   >/dev/null 2>&1) || fail "lir2-window-shots.exe"
(cd "$work" && "${run[@]}" "$win_build/tools/lir2-window-shots.exe" "$(winpath "$shots")" -s \
   --monitor gen9 >/dev/null 2>&1) || fail "lir2-window-shots.exe --monitor gen9"
unset WINEQT_QPA_PLATFORM
for png in FormMain FormMonitor-gen9-s FormEEProm-gen9; do
  [ -s "$shots/$png.png" ] || fail "no picture $png.png"
done
package_s=$((SECONDS - package_started))

echo "Windows stage: build ${build_s} s, tests ${tests_s} s, packages and pictures ${package_s} s," \
     "in all $((SECONDS - started)) s"
printf 'installer %s, zip %s; pictures in %s\n' "$(du -h "$installer" | cut -f1)" \
       "$(du -h "$zip" | cut -f1)" "$shots"
[ "$status" -eq 0 ] && echo "Windows tests passed" || echo "Windows tests FAILED"
exit $status
