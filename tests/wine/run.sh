#!/bin/bash
# The real Gantrel.dll under Wine: builds the win32 preset, makes a private
# prefix inside the build tree and runs every tests/wine/*.test.sh in it.
#   tests/wine/run.sh [SUITE...]     e.g. tests/wine/run.sh exports
set -uo pipefail
SOURCE="$(cd "$(dirname "$0")/../.." && pwd)"
# GANTREL_WIN32_BUILD picks another build folder (and so another prefix),
# for runs side by side.
BUILD="${GANTREL_WIN32_BUILD:-$SOURCE/out/win32}"

cmake --preset win32 -B "$BUILD" >/dev/null && cmake --build "$BUILD" >/dev/null || {
    echo "tests/wine: the win32 build failed" >&2
    exit 1
}

# shellcheck source=lib.sh
source "$SOURCE/tests/wine/lib.sh"
trap stop_everything EXIT

if ! wine_can_run; then
    echo "wine: SKIPPED, every suite: this machine cannot run 32-bit x86 programs"
    echo "wine: (its kernel refuses them: 'wine --version' fails with Exec format error)."
    echo "wine: the real DLL was built; run tests/wine/run.sh on a machine that runs them."
    [ -z "${GANTREL_REQUIRE_WINE:-}" ] || exit 1
    exit 0
fi
make_prefix
suites=("$@")
if [ ${#suites[@]} -eq 0 ]; then
    for file in "$SOURCE"/tests/wine/*.test.sh; do
        suites+=("$(basename "$file" .test.sh)")
    done
fi
for suite in "${suites[@]}"; do
    echo "wine: $suite"
    # shellcheck disable=SC1090
    source "$SOURCE/tests/wine/$suite.test.sh"
done
stop_everything

echo "wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
