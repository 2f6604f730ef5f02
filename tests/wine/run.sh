#!/bin/bash
# The real Gantrel.dll under Wine, on Wine 8 and Wine 10:
#   tests/wine/run.sh [--wine 8|10|both] [SUITE...]    e.g. tests/wine/run.sh --wine 10 exports
#
# Everything is built here, on the host: the win32 preset, the Linux host
# stand-in the suites compare with, and what a suite's *.host.sh makes (an
# installer, a signed release) and checks with the host's tools. Then the
# suites' *.test.sh run under each Wine asked for (both by default): here,
# where this machine's kernel runs 32-bit programs and its own Wine is that
# version, and otherwise in the guest machine of scripts/wine-vm.sh. Each run
# makes one private prefix with no Z: drive and prints each suite's wall
# time. There is no skipping: a Wine that cannot be had fails the run.
#
# GANTREL_WIN32_BUILD picks another build folder, for runs side by side.
set -uo pipefail
SOURCE="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${GANTREL_WIN32_BUILD:-$SOURCE/out/win32}"

wines=(8 10)
inside=""
suites=()
while [ $# -gt 0 ]; do
    case "$1" in
    --wine)
        case "${2:-}" in
        8 | 10) wines=("$2") ;;
        both) wines=(8 10) ;;
        *) echo "tests/wine: --wine takes 8, 10 or both" >&2; exit 2 ;;
        esac
        shift 2 ;;
    --inside) inside=1; shift ;;
    -*) echo "tests/wine: unknown option '$1'" >&2; exit 2 ;;
    *) suites+=("$1"); shift ;;
    esac
done
if [ ${#suites[@]} -eq 0 ]; then
    for file in "$SOURCE"/tests/wine/*.test.sh; do
        suites+=("$(basename "$file" .test.sh)")
    done
fi
for suite in "${suites[@]}"; do
    [ -f "$SOURCE/tests/wine/$suite.test.sh" ] || {
        echo "tests/wine: no suite '$suite'" >&2
        exit 2
    }
done

# shellcheck source=lib.sh
source "$SOURCE/tests/wine/lib.sh"

# --- Under one Wine, on the machine that runs it: the suites themselves.
if [ -n "$inside" ]; then
    trap stop_everything EXIT
    echo "wine: $(wine --version 2>/dev/null) on $(uname -r)${GANTREL_IN_VM:+, in the guest}"
    prefix_started=$SECONDS
    make_prefix || {
        echo "wine: could not make a prefix"
        exit 1
    }
    echo "wine: the prefix was ready in $((SECONDS - prefix_started)) s"
    for suite in "${suites[@]}"; do
        echo "wine: $suite"
        suite_started=$SECONDS
        # shellcheck disable=SC1090
        source "$SOURCE/tests/wine/$suite.test.sh"
        echo "wine: $suite took $((SECONDS - suite_started)) s"
    done
    stop_everything
    echo "wine: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
fi

# --- On the host: build, the host's checks, then each Wine.
cmake --preset win32 -B "$BUILD" >/dev/null && cmake --build "$BUILD" >/dev/null || {
    echo "tests/wine: the win32 build failed" >&2
    exit 1
}
cmake --preset native -B "$NATIVE_BUILD" -DGANTREL_BENCHMARKS=OFF >/dev/null &&
    cmake --build "$NATIVE_BUILD" --target gantrel-host Gantrel >/dev/null || {
    echo "tests/wine: the Linux build of the host stand-in failed" >&2
    exit 1
}
rm -rf "$HOST_MADE"
mkdir -p "$HOST_MADE"
for suite in "${suites[@]}"; do
    if [ -f "$SOURCE/tests/wine/$suite.host.sh" ]; then
        echo "wine: $suite, on the host"
        # shellcheck disable=SC1090
        source "$SOURCE/tests/wine/$suite.host.sh"
    fi
done

# under_one_wine VERSION: the suites under Wine VERSION, with the guest's
# smoke test first where they run in the guest; leaves "PASSED FAILED" for
# the whole in $BUILD/wine-VERSION.total.
under_one_wine() {
    local version=$1 started=$SECONDS out status counts
    # A job of its own: its counts start at 0 and reach the run through the
    # file.
    passed=0
    failed=0
    if ! host_runs_wine "$version"; then
        echo "wine: Wine $version in the guest machine (scripts/wine-vm.sh)"
        # The guest hands back what ran in it: a 32-bit program's exit status
        # and the command's own.
        out=$("$SOURCE/scripts/wine-vm.sh" --wine "$version" \
            bash -c '"$0" 7; echo "32-bit program: $?"; exit 3' "$SOURCE/scripts/i386-probe.sh")
        expect_eq "Wine $version: the guest runs a 32-bit program and returns both statuses" \
            "32-bit program: 7|3" "$out|$?"
    fi
    run_under_wine "$version" "$SOURCE/tests/wine/run.sh" --inside "${suites[@]}" 2>&1 |
        tee "$BUILD/wine-$version.log"
    status=${PIPESTATUS[0]}
    counts=$(sed -n 's/^wine: \([0-9]*\) passed, \([0-9]*\) failed$/\1 \2/p' \
        "$BUILD/wine-$version.log" | tail -n1)
    if [ -z "$counts" ]; then
        fail "Wine $version: the suites ran to the end (status $status)"
    else
        passed=$((passed + ${counts% *}))
        failed=$((failed + ${counts#* }))
        [ "$status" -eq 0 ] || [ "${counts#* }" -ne 0 ] ||
            fail "Wine $version: the run ended with status $status"
    fi
    echo "wine: Wine $version took $((SECONDS - started)) s"
    echo "$passed $failed" >"$BUILD/wine-$version.total"
}

# Each Wine runs its suites one after the other, and keeps about one
# processor busy; two Wines run side by side, each line marked with its
# version. Side by side, each guest gets one processor: guests of two
# processors each slowed each other down more than threefold.
if [ ${#wines[@]} -gt 1 ]; then
    export GANTREL_VM_CPUS="${GANTREL_VM_CPUS:-1}"
fi
# A guest that hangs past every program's own limit ends here.
export GANTREL_VM_TIMEOUT="${GANTREL_VM_TIMEOUT:-2400}"
for version in "${wines[@]}"; do
    rm -f "$BUILD/wine-$version.total"
    under_one_wine "$version" 2>&1 | sed -u "s/^/[Wine $version] /" &
done
wait
for version in "${wines[@]}"; do
    read -r wine_passed wine_failed <"$BUILD/wine-$version.total" 2>/dev/null || {
        fail "Wine $version: the run left its totals"
        continue
    }
    passed=$((passed + wine_passed))
    failed=$((failed + wine_failed))
done

echo "wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
