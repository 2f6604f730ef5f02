#!/bin/bash
# Builds the fuzz targets (asan preset: clang, libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer, LeakSanitizer) and runs each for a bounded
# time, starting from its seed corpus in fuzz/corpus. A finding stops the
# run with the input saved under out/asan/fuzz/findings.
#   fuzz/run.sh [SECONDS_PER_TARGET]   (20 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
build="${GANTREL_ASAN_BUILD:-out/asan}"

cmake --preset asan -B "$build" >/dev/null
cmake --build "$build" >/dev/null

# Lengths that keep every run quick while leaving room for the long cases:
# a line past 128 bytes, a command past the 1000-byte buffer.
declare -A max_len=([TextStringFuzz]=256 [SettingsImportFuzz]=2048 [RegistryFileFuzz]=4096
                    [UninstallCommandFuzz]=1200)
findings="$build/fuzz/findings"
mkdir -p "$findings"
passed=0
failed=0
for target in TextStringFuzz SettingsImportFuzz RegistryFileFuzz UninstallCommandFuzz; do
    work="$build/fuzz/corpus-$target"
    rm -rf "$work"
    mkdir -p "$work"
    cp fuzz/corpus/"$target"/* "$work"/
    if "$build/fuzz/$target" -max_total_time="$seconds" -max_len="${max_len[$target]}" \
        -artifact_prefix="$findings/$target-" -print_final_stats=1 "$work" \
        >"$build/fuzz/$target.log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/fuzz/$target.log")
        echo "  ok   $target: ${runs:-?} runs in ${seconds}s, no finding"
        passed=$((passed + 1))
    else
        echo "  FAIL $target: see $build/fuzz/$target.log"
        tail -n 30 "$build/fuzz/$target.log"
        failed=$((failed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
