# The export contract of the real module: names and ordinals, the calling
# convention, the version record, the imports, and a load that changes
# nothing.
names=(IsWs2 UninstInitialize UninstUnInitialize SetUninstallInfo GetVKTFolder CleanupDatabase
       SetupServer)
OBJDUMP=i686-w64-mingw32-objdump
# The file whose tables are read; signed.test.sh points it at a signed copy,
# which it also installs as C:\gantrel\Gantrel.dll.
module_file="${EXPORTS_MODULE_FILE:-$BUILD/Gantrel.dll}"

# The export table as the linker wrote it: "ordinal name" lines, sorted.
expected_exports=$(for i in "${!names[@]}"; do echo "$((i + 1)) ${names[$i]}"; done | sort)
actual_exports=$($OBJDUMP -p "$module_file" |
    sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p' |
    while read -r index name; do echo "$((index + 1)) $name"; done | sort)
expect_eq "the export table holds exactly the seven names with ordinals 1 to 7" \
    "$expected_exports" "$actual_exports"
expect_eq "ordinals start at 1 and there are seven addresses" "1 7" \
    "$($OBJDUMP -p "$module_file" | sed -n 's/.*-- Ordinal Base \([0-9]*\).*/\1/p') \
$($OBJDUMP -p "$module_file" | grep -c '+base\[')"

imports=$($OBJDUMP -p "$module_file" | sed -n 's/.*DLL Name: //p' | tr 'a-z' 'A-Z' | sort |
    tr '\n' ' ')
expect_eq "the module imports system DLLs only" "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL " \
    "$imports"
expect_contains "the module is a 32-bit PE DLL" "PE32 executable (DLL)" \
    "$(file "$module_file")"

expect_eq "GetFileVersionInfoA reads version 1.0.0.1" "file 1.0.0.1 product 1.0.0.1" \
    "$(wine_run 'C:\gantrel\VersionOf.exe' "$MODULE_DLL")"

# Without a display, a message box returns at once, unanswered: the
# question counts as not answered Yes.
for ordinal in 1 2 3 4 5 6 7; do
    name=${names[$((ordinal - 1))]}
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
