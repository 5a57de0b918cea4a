#!/usr/bin/env bash
# Installs the Debian packages the Windows build, its packages and its tests need, when they are
# missing: MinGW-w64 (posix threads), Wine, Ninja, NSIS, zip, GoogleTest's sources, Xvfb and
# the fonts and Qt translations the Windows programs take from Debian.
set -euo pipefail

packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools wine64
          ninja-build nsis zip unzip googletest cmake qt6-base-dev qt6-base-dev-tools
          qt6-translations-l10n fonts-dejavu-core xvfb xauth socat)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "These packages are missing and installing them needs root: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
