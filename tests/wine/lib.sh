# Shared by the Wine suites: one private prefix per run, with no drive mapped
# to the Linux root; checks that print expected and actual; and clean-up of
# everything the run started.
#
# Sourced by tests/wine/run.sh, which sets BUILD (the win32 build folder).

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
HOST_EXE='C:\gantrel\gantrel-host.exe'
MODULE_DLL='C:\gantrel\Gantrel.dll'
# What the suites' *.host.sh made on the host for the runs under Wine.
HOST_MADE="$BUILD/wine-host"
# What the suites keep for a look after the run: one folder per Wine, since
# two Wines run side by side.
RESULTS="$BUILD/wine-results-${GANTREL_IN_VM:-here}"

# The Linux build of the host and the module beside this Wine build, for the
# checks that compare the two platforms; run.sh builds it on the host.
NATIVE_BUILD="$SOURCE/out/$(basename "$BUILD")-native"
NATIVE_HOST="$NATIVE_BUILD/gantrel-host"

# use_private_prefix NAME: this run's prefix, scratch folder (drive D:, where
# the tests may delete) and runtime folder (Wine 10 wants a private one), in
# $BUILD/NAME, or in the guest on its own memory: under Wine, removing a
# folder tree on the guest's shared folder fails. The suites use
# "gantrel-wine", the benchmarks names of their own, so a test run and a
# benchmark never meet.
use_private_prefix() {
    WINE_ROOT="${GANTREL_IN_VM:+/tmp/$1}"
    WINE_ROOT="${WINE_ROOT:-$BUILD/$1}"
    export WINEPREFIX="$WINE_ROOT/prefix"
    export XDG_RUNTIME_DIR="$WINE_ROOT/runtime"
    SCRATCH="$WINE_ROOT/scratch"
    # The host, the module and the helper programs are copied into
    # C:\gantrel, since with no Z: drive nothing of the build tree is visible
    # to Wine.
    PROGRAMS="$WINEPREFIX/drive_c/gantrel"
}
use_private_prefix gantrel-wine

passed=0
failed=0

pass() {
    passed=$((passed + 1))
    echo "  ok   $1"
}

fail() {
    failed=$((failed + 1))
    echo "  FAIL $1"
    shift
    for line in "$@"; do
        echo "       $line"
    done
}

# expect_eq NAME EXPECTED ACTUAL
expect_eq() {
    if [ "$2" == "$3" ]; then
        pass "$1"
    else
        fail "$1" "expected: $(printf '%q' "$2")" "actual:   $(printf '%q' "$3")"
    fi
}

# expect_contains NAME NEEDLE HAYSTACK
expect_contains() {
    if [[ "$3" == *"$2"* ]]; then
        pass "$1"
    else
        fail "$1" "expected to contain: $(printf '%q' "$2")" "actual: $(printf '%q' "$3")"
    fi
}

# Whether this machine's own Wine is version $1 and runs 32-bit programs
# (its kernel may refuse them: "Exec format error").
host_runs_wine() {
    local version
    version=$(wine --version 2>/dev/null) || return 1
    [[ "$version" == "wine-$1."* ]]
}

# run_under_wine VERSION COMMAND...: runs COMMAND where Wine VERSION runs:
# here, or in the guest machine of scripts/wine-vm.sh.
run_under_wine() {
    local version=$1
    shift
    if host_runs_wine "$version"; then
        "$@"
    else
        "$SOURCE/scripts/wine-vm.sh" --wine "$version" "$@"
    fi
}

# build_and_run_under_wine NAME SCRIPT [ARG...]: for a benchmark, builds the
# win32 preset here, runs SCRIPT --inside ARG... where Wine runs
# (GANTREL_BENCH_WINE: 8 or 10, 8 by default) and exits with its status.
build_and_run_under_wine() {
    local name=$1 script=$2
    shift 2
    cmake --preset win32 -B "$BUILD" >/dev/null && cmake --build "$BUILD" >/dev/null || {
        echo "$name: the win32 build failed" >&2
        exit 1
    }
    run_under_wine "${GANTREL_BENCH_WINE:-8}" "$script" --inside "$@"
    exit
}

# Whether the Linux host stand-in was built (run.sh builds it on the host).
build_native() {
    [ -x "$NATIVE_HOST" ]
}

# Wine's console ends lines with CR LF; the checks compare Linux text. No
# program of a test may take more than two minutes (WINE_RUN_SECONDS; the
# benchmarks give more): one that waits for a box nobody answers fails
# instead of holding up the run.
wine_run() {
    timeout "${WINE_RUN_SECONDS:-120}" wine "$@" 2>/dev/null | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

host() {
    wine_run "$HOST_EXE" "$@"
}

# The prefix is made once per run, with the private display already up, and
# its wineserver is kept running until the run ends, so that no program pays
# for a cold start. A guest keeps a fresh prefix of its Wine in
# $GANTREL_VM_KEEP and starts from a copy of it. The scratch folder is D:,
# and Z: (the Linux root) is removed so that no path a hook is handed can
# reach the machine's own files.
#
# make_prefix [ARCH]: win32 (the default) for the suites, whose programs are
# all 32-bit; win64 for the installer suite, which plays 64-bit Windows: a
# 32-bit installer there installs to C:\Program Files (x86) and sees the
# 32-bit view of the registry.
make_prefix() {
    local arch=${1:-win32}
    rm -rf "$WINE_ROOT"
    mkdir -p "$WINEPREFIX" "$SCRATCH" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    use_display || return 1
    local kept="${GANTREL_VM_KEEP:+$GANTREL_VM_KEEP/prefix-$arch.tar}"
    if [ -n "$kept" ] && [ -s "$kept" ]; then
        tar -xf "$kept" -C "$WINEPREFIX"
    else
        WINEARCH=$arch wineboot -i >/dev/null 2>&1
        wineserver -w
        if [ -n "$kept" ]; then
            # Two guests of the same Wine may both be here at once.
            local partial
            partial=$(mktemp "$kept.XXXXXX") &&
                tar -cf "$partial" -C "$WINEPREFIX" . && mv "$partial" "$kept"
        fi
    fi
    rm -f "$WINEPREFIX/dosdevices/z:"
    ln -s "$SCRATCH" "$WINEPREFIX/dosdevices/d:"
    wineserver -p
    install_programs
    # Programs start in C:\, not in a folder that is on no drive (Wine says
    # so on standard error, which some checks compare).
    cd "$WINEPREFIX/drive_c" || return 1
}

# Copies the freshly built programs into C:\gantrel.
install_programs() {
    mkdir -p "$PROGRAMS"
    cp "$BUILD/gantrel-host.exe" "$BUILD/Gantrel.dll" "$PROGRAMS/"
    cp "$BUILD"/helpers/*.exe "$BUILD"/helpers/*.dll "$PROGRAMS/" 2>/dev/null || true
}

# A fresh, empty scratch folder D:\NAME, also at "$SCRATCH/NAME".
fresh_scratch() {
    chmod -R u+rwX "$SCRATCH/$1" 2>/dev/null || true
    rm -rf "${SCRATCH:?}/$1"
    mkdir -p "$SCRATCH/$1"
}

XVFB_PID=""
# Starts a private X server for the message boxes; DISPLAY points to it.
# Xvfb picks a free display number itself (-displayfd), so runs side by side
# never share a server, nor answer each other's boxes.
start_display() {
    local numberFile="$WINE_ROOT/display"
    rm -f "$numberFile"
    mkdir -p "$WINE_ROOT"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numberFile" >/dev/null 2>&1 &
    XVFB_PID=$!
    local tries number
    for tries in $(seq 1 100); do
        number=$(tr -dc 0-9 <"$numberFile" 2>/dev/null)
        if [ -n "$number" ] && [ -e "/tmp/.X11-unix/X$number" ]; then
            export DISPLAY=":$number"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

stop_everything() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" >/dev/null 2>&1 || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}

# The private X server, for the suites that answer boxes: make_prefix
# started it before any Wine process, so every one of them shows its boxes
# there.
use_display() {
    [ -n "$XVFB_PID" ] || start_display
}

# The removal hook's message boxes and the product's window, on the display
# of use_display. Screenshots of the boxes go to $SHOTS.
SHOTS="$RESULTS/screenshots"

# removal_box CAPTION KEY SHOT: waits for the box with this caption, records
# its controls' texts in BOX_TEXT, saves a screenshot as SHOT.png, answers it
# with KEY and waits until it has closed, so the next box cannot take the
# key. With no window manager on the display, the box is given the keyboard
# focus directly.
removal_box() {
    BOX_TEXT=""
    local id tries
    id=$(timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n1)
    if [ -z "$id" ]; then
        return 1
    fi
    BOX_TEXT=$(wine_run 'C:\gantrel\BoxText.exe' "$1" | tr '\n' '|')
    sleep 0.5 # let it paint before the picture is taken
    mkdir -p "$SHOTS"
    import -window root "$SHOTS/$3.png" 2>/dev/null
    timeout 5 xdotool windowfocus --sync "$id" 2>/dev/null
    xdotool key "$2"
    for tries in $(seq 1 100); do
        xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -qx "$id" || return 0
        sleep 0.1
    done
    return 1
}

# removal_start_window: the running product, until removal_stop_window.
removal_start_window() {
    rm -f "$SCRATCH/window.ready"
    wine 'C:\gantrel\LumenoWindow.exe' 'D:\window.ready' >/dev/null 2>&1 &
    WINDOW_PID=$!
    local tries
    for tries in $(seq 1 300); do
        [ -e "$SCRATCH/window.ready" ] && return 0
        sleep 0.1
    done
    return 1
}

# The product closes its own window once the ready file goes: ended with a
# signal instead, it left Wine 10 in the guest now and then with a next
# uninstaller whose first box never showed. A signal ends it only if it has
# not closed within 30 s.
removal_stop_window() {
    rm -f "$SCRATCH/window.ready"
    local tries
    for tries in $(seq 1 300); do
        kill -0 "$WINDOW_PID" 2>/dev/null || break
        sleep 0.1
    done
    kill "$WINDOW_PID" 2>/dev/null
    wait "$WINDOW_PID" 2>/dev/null
}

# removal_seed PATH-TEXT: dbPath under the application key, as the product
# writes it.
removal_seed() {
    wine reg add 'HKCU\Software\Corvanet\Lumeno' /v dbPath /t REG_SZ /d "$1" /f >/dev/null 2>&1
}

# folder_listing FOLDER: the folders and files below FOLDER, sorted, on one
# line.
folder_listing() {
    (cd "$1" 2>/dev/null && find . -mindepth 1 | LC_ALL=C sort | tr '\n' ' ')
}

# removal_system_folder VALUE FOLDER: with dbPath VALUE, which names the
# system folder FOLDER (below drive_c) or one above it, CleanupDatabase
# changes nothing in FOLDER. A canary folder, which a removal would take
# first, shows a refusal that failed; where the file system lets root make
# folders immutable, every other folder under FOLDER is made so for the
# call, so that such a failure costs the canary and not the prefix.
removal_system_folder() {
    local value=$1 folder="$WINEPREFIX/drive_c/$2" before out after
    if [ ! -d "$folder" ]; then
        fail "dbPath '$value': the prefix has the folder it names" "$folder"
        return
    fi
    removal_seed "$value"
    mkdir -p "$folder/gantrel-canary" && echo canary >"$folder/gantrel-canary/marker"
    find "$folder" -path "$folder/gantrel-canary" -prune -o -type d -print0 2>/dev/null |
        xargs -0 chattr +i 2>/dev/null
    before=$(folder_listing "$folder" | md5sum)
    out=$(host CleanupDatabase 0 0)
    after="$(cat "$folder/gantrel-canary/marker" 2>/dev/null)|$(folder_listing "$folder" | md5sum)"
    find "$folder" -type d -print0 2>/dev/null | xargs -0 chattr -i 2>/dev/null
    rm -rf "$folder/gantrel-canary"
    expect_eq "dbPath '$value' is a system folder or holds one: nothing in it changes" \
        "CleanupDatabase = 1|canary|$before" "$out|$after"
}

# The module's entry points, in the order of their ordinals.
EXPORT_NAMES=(IsWs2 UninstInitialize UninstUnInitialize SetUninstallInfo GetVKTFolder CleanupDatabase
       SetupServer)

# exports_check_tables FILE: the export contract read from the file itself,
# with the host's tools (exports.host.sh, signed.host.sh).
exports_check_tables() {
    local module_file="$1" headers expected_exports actual_exports imports
    headers=$(i686-w64-mingw32-objdump -p "$module_file")
    # The export table as the linker wrote it: "ordinal name" lines, sorted.
    expected_exports=$(for i in "${!EXPORT_NAMES[@]}"; do
        echo "$((i + 1)) ${EXPORT_NAMES[$i]}"
    done | sort)
    actual_exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" |
        sed -n 's/^[[:space:]]*\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p' |
        while read -r index name; do echo "$((index + 1)) $name"; done | sort)
    expect_eq "the export table holds exactly the seven names with ordinals 1 to 7" \
        "$expected_exports" "$actual_exports"
    expect_eq "ordinals start at 1 and there are seven addresses" "1 7" \
        "$(sed -n 's/.*-- Ordinal Base \([0-9]*\).*/\1/p' <<<"$headers") \
$(grep -c '+base\[' <<<"$headers")"

    imports=$(sed -n 's/.*DLL Name: //p' <<<"$headers" | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
    expect_eq "the module imports system DLLs only" \
        "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL " "$imports"
    expect_contains "the module is a 32-bit PE DLL" "PE32 executable (DLL)" \
        "$(file "$module_file")"
}

# registry_states KEY...: "present", "absent" or "unreadable" for each key,
# on one line, from one dump of them all by the host under Wine.
registry_states() {
    local key dump states=()
    dump=$(host dump "$@")
    for key in "$@"; do
        if grep -qxF "[$key]" <<<"$dump"; then
            states+=(present)
        elif grep -qxF "[$key] (absent)" <<<"$dump"; then
            states+=(absent)
        else
            states+=(unreadable)
        fi
    done
    echo "${states[*]}"
}
