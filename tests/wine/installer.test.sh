# The module as an installer engineer ships it: examples/installer built with
# makensis, Unicode and ANSI, run the way 64-bit Windows runs a 32-bit
# installer (a 64-bit prefix of the suite's own), then its uninstaller
# through the very command the module extended. In the layouts users have:
# the default folder (C:\Program Files (x86)\Corvanet\Lumeno, no /D=), a
# folder with parentheses and spaces (with a dbPath that ends in a
# backslash), and a folder the ANSI code page cannot carry, which the
# installer refuses before it copies anything. Each cycle removes the
# product silently while it runs (refused, without a box) and then removes
# it: silently for the Unicode build, after declining the removal hook's
# question and trying while the product runs; answering Yes for the ANSI one.
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

# The suite's own prefix, 64-bit, made here and removed at the end; the
# other suites go on in theirs.
use_private_prefix gantrel-wine64
installer_started=$SECONDS
make_prefix win64 || fail "installer: a 64-bit prefix is made"
echo "  the 64-bit prefix was ready in $((SECONDS - installer_started)) s"
fresh_scratch installer
PROGRAM_FILES_X86="$WINEPREFIX/drive_c/Program Files (x86)"

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
# beside them, in gantrel-host's canonical form. gantrel-host is a 32-bit
# program, so it sees the registry as the installer and the module do.
installer_registry() {
    # "": the module's own keys, those of a plain "dump".
    host dump "" "${INSTALLER_BESIDE[@]:2}"
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

# The stored uninstall command, as reg query lists it in the 32-bit view.
installer_command() {
    wine_run reg query "$INSTALLER_UNINSTALL" /v UninstallString /reg:32 |
        sed -n 's/^    UninstallString    REG_SZ    //p'
}

# installer_uninstall NAME FOLDER SILENT|SHOWN [CAPTION KEY...]: runs the
# stored uninstall command in the background, with /S or without, answers
# each box in turn and leaves the exit code in INSTALLER_EXIT.
installer_uninstall() {
    local name=$1 folder=$2 silent="" pid
    [ "$3" = SILENT ] && silent=" /S"
    shift 3
    installer_run "$(installer_command)$silent _?=$folder" >"$SCRATCH/installer/exit" &
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

# installer_unchanged NAME WHAT FILES REGISTRY: nothing of the product went.
installer_unchanged() {
    expect_eq "$1: $2 leaves every file" "$3" "$(folder_listing "$disk")"
    expect_eq "$1: $2 leaves every key" "$4" "$(installer_registry)"
}

# installer_cycle KIND LAYOUT: installs the KIND (unicode, ansi) build in
# LAYOUT (default, parentheses), then removes it.
installer_cycle() {
    local kind=$1 layout=$2 name="$1, $2" build=$1 folder disk database line
    case "$layout" in
    default)
        folder='C:\Program Files (x86)\Corvanet\Lumeno'
        disk="$PROGRAM_FILES_X86/Corvanet/Lumeno"
        database="$folder\\Database"
        line="D:\\installer\\$build.exe /S" ;;
    parentheses)
        build="$kind-trailing"
        folder='D:\Lumeno (Pro) Suite'
        disk="$SCRATCH/Lumeno (Pro) Suite"
        database="$folder\\Database\\"
        line="D:\\installer\\$build.exe /S /D=$folder" ;;
    esac
    echo "  -- $name: $folder, dbPath $database"
    installer_copy "$build" || {
        fail "$name: the installer built on the host is there" "$INSTALLER_BUILD/$build.exe"
        return
    }

    # --- The set-up: files, hook results, settings, registrations.
    expect_eq "$name: the installer ends with 0" "exit 0" "$(installer_run "$line")"
    expect_eq "$name: the installer leaves the program, the database and the uninstaller" \
        "./Database ./Database/.cache ./Database/.cache/index ./Database/archive \
./Database/archive/2019 ./Database/archive/2019/old.db ./Database/main.db \
./Database/main.db-journal ./Program ./Program/Gantrel.dll ./Program/settings.ini ./hooks.log \
./uninst.exe " "$(folder_listing "$disk")"
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

    # Keys and files of similar names beside the product's, written in the
    # installer's view of the registry.
    {
        printf 'REGEDIT4\r\n\r\n'
        local key
        for key in "${INSTALLER_BESIDE[@]}"; do
            printf '[%s]\r\n"kept"="yes"\r\n\r\n' "$key"
        done
    } >"$SCRATCH/installer/beside.reg"
    wine_run 'C:\windows\syswow64\regedit.exe' /s 'D:\installer\beside.reg'
    mkdir -p "$disk/Database-old"
    echo old >"$disk/Database-old/main.db"
    echo backup >"$disk/Database.bak"
    local registry files
    registry=$(installer_registry)
    files=$(folder_listing "$disk")

    # --- Silently while the product runs: refused at once, with no box
    # (one would hold the uninstaller until its time runs out).
    if removal_start_window; then
        installer_uninstall "$name-silent-running" "$folder" SILENT
        removal_stop_window
        expect_eq "$name: a silent removal refuses while the product runs" "exit 2" "$INSTALLER_EXIT"
        installer_unchanged "$name" "a silent removal while the product runs" "$files" "$registry"
        expect_eq "$name: the refusal is logged, and no hook was called" \
            "LumenoMainWindow is open: Lumeno stays installed|" "$(installer_log "$disk" 1)"
    else
        fail "$name: LumenoWindow.exe opens its window"
    fi

    # --- Shown, for the Unicode build, No and then Yes while the product
    # runs: the uninstaller stops, everything stays.
    if [ "$kind" = unicode ]; then
        installer_uninstall "$name-no" "$folder" SHOWN Warning n
        expect_eq "$name: No stops the uninstaller" "exit 2" "$INSTALLER_EXIT"
        expect_eq "$name: No answers -1" "UninstInitialize = -1|" "$(installer_log "$disk" 1)"
        installer_unchanged "$name" "No" "$files" "$registry"
        if removal_start_window; then
            installer_uninstall "$name-running" "$folder" SHOWN Warning y Error Return
            removal_stop_window
            expect_eq "$name: a running product stops the uninstaller" "exit 2" "$INSTALLER_EXIT"
            expect_eq "$name: a running product answers -1" "UninstInitialize = -1|" \
                "$(installer_log "$disk" 1)"
            installer_unchanged "$name" "a running product" "$files" "$registry"
        else
            fail "$name: LumenoWindow.exe opens its window"
        fi
    fi

    # --- The removal, silent for the Unicode build and shown (Yes) for the
    # ANSI one: the database folder and the six keys go, and the uninstaller
    # removes its own files and entry; nothing beside them changes.
    if [ "$kind" = unicode ]; then
        installer_uninstall "$name-yes" "$folder" SILENT
        expect_eq "$name: the silent removal runs CleanupDatabase and UninstUnInitialize" \
            "CleanupDatabase = 1|UninstUnInitialize = 0|" "$(installer_log "$disk" 2)"
    else
        installer_uninstall "$name-yes" "$folder" SHOWN Warning y
        expect_eq "$name: Yes runs both removal hooks" "UninstInitialize = 0|UninstUnInitialize = 0|" \
            "$(installer_log "$disk" 2)"
    fi
    expect_eq "$name: the uninstaller finishes with 0" "exit 0" "$INSTALLER_EXIT"
    expect_eq "$name: the removal takes the database folder and nothing beside it" \
        "./Database-old ./Database-old/main.db ./Database.bak ./hooks.log " \
        "$(folder_listing "$disk" | sed 's| ./uninst.exe||')"
    expect_eq "$name: the files beside it keep their content" "old|backup" \
        "$(cat "$disk/Database-old/main.db")|$(cat "$disk/Database.bak")"
    expect_eq "$name: the removal takes the six keys and the uninstall entry" \
        "absent absent absent absent absent absent absent" \
        "$(registry_states "${INSTALLER_SIX[@]}" "$INSTALLER_UNINSTALL")"
    expect_eq "$name: the removal leaves every key beside them" \
        "present present present present present present" \
        "$(registry_states "${INSTALLER_BESIDE[@]}")"
    expect_eq "$name: the removal changes nothing else the cycle touched" \
        "$(installer_without "${INSTALLER_SIX[@]}" "$INSTALLER_UNINSTALL" <<<"$registry")" \
        "$(installer_registry | installer_without "${INSTALLER_SIX[@]}" "$INSTALLER_UNINSTALL")"

    # Leave the prefix as the next cycle expects it.
    for key in "${INSTALLER_BESIDE[@]}"; do
        wine_run reg delete "$key" /f /reg:32 >/dev/null 2>&1
    done
    chmod -R u+rwX "$disk" && rm -rf "$disk"
}

# installer_refused KIND: a folder whose name has an omega, which code page
# 1252 cannot carry, given on the command line (UTF-8 there, so Wine hands
# the installer the omega itself). Refused before anything is copied: no
# folder, by that name or by its look-alike, and no key.
installer_refused() {
    local kind=$1 registry
    installer_copy "$kind" || {
        fail "$kind: the installer built on the host is there" "$INSTALLER_BUILD/$kind.exe"
        return
    }
    registry=$(installer_registry)
    expect_eq "$kind, outside the code page: the installer refuses with 2" "exit 2" \
        "exit $(cd "$SCRATCH" && env LC_ALL=C.UTF-8 timeout 120 wine "D:\\installer\\$kind.exe" \
            /S '/D=D:\Lumeno-Ω' >/dev/null 2>&1; echo $?)"
    expect_eq "$kind, outside the code page: nothing is copied" "" \
        "$(cd "$SCRATCH" && ls -d Lumeno-* 2>/dev/null)"
    expect_eq "$kind, outside the code page: no key changes" "$registry" "$(installer_registry)"
}

for kind in unicode ansi; do
    installer_refused "$kind"
    for layout in default parentheses; do
        installer_cycle "$kind" "$layout"
    done
done

# The folders only 64-bit Windows has, as a 32-bit program sees them: its
# system folder (C:\windows\system32 is SysWOW64 to it) and both Program
# Files folders. None of them may be emptied through dbPath.
removal_system_folder 'C:\Program Files (x86)' 'Program Files (x86)'
removal_system_folder 'C:\program files\' 'Program Files'
removal_system_folder 'C:\Windows\System32' 'windows/syswow64'

# Back to the suites' own prefix.
wineserver -k >/dev/null 2>&1
rm -rf "$WINE_ROOT"
use_private_prefix gantrel-wine
cd "$WINEPREFIX/drive_c" || fail "installer: the suites' prefix is there again"
