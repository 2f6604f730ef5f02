#!/bin/bash
# Runs every test: the formatting check, the native and sanitizer suites on
# the emulated platform, and the real module under Wine. Installs what it
# needs first (Debian 12, as root).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh all

echo "== formatting"
scripts/check-format.sh

for preset in native asan; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset" -j2
done

echo "== demo (the README's first command)"
scripts/demo.sh >/dev/null

echo "== fuzz"
fuzz/run.sh 20

echo "== win32: the load check, an identical second build, a signed release, the installer build"
cmake --preset win32 >/dev/null
cmake --build --preset win32
ctest --preset win32 -j2

echo "== wine"
tests/wine/run.sh
