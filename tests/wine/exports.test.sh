# The export contract of the real module, under Wine: names and ordinals
# resolve, the calling convention, the version record, and a load that
# changes nothing. (exports.host.sh reads its tables on the host.)
# signed.test.sh runs it on a signed copy installed as C:\gantrel\Gantrel.dll.
expect_eq "GetFileVersionInfoA reads version 1.0.0.1" "file 1.0.0.1 product 1.0.0.1" \
    "$(wine_run 'C:\gantrel\VersionOf.exe' "$MODULE_DLL")"

# Without a display, a message box returns at once, unanswered: the
# question counts as not answered Yes.
for ordinal in 1 2 3 4 5 6 7; do
    name=${EXPORT_NAMES[$((ordinal - 1))]}
    out=$(DISPLAY= host "#$ordinal" 0 0)
    status=$?
    expect_eq "ordinal $ordinal resolves to $name, which removes its own arguments" \
        "0 $name" "$status $(head -n1 <<<"$out" | cut -d' ' -f1)"
    out=$(DISPLAY= host --null-text "$name" 0 0)
    expect_eq "$name resolves by name and survives null arguments" "0" "$?"
done

expect_eq "IsWs2 answers 1" "IsWs2 = 1" "$(host IsWs2)"

out=$(wine "$HOST_EXE" --module 'C:\gantrel\BadCallingModule.dll' IsWs2 2>&1)
status=$?
expect_eq "the host's stack check reports an entry point that leaves its arguments" \
    "5 12 bytes left" "$status $(grep -o '12 bytes left' <<<"$out")"

out=$(host --module 'C:\gantrel\Missing.dll' IsWs2 2>&1)
expect_eq "a module that cannot be loaded exits 3" "3" "$?"
out=$(host NoSuchEntry 2>&1)
expect_eq "an entry point that cannot be found exits 4" "4" "$?"

# Loading and unloading runs no hook logic: the whole registry exported
# before and after is the same.
wine regedit /E 'C:\registry-before.reg' >/dev/null 2>&1
out=$(wine_run 'C:\gantrel\LoadUnload.exe' "$MODULE_DLL")
wine regedit /E 'C:\registry-after.reg' >/dev/null 2>&1
expect_eq "the module loads and unloads" "loaded and unloaded" "$out"
if [ -s "$WINEPREFIX/drive_c/registry-before.reg" ] &&
    cmp -s "$WINEPREFIX/drive_c/registry-before.reg" "$WINEPREFIX/drive_c/registry-after.reg"; then
    pass "loading and unloading leave the registry unchanged"
else
    fail "loading and unloading leave the registry unchanged" \
        "$(diff "$WINEPREFIX/drive_c/registry-before.reg" \
            "$WINEPREFIX/drive_c/registry-after.reg" | head -n 10)"
fi
rm -f "$WINEPREFIX/drive_c/registry-before.reg" "$WINEPREFIX/drive_c/registry-after.reg"

# A ws2_32.dll planted beside the host program, with Wine told to prefer
# such a copy to its own: IsWs2 loads the system's copy all the same.
rm -f "$WINEPREFIX/drive_c/planted-ws2_32.txt"
cp "$PROGRAMS/PlantedSocketsModule.dll" "$PROGRAMS/ws2_32.dll"
out=$(WINEDLLOVERRIDES="$WINEDLLOVERRIDES;ws2_32=n,b" host IsWs2)
rm -f "$PROGRAMS/ws2_32.dll"
planted=$([ -e "$WINEPREFIX/drive_c/planted-ws2_32.txt" ] && echo "was loaded" || echo "stayed")
expect_eq "IsWs2 loads the system's ws2_32.dll, not one planted beside the host" \
    "IsWs2 = 1, the planted copy stayed" "$out, the planted copy $planted"
rm -f "$WINEPREFIX/drive_c/planted-ws2_32.txt"
