#!/bin/sh
# Installs what building and testing need on Debian 12, skipping what is already there;
# with the argument fuzz, also what the fuzz build needs.
set -eu
packages="cmake g++ make pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev libharfbuzz-dev fonts-liberation \
poppler-utils qpdf mupdf-tools xvfb \
fonts-lohit-deva fonts-wqy-microhei fonts-symbola \
fonts-noto-core fonts-noto-cjk fonts-noto-color-emoji fonts-urw-base35 \
libgtest-dev libbenchmark-dev libcups2-dev cups-daemon cups-client cups-bsd clang-format strace"
# The fuzz build (scripts/fuzz.sh) needs clang and its sanitizer and libFuzzer runtimes.
if [ "${1:-}" = fuzz ]; then
    packages="$packages clang clang-14 libclang-rt-14-dev"
fi
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "installing:$missing"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
fi
