# The database-folder removal of the real module: UninstInitialize with real
# message boxes on a private X server, answered with xdotool, the product
# window played by LumenoWindow.exe, and CleanupDatabase. Every folder
# removed here lies in the scratch folder (drive D:), and the prefix has no
# drive for the Linux root.

use_display || fail "removal: a private X server starts"

# removal_tree FOLDER: a database folder with read-only files, a read-only
# folder, hidden files and folders, names of dots, nested three deep.
removal_tree() {
    mkdir -p "$1/archive/2019" "$1/.cache" "$1/..." "$1/guarded"
    echo main >"$1/main.db"
    echo journal >"$1/main.db-journal"
    echo index >"$1/.cache/index"
    echo old >"$1/archive/2019/old.db"
    echo dots >"$1/.../..x"
    echo dotted >"$1/dotted."
    echo inner >"$1/guarded/inner.db"
    chmod a-w "$1/main.db" "$1/archive/2019/old.db" "$1/guarded/inner.db" "$1/guarded"
}

question='You are about to loose your current registration data'
fresh_scratch removal
DB="$SCRATCH/removal/db"
removal_seed 'D:\removal\db'

# --- No: the folder stays and the answer is -1. Called by its ordinal, #2,
# which the host checks removes its own three arguments.
removal_tree "$DB"
before=$(folder_listing "$DB")
(
    host '#2' 0 0 >"$SCRATCH/result"
    echo "exit $?" >>"$SCRATCH/result"
) &
host_pid=$!
removal_box Warning n removal-question || fail "the question box appears"
wait "$host_pid"
expect_eq "ordinal #2 is UninstInitialize and balances the stack" "exit 0" \
    "$(tail -n1 "$SCRATCH/result")"
sed -i '$d' "$SCRATCH/result"
expect_contains "the question names the data at risk" "$question|Do you want to proceed ?" \
    "$BOX_TEXT"
expect_contains "the question offers Yes" "&Yes" "$BOX_TEXT"
expect_contains "the question offers No" "&No" "$BOX_TEXT"
expect_eq "No answers -1" "UninstInitialize = -1" "$(cat "$SCRATCH/result")"
expect_eq "No leaves the folder as it was" "$before" "$(folder_listing "$DB")"

# --- Yes while the product runs: both boxes, -1, nothing removed.
if removal_start_window; then
    host UninstInitialize 0 0 >"$SCRATCH/result" &
    host_pid=$!
    removal_box Warning y removal-question-yes || fail "the question box appears"
    removal_box Error Return removal-product-running || fail "the error box follows"
    expect_contains "the error box says what to do" "Close the VKT and run up setup again." \
        "$BOX_TEXT"
    expect_contains "the error box has an OK button" "OK" "$BOX_TEXT"
    wait "$host_pid"
    expect_eq "a running product answers -1" "UninstInitialize = -1" "$(cat "$SCRATCH/result")"
    expect_eq "a running product keeps its folder" "$before" "$(folder_listing "$DB")"

    # CleanupDatabase asks nothing and looks for no window.
    out=$(host CleanupDatabase 0 0)
    expect_eq "CleanupDatabase answers 1" "CleanupDatabase = 1" "$out"
    expect_eq "CleanupDatabase removes the folder while the product runs" "no" \
        "$([ -e "$DB" ] && echo yes || echo no)"
    removal_stop_window
else
    fail "LumenoWindow.exe opens its window"
fi

# --- Yes: the whole tree goes, its parent and siblings stay.
removal_tree "$DB"
echo keep >"$SCRATCH/removal/settings.ini"
host UninstInitialize 0 0 >"$SCRATCH/result" &
host_pid=$!
removal_box Warning y removal-question-yes || fail "the question box appears"
wait "$host_pid"
expect_eq "Yes answers 0" "UninstInitialize = 0" "$(cat "$SCRATCH/result")"
expect_eq "Yes removes the tree, the folder included" "no" "$([ -e "$DB" ] && echo yes || echo no)"
expect_eq "Yes leaves the folder's siblings" "keep" "$(cat "$SCRATCH/removal/settings.ini")"

# --- Links to folders outside are never followed, inside the tree or as
# the folder itself. (Wine lists a link to a folder as 0x410 and will not
# remove it, so the link and the folders above it stay.)
fresh_scratch outside
mkdir -p "$SCRATCH/outside/data/sub"
echo precious >"$SCRATCH/outside/data/precious.db"
echo more >"$SCRATCH/outside/data/sub/more.db"
outside_before=$(folder_listing "$SCRATCH/outside")
removal_tree "$DB"
ln -s "$SCRATCH/outside/data" "$DB/archive/linked"
out=$(host CleanupDatabase 0 0)
expect_eq "a tree with a link answers 1" "CleanupDatabase = 1" "$out"
expect_eq "nothing behind a link inside the tree is touched" "$outside_before" \
    "$(folder_listing "$SCRATCH/outside")"
expect_eq "everything but the link and the folders above it goes" \
    "./archive ./archive/linked " "$(folder_listing "$DB")"
rm -rf "$DB"
ln -s "$SCRATCH/outside/data" "$DB"
out=$(host CleanupDatabase 0 0)
expect_eq "nothing behind a dbPath that is a link is touched" "$outside_before" \
    "$(folder_listing "$SCRATCH/outside")"
rm -f "$DB"
# Wine removes the empty folder a link leads to when asked to remove the
# link: links to an empty folder, as dbPath and inside the tree, stay with
# that folder.
mkdir -p "$SCRATCH/outside/empty"
ln -s "$SCRATCH/outside/empty" "$DB"
out=$(host CleanupDatabase 0 0)
removal_tree "$SCRATCH/removal/tree"
ln -s "$SCRATCH/outside/empty" "$SCRATCH/removal/tree/empty-link"
removal_seed 'D:\removal\tree'
out+="|$(host CleanupDatabase 0 0)"
expect_eq "links to an empty folder are left with the folder" \
    "CleanupDatabase = 1|CleanupDatabase = 1|yes|./empty-link " \
    "$out|$([ -d "$SCRATCH/outside/empty" ] && echo yes || echo no)|$(folder_listing \
        "$SCRATCH/removal/tree")"
rm -rf "$DB" "$SCRATCH/removal/tree"
removal_seed 'D:\removal\db'
# A dbPath below a link names the folder the link leads to, as the path
# resolves on Windows: that folder goes, its siblings stay.
ln -s "$SCRATCH/outside" "$SCRATCH/removal/via"
removal_seed 'D:\removal\via\data'
out=$(host CleanupDatabase 0 0)
expect_eq "a dbPath whose parent is a link removes the folder it names, and only it" \
    "CleanupDatabase = 1|no|yes" \
    "$out|$([ -e "$SCRATCH/outside/data" ] && echo yes || echo no)|$([ -L "$SCRATCH/removal/via" ] &&
        [ -d "$SCRATCH/outside" ] && echo yes || echo no)"
rm -f "$SCRATCH/removal/via"
removal_seed 'D:\removal\db'

# --- A file held open by another process stays, with its folders; the call
# comes back (a hang would be cut off by timeout).
removal_tree "$DB"
mkdir -p "$DB/open"
echo held >"$DB/open/held.db"
rm -f "$SCRATCH/held.ready"
wine 'C:\gantrel\HoldOpen.exe' 'D:\removal\db\open\held.db' 'D:\held.ready' >/dev/null 2>&1 &
holder_pid=$!
for tries in $(seq 1 300); do
    [ -e "$SCRATCH/held.ready" ] && break
    sleep 0.1
done
started=$(date +%s%N)
out=$(timeout 120 wine 'C:\gantrel\gantrel-host.exe' CleanupDatabase 0 0 2>/dev/null | tr -d '\r')
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
expect_eq "a held file does not stop CleanupDatabase" "CleanupDatabase = 1" "$out"
expect_eq "the held file and its folders stay, the rest goes" "./open ./open/held.db " \
    "$(folder_listing "$DB")"
echo "       (CleanupDatabase with a held file returned in ${elapsed_ms} ms)"
kill "$holder_pid" 2>/dev/null
wait "$holder_pid" 2>/dev/null

# --- dbPath values that name no folder below a root remove nothing, and
# the hooks answer as usual.
fresh_scratch removal
removal_tree "$DB"
echo top >"$SCRATCH/top.dat"
tree_before=$(folder_listing "$SCRATCH/removal")
for value in '' 'D:' 'D:\' '\' 'D:removal\db' 'removal\db' '\removal\db' 'D:\removal\db\..' \
    'D:\removal\.' 'D:\...' '\\server\share'; do
    removal_seed "$value"
    out=$(host CleanupDatabase 0 0)
    expect_eq "dbPath '$value': CleanupDatabase answers 1 and removes nothing" \
        "CleanupDatabase = 1|$tree_before|top" \
        "$out|$(folder_listing "$SCRATCH/removal")|$(cat "$SCRATCH/top.dat")"
done
removal_seed ''
host UninstInitialize 0 0 >"$SCRATCH/result" &
host_pid=$!
removal_box Warning y removal-question-empty-path || fail "the question box appears"
wait "$host_pid"
expect_eq "an empty dbPath: UninstInitialize answers 0 and removes nothing" \
    "UninstInitialize = 0|$tree_before" \
    "$(cat "$SCRATCH/result")|$(folder_listing "$SCRATCH/removal")"

# A file named by dbPath stays.
echo file >"$SCRATCH/removal/db.file"
removal_seed 'D:\removal\db.file'
out=$(host CleanupDatabase 0 0)
expect_eq "a dbPath naming a file keeps the file" "CleanupDatabase = 1|file" \
    "$out|$(cat "$SCRATCH/removal/db.file")"

# --- A dbPath that is, or holds, one of the system's own folders removes
# nothing, however it is spelled: another case, a trailing separator, a
# short name, a link in a parent path. Each folder named gets a canary
# folder that a removal would take first; where the file system lets
# root make folders immutable, every other folder under it is made so for
# the call, so that a refusal that fails costs the canary and not the
# prefix.
C_DRIVE="$WINEPREFIX/drive_c"
# Wine names the profile after the Unix user.
wine_user=$(id -un)
fresh_scratch system
ln -s "$C_DRIVE" "$SCRATCH/system/c"
short=$(cd "$C_DRIVE" && wine_run cmd /c 'dir /x C:\' |
    sed -n 's/.*<DIR> *\([^ ]*~[^ ]*\) *Program Files$/\1/p')
echo "       (Wine's short name of C:\\Program Files: ${short:-none})"
expect_contains "Wine gives C:\\Program Files a short name" "~" "$short"
# The suites' prefix is 32-bit: one system folder, one Program Files. The
# installer suite checks those of a 64-bit one.
checks=('C:\WINDOWS|windows' 'C:\windows\SYSTEM32|windows/system32'
    'C:\Program Files\|Program Files' "C:\\$short|Program Files"
    'C:\ProgramData|ProgramData'
    'C:\users|users' "C:\\users\\$wine_user|users/$wine_user" 'D:\system\c\users|users'
    "D:\\system\\c\\Users\\${wine_user^^}\\|users/$wine_user")
for check in "${checks[@]}"; do
    removal_system_folder "${check%%|*}" "${check#*|}"
done
# A product's database folder below Program Files goes as before.
removal_tree "$C_DRIVE/Program Files/Corvanet/Lumeno/Database"
removal_seed 'C:\Program Files\Corvanet\Lumeno\Database'
out=$(host CleanupDatabase 0 0)
expect_eq "a database folder below Program Files goes, the folders above it stay" \
    "CleanupDatabase = 1|no|yes" \
    "$out|$([ -e "$C_DRIVE/Program Files/Corvanet/Lumeno/Database" ] && echo yes || echo no)|$([ -d "$C_DRIVE/Program Files/Corvanet/Lumeno" ] && echo yes || echo no)"
rm -rf "$C_DRIVE/Program Files/Corvanet"
removal_seed 'D:\removal\db'

# --- The stack the removal takes does not grow with the depth of the tree:
# chains of 40 and 400 nested folders, made here rather than through Wine,
# removed by CleanupDatabase on a thread with a 1 MB stack (a walk that took
# stack for each level needed about 720 bytes a level, and overflowed such a
# thread at about 1,400).
removal_stack() {
    fresh_scratch stack
    mkdir -p "$SCRATCH/stack/db$(printf '/f%.0s' $(seq 1 "$1"))"
    echo deep >"$SCRATCH/stack/db$(printf '/f%.0s' $(seq 1 "$1"))/last.db"
    removal_seed 'D:\stack\db'
    wine_run 'C:\gantrel\RemovalStack.exe' "$MODULE_DLL"
    [ -e "$SCRATCH/stack/db" ] && echo "the chain of $1 stays"
}
shallow=$(removal_stack 40)
deep=$(removal_stack 400)
echo "       (stack of CleanupDatabase: ${shallow##* stack } for 40 levels, ${deep##* stack } for 400)"
shallow_bytes=$(sed -n 's/.* stack \([0-9]*\) bytes$/\1/p' <<<"$shallow")
deep_bytes=$(sed -n 's/.* stack \([0-9]*\) bytes$/\1/p' <<<"$deep")
expect_eq "chains of 40 and 400 folders are removed on a thread with a 1 MB stack" \
    "CleanupDatabase = 1|CleanupDatabase = 1" "${shallow%%,*}|${deep%%,*}"
expect_eq "the removal's stack stays within 4 KB from 40 to 400 levels" "yes" \
    "$([ -n "$shallow_bytes" ] && [ -n "$deep_bytes" ] &&
        [ "$deep_bytes" -lt $((shallow_bytes + 4096)) ] && echo yes || echo no)"
removal_seed 'D:\removal\db'
