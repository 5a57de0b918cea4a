# Shared by the scripts of scripts/windows/ (sourced, not run): where the repository, the
# Windows build and the Windows Qt are, and how Wine is started for them.

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
win_build=$(realpath -m "${LIR2_WIN_BUILD_DIR:-$repo/build-windows}")
win_qt_version=6.4.2
win_qt_cache=${XDG_CACHE_HOME:-$HOME/.cache}/lir2/qt6-mingw-$win_qt_version
win_qt_tarball=${LIR2_WIN_QT_TARBALL:-$repo/../shared/windows/qt6-mingw-$win_qt_version.tar.xz}
# The MinGW runtime DLLs every program needs besides Qt's.
win_runtime_dirs=(/usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)

win_qt_usable() { [ -f "$1/lib/cmake/Qt6/Qt6Config.cmake" ] && [ -f "$1/bin/Qt6Core.dll" ]; }

# Prints the prefix of Qt for MinGW and returns 0, or returns 1 when there is none: the copy
# under /opt, the cache, or the shared tarball unpacked into the cache (once).
win_qt_find() {
  local dir
  for dir in ${LIR2_WIN_QT:+"$LIR2_WIN_QT"} "/opt/lir2-qt-win/qt6-mingw-$win_qt_version" "$win_qt_cache"; do
    if win_qt_usable "$dir"; then
      echo "$dir"
      return 0
    fi
  done
  [ -f "$win_qt_tarball" ] || return 1
  echo "unpacking $(realpath "$win_qt_tarball") into $win_qt_cache" >&2
  local tmp
  tmp=$(mktemp -d "$(dirname "$win_qt_cache")/.unpack.XXXXXX" 2>/dev/null ||
        { mkdir -p "$(dirname "$win_qt_cache")" && mktemp -d "$(dirname "$win_qt_cache")/.unpack.XXXXXX"; })
  # The tarball holds lir2-qt-win/qt6-mingw-<version>/ (and the trial's toolchain file beside it).
  if tar -C "$tmp" -xJf "$win_qt_tarball" && win_qt_usable "$tmp/lir2-qt-win/qt6-mingw-$win_qt_version"; then
    rm -rf "$win_qt_cache"
    mv "$tmp/lir2-qt-win/qt6-mingw-$win_qt_version" "$win_qt_cache"
    rm -rf "$tmp"
    echo "$win_qt_cache"
    return 0
  fi
  rm -rf "$tmp"
  echo "the tarball $win_qt_tarball holds no usable Qt for MinGW" >&2
  return 1
}

# Qt's own Russian texts for the Windows Qt: Debian's, of the same Qt version (the Windows Qt is
# built without its translations module). The program and its tests find them in the prefix.
win_qt_complete() {
  local qt=$1 qm=/usr/share/qt6/translations/qtbase_ru.qm
  [ -f "$qt/translations/qtbase_ru.qm" ] && return 0
  if [ ! -f "$qm" ]; then
    echo "no $qm: install qt6-translations-l10n (scripts/windows/setup.sh does)" >&2
    return 0
  fi
  mkdir -p "$qt/translations" 2>/dev/null && cp "$qm" "$qt/translations/" 2>/dev/null ||
    echo "cannot add the Russian Qt translation to $qt/translations (not writable)" >&2
}

win_qt_missing_line() {
  echo "Windows build skipped: no Qt $win_qt_version for MinGW (looked in /opt/lir2-qt-win/qt6-mingw-$win_qt_version, $win_qt_cache and $win_qt_tarball); get it with scripts/windows/build-qt.sh (about 40 min) or put the tarball there, or set LIR2_WIN_QT_TARBALL"
}

# A Windows path on Wine's Z: drive for a Linux path.
winpath() { printf 'Z:%s' "$(realpath -m "$1")" | tr / '\\'; }

# The environment of a program run under Wine: a private prefix, quiet, and the DLLs of Qt and
# the MinGW runtime found without copying them. Linux's QT_* variables do not reach a Windows
# program; WINEQT_X arrives there as QT_X.
win_wine_env() {
  local qt=$1 p
  export WINEPREFIX=${WINEPREFIX:-$win_build/wine}
  export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
  p="$(winpath "$qt/bin")"
  for d in "${win_runtime_dirs[@]}"; do p="$p;$(winpath "$d")"; done
  export WINEPATH=$p
  export WINEQT_QPA_FONTDIR='Z:\usr\share\fonts\truetype\dejavu'
  export PATH=/usr/lib/wine:$PATH
}
