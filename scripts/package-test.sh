#!/usr/bin/env bash
# Makes the Debian package from the existing build, checks it with lintian (no error may
# remain), installs it as a user would (apt-get install ./lir2gui_….deb), starts the
# installed lir2gui offscreen from a folder without data/ and checks that it comes up, stays
# up, keeps its configuration in the user's configuration folder and ends cleanly on
# SIGTERM; checks lir2-cli serve's systemd unit and lets the installed serve publish to a broker
# of its own (where serve is built); then removes the package again.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${LIR2_BUILD_DIR:-build}
started=$SECONDS

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
  sudo=(sudo)
else
  echo "package test skipped: installing a package needs root (or sudo without a password)"
  exit 0
fi

fail() { echo "package test FAILED: $*" >&2; exit 1; }

[ -f "$build/CPackConfig.cmake" ] || scripts/build.sh
cmake --build "$build" --target lir2gui lir2-sim lir2-cli lir2_debian_changelog -j"$(nproc)" >/dev/null
rm -rf "$build/package"
(cd "$build" && cpack -G DEB -B package >cpack.log 2>&1) || { cat "$build/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$build"/package/lir2gui_*.deb)
# Whether the build has lir2-cli serve (libmosquitto was found).
have_serve=0
[ -f "$build/mqtt/liblir2_mqtt.a" ] && have_serve=1
echo "package: $deb"
dpkg-deb -f "$deb" Depends | sed 's/^/  Depends: /'
dpkg-deb -f "$deb" Maintainer | grep -qv localhost || fail "the maintainer is no one's address"
if command -v lintian >/dev/null; then
  # Warnings are shown; an error fails the test.
  status=0
  report=$(lintian --fail-on error "$deb" 2>&1) || status=$?
  echo "$report" | grep -v -e 'root privileges' -e '^$' | sed 's/^/  lintian: /' || true
  [ "$status" -eq 0 ] || fail "lintian finds errors in the package"
fi

preinstalled=0
dpkg-query -W -f='${Status}' lir2gui 2>/dev/null | grep -q "install ok installed" && preinstalled=1
work=$(mktemp -d)
gui=
serve_pid=
broker_pid=
cleanup() {
  cd /
  for pid in $gui $serve_pid $broker_pid; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
  if [ "$preinstalled" -eq 0 ]; then
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq lir2gui >/dev/null || true
  fi
}
trap cleanup EXIT

"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "$(realpath "$deb")" >/dev/null
for f in /usr/bin/lir2gui /usr/bin/lir2-sim /usr/bin/lir2-cli /usr/share/lir2gui/sounds/ok.wav \
         /usr/share/lir2gui/sounds/error.wav /usr/share/lir2gui/samples/lir-small.lir2 \
         /usr/share/applications/org.lir2gui.Lir2Gui.desktop \
         /usr/share/icons/hicolor/scalable/apps/org.lir2gui.Lir2Gui.svg \
         /usr/share/metainfo/org.lir2gui.Lir2Gui.metainfo.xml \
         /usr/share/doc/lir2gui/copyright /usr/share/doc/lir2gui/changelog.gz \
         /usr/share/doc/lir2gui/README.md; do
  [ -f "$f" ] || fail "$f is not installed"
done
# The README's pictures where its links lead.
for picture in $(grep -o 'docs/[A-Za-z0-9_.-]*\.png' README.md | sort -u); do
  [ -f "/usr/share/doc/lir2gui/$picture" ] || fail "/usr/share/doc/lir2gui/$picture is not installed"
done

# The installed program, as a user starts it: from a folder without data/, with a home of its own.
mkdir -p "$work/home"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=offscreen
cd "$work"
line=$(LIR2_STARTUP_PROBE=1 timeout 60 lir2gui 2>/dev/null) || fail "lir2gui did not start"
echo "  start-up: $line"
case "$line" in main_window_ms=*) ;; *) fail "no start-up line from lir2gui" ;; esac

lir2gui 2>"$work/stderr" &
gui=$!
sleep 3
kill -0 "$gui" 2>/dev/null || { cat "$work/stderr" >&2; fail "lir2gui did not stay up"; }
kill -TERM "$gui"
rc=0
wait "$gui" || rc=$?
gui=
[ "$rc" -eq 0 ] || fail "lir2gui ended with $rc on SIGTERM"
[ -f "$work/home/.config/LIR2Gui/config.txt" ] ||
  fail "the configuration is not in the user's configuration folder"
[ ! -e "$work/data" ] || fail "the installed program wrote data/ into the working folder"
lir2-sim --help >/dev/null 2>&1 || fail "lir2-sim does not run"

# lir2-cli serve and its systemd unit, where the build has serve: the unit is one systemd takes,
# and the installed program publishes the built-in simulated device to a broker of its own.
if [ "$have_serve" -eq 1 ]; then
  unit=/usr/lib/systemd/system/lir2-serve@.service
  for f in "$unit" /usr/share/doc/lir2gui/examples/serve.conf.example; do
    [ -f "$f" ] || fail "$f is not installed"
  done
  if command -v systemd-analyze >/dev/null; then
    systemd-analyze verify "$unit" || fail "systemd-analyze finds errors in $unit"
  fi
  if command -v mosquitto_sub >/dev/null && { command -v mosquitto >/dev/null || [ -x /usr/sbin/mosquitto ]; }; then
    broker=$(command -v mosquitto || echo /usr/sbin/mosquitto)
    port=$((20000 + RANDOM % 20000))
    printf 'listener %s 127.0.0.1\nallow_anonymous true\n' "$port" >"$work/broker.conf"
    "$broker" -c "$work/broker.conf" >"$work/broker.log" 2>&1 &
    broker_pid=$!
    sleep 1
    lir2-cli serve --simulated --mqtt "mqtt://127.0.0.1:$port" >"$work/serve.log" 2>&1 &
    serve_pid=$!
    got=$(timeout 30 mosquitto_sub -p "$port" -t 'lir2/+/state' -C 1 2>/dev/null || true)
    kill -TERM "$serve_pid"
    rc=0
    wait "$serve_pid" || rc=$?
    serve_pid=
    kill "$broker_pid" 2>/dev/null || true
    broker_pid=
    case "$got" in *'"battery_voltage"'*) ;; *) cat "$work/serve.log" >&2; fail "the installed serve published no state" ;; esac
    [ "$rc" -eq 0 ] || fail "lir2-cli serve ended with $rc on SIGTERM"
    echo "  serve: a state message from the installed lir2-cli serve"
  fi
fi

echo "package test passed in $((SECONDS - started)) s"
