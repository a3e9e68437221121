#!/usr/bin/env bash
# Builds and runs every test: the native build, the Debian package with the
# desktop's own thumbnail consumers, the same build under AddressSanitizer
# and UndefinedBehaviorSanitizer, a short fuzz run, and the Windows build
# under Wine (with a virtual X display for the dialog tests).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
step() { printf '\n== %s\n' "$*"; }

step "native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native

step "Debian package and the desktop's thumbnail consumers"
scripts/test-desktop.sh

step "sanitizer build and tests"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset sanitize

if [ -x scripts/fuzz-short.sh ]; then
  step "short fuzz run"
  scripts/fuzz-short.sh
fi

step "Windows build (mingw-w64) and tests under Wine"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$jobs"
scripts/with-wine-display.sh build/mingw ctest --preset mingw
