#!/bin/sh
# Installs the build into a fresh prefix, checks what landed there, then builds and runs a
# host project against it with find_package(TELMOPreview).
# Usage: package_test.sh BUILD_DIR SOURCE_DIR CMAKE CXX_COMPILER [LAUNCHER] [HOST_CXX_FLAGS]
set -eu
build=$1 source=$2 cmake=$3 cxx=$4 launcher=${5:-} hostflags=${6:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/telmo-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "package_test: $*" >&2; exit 1; }
# The folder a program loads libtelmopreview from, resolved.
loads_from() {
    loaded=$(ldd "$1" | sed -n 's/.*libtelmopreview[^ ]* => \([^ ]*\) .*/\1/p')
    [ -n "$loaded" ] && realpath "$(dirname "$loaded")"
}

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" ||
    { cat "$work/install.log" >&2; fail "cmake --install failed"; }

# The library under its versioned name, with a SONAME that carries major and minor version.
lib=$(find "$prefix" -name 'libtelmopreview.so.*.*.*' | head -n 1)
[ -n "$lib" ] || fail "no versioned libtelmopreview.so.X.Y.Z under $prefix"
libdir=$(dirname "$lib")
[ -L "$libdir/libtelmopreview.so" ] || fail "no libtelmopreview.so link in $libdir"
soname=$(readelf -d "$lib" | sed -n 's/.*Library soname: \[\(.*\)\].*/\1/p')
[ -n "$soname" ] && [ -e "$libdir/$soname" ] || fail "SONAME '$soname' of $lib is not installed beside it"

# The public headers, and nothing of the inside: every header they include is there too.
incdir=$prefix/include/telmopreview
[ -f "$incdir/component/IPrinter.h" ] || fail "component/IPrinter.h not installed under $incdir"
for inside in engine preview dialogs component/JobState.h platform/print/QtPrinter.h; do
    [ ! -e "$incdir/$inside" ] || fail "internal $inside was installed"
done
for header in $(cd "$incdir" && find . -name '*.h'); do
    for included in $(sed -n 's/^#include "\(.*\)"/\1/p' "$incdir/$header"); do
        [ -f "$incdir/$included" ] || fail "installed $header includes $included, which is not installed"
    done
done
[ -f "$libdir/cmake/TELMOPreview/TELMOPreviewConfig.cmake" ] &&
    [ -f "$libdir/cmake/TELMOPreview/TELMOPreviewConfigVersion.cmake" ] ||
    fail "package configuration files missing under $libdir/cmake/TELMOPreview"

# telmo-report runs from the prefix, on the installed library.
[ "$(loads_from "$prefix/bin/telmo-report")" = "$(realpath "$libdir")" ] ||
    { ldd "$prefix/bin/telmo-report" >&2; fail "installed telmo-report does not load $libdir's library"; }
QT_QPA_PLATFORM=offscreen "$prefix/bin/telmo-report" "$source/app/samples/inventory.csv" \
    --pdf "$work/inventory.pdf" 2>"$work/report.err" ||
    { cat "$work/report.err" >&2; fail "installed telmo-report failed"; }
[ "$(pdfinfo "$work/inventory.pdf" | sed -n 's/^Pages: *//p')" -ge 1 ] || fail "telmo-report wrote no pages"

# A host project against the package, with the README's example program as the README has it:
# the first C++ block under its heading "Using `IPrinter` from a C++ host".
awk '/^## Using `IPrinter` from a C\+\+ host/ { under = 1 } under && /^```cpp/ { inside = 1; next }
     inside && /^```/ { exit } inside' "$source/README.md" >"$work/readme_example.cpp"
grep -q 'int main' "$work/readme_example.cpp" || fail "no example program found in README.md"
set -- -S "$source/tests/package/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=Release -DREADME_EXAMPLE="$work/readme_example.cpp"
[ -z "$launcher" ] || set -- "$@" -DCMAKE_CXX_COMPILER_LAUNCHER="$launcher"
[ -z "$hostflags" ] || set -- "$@" -DCMAKE_CXX_FLAGS="$hostflags" -DCMAKE_EXE_LINKER_FLAGS="$hostflags"
"$cmake" "$@" >"$work/configure.log" 2>&1 || { cat "$work/configure.log" >&2; fail "consumer did not configure"; }
"$cmake" --build "$work/consumer" >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; fail "consumer did not build"; }
[ "$(loads_from "$work/consumer/telmo_consumer")" = "$(realpath "$libdir")" ] ||
    fail "consumer does not load $libdir's library"

QT_QPA_PLATFORM=offscreen "$work/consumer/telmo_consumer" "$work/model.pdf" || fail "consumer failed"
check_pdf() {
    pages=$(pdfinfo "$1" | sed -n 's/^Pages: *//p')
    [ "${pages:-0}" -ge 1 ] || fail "$1 has no pages"
    text=$(pdftotext "$1" -)
    shift
    for word in "$@"; do
        printf '%s\n' "$text" | grep -qw "$word" || fail "'$word' not printed"
    done
}
check_pdf "$work/model.pdf" Visitors City Lisbon Porto 5120 2210
# The README's example runs as shown, from its own folder.
(cd "$work" && QT_QPA_PLATFORM=offscreen "$work/consumer/readme_example" readme.pdf) ||
    fail "the README's example failed"
check_pdf "$work/readme.pdf" Inventory Report Hammer Saw A1 B2
mkdir "$work/abuse"
QT_QPA_PLATFORM=offscreen timeout 300 "$work/consumer/telmo_consumer" abuse "$work/abuse" ||
    fail "the library did not hold up under the host's abuse (above)"
echo "package_test: installed into $prefix, consumer printed its model, the README example its grid, abuse held up"
