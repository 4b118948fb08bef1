#!/usr/bin/env bash
# Builds the Debian package in the build folder and checks it: the files it installs, its size,
# its dependencies, lintian, its desktop entry and its AppStream description.
# Usage: scripts/check-package.sh [build-dir]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"

(cd "$build" && rm -f tovrin3_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/tovrin3_*.deb)
listed=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in ./usr/bin/tovrin3 ./usr/bin/tovrin3-cli \
            ./usr/share/tovrin3/contab.gen ./usr/share/tovrin3/pdc.gen \
            ./usr/share/tovrin3/modelli/bilancio3settore.xltx \
            ./usr/share/applications/it.velmora.Tovrin3.desktop \
            ./usr/share/metainfo/it.velmora.Tovrin3.metainfo.xml \
            ./usr/share/icons/hicolor/scalable/apps/tovrin3.svg \
            ./usr/share/icons/hicolor/48x48/apps/tovrin3.png \
            ./usr/share/icons/hicolor/256x256/apps/tovrin3.png \
            ./usr/share/man/man1/tovrin3-cli.1.gz ./usr/share/man/man1/tovrin3.1.gz \
            ./usr/share/doc/tovrin3/copyright ./usr/share/doc/tovrin3/changelog.gz; do
    grep -qxF "$file" <<<"$listed" || { echo "Missing from $deb: $file" >&2; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//')
grep -qx libqt6widgets6 <<<"$depends" || { echo "No Qt dependency in $deb" >&2; exit 1; }
repeated=$(sort <<<"$depends" | uniq -d)
[ -z "$repeated" ] || { echo "Depends lists twice: $repeated" >&2; exit 1; }
# Stripped binaries, debug symbols left out: a desktop program's size.
size=$(stat -c %s "$deb")
[ "$size" -lt 20000000 ] || { echo "$deb is $size bytes, over 20 MB" >&2; exit 1; }
# Errors fail; the warnings are printed for the record.
lintian --fail-on error --tag-display-limit 0 "$deb" >&2
desktop-file-validate "$here/resources/desktop/it.velmora.Tovrin3.desktop"
appstreamcli validate --no-net "$here/resources/desktop/it.velmora.Tovrin3.metainfo.xml" >/dev/null
echo "Package checked: $deb"
