#!/bin/bash
# The real module's key tree removal under Wine beside Wine's own
# RegDeleteTreeA: KeyTreeBench.exe builds the same tree of keys (wide: one
# level; deep: branches of four levels) as the application key twice, removes
# it once through UninstUnInitialize and once with RegDeleteTreeA, and prints
# the median times and their ratio. Both run inside one process, so no
# process start-up is timed.
#   bench/wine-registry.sh [KEYS [ROUNDS]]      (10,000 keys, 5 rounds)
set -uo pipefail
SOURCE="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${GANTREL_WIN32_BUILD:-$SOURCE/out/win32}"

# shellcheck source=../tests/wine/lib.sh
source "$SOURCE/tests/wine/lib.sh"
[ "${1:-}" = --inside ] || build_and_run_under_wine wine-registry "$0" "$@"
shift
WINE_RUN_SECONDS=3600
use_private_prefix wine-bench-registry
trap stop_everything EXIT
make_prefix

cd "$WINEPREFIX/drive_c" || exit 1
wine_run 'C:\gantrel\KeyTreeBench.exe' "$@"
status=$?
stop_everything
exit "$status"
