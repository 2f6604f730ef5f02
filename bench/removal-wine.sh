#!/bin/bash
# The real module's folder removal under Wine beside Wine's own
# `cmd /c rmdir /s /q`, each on an identical tree of 10,000 files (ten groups
# of ten folders of 100 files), made afresh before each run. CleanupDatabase
# removes the tree named by dbPath. Prints both times and their ratio; the
# aim is a ratio of at most 1. Then FolderWalkBench.exe times the module
# against a plain wide walk inside one process (aim: at most 1.1).
#   bench/removal-wine.sh [RUNS]        (3 runs by default)
# Both commands start a Windows process, so each time includes one process
# start-up; the times of an idle start-up of each are printed too and taken
# off for the second ratio.
set -uo pipefail
SOURCE="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${GANTREL_WIN32_BUILD:-$SOURCE/out/win32}"

# shellcheck source=../tests/wine/lib.sh
source "$SOURCE/tests/wine/lib.sh"
[ "${1:-}" = --inside ] || build_and_run_under_wine removal-wine "$0" "$@"
shift
RUNS="${1:-3}"
WINE_RUN_SECONDS=3600
use_private_prefix wine-bench
trap stop_everything EXIT
make_prefix

make_tree() {
    local group folder
    for group in $(seq 0 9); do
        for folder in $(seq 0 9); do
            mkdir -p "$1/group$group/folder$folder"
            (cd "$1/group$group/folder$folder" && for file in $(seq 0 99); do
                echo "database page" >"page$file.db"
            done)
        done
    done
}

# Milliseconds that a command takes.
time_ms() {
    local started
    started=$(date +%s%N)
    "$@" >/dev/null 2>&1
    echo $((($(date +%s%N) - started) / 1000000))
}

wine reg add 'HKCU\Software\Corvanet\Lumeno' /v dbPath /t REG_SZ /d 'D:\module-tree' /f \
    >/dev/null 2>&1
wineserver -p 60 # keep the server up between the runs

module_total=0
rmdir_total=0
module_idle=0
rmdir_idle=0
for run in $(seq 1 "$RUNS"); do
    make_tree "$SCRATCH/module-tree"
    make_tree "$SCRATCH/rmdir-tree"
    sync
    module_ms=$(time_ms wine "$HOST_EXE" CleanupDatabase 0 0)
    rmdir_ms=$(time_ms wine cmd /c rmdir /s /q 'D:\rmdir-tree')
    if [ -e "$SCRATCH/module-tree" ] || [ -e "$SCRATCH/rmdir-tree" ]; then
        echo "removal-wine: a tree is still there after run $run" >&2
        exit 1
    fi
    module_total=$((module_total + module_ms))
    rmdir_total=$((rmdir_total + rmdir_ms))
    module_idle=$((module_idle + $(time_ms wine "$HOST_EXE" CleanupDatabase 0 0)))
    rmdir_idle=$((rmdir_idle + $(time_ms wine cmd /c rmdir /s /q 'D:\absent')))
    echo "run $run: CleanupDatabase $module_ms ms, rmdir /s /q $rmdir_ms ms"
done

module_avg=$((module_total / RUNS))
rmdir_avg=$((rmdir_total / RUNS))
module_start=$((module_idle / RUNS))
rmdir_start=$((rmdir_idle / RUNS))
echo "10,000 files in 100 folders, mean of $RUNS runs:"
echo "  CleanupDatabase $module_avg ms, cmd /c rmdir /s /q $rmdir_avg ms:" \
    "ratio $(awk -v a="$module_avg" -v b="$rmdir_avg" 'BEGIN { printf "%.2f", a / b }')"
echo "  idle start-up: gantrel-host $module_start ms, cmd $rmdir_start ms; without it:" \
    "ratio $(awk -v a="$((module_avg - module_start))" -v b="$((rmdir_avg - rmdir_start))" \
        'BEGIN { printf "%.2f", a / b }')" \
    "(aim: at most 1)"

# In one process, without start-ups: the module against a plain wide walk
# (FindFirstFileW, DeleteFileW, RemoveDirectoryW) on the same tree.
wine_run 'C:\gantrel\FolderWalkBench.exe' "$RUNS"
stop_everything
