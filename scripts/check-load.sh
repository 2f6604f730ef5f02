#!/bin/bash
# Checks that a built Gantrel.dll loads on Windows 2000 and later: every
# function it imports is listed in platform/win32/imports.tsv as exported by
# Windows 2000 or an earlier NT release, and its PE header asks for no
# operating system or subsystem above 5.0.
#   scripts/check-load.sh DLL [TABLE]
# Prints what it found; exits 1 when the module would not load on Windows 2000.
set -euo pipefail
dll="${1:?usage: check-load.sh DLL [TABLE]}"
table="${2:-$(dirname "$0")/../platform/win32/imports.tsv}"
objdump=i686-w64-mingw32-objdump

header=$($objdump -p "$dll") || {
    echo "check-load: $dll is not a PE file objdump can read" >&2
    exit 1
}

# "DLL function" for every import by name, "DLL #ordinal" for one by number.
imports=$(awk '
    /^[[:space:]]*DLL Name: / { dll = $3; next }
    /^The Export Tables/ || /^There is an export table/ { dll = "" }
    dll != "" && /^\t[0-9a-f]+\t +[0-9]+ / {
        if (NF >= 3 && $3 != "<none>") print dll, $3; else print dll, "#" $2
    }' <<<"$header")

problems=$(awk -v imports="$imports" '
    # Releases up to and including Windows 2000 itself; a service pack of
    # 2000 is later than the release.
    function early(release) {
        return release ~ /^NT(3\.1|3\.5|3\.51|4\.0)(SP[0-9]+)?$/ || release == "2000"
    }
    FNR == 1 { FS = "\t" }
    /^#/ || NF < 3 { next }
    { first[toupper($1) " " $2] = $3 }
    END {
        count = split(imports, lines, "\n")
        for (i = 1; i <= count; i++) {
            if (lines[i] == "") continue
            split(lines[i], parts, " ")
            key = toupper(parts[1]) " " parts[2]
            if (!(key in first))
                print lines[i] ": not in the import table"
            else if (!early(first[key]))
                print lines[i] ": first exported by Windows " first[key]
        }
    }' "$table")

version() { sed -n "s/^$1[[:space:]]*\([0-9]*\)$/\1/p" <<<"$header"; }
for kind in OSystem Subsystem; do
    major=$(version "Major${kind}Version")
    minor=$(version "Minor${kind}Version")
    if [ -z "$major" ] || [ -z "$minor" ]; then
        problems+=$'\n'"no ${kind} version in the PE header"
    elif [ "$major" -gt 5 ] || { [ "$major" -eq 5 ] && [ "$minor" -gt 0 ]; }; then
        problems+=$'\n'"the PE header asks for ${kind/OSystem/operating system} version $major.$minor"
    fi
done
problems=$(sed '/^$/d' <<<"$problems")

if [ -n "$problems" ]; then
    echo "check-load: $dll would not load on Windows 2000:" >&2
    sed 's/^/  /' <<<"$problems" >&2
    exit 1
fi
echo "check-load: $(wc -l <<<"$imports") imports from" \
    "$(cut -d' ' -f1 <<<"$imports" | sort -uf | wc -l) DLLs, all in Windows 2000; header 5.0"
