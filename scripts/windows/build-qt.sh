#!/usr/bin/env bash
# Builds Qt 6.4.2 for 64-bit Windows (MinGW-w64, shared, release) into
# ~/.cache/lir2/qt6-mingw-6.4.2, the place the Windows build looks for it: qtbase from Debian's
# source package (fetched with an apt configuration of its own, the system's is not touched),
# Qt SerialPort and Qt Charts from the upstream 6.4.2 source tarballs
# ($LIR2_WIN_QT_SOURCES, by default ../shared/windows beside the repository).
#
#   scripts/windows/build-qt.sh [fetch|configure|qtbase|modules|all]   (all when not given)
#
# fetch: the sources; configure: qtbase's configuration only; qtbase: configured, built and
# installed; modules: Qt SerialPort and Qt Charts on top.
#
# About 40 minutes on two cores, most of it qtbase. The work folder ($LIR2_WIN_QT_WORK, by
# default ~/.cache/lir2/qt-build) keeps the sources and the build between steps.
set -euo pipefail
source "$(dirname "$0")/common.sh"
step=${1:-all}
work=$(realpath -m "${LIR2_WIN_QT_WORK:-$(dirname "$win_qt_cache")/qt-build}")
sources=$(realpath -m "${LIR2_WIN_QT_SOURCES:-$repo/../shared/windows}")
prefix=$win_qt_cache
toolchain=$repo/scripts/windows/toolchain-mingw64.cmake
jobs=${LIR2_JOBS:-2}
mkdir -p "$work"

fetch() {
  "$repo/scripts/windows/setup.sh"
  command -v dpkg-source >/dev/null || { echo "dpkg-source is missing: install dpkg-dev" >&2; exit 1; }
  # Debian's own source lists, as deb-src, in a folder of ours; lists and downloads there too.
  local apt=$work/apt
  mkdir -p "$apt/sources" "$apt/lists/partial" "$apt/cache/archives/partial"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$apt/sources/debian.sources"
  else
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' >"$apt/sources/debian.list"
  fi
  local opts=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$apt/sources"
              -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache")
  apt-get "${opts[@]}" update -qq
  rm -rf "$work/src" && mkdir -p "$work/src"
  (cd "$work/src" && apt-get "${opts[@]}" source --download-only -qq "qt6-base=$(
     apt-cache "${opts[@]}" showsrc qt6-base | sed -n 's/^Version: //p' | grep "^$win_qt_version" | head -n 1)")
  (cd "$work/src" && dpkg-source -x qt6-base_*.dsc qtbase >/dev/null)
  for module in qtserialport qtcharts; do
    tar -C "$work/src" -xJf "$sources/$module-$win_qt_version-src.tar.xz"
  done
  echo "sources in $work/src"
}

configure() {
  # With Direct2D off, 6.4.2 leaves DirectWrite's font database out of Gui while the platform
  # plugin still uses it; Debian's source has no wintab, so no tablet events; without FreeType
  # there is no offscreen plugin (the tests run with it). What the programs do not use is off.
  cmake -G Ninja -S "$work/src/qtbase" -B "$work/build/qtbase" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DLIR2_BUILDING_QT=ON \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_pkg_config=OFF \
    -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_direct2d=ON -DFEATURE_direct2d1_1=OFF \
    -DFEATURE_tabletevent=OFF \
    -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF -DFEATURE_fontconfig=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_icu=OFF -DFEATURE_zstd=OFF \
    -DFEATURE_cpp_winrt=OFF -DFEATURE_androiddeployqt=OFF \
    -DFEATURE_testlib=ON -DFEATURE_widgets=ON -DFEATURE_gui=ON \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF -DFEATURE_system_doubleconversion=OFF \
    >"$work/qtbase-configure.log"
}

qtbase() {
  configure
  nice -n 10 cmake --build "$work/build/qtbase" -j"$jobs"
  cmake --install "$work/build/qtbase" >/dev/null
}

modules() {
  for module in qtserialport qtcharts; do
    "$prefix/bin/qt-cmake" -G Ninja -S "$work/src/$module-$win_qt_version" \
      -B "$work/build/$module" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
      -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF >"$work/$module-configure.log"
    nice -n 10 cmake --build "$work/build/$module" -j"$jobs"
    cmake --install "$work/build/$module" >/dev/null
  done
  win_qt_complete "$prefix"
  echo "Qt for MinGW in $prefix"
}

case $step in
  fetch) fetch ;;
  configure) configure ;;
  qtbase) qtbase ;;
  modules) modules ;;
  all) fetch; qtbase; modules ;;
  *) echo "usage: $0 [fetch|configure|qtbase|modules|all]" >&2; exit 2 ;;
esac
