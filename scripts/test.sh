#!/bin/sh
# Installs what is missing, builds, and runs every test through CTest.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"${JOBS:-2}" --timeout 600
