#!/bin/sh
# Installs what is missing, builds, and runs every test through CTest. In CI (or with
# TELMO_TEST_SANITIZE=1) the suite then runs again under the address and undefined-behaviour
# sanitizers, and each fuzz target runs for a short while.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"${JOBS:-2}" --timeout 600)
if [ -n "${CI:-}" ] || [ "${TELMO_TEST_SANITIZE:-0}" = 1 ]; then
    sh scripts/sanitize.sh
    sh scripts/fuzz.sh
fi
