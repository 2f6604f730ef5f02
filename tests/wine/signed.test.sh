# The export contract under Wine, its version record read by
# GetFileVersionInfoA among it, on the module signed by signed.host.sh.
signed_module="$HOST_MADE/signed/dist/Gantrel.dll"
if [ -s "$signed_module" ]; then
    cp "$signed_module" "$PROGRAMS/Gantrel.dll"
    # shellcheck source=exports.test.sh
    source "$SOURCE/tests/wine/exports.test.sh"
    cp "$BUILD/Gantrel.dll" "$PROGRAMS/Gantrel.dll"
else
    fail "signed: the host made a signed module" "missing: $signed_module"
fi
