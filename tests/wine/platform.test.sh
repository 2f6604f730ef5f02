# The platform's answer table (tests/platform) under this Wine: the same
# rows as on the emulated platform, each one check here, on the fixture tree
# in D:\platform and the registry sandbox HKCU\Software\Gantrel conformance.
# The one key the table cannot make itself (a name the code page cannot
# carry) is added first with reg.exe, which takes its argument from the
# UTF-8 command line.
fresh_scratch platform
"$SOURCE/tests/platform/make-fixtures.sh" "$SCRATCH/platform"
sandbox='HKCU\Software\Gantrel conformance'
wine reg delete "$sandbox" /f >/dev/null 2>&1
env LC_ALL=C.UTF-8 wine reg add "$sandbox\\Wide\\日本語\\Łódź" /f >/dev/null 2>&1
case "$(wine --version 2>/dev/null)" in
wine-8.*) answers_on=wine8 ;;
wine-10.*) answers_on=wine10 ;;
*) answers_on=unknown ;;
esac
mkdir -p "$RESULTS"
env LC_ALL=C.UTF-8 GANTREL_CONFORMANCE=conformance timeout "${WINE_RUN_SECONDS:-120}" \
    wine 'C:\gantrel\PlatformAnswers.exe' --on "$answers_on" 'D:\platform' \
    >"$RESULTS/platform-answers.txt" 2>/dev/null
table_status=$?
table=$(tr -d '\r' <"$RESULTS/platform-answers.txt")
while IFS= read -r line; do
    case "$line" in
    "ok   "*) pass "${line#ok   }" ;;
    "FAIL "*) fail "${line#FAIL }" ;;
    *) echo "       $line" ;;
    esac
done <<<"$table"
# What the listing cannot show: Wine leaves the link, now leading nowhere
# (Windows removes the link and leaves the folder).
expect_eq "on disk, RemoveDirectoryW of link-to-empty left the link and removed its empty target" \
    "link stays, target gone" \
    "link $([ -L "$SCRATCH/platform/link-to-empty" ] && echo stays || echo gone), target $(
        [ -d "$SCRATCH/platform/empty-target" ] && echo stays || echo gone)"
expect_eq "the table ran to its end, every row as this Wine answers ($answers_on)" \
    "0: 0 failed" "$table_status: $(tail -n1 <<<"$table" | sed -n 's/^[0-9]* rows, \([0-9]* failed\).*/\1/p')"
