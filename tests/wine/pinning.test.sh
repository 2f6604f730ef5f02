# The real module holds each folder open while it walks it, sharing
# everything but deletion: a second process that tries to rename the folder
# in the middle of the walk (to put a link in its place) is refused, and
# nothing outside dbPath goes.

fresh_scratch pinning
fresh_scratch pinning-outside
mkdir -p "$SCRATCH/pinning/db/busy"
(cd "$SCRATCH/pinning/db/busy" && for file in $(seq 1 3000); do echo page >"page$file.db"; done)
echo top >"$SCRATCH/pinning/db/top.db"
echo precious >"$SCRATCH/pinning-outside/precious.db"
removal_seed 'D:\pinning\db'
rm -f "$SCRATCH/pinning.ready"
wine_run 'C:\gantrel\RenameDuringWalk.exe' 'D:\pinning\db\busy' 'D:\pinning\moved' \
    'D:\pinning.ready' >"$SCRATCH/pinning.result" &
racer_pid=$!
for tries in $(seq 1 600); do
    [ -e "$SCRATCH/pinning.ready" ] && break
    sleep 0.1
done
out=$(timeout 120 wine "$HOST_EXE" CleanupDatabase 0 0 2>/dev/null | tr -d '\r')
timeout 120 tail --pid="$racer_pid" -f /dev/null
expect_eq "CleanupDatabase answers 1 with a racer at work" "CleanupDatabase = 1" "$out"
expect_contains "the rename of a folder being walked is refused" "refused" \
    "$(cat "$SCRATCH/pinning.result")"
expect_eq "the database folder goes, and nothing is moved out of it" "gone|no" \
    "$([ -e "$SCRATCH/pinning/db" ] && echo there || echo gone)|$([ -e "$SCRATCH/pinning/moved" ] && echo yes || echo no)"
expect_eq "nothing outside dbPath is touched" "precious" \
    "$(cat "$SCRATCH/pinning-outside/precious.db")"
