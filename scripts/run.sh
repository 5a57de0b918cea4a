#!/usr/bin/env bash
# Installs what is missing, builds, and starts lir2gui from the repository's root, whose data/
# holds the sounds and the configuration. Arguments go to the program (-s, --port PATH, ...).
set -euo pipefail
cd "$(dirname "$0")/.."
# Before anything is installed or built: without a display no window could open at the end.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  echo "No display: DISPLAY and WAYLAND_DISPLAY are not set, so no window can open." >&2
  echo "Run this from a desktop session, or under a virtual display:  xvfb-run -a scripts/run.sh" >&2
  exit 2
fi
scripts/setup.sh
scripts/build.sh
# No port named: the built-in simulated device, whatever ports the machine has.
case " $* " in
  *" --port "*|*" --port="*) ;;
  *) set -- "$@" --simulated ;;  # after, so a leading -s stays the service switch
esac
exec "${LIR2_BUILD_DIR:-build}/app/lir2gui" "$@"
