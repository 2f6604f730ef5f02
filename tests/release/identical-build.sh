# Two builds of the same sources in two folders give the same module: the
# release script builds a copy of the sources elsewhere, with this build's
# time stamp, and the two files are compared byte for byte.
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
root="$BUILD/release-test/identical"
rm -rf "$root"
mkdir -p "$root"

epoch=$(sed -n 's/^GANTREL_SOURCE_DATE_EPOCH:STRING=//p' "$BUILD/CMakeCache.txt")
if SOURCE_DATE_EPOCH="$epoch" GANTREL_RELEASE_BUILD="$root/build" \
    "$SOURCE/scripts/release.sh" --allow-dirty --out "$root/dist" >"$root/log" 2>&1 &&
    cmp "$root/dist/Gantrel.dll" "$BUILD/Gantrel.dll" >>"$root/log" 2>&1 &&
    (cd "$root/dist" && sha256sum --quiet -c SHA256SUMS) >>"$root/log" 2>&1; then
    pass "a second build in another folder is the same file, and SHA256SUMS matches it"
else
    fail "a second build in another folder is the same file, and SHA256SUMS matches it" \
        "(built $BUILD/Gantrel.dll from these sources first?)" "$(tail -n 5 "$root/log")"
fi

finish
