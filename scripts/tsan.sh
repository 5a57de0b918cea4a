#!/usr/bin/env bash
# Builds the end-to-end tests with ThreadSanitizer (build in build-tsan/) and runs them: the
# device line on its own thread against lir2-sim and the built-in device, in every run mode.
# Reports inside Debian's uninstrumented Qt and GLib are counted but do not fail the run (see
# scripts/tsan-filter.py); a report whose racing access is our code does.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${LIR2_TSAN_BUILD_DIR:-build-tsan}")
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLIR2_TSAN=ON -DLIR2_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target app_tests monitor_tests firmware_tests host_tests lir2-sim
export QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="halt_on_error=0 exitcode=0 die_after_fork=0"
export LIR2_SIM=$(realpath "$build/sim/lir2-sim") LIR2_SOURCE_DIR=$(pwd)
# The thread checker's shadow memory needs a narrower address-space randomisation than some
# kernels use ("unexpected memory mapping"); run the tests with randomisation off where the
# machine lets us, and say so plainly where the checker cannot start at all.
wrap=()
if setarch "$(uname -m)" -R true 2>/dev/null; then wrap=(setarch "$(uname -m)" -R); fi
status=0
run() {
  local exe=$1 filter=$2 home rc=0
  home=$(mktemp -d)
  echo "== $exe ($filter) under the thread checker"
  (cd "$home" && HOME="$home" XDG_CONFIG_HOME="$home/.config" \
     timeout 900 "${wrap[@]}" "$build/tests/$exe" --gtest_filter="$filter" --gtest_brief=1) \
     >"$home/log" 2>&1 || rc=$?
  if grep -q 'FATAL: ThreadSanitizer' "$home/log"; then
    echo "thread checker cannot start on this machine; these tests ran without it in ctest:"
    grep -m3 'ThreadSanitizer' "$home/log"
    return
  fi
  grep -E '^\[  (PASSED|FAILED) ' "$home/log" || true
  if [ "$rc" -ne 0 ] || ! grep -q '^\[  PASSED ' "$home/log"; then
    echo "$exe ended with status $rc; the end of its output:"
    tail -n 30 "$home/log"
    status=1
  fi
  python3 scripts/tsan-filter.py <"$home/log" || status=1
}
run app/app_tests 'LineThread*:EndToEnd*'
run monitor/monitor_tests 'MonitorEndToEnd*'
run firmware/firmware_tests 'UploadEndToEnd*'
run host/host_tests 'ModemEndToEnd*'
exit $status
