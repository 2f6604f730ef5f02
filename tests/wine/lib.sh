# Shared by the Wine suites: one private prefix per run, inside the build
# tree, with no drive mapped to the Linux root; checks that print expected
# and actual; and clean-up of everything the run started.
#
# Sourced by tests/wine/run.sh, which sets BUILD (the win32 build folder).

WINE_ROOT="$BUILD/wine"
export WINEPREFIX="$WINE_ROOT/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Scratch space the tests may delete in; drive D: of the prefix.
SCRATCH="$WINE_ROOT/scratch"
# The host, the module and the helper programs are copied into C:\gantrel,
# since with no Z: drive nothing of the build tree is visible to Wine.
PROGRAMS="$WINEPREFIX/drive_c/gantrel"
HOST_EXE='C:\gantrel\gantrel-host.exe'
MODULE_DLL='C:\gantrel\Gantrel.dll'

# The Linux build of the host and the module beside this Wine build, for the
# checks that compare the two platforms.
NATIVE_BUILD="$SOURCE/out/$(basename "$BUILD")-native"
NATIVE_HOST="$NATIVE_BUILD/gantrel-host"
native_built=""

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

# Whether this machine can run Wine's loader for 32-bit programs. A kernel
# without IA32 emulation refuses every 32-bit x86 program (status 126, "Exec
# format error"); the module cannot be run on such a machine at all, so the
# suites are skipped there, loudly. Any other failure of the loader is a
# broken installation, and the run fails on it.
wine_can_run() {
    local status=0
    wine --version >/dev/null 2>&1 || status=$?
    if [ "$status" = 126 ]; then
        return 1
    fi
    return 0
}

# Builds NATIVE_HOST, once a run; false when the build fails.
build_native() {
    [ -n "$native_built" ] && return 0
    cmake --preset native -B "$NATIVE_BUILD" -DGANTREL_BENCHMARKS=OFF >/dev/null &&
        cmake --build "$NATIVE_BUILD" --target gantrel-host Gantrel >/dev/null &&
        native_built=1
}

# Wine's console ends lines with CR LF; the checks compare Linux text.
wine_run() {
    wine "$@" 2>/dev/null | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

host() {
    wine_run "$HOST_EXE" "$@"
}

# Moves this run to a prefix of its own, $BUILD/NAME, beside the suites'
# one: the benchmarks use it, so a test run and a benchmark never meet.
use_private_prefix() {
    WINE_ROOT="$BUILD/$1"
    export WINEPREFIX="$WINE_ROOT/prefix"
    SCRATCH="$WINE_ROOT/scratch"
    PROGRAMS="$WINEPREFIX/drive_c/gantrel"
}

# The prefix is made once per run; the scratch folder is D:, and Z: (the
# Linux root) is removed so that no path a hook is handed can reach the
# machine's own files.
make_prefix() {
    rm -rf "$WINE_ROOT"
    mkdir -p "$WINEPREFIX" "$SCRATCH"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    rm -f "$WINEPREFIX/dosdevices/z:"
    ln -s "$SCRATCH" "$WINEPREFIX/dosdevices/d:"
    install_programs
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
