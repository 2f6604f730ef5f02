# The example installer builds with makensis around the module built here,
# every warning taken as an error: makensis runs on Linux, so the script is
# checked even where the installer itself cannot be run.
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
installer_scratch="$BUILD/installer-build-check"
rm -rf "$installer_scratch"
mkdir -p "$installer_scratch"

# Unicode as it ships, and ANSI (-DANSI).
for kind in unicode ansi; do
    options=()
    [ "$kind" = ansi ] && options=(-DANSI)
    if out=$(makensis -V2 -WX "${options[@]}" -DMODULE="$BUILD/Gantrel.dll" \
        -DOUTFILE="$installer_scratch/LumenoSetup-$kind.exe" \
        "$SOURCE/examples/installer/Lumeno.nsi" 2>&1); then
        pass "makensis builds the $kind installer without a warning"
    else
        fail "makensis builds the $kind installer without a warning" "$out"
    fi
    expect_eq "the $kind installer is a Windows program" "MZ" \
        "$(head -c 2 "$installer_scratch/LumenoSetup-$kind.exe" 2>/dev/null)"
done
finish
