#!/bin/sh
# Installs what is missing, builds, and prints the shipped sample report to a PDF on the
# built-in PDF printer (no spooler needed).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
out="${1:-$PWD/out/sample-report.pdf}"
mkdir -p "$(dirname "$out")"
QT_QPA_PLATFORM=offscreen build/app/telmo-report app/samples/inventory.csv \
    --title1 "Inventory Report" --title2 "Main warehouse" --title3 "All stock items" \
    --date "$(date +%Y-%m-%d)" --separator --pdf "$out"
echo "sample report written to $out"
