#!/bin/sh
# Builds with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ and runs the
# whole test suite there. Any finding fails the run; the leaks of the libraries below the
# component that are not ours to fix are listed, each with its reason, in
# tests/sanitizer/lsan.supp.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
launcher=""
command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELMO_SANITIZE=address,undefined \
    -DTELMO_BUILD_BENCH=OFF $launcher >/dev/null
cmake --build build-asan -j"${JOBS:-2}"
cd build-asan
QT_QPA_PLATFORM=offscreen \
ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS="suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0" \
    ctest --output-on-failure -j"${JOBS:-2}" --timeout 900
