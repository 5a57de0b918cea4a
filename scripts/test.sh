#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest; then builds the
# protocol and firmware readers with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# their randomized tests again under them; then builds the end-to-end tests with ThreadSanitizer
# and runs them (scripts/tsan.sh); then makes the Debian package from the build, installs it,
# starts the installed program and removes the package (scripts/package-test.sh); then
# cross-builds the Windows programs and tests them under Wine (scripts/windows/test.sh), or says
# in one line how to get the Windows Qt it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
(cd "${LIR2_BUILD_DIR:-build}" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2)
if [ -f scripts/sanitize.sh ]; then scripts/sanitize.sh; fi
scripts/tsan.sh
scripts/package-test.sh
scripts/windows/test.sh
