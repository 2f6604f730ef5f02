# SetUninstallInfo and GetVKTFolder in the real module: the host's command
# seeded with Wine's own reg add, the stored command read back with reg
# query, and the folder GetVKTFolder writes into the host's 1000-byte buffer.
# The double-byte case runs in a code page 932 Wine and on the emulated
# platform with code page 932, and both must agree byte for byte.
UNINSTALL_KEY='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Corvanet VKT'
UNINSTALL_HOST_COMMAND='C:\WINDOWS\uninst.exe -f"C:\Program Files\Corvanet\VKT\remove.log"'
UNINSTALL_OPTION=' -c"C:\Program Files\Corvanet\VKT\Gantrel.dll"'
fresh_scratch uninstall

uninstall_seed() {
    wine_run reg delete "$UNINSTALL_KEY" /f >/dev/null 2>&1
    wine_run reg add "$UNINSTALL_KEY" /v UninstallString /t REG_SZ /d "$1" /f >/dev/null
}

# The command as reg query lists it, or "(none)"; RUN is wine_run or
# uninstall_ja.
uninstall_stored() {
    local run=${1:-wine_run} listed
    listed=$($run reg query "$UNINSTALL_KEY" /v UninstallString) || {
        echo "(none)"
        return
    }
    sed -n 's/^    UninstallString    REG_SZ    //p' <<<"$listed"
}

# uninstall_call ENTRY [HOST OPTIONS...]: the result line, then the buffer
# line for GetVKTFolder, joined with "|".
uninstall_call() {
    local entry=$1
    shift
    host "$@" "$entry" 0 0 | tr '\n' '|'
}

uninstall_folder_line() {
    echo "GetVKTFolder = 1|GetVKTFolder buffer: \"$1\"|"
}

# --- The worked example: the same folder before and after the option.
uninstall_seed "$UNINSTALL_HOST_COMMAND"
expect_eq "GetVKTFolder cuts the folder from the host's own option" \
    "$(uninstall_folder_line 'C:\Program Files\Corvanet')" "$(uninstall_call GetVKTFolder)"
expect_eq "SetUninstallInfo answers 1" "SetUninstallInfo = 1|" "$(uninstall_call SetUninstallInfo)"
expect_eq "SetUninstallInfo appends the module beside the host's file" \
    "$UNINSTALL_HOST_COMMAND$UNINSTALL_OPTION" "$(uninstall_stored)"
expect_eq "GetVKTFolder cuts the same folder from the appended option" \
    "$(uninstall_folder_line 'C:\Program Files\Corvanet')" "$(uninstall_call GetVKTFolder)"

# --- A second call finds its option there and changes nothing.
uninstall_call SetUninstallInfo >/dev/null
expect_eq "a second SetUninstallInfo changes nothing" \
    "$UNINSTALL_HOST_COMMAND$UNINSTALL_OPTION" "$(uninstall_stored)"

# --- No command at all: the folder is empty, the key is made on the way,
# and no command is made up.
wine_run reg delete "$UNINSTALL_KEY" /f >/dev/null 2>&1
expect_eq "GetVKTFolder on a missing command fills in the empty text" \
    "$(uninstall_folder_line '')" "$(uninstall_call GetVKTFolder)"
expect_eq "reading the missing command makes the uninstall entry's key" "(none)|0" \
    "$(uninstall_stored)|$(wine_run reg query "$UNINSTALL_KEY" >/dev/null 2>&1; echo $?)"
uninstall_call SetUninstallInfo >/dev/null
expect_eq "SetUninstallInfo on a missing command writes nothing" "(none)" "$(uninstall_stored)"

# --- Hyphens inside the paths are parts of names, not options.
uninstall_seed 'C:\Set-up\uninst.exe -f"D:\Lumeno-Pro\Program\remove.log"'
uninstall_call SetUninstallInfo >/dev/null
expect_eq "SetUninstallInfo cuts at the option, past the hyphens in both paths" \
    'C:\Set-up\uninst.exe -f"D:\Lumeno-Pro\Program\remove.log" -c"D:\Lumeno-Pro\Program\Gantrel.dll"' \
    "$(uninstall_stored)"
expect_eq "GetVKTFolder cuts the product's folder with its hyphen" \
    "$(uninstall_folder_line 'D:\Lumeno-Pro')" "$(uninstall_call GetVKTFolder)"
uninstall_seed 'uninst -fremove.log'
uninstall_call SetUninstallInfo >/dev/null
expect_eq "a command without a quoted option is left as it is" 'uninst -fremove.log' \
    "$(uninstall_stored)"
expect_eq "and GetVKTFolder finds no folder in it" "$(uninstall_folder_line '')" \
    "$(uninstall_call GetVKTFolder)"

# --- A command longer than the buffer: the real RegQueryValueExA answers
# ERROR_MORE_DATA (Wine leaves the buffer as it was), and the module takes
# the command as empty; read whole, this one would yield C:\aaa...
uninstall_long_command="u.exe -f\"C:\\$(printf 'a%.0s' $(seq 1 1200))\\VKT\\remove.log\""
uninstall_seed "$uninstall_long_command"
expect_eq "the long command was stored whole" "$uninstall_long_command" "$(uninstall_stored)"
expect_eq "GetVKTFolder reads a command too long for its buffer as empty" \
    "$(uninstall_folder_line '')" "$(uninstall_call GetVKTFolder)"
expect_eq "SetUninstallInfo leaves a command it cannot read as the host wrote it" \
    "SetUninstallInfo = 1||$uninstall_long_command" \
    "$(uninstall_call SetUninstallInfo)|$(uninstall_stored)"

# --- Double-byte characters whose second byte is the backslash code, in a
# code page 932 Wine. reg add cannot carry them: Wine converts its command
# line from the Unix locale, and with no Japanese locale installed it keeps
# 7 bits of each byte. regedit reads a REGEDIT4 file in the ANSI code page,
# so the command goes in as the bytes of a hex(1) value; the same file is
# the emulated platform's registry.

# wine_run in a Japanese locale (the shell itself keeps its own).
uninstall_ja() {
    env LC_ALL=ja_JP.UTF-8 wine "$@" 2>/dev/null | tr -d '\r'
    return "${PIPESTATUS[0]}"
}
expect_eq "LC_ALL=ja_JP.UTF-8 gives Wine processes code page 932" "932 lead 0x95: yes" \
    "$(uninstall_ja 'C:\gantrel\AnsiCodePage.exe')"

# C:\<95 5C>\<83 5C>: two characters, each ending in the byte 0x5C.
uninstall_dbcs_folder=$'C:\\\x95\x5C\\\x83\x5C'
uninstall_dbcs_command="u.exe -f\"$uninstall_dbcs_folder\\x.log\""
uninstall_hex() {
    printf '%s\0' "$1" | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//; s/,$//'
}
printf 'REGEDIT4\r\n\r\n[%s]\r\n"UninstallString"=hex(1):%s\r\n' "$UNINSTALL_KEY" \
    "$(uninstall_hex "$uninstall_dbcs_command")" >"$SCRATCH/uninstall/dbcs.reg"

wine_run reg delete "$UNINSTALL_KEY" /f >/dev/null 2>&1
uninstall_ja regedit /s 'D:\uninstall\dbcs.reg'
expect_eq "regedit stores the double-byte command as these bytes in code page 932" \
    "$uninstall_dbcs_command" "$(uninstall_stored uninstall_ja)"
# Each step's output, in order: the folder, the result, the stored command,
# the folder again.
uninstall_steps() {
    "$@" GetVKTFolder 0 0
    "$@" SetUninstallInfo 0 0
    "$@" dump "$UNINSTALL_KEY"
    "$@" GetVKTFolder 0 0
}
uninstall_wine_steps=$(uninstall_steps uninstall_ja "$HOST_EXE")
expect_eq "GetVKTFolder does not split the characters at their second byte" \
    "GetVKTFolder buffer: \"C:\\"$'\x95\x5C'"\"" "$(sed -n 2p <<<"$uninstall_wine_steps")"
expect_eq "SetUninstallInfo keeps both characters in the module's folder" \
    "$uninstall_dbcs_command -c\"$uninstall_dbcs_folder\\Gantrel.dll\"" \
    "$(uninstall_stored uninstall_ja)"
expect_eq "GetVKTFolder cuts the same folder from the appended option" \
    "$(sed -n 2p <<<"$uninstall_wine_steps")" "$(sed -n '$p' <<<"$uninstall_wine_steps")"

UNINSTALL_NATIVE_SCRATCH="$RESULTS/native-uninstall"
if ! build_native; then
    fail "the native build for the double-byte comparison"
    return 0
fi
rm -rf "$UNINSTALL_NATIVE_SCRATCH"
mkdir -p "$UNINSTALL_NATIVE_SCRATCH/drives"
cp "$SCRATCH/uninstall/dbcs.reg" "$UNINSTALL_NATIVE_SCRATCH/registry.reg"
uninstall_native() {
    GANTREL_REGISTRY="$UNINSTALL_NATIVE_SCRATCH/registry.reg" \
        GANTREL_DRIVES="$UNINSTALL_NATIVE_SCRATCH/drives" \
        "$NATIVE_HOST" --code-page 932 "$@"
}
uninstall_native_steps=$(uninstall_steps uninstall_native)
expect_eq "the emulated platform with code page 932 gives the same folders and command" \
    "$uninstall_wine_steps" "$uninstall_native_steps"
wine_run reg delete "$UNINSTALL_KEY" /f >/dev/null 2>&1
