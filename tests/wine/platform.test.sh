# What this Wine answers to the calls the folder removal relies on (a link's
# handle and listing, a held folder, paths beyond MAX_PATH), printed so that
# the runs under Wine 8 and Wine 10 can be read side by side. The module's
# defence against links needs one of them: the listing marks the link. (Both
# Wines remove a link's empty target on RemoveDirectoryW of the link, and
# leave the link: the removal suite checks that the module never asks.)
fresh_scratch platform
mkdir -p "$SCRATCH/platform/target"
ln -s "$SCRATCH/platform/target" "$SCRATCH/platform/link"
answers=$(wine_run 'C:\gantrel\PlatformAnswers.exe' 'D:\platform' 'D:\platform\link')
sed 's/^/       /' <<<"$answers"
echo "       after RemoveDirectoryW: link $([ -L "$SCRATCH/platform/link" ] && echo stays || echo gone)," \
    "its empty target $([ -d "$SCRATCH/platform/target" ] && echo stays || echo gone)"
expect_contains "the listing marks a link to a folder as folder and reparse point" \
    "a link to a folder, listed: 0x410" "$answers"
