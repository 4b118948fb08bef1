#!/bin/sh
# Recalculates a filled workbook the way an accountant's spreadsheet would, and prints each
# worksheet's values as CSV: a check that the formulas of a filled template give the figures
# expected. Installs LibreOffice Calc (without its desktop parts) when missing.
#   scripts/recalculate-workbook.sh FILE.xlsx OUTDIR
set -eu
[ $# -eq 2 ] || { echo "uso: $0 FILE.xlsx CARTELLA" >&2; exit 2; }
if ! command -v soffice >/dev/null 2>&1; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
        libreoffice-calc-nogui >/dev/null
fi
mkdir -p "$2"
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
soffice -env:UserInstallation=file://"$profile" --headless \
    --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1' \
    --outdir "$2" "$1" >/dev/null
cat "$2"/*.csv
