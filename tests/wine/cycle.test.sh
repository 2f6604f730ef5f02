# The whole cycle through the real DLL: the calls of a set-up and a removal
# on the example data (scripts/cycle-lib.sh), the removal's question answered
# Yes on a private display; then the same cycle on the emulated platform.
# After every call both platforms must print the same, hold the same
# registry (as `gantrel-host dump` prints it) and leave the same D:\Lumeno.

use_display || fail "cycle: a private X server starts"

# shellcheck source=../../scripts/cycle-lib.sh
source "$SOURCE/scripts/cycle-lib.sh"

# Waits for the question and answers Yes, in the background.
cycle_answer_yes() {
    local id
    id=$(timeout 60 xdotool search --sync --onlyvisible --name '^Warning$' 2>/dev/null |
        head -n1)
    [ -n "$id" ] && xdotool key y
}

cycle_host() {
    if [ "$1" = UninstInitialize ]; then
        cycle_answer_yes &
        local answerer=$!
        host "$@"
        wait "$answerer"
    else
        host "$@"
    fi
}

# Nothing of an earlier suite's: the module's keys are laid from the example
# registry alone.
for key in 'HKCU\Software\Corvanet' 'HKLM\SOFTWARE\Corvanet' \
    'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Corvanet VKT' \
    'HKCR\CLSID\{5c3e9d21-7a40-4b6e-a9d2-13f0c8e47b65}' 'HKCR\VKTFile' \
    'HKCR\*\shellex\ContextMenuHandlers\VKTMenu' \
    'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved\{5c3e9d21-7a40-4b6e-a9d2-13f0c8e47b65}'; do
    wine reg delete "$key" /f >/dev/null 2>&1
done
cp "$SOURCE/examples/cycle/registry.reg" "$PROGRAMS/cycle.reg"
wine regedit /s 'C:\gantrel\cycle.reg' >/dev/null 2>&1

CYCLE_D="$SCRATCH"
CYCLE_OUT="$RESULTS/cycle/wine"
rm -rf "$RESULTS/cycle"
mkdir -p "$RESULTS/cycle"
cycle_lay_files
cycle_run >"$RESULTS/cycle/wine.log" 2>&1

# The same on the emulated platform.
if build_native; then
    native_root="$RESULTS/cycle/native-platform"
    chmod -R u+rwX "$native_root" 2>/dev/null
    rm -rf "$native_root"
    mkdir -p "$native_root/drives/c" "$native_root/drives/d"
    cp "$SOURCE/examples/cycle/registry.reg" "$native_root/registry.reg"
    cycle_host() {
        GANTREL_REGISTRY="$native_root/registry.reg" GANTREL_DRIVES="$native_root/drives" \
            "$NATIVE_HOST" --answer yes "$@"
    }
    CYCLE_D="$native_root/drives/d"
    CYCLE_OUT="$RESULTS/cycle/native"
    cycle_lay_files
    cycle_run >"$RESULTS/cycle/native.log" 2>&1

    step=0
    for call in "${CYCLE_CALLS[@]}"; do
        step=$((step + 1))
        for record in out dump tree; do
            expect_eq "step $step, $call: the same $record on both platforms" \
                "$(cat "$RESULTS/cycle/native/$step.$record")" \
                "$(cat "$RESULTS/cycle/wine/$step.$record")"
        done
    done
else
    fail "cycle: the native build for the comparison"
fi

expect_eq "the cycle's results under Wine" \
    "IsWs2 = 1|SetupServer = 0|SetUninstallInfo = 1|GetVKTFolder = 1|GetVKTFolder buffer: \"D:\\Lumeno\"|UninstInitialize = 0|CleanupDatabase = 1|UninstUnInitialize = 0" \
    "$(cat "$RESULTS"/cycle/wine/[1-7].out | tr '\n' '|' | sed 's/|$//')"
expect_eq "the database folder is gone after the removal, the settings file stays" \
    "file   settings.ini" "$(cat "$RESULTS/cycle/wine/5.tree")"
