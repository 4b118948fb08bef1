#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, then configures and builds.
# Usage: scripts/setup.sh [build-dir]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"

# libsqlite3-dev: the benchmarks compare the views with SQLite called directly.
# libssl-dev, openssl: signed electronic invoices (.p7m) are opened with OpenSSL; the tests sign
# their own with its command.
# desktop-file-utils, appstream, lintian: CI validates the desktop entry, the AppStream
# description and the Debian package.
# qt6-charts-dev, qt6-svg-dev: the dashboard's charts, and their SVG files.
# libqt6sql6-psql, postgresql: archives on a PostgreSQL server, and the throwaway server the
# tests start (the cluster the package creates is left alone); libpq-dev: a login the server
# turns down for want of a password is told by its client library.
# xdotool, imagemagick: the program driven by keys under Xvfb and its screen taken, by hand.
# libreoffice-calc-nogui: the statement tests recompute filled templates as a spreadsheet would.
packages=(build-essential cmake ninja-build qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6sql6-sqlite libqt6sql6-psql
          libpq-dev qt6-translations-l10n
          libxlsxwriter-dev libzip-dev libpugixml-dev libcsv-dev libsqlite3-dev libssl-dev openssl clang-format xvfb xauth
          pkg-config fonts-dejavu-core postgresql poppler-utils unzip desktop-file-utils appstream
          lintian xdotool imagemagick libreoffice-calc-nogui)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVRIN_WERROR=ON
cmake --build "$build"
