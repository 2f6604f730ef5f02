# SetupServer in the real module: each example line imported under Wine and
# read back with Wine's own reg.exe; the same settings files imported on the
# emulated platform give the same dump byte for byte; and the registry file
# the emulated platform saves imports into Wine with Wine's own regedit.
LUMENO_KEY='HKEY_CURRENT_USER\Software\Corvanet\Lumeno'
fresh_scratch settings
SETTINGS="$SCRATCH/settings"

# Writes D:\settings\NAME from printf's format (with its escapes).
settings_file() {
    local name=$1
    shift
    # shellcheck disable=SC2059
    printf "$@" >"$SETTINGS/$name"
}

forget_settings() {
    wine_run reg delete 'HKCU\Software\Corvanet' /f >/dev/null 2>&1
}

# --- Each line of the example table, on its own, read back by reg query.
# import_row LINE EXPECTED: EXPECTED is the one value reg query lists.
import_row() {
    forget_settings
    settings_file row.ini '%s\r\n' "$1"
    local result listed
    result=$(host SetupServer 0 0 'D:\settings\row.ini')
    listed=$(wine_run reg query "$LUMENO_KEY" | grep -E '^    .*REG_')
    expect_eq "SetupServer on '$1' stores what reg query lists as '$2'" \
        "SetupServer = 0|$2" "$result|$listed"
}
import_row 'Port=8080' '    Port    REG_DWORD    0x1f90'
import_row 'Title="Main"' '    Title    REG_SZ    Main'
import_row 'Title=Ma"in' '    Title    REG_SZ    Main'
import_row 'Port=abc' '    Port    REG_DWORD    0x0'
import_row 'Port=' '    Port    REG_DWORD    0x0'
import_row 'Port= 42x' '    Port    REG_DWORD    0x2a'
import_row 'Port=-1' '    Port    REG_DWORD    0xffffffff'
import_row 'Name = 5' '    Name     REG_DWORD    0x5'
import_row 'A=b=c"' '    A    REG_SZ    b=c'
import_row '[Main]' '    (Default)    REG_DWORD    0x0'

# The bytes behind the numbers, as the real RegEnumValueA hands them over.
forget_settings
settings_file bytes.ini 'Port=8080\r\nMinus=-1\r\n'
host SetupServer 0 0 'D:\settings\bytes.ini' >/dev/null
dump=$(host dump "$LUMENO_KEY")
expect_contains "8080 is stored as the bytes 90 1F 00 00" '"Port" REG_DWORD 90 1F 00 00' "$dump"
expect_contains "-1 is stored as the bytes FF FF FF FF" '"Minus" REG_DWORD FF FF FF FF' "$dump"

# A file that does not exist: nothing written, nothing created.
forget_settings
result=$(host SetupServer 0 0 'D:\settings\missing.ini')
expect_eq "a missing settings file imports nothing and is not created" \
    "SetupServer = 0|[$LUMENO_KEY] (absent)|no file" \
    "$result|$(host dump "$LUMENO_KEY")|$([ -e "$SETTINGS/missing.ini" ] && echo file || echo no file)"
result=$(host --null-text SetupServer 0 0)
expect_eq "a null path imports nothing" "SetupServer = 0|[$LUMENO_KEY] (absent)" \
    "$result|$(host dump "$LUMENO_KEY")"

# --- The same files on the emulated platform: identical dumps.
NATIVE_SCRATCH="$RESULTS/native-settings"
if ! build_native; then
    fail "the native build for the differential checks"
    return 0
fi
rm -rf "$NATIVE_SCRATCH"
mkdir -p "$NATIVE_SCRATCH/drives"
ln -s "$SCRATCH" "$NATIVE_SCRATCH/drives/d" # D: is the same folder on both
native_host() {
    GANTREL_REGISTRY="$NATIVE_SCRATCH/registry.reg" GANTREL_DRIVES="$NATIVE_SCRATCH/drives" \
        "$NATIVE_HOST" "$@"
}

settings_file table.ini '%s\r\n' 'Port=8080' 'Title="Main"' 'Title=Ma"in' 'Port=abc' 'Port=' \
    'Port= 42x' 'Port=-1' 'Name = 5' 'A=b=c"' '[Main]'
settings_file endings.ini 'Lf=1\nCrLf=2\r\nLone=3\rJoined=4\r\n\r\n\n\nText="a\rb"\r\rX=\x1a\nAfter=5\n'
settings_file long.ini 'Long="%0300d"\nL128=%0123d7\nL256="%0250d"\nLast=%0250d9' 0 0 0 0
settings_file text.ini 'Accent="caf\xe9"\nSpaced  = " a b "\nEmpty=""\nPath="C:\\Program Files\\Lumeno"\nNa\rme=1\nZero=12\x0034\nSame="text"\nsame=7\n'
settings_file numbers.ini 'a=4294967295\nb=2147483648\nc=+17\nd=--5\ne=0x1A\nf=\t\v 7\ng=99999999999\nh= -2147483648\n'
settings_file empty.ini '\r\n\n'
for name in table endings long text numbers empty missing; do
    forget_settings
    rm -f "$NATIVE_SCRATCH/registry.reg"
    wine_result=$(host SetupServer 0 0 "D:\\settings\\$name.ini")
    native_result=$(native_host SetupServer 0 0 "D:\\settings\\$name.ini")
    expect_eq "$name.ini: both platforms answer 0" "SetupServer = 0|SetupServer = 0" \
        "$wine_result|$native_result"
    wine_dump=$(host dump "$LUMENO_KEY")
    native_dump=$(native_host dump "$LUMENO_KEY")
    expect_eq "$name.ini: the emulated platform stores what Windows stores" \
        "$wine_dump" "$native_dump"
done

# --- The emulated platform's registry file, read by Wine's own regedit. The
# file starts with values of every kind, and the import makes our writer
# save them all again.
settings_file seed.reg '%s\n' 'REGEDIT4' '' \
    "[$LUMENO_KEY\\Kinds]" \
    '"Binary"=hex:00,ff,00,7f' '"Empty binary"=hex:' '"Empty text"=hex(1):' \
    '"Two zeros"=hex(1):61,62,00,00' '"Multi"=hex(7):6f,6e,65,00,74,77,6f,00,00' \
    '"Expand"=hex(2):25,54,45,4d,50,25,00' '"Odd type"=hex(12345678):6f,64,64' \
    '"None"=hex(0):00' '"Short dword"=hex(4):01,02' '"Long dword"=hex(4):01,02,03,04,05' \
    '"Qword"=hex(b):01,00,00,00,00,00,00,00' '"Quote\"Back\\slash"="x\\y\"z"' \
    '"Tab	in"="t	ab"' "\"Wide\"=hex:$(printf 'a5,%.0s' $(seq 1 299))a5" \
    "[$LUMENO_KEY\\Empty child]"
forget_settings
cp "$SETTINGS/seed.reg" "$NATIVE_SCRATCH/registry.reg"
native_host SetupServer 0 0 'D:\settings\table.ini' >/dev/null
native_host SetupServer 0 0 'D:\settings\text.ini' >/dev/null
cp "$NATIVE_SCRATCH/registry.reg" "$SETTINGS/saved.reg"
expect_contains "the saved file carries the hex forms" '"Multi"=hex(7):6f,6e,65,00,74,77,6f,00,00' \
    "$(cat "$SETTINGS/saved.reg")"
wine_run regedit /s 'D:\settings\saved.reg' >/dev/null
expect_eq "Wine's regedit imports the saved registry file to the same values" \
    "$(native_host dump "$LUMENO_KEY")" "$(host dump "$LUMENO_KEY")"
expect_eq "reg query reads the imported file's values" \
    '    Binary    REG_BINARY    00FF007F' \
    "$(wine_run reg query "$LUMENO_KEY\\Kinds" /v Binary | grep REG_)"
forget_settings
