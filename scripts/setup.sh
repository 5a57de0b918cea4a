#!/usr/bin/env bash
# Installs the Debian packages the program and its tests need, when they are missing.
set -euo pipefail

# qt6-translations-l10n: Qt's own dialogs in Russian; dpkg-dev and file: the .deb's
# dependencies (dpkg-shlibdeps); appstream: the metainfo file's check. qt6-charts-dev: the trend
# chart; Debian's package lacks its own dependency libqt6opengl6-dev. pkg-config and
# libmosquitto-dev: lir2-cli serve's MQTT client; mosquitto: the broker its tests run;
# mosquitto-clients: mosquitto_sub and mosquitto_pub, to look at what serve publishes.
packages=(cmake g++ make pkg-config qt6-base-dev qt6-serialport-dev qt6-multimedia-dev
          qt6-charts-dev libqt6opengl6-dev libmosquitto-dev mosquitto mosquitto-clients
          qt6-translations-l10n python3 libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core
          xvfb xauth dpkg-dev file appstream)
exec "$(dirname "$0")/install-missing.sh" "${packages[@]}"
