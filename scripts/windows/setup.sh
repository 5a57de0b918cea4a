#!/usr/bin/env bash
# Installs the Debian packages the Windows build, its packages and its tests need, when they are
# missing: MinGW-w64 (posix threads), Wine, Ninja, NSIS, zip, GoogleTest's sources, Xvfb and
# the fonts and Qt translations the Windows programs take from Debian.
set -euo pipefail

packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools wine64
          ninja-build nsis zip unzip googletest cmake qt6-base-dev qt6-base-dev-tools
          qt6-translations-l10n fonts-dejavu-core xvfb xauth socat)
exec "$(dirname "$0")/../install-missing.sh" "${packages[@]}"
