# The example installer, built with makensis on the host for installer.test.sh:
# Unicode as it ships and ANSI (-DANSI), each also with a dbPath that ends in
# a backslash ("-trailing").
INSTALLER_BUILD="$HOST_MADE/installer"
mkdir -p "$INSTALLER_BUILD"

# installer_make NAME [MAKENSIS OPTIONS...]
installer_make() {
    local name=$1
    shift
    if makensis -V1 -DMODULE="$BUILD/Gantrel.dll" -DOUTFILE="$INSTALLER_BUILD/$name.exe" "$@" \
        "$SOURCE/examples/installer/Lumeno.nsi" >"$INSTALLER_BUILD/$name.log" 2>&1; then
        pass "installer: makensis builds $name"
    else
        fail "installer: makensis builds $name" "$(cat "$INSTALLER_BUILD/$name.log")"
    fi
}

for kind in unicode ansi; do
    options=()
    [ "$kind" = ansi ] && options=(-DANSI)
    installer_make "$kind" "${options[@]}"
    # $INSTDIR is the installer's own, expanded when it runs.
    # shellcheck disable=SC2016
    installer_make "$kind-trailing" "${options[@]}" '-DDATABASE_PATH=$INSTDIR\Database\'
done
