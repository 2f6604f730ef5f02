# What this Wine answers to the calls the folder removal relies on (a link's
# handle and listing, a held folder, paths beyond MAX_PATH), printed so that
# the runs under Wine 8 and Wine 10 can be read side by side. The module's
# defence against links needs one of them: the listing marks the link.
fresh_scratch platform
mkdir -p "$SCRATCH/platform/target"
ln -s "$SCRATCH/platform/target" "$SCRATCH/platform/link"
answers=$(wine_run 'C:\gantrel\PlatformAnswers.exe' 'D:\platform' 'D:\platform\link')
sed 's/^/       /' <<<"$answers"
expect_contains "the listing marks a link to a folder as folder and reparse point" \
    "a link to a folder, listed: 0x410" "$answers"
