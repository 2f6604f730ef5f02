# The example installer builds with makensis around the module built here,
# every warning taken as an error: makensis runs on Linux, so the script is
# checked even where the installer itself cannot be run.
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
installer_scratch="$BUILD/installer-build-check"
rm -rf "$installer_scratch"
mkdir -p "$installer_scratch"

if out=$(makensis -V2 -WX -DMODULE="$BUILD/Gantrel.dll" \
    -DOUTFILE="$installer_scratch/LumenoSetup.exe" "$SOURCE/examples/installer/Lumeno.nsi" 2>&1); then
    pass "makensis builds the example installer without a warning"
else
    fail "makensis builds the example installer without a warning" "$out"
fi
expect_eq "the installer is a Windows program" "MZ" \
    "$(head -c 2 "$installer_scratch/LumenoSetup.exe" 2>/dev/null)"
finish
