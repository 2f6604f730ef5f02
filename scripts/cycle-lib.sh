# A complete set-up and removal of the product on example data, one call of
# the module at a time, recording after every call the registry (as
# `gantrel-host dump` prints it) and the product's folder on drive D:.
# Sourced by scripts/demo.sh (the emulated platform) and by the Wine suite
# tests/wine/cycle.test.sh (the real DLL), whose records must agree.
#
# The caller defines:
#   cycle_host ARGS...   runs the host stand-in with these arguments
#   CYCLE_D              the Linux folder that is drive D:
#   CYCLE_OUT            a folder for the records (made empty here)
# and has loaded examples/cycle/registry.reg into the registry.

CYCLE_EXAMPLES="$(cd "$(dirname "${BASH_SOURCE[0]}")/../examples/cycle" && pwd)"

# The installer's calls, in order. UninstInitialize is answered Yes.
CYCLE_CALLS=(
    "IsWs2"
    'SetupServer 0 0 D:\Lumeno\settings.ini'
    "SetUninstallInfo"
    "GetVKTFolder"
    "UninstInitialize"
    "CleanupDatabase"
    "UninstUnInitialize"
)

# The product's files on D:\Lumeno: the settings file and a database folder
# with read-only, hidden and nested entries.
cycle_lay_files() {
    chmod -R u+rwX "$CYCLE_D/Lumeno" 2>/dev/null || true
    rm -rf "${CYCLE_D:?}/Lumeno"
    mkdir -p "$CYCLE_D/Lumeno"
    cp "$CYCLE_EXAMPLES/settings.ini" "$CYCLE_D/Lumeno/"
    cp -r "$CYCLE_EXAMPLES/database" "$CYCLE_D/Lumeno/Database"
    chmod a-w "$CYCLE_D/Lumeno/Database/main.db" "$CYCLE_D/Lumeno/Database/archive/2019/old.db" \
        "$CYCLE_D/Lumeno/Database/archive/2019"
}

# What D:\Lumeno holds, one entry a line, sorted.
cycle_tree() {
    (cd "$CYCLE_D/Lumeno" 2>/dev/null &&
        find . -mindepth 1 \( -type d -printf 'folder %P\n' -o -printf 'file   %P\n' \) |
        LC_ALL=C sort) || true
}

# Prints the lines that went (-) and came (+) between two records.
cycle_changes() {
    local label=$1 before=$2 after=$3 changes line
    changes=$(diff "$before" "$after" | while IFS= read -r line; do
        case $line in
        "< "*) printf '  %s - %s\n' "$label" "${line#< }" ;;
        "> "*) printf '  %s + %s\n' "$label" "${line#> }" ;;
        esac
    done || true) # diff answers 1 for any change
    if [ -n "$changes" ]; then
        echo "$changes"
    else
        echo "  $label: no change"
    fi
}

# Runs every call, printing it, what the host printed, and what changed.
cycle_run() {
    rm -rf "$CYCLE_OUT"
    mkdir -p "$CYCLE_OUT"
    cycle_host dump >"$CYCLE_OUT/0.dump"
    cycle_tree >"$CYCLE_OUT/0.tree"
    local step=0 call arguments
    for call in "${CYCLE_CALLS[@]}"; do
        step=$((step + 1))
        read -r -a arguments <<<"$call"
        echo "\$ gantrel-host $call"
        cycle_host "${arguments[@]}" | tee "$CYCLE_OUT/$step.out"
        cycle_host dump >"$CYCLE_OUT/$step.dump"
        cycle_tree >"$CYCLE_OUT/$step.tree"
        cycle_changes registry "$CYCLE_OUT/$((step - 1)).dump" "$CYCLE_OUT/$step.dump"
        cycle_changes "D:\\Lumeno" "$CYCLE_OUT/$((step - 1)).tree" "$CYCLE_OUT/$step.tree"
    done
}
