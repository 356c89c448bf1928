#!/bin/sh
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for a while over
# a working copy of its seed corpus plus the seeds too big to keep in the repository.
# FUZZ_SECONDS (default 30) is each target's run; a crash fails the script and leaves the
# input as build-fuzz/crash-* (keep it in tests/fuzz/corpus/<target>/ once fixed).
# FUZZ_SANITIZE=undefined builds without ASan into build-fuzz-undefined/, for long runs.
# Leak checks are off, in ASan and in libFuzzer: Qt keeps the font engines it loads until the
# application ends, so libFuzzer would run every input that meets a new font size twice, and
# check it for nothing. A long run's RSS climbs to half of -rss_limit_mb and falls back to
# about 1 GB there: that is ASan keeping freed memory (its quarantine and free lists), which
# libFuzzer purges only above that mark. The inputs themselves leave little: with
# ASAN_OPTIONS=heap_profile=1 the layout target's live heap stays near 34 MB.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh fuzz
launcher=""
command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
sanitize=${FUZZ_SANITIZE:-address,undefined}
build=build-fuzz
[ "$sanitize" = address,undefined ] || build=build-fuzz-$(echo "$sanitize" | tr , -)
cmake -S . -B $build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTELMO_FUZZ=ON \
    -DTELMO_FUZZ_SANITIZE="$sanitize" -DTELMO_BUILD_BENCH=OFF $launcher >/dev/null
cmake --build $build -j"${JOBS:-2}" --target csv_fuzzer layout_fuzzer text_fuzzer iprinter_fuzzer
work=$build/corpus
rm -rf "$work"
sh tests/fuzz/make-big-seeds.sh "$work/seeds"
for target in csv layout text iprinter; do
    mkdir -p "$work/$target" "$work/seeds/$target"
    cp tests/fuzz/corpus/$target/* "$work/$target/"
    echo "fuzzing $target for ${FUZZ_SECONDS:-30} s"
    (cd $build && QT_QPA_PLATFORM=offscreen \
        ASAN_OPTIONS=detect_leaks=0:halt_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ./tests/fuzz/${target}_fuzzer -max_total_time="${FUZZ_SECONDS:-30}" -max_len=4096 -timeout=60 \
        -rss_limit_mb=4096 -close_fd_mask=3 -detect_leaks=0 -print_final_stats=1 \
        "corpus/$target" $( [ -d "corpus/seeds/$target" ] && echo "corpus/seeds/$target"))
done
