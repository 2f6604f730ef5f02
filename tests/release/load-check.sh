# The module loads on Windows 2000 and later: every function it imports is in
# platform/win32/imports.tsv as exported by Windows 2000 or an earlier NT, and
# its header asks for no newer system. The check itself must catch a table
# short of a row, a function dated after 2000 and a header that asks for 6.0.
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
check_load="$SOURCE/scripts/check-load.sh"
imports_scratch="$BUILD/imports-check"
rm -rf "$imports_scratch"
mkdir -p "$imports_scratch"

if out=$("$check_load" "$BUILD/Gantrel.dll" 2>&1); then
    pass "every import is exported by Windows 2000, and the header asks for 5.0"
else
    fail "every import is exported by Windows 2000, and the header asks for 5.0" "$out"
fi

grep -v $'\tMessageBoxA\t' "$SOURCE/platform/win32/imports.tsv" |
    sed $'s/\tFindWindowA\t.*/\tFindWindowA\tXP/' >"$imports_scratch/imports.tsv"
out=$("$check_load" "$BUILD/Gantrel.dll" "$imports_scratch/imports.tsv" 2>&1)
expect_eq "the check names an import missing from the table and one first in XP" \
    "1 USER32.dll FindWindowA: first exported by Windows XP|USER32.dll MessageBoxA: not in the import table" \
    "$? $(grep -o 'USER32.dll .*' <<<"$out" | sort | paste -sd'|')"

# MajorOperatingSystemVersion: 40 bytes into the optional header, which
# follows the PE signature (4 bytes) and the file header (20 bytes).
cp "$BUILD/Gantrel.dll" "$imports_scratch/Vista.dll"
pe_offset=$(od -An -tu4 -j60 -N4 "$imports_scratch/Vista.dll" | tr -d ' ')
printf '\x06' | dd of="$imports_scratch/Vista.dll" bs=1 seek=$((pe_offset + 24 + 40)) \
    conv=notrunc 2>/dev/null
out=$("$check_load" "$imports_scratch/Vista.dll" 2>&1)
expect_eq "the check refuses a header that asks for Windows 6.0" \
    "1 the PE header asks for operating system version 6.0" \
    "$? $(grep -o 'the PE header.*' <<<"$out")"

finish
