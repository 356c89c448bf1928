#!/bin/sh
# Configures and builds into build/ (Release with debug info; warnings are errors when CI is set).
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build build -j"${JOBS:-2}"
