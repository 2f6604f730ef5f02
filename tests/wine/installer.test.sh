# The module as an installer engineer ships it: examples/installer built with
# makensis, the installer run silently, then its uninstaller through the very
# command the module extended, answering the removal hook's boxes on the
# private display: No, Yes while the product runs, and Yes. Twice: into a
# folder whose name holds a hyphen and a space, and with a dbPath that ends
# in a backslash.
INSTALLER_BUILD="$HOST_MADE/installer"
INSTALLER_CLASS='{5c3e9d21-7a40-4b6e-a9d2-13f0c8e47b65}'
INSTALLER_BESIDE_CLASS='{5c3e9d21-7a40-4b6e-a9d2-13f0c8e47b66}'
INSTALLER_HANDLERS='HKEY_CLASSES_ROOT\*\shellex\ContextMenuHandlers'
INSTALLER_APPROVED='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Shell Extensions'
INSTALLER_APPROVED+='\Approved'
INSTALLER_UNINSTALL='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
INSTALLER_UNINSTALL+='\Corvanet VKT'
# The keys UninstUnInitialize removes, and keys of similar names beside them
# that must stay.
INSTALLER_SIX=('HKEY_CURRENT_USER\Software\Corvanet\Lumeno'
    'HKEY_LOCAL_MACHINE\SOFTWARE\Corvanet\Lumeno' "HKEY_CLASSES_ROOT\\CLSID\\$INSTALLER_CLASS"
    'HKEY_CLASSES_ROOT\VKTFile' "$INSTALLER_HANDLERS\\VKTMenu"
    "$INSTALLER_APPROVED\\$INSTALLER_CLASS")
INSTALLER_BESIDE=('HKEY_CURRENT_USER\Software\Corvanet\LumenoPro'
    'HKEY_LOCAL_MACHINE\SOFTWARE\Corvanet\Lumeno Old'
    "HKEY_CLASSES_ROOT\\CLSID\\$INSTALLER_BESIDE_CLASS" 'HKEY_CLASSES_ROOT\VKTFiles'
    "$INSTALLER_HANDLERS\\VKTMenu2" "$INSTALLER_APPROVED\\$INSTALLER_BESIDE_CLASS")

use_display || fail "installer: a private X server starts"
fresh_scratch installer

# installer_copy NAME: copies NAME.exe, which installer.host.sh built, to
# D:\installer.
installer_copy() {
    [ -s "$INSTALLER_BUILD/$1.exe" ] && cp "$INSTALLER_BUILD/$1.exe" "$SCRATCH/installer/"
}

# installer_run LINE: runs LINE as the system would, through a batch file,
# since an installer's /D= and an uninstaller's _?= must come unquoted and
# last, which no argument list handed to wine keeps. Prints the exit code;
# two minutes at most.
installer_run() {
    printf '%s\r\nexit %%ERRORLEVEL%%\r\n' "$1" >"$SCRATCH/installer/run.bat"
    timeout 120 wine cmd /c 'D:\installer\run.bat' >/dev/null 2>&1
    echo "exit $?"
}

# The registry the cycle touches: every key the module knows, and the keys
# beside them, in gantrel-host's canonical form.
installer_registry() {
    host dump
    host dump "${INSTALLER_BESIDE[@]:2}"
}

# installer_without KEY... < DUMP: the dump with KEY and everything below it
# left out, whether it was there or absent.
installer_without() {
    INSTALLER_GONE="$(printf '%s\n' "$@")" awk '
        BEGIN { count = split(ENVIRON["INSTALLER_GONE"], gone, "\n") }
        /^\[/ {
            name = substr($0, 2)
            sub(/\]( \(absent\))?$/, "", name)
            skip = 0
            for (i = 1; i <= count; i++) {
                if (gone[i] != "" && (name == gone[i] || index(name, gone[i] "\\") == 1)) {
                    skip = 1
                }
            }
        }
        !skip'
}

# The folders and files below FOLDER, sorted, on one line.
installer_listing() {
    (cd "$1" 2>/dev/null && find . -mindepth 1 | LC_ALL=C sort | tr '\n' ' ')
}

# The stored uninstall command, as reg query lists it.
installer_command() {
    wine_run reg query "$INSTALLER_UNINSTALL" /v UninstallString |
        sed -n 's/^    UninstallString    REG_SZ    //p'
}

# installer_uninstall NAME FOLDER CAPTION KEY [CAPTION KEY...]: runs the
# stored uninstall command silently in the background, answers each box in
# turn and leaves the exit code in INSTALLER_EXIT.
installer_uninstall() {
    local name=$1 folder=$2 pid
    shift 2
    installer_run "$(installer_command) /S _?=$folder" >"$SCRATCH/installer/exit" &
    pid=$!
    while [ $# -ge 2 ]; do
        removal_box "$1" "$2" "installer-$name-$1" || fail "$name: the $1 box appears and closes"
        shift 2
    done
    wait "$pid"
    INSTALLER_EXIT=$(cat "$SCRATCH/installer/exit")
}

# The last N lines of the folder's hooks.log, joined with "|".
installer_log() {
    tr -d '\r' <"$1/hooks.log" | tail -n "$2" | tr '\n' '|'
}

# installer_cycle NAME FOLDER DATABASE: installs into FOLDER (under D:\)
# with dbPath DATABASE, then removes it three times over.
installer_cycle() {
    local name=$1 folder="D:\\$2" disk="$SCRATCH/$2" database=$3
    fresh_scratch "$2"
    echo "  -- $name: $folder, dbPath $database"
    installer_copy "$name" || {
        fail "$name: the installer built on the host is there" "$INSTALLER_BUILD/$name.exe"
        return
    }

    # --- The set-up: files, hook results, settings, registrations.
    expect_eq "$name: the installer ends with 0" "exit 0" \
        "$(installer_run "D:\\installer\\$name.exe /S /D=$folder")"
    expect_eq "$name: the installer leaves the program, the database and the uninstaller" \
        "./Database ./Database/.cache ./Database/.cache/index ./Database/archive \
./Database/archive/2019 ./Database/archive/2019/old.db ./Database/main.db \
./Database/main.db-journal ./Program ./Program/Gantrel.dll ./Program/settings.ini ./hooks.log \
./uninst.exe " "$(installer_listing "$disk")"
    expect_eq "$name: the module installed is the one built" "same" \
        "$(cmp -s "$BUILD/Gantrel.dll" "$disk/Program/Gantrel.dll" && echo same)"
    expect_eq "$name: every hook answers the installer as documented" \
        "IsWs2 = 1|SetupServer = 0|SetUninstallInfo = 1|GetVKTFolder = 1|GetVKTFolder buffer: \"$folder\"|" \
        "$(installer_log "$disk" 5)"
    local dump
    dump=$(host dump 'HKEY_CURRENT_USER\Software\Corvanet\Lumeno' | sed 's/ REG_SZ .* ; / REG_SZ /')
    expect_eq "$name: SetupServer stores the settings file's values" \
        "[HKEY_CURRENT_USER\\Software\\Corvanet\\Lumeno]|\"dbPath\" REG_SZ \"${database//\\/\\\\}\"|\
\"MaxClients\" REG_DWORD 19 00 00 00|\"Port\" REG_DWORD 90 1F 00 00|\"Title\" REG_SZ \"Lumeno\"|" \
        "$(tr '\n' '|' <<<"$dump")"
    local command="\"$folder\\uninst.exe\" -f\"$folder\\Program\\remove.log\""
    expect_eq "$name: SetUninstallInfo names the module beside the host's file" \
        "$command -c\"$folder\\Program\\Gantrel.dll\"" "$(installer_command)"
    expect_eq "$name: the installer registers all six keys" \
        "present present present present present present" "$(registry_states "${INSTALLER_SIX[@]}")"

    # Keys and files of similar names beside the product's.
    {
        printf 'REGEDIT4\r\n\r\n'
        local key
        for key in "${INSTALLER_BESIDE[@]}"; do
            printf '[%s]\r\n"kept"="yes"\r\n\r\n' "$key"
        done
    } >"$SCRATCH/installer/beside.reg"
    wine_run regedit /s 'D:\installer\beside.reg'
    mkdir -p "$disk/Database-old"
    echo old >"$disk/Database-old/main.db"
    echo backup >"$disk/Database.bak"
    local registry files
    registry=$(installer_registry)
    files=$(installer_listing "$disk")

    # --- No: the uninstaller stops, everything stays.
    installer_uninstall "$name-no" "$folder" Warning n
    expect_eq "$name: No stops the uninstaller" "exit 2" "$INSTALLER_EXIT"
    expect_eq "$name: No answers -1" "UninstInitialize = -1|" "$(installer_log "$disk" 1)"
    expect_eq "$name: No leaves every file" "$files" "$(installer_listing "$disk")"
    expect_eq "$name: No leaves every key" "$registry" "$(installer_registry)"

    # --- Yes while the product runs: the error box, everything stays.
    if removal_start_window; then
        installer_uninstall "$name-running" "$folder" Warning y Error Return
        removal_stop_window
        expect_eq "$name: a running product stops the uninstaller" "exit 2" "$INSTALLER_EXIT"
        expect_eq "$name: a running product answers -1" "UninstInitialize = -1|" \
            "$(installer_log "$disk" 1)"
        expect_eq "$name: a running product keeps every file" "$files" "$(installer_listing "$disk")"
        expect_eq "$name: a running product keeps every key" "$registry" "$(installer_registry)"
    else
        fail "$name: LumenoWindow.exe opens its window"
    fi

    # --- Yes: the database folder and the six keys go, and the uninstaller
    # removes its own files and entry; nothing beside them changes.
    installer_uninstall "$name-yes" "$folder" Warning y
    expect_eq "$name: Yes lets the uninstaller finish" "exit 0" "$INSTALLER_EXIT"
    expect_eq "$name: Yes runs both removal hooks" "UninstInitialize = 0|UninstUnInitialize = 0|" \
        "$(installer_log "$disk" 2)"
    expect_eq "$name: Yes removes the database folder and nothing beside it" \
        "./Database-old ./Database-old/main.db ./Database.bak ./hooks.log " \
        "$(installer_listing "$disk" | sed 's| ./uninst.exe||')"
    expect_eq "$name: the files beside it keep their content" "old|backup" \
        "$(cat "$disk/Database-old/main.db")|$(cat "$disk/Database.bak")"
    expect_eq "$name: Yes removes the six keys and the uninstall entry" \
        "absent absent absent absent absent absent absent" \
        "$(registry_states "${INSTALLER_SIX[@]}" "$INSTALLER_UNINSTALL")"
    expect_eq "$name: Yes leaves every key beside them" \
        "present present present present present present" \
        "$(registry_states "${INSTALLER_BESIDE[@]}")"
    expect_eq "$name: Yes changes nothing else the cycle touched" \
        "$(installer_without "${INSTALLER_SIX[@]}" "$INSTALLER_UNINSTALL" <<<"$registry")" \
        "$(installer_registry | installer_without "${INSTALLER_SIX[@]}" "$INSTALLER_UNINSTALL")"

    # Leave the prefix as the next cycle expects it.
    for key in "${INSTALLER_BESIDE[@]}"; do
        wine_run reg delete "$key" /f >/dev/null 2>&1
    done
}

installer_cycle spaced 'Lumeno-Pro Suite' 'D:\Lumeno-Pro Suite\Database'
installer_cycle trailing 'LumenoSetup' 'D:\LumenoSetup\Database\'
