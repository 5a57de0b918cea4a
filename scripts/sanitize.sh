#!/usr/bin/env bash
# Builds the tests that feed random bytes to the readers with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs those randomized tests (named *Random*) under them.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${LIR2_ASAN_BUILD_DIR:-build-asan}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DLIR2_SANITIZE=ON -DLIR2_BUILD_BENCH=OFF >/dev/null
known=$(cmake --build "$build" --target help)
targets=()
for t in protocol_tests firmware_tests sim_model_tests monitor_decode_tests; do
  if grep -qx "\.\.\. $t" <<<"$known"; then targets+=("$t"); fi
done
[ ${#targets[@]} -eq 0 ] && exit 0
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
status=0
for t in "${targets[@]}"; do
  exe=$(realpath "$(find "$build/tests" -type f -name "$t" -perm -u+x | head -n 1)")
  echo "== $t under the sanitizers"
  (cd "$build" && "$exe" --gtest_filter='*Random*:*Fuzz*:*Noise*' --gtest_brief=1) || status=1
done
exit $status
