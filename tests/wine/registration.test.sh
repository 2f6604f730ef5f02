# UninstUnInitialize in the real module: the product's keys seeded with
# Wine's own reg add and regedit, removed through the host, and looked at
# with reg query; Wine's registry refuses to delete a key that still has
# sub-keys, so every tree is walked key by key. Then the same seeded
# registries on the emulated platform: the dumps before and after the call
# must be identical.
REG_CLASS='{5c3e9d21-7a40-4b6e-a9d2-13f0c8e47b65}'
REG_HANDLERS='HKEY_CLASSES_ROOT\*\shellex\ContextMenuHandlers'
REG_APPROVED='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Shell Extensions'
REG_APPROVED+='\Approved'
REG_USER_APP='HKEY_CURRENT_USER\Software\Corvanet\Lumeno'
REG_MACHINE_APP='HKEY_LOCAL_MACHINE\SOFTWARE\Corvanet\Lumeno'
REG_SIX=("$REG_USER_APP" "$REG_MACHINE_APP" "HKEY_CLASSES_ROOT\\CLSID\\$REG_CLASS"
    'HKEY_CLASSES_ROOT\VKTFile' "$REG_HANDLERS\\VKTMenu" "$REG_APPROVED\\$REG_CLASS")
# Sub-key names that just fit the 50-byte enumeration buffer, and that do not.
REG_NAME49=$(printf 'a%.0s' $(seq 1 49))
REG_NAME50=$(printf 'n%.0s' $(seq 1 50))
fresh_scratch registration

# registration_import LINE...: one REGEDIT4 import of these lines.
registration_import() {
    printf '%s\r\n' REGEDIT4 '' "$@" >"$SCRATCH/registration/import.reg"
    wine_run regedit /s 'D:\registration\import.reg'
}

# Everything the suite seeds, and the context-menu parents Wine's prefix
# starts with, so that every scenario begins from the same registry: one
# import that deletes them all.
registration_forget() {
    local key deletions=()
    for key in 'HKEY_CURRENT_USER\Software\Corvanet' 'HKEY_LOCAL_MACHINE\SOFTWARE\Corvanet' \
        "HKEY_CLASSES_ROOT\\CLSID\\$REG_CLASS" 'HKEY_CLASSES_ROOT\VKTFile' \
        'HKEY_CLASSES_ROOT\*\shellex' "$REG_APPROVED" \
        'HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Corvanet VKT'; do
        deletions+=("[-$key]")
    done
    registration_import "${deletions[@]}"
}

# registration_add KEY [VALUE ARGUMENTS]: one reg add.
registration_add() {
    wine_run reg add "$@" /f >/dev/null || fail "reg add $*"
}

# registration_uninit RUN...: UninstUnInitialize through a host, which has two minutes to
# end: a walk that does not end fails here instead of hanging the suite.
registration_uninit() {
    timeout 120 "$@" UninstUnInitialize 0 0 2>/dev/null | tr -d '\r'
    local status=${PIPESTATUS[0]}
    [ "$status" -eq 0 ] || echo "exit status $status"
}
registration_wine=(wine "$HOST_EXE")

# 1 if reg query finds no such key, 0 if it does.
registration_missing() {
    wine_run reg query "$1" >/dev/null 2>&1
    echo $?
}

# For each of the six keys, on one line: 1 if missing, 0 if there.
registration_six_missing() {
    registry_states "${REG_SIX[@]}" | sed 's/present/0/g; s/absent/1/g; s/unreadable/1/g'
}

# The sub-keys reg query lists directly below KEY, one per line.
registration_sub_keys() {
    wine_run reg query "$1" | grep '^HKEY_' | grep -vxF "$1"
}

# --- The product's keys as an installer leaves them, seeded with reg add and regedit.
REG_OTHER_CLASS='{0b1c2d3e-4f50-6172-8394-a5b6c7d8e9f0}'
REG_PROGRAM='C:\Program Files\Corvanet\VKT\Lumeno.exe'
registration_forget
registration_add "$REG_USER_APP" /v dbPath /d 'D:\db'
registration_add "$REG_USER_APP\\Server\\Pool\\Slot 2\\Inner" /v List /t REG_MULTI_SZ /d 'a\0b'
registration_add "$REG_MACHINE_APP\\View\\Columns" /v Width /t REG_EXPAND_SZ /d '%TEMP%'
registration_import \
    "[$REG_USER_APP\\Server]" '"Port"=dword:00001f90' "[$REG_USER_APP\\Server\\Pool\\Slot 1]" \
    '"Data"=hex:00,ff,7f' "[$REG_USER_APP\\View\\Columns]" '"Width"=hex(2):25,54,45,4d,50,25,00' \
    "[$REG_MACHINE_APP]" '"dbPath"="D:\\db"' "[$REG_MACHINE_APP\\Server]" '"Port"=dword:00001f90' \
    "[$REG_MACHINE_APP\\Server\\Pool\\Slot 1]" '"Data"=hex:00,ff,7f' \
    "[$REG_MACHINE_APP\\Server\\Pool\\Slot 2\\Inner]" '"List"=hex(7):61,00,62,00,00,00' \
    '[HKEY_CURRENT_USER\Software\Corvanet\Keep]' '"Kept"="yes"' \
    '[HKEY_LOCAL_MACHINE\SOFTWARE\Corvanet\Other]' \
    "[HKEY_CLASSES_ROOT\\CLSID\\$REG_CLASS]" '@="Lumeno shell extension"' \
    "[HKEY_CLASSES_ROOT\\CLSID\\$REG_CLASS\\InprocServer32]" '"ThreadingModel"="Apartment"' \
    '[HKEY_CLASSES_ROOT\VKTFile\shell\open\command]' \
    "@=\"\\\"${REG_PROGRAM//\\/\\\\}\\\" \\\"%1\\\"\"" \
    '[HKEY_CLASSES_ROOT\VKTFile\DefaultIcon]' "@=\"${REG_PROGRAM//\\/\\\\},1\"" \
    "[$REG_HANDLERS\\VKTMenu]" "@=\"$REG_CLASS\"" "[$REG_HANDLERS\\OtherMenu]" "@=\"$REG_OTHER_CLASS\"" \
    "[$REG_APPROVED]" "\"$REG_CLASS\"=\"Lumeno shell extension\"" \
    "[$REG_APPROVED\\$REG_CLASS]" "[$REG_APPROVED\\$REG_OTHER_CLASS]"
expect_eq "the seeded registry holds the six keys" "0 0 0 0 0 0" "$(registration_six_missing)"

expect_eq "UninstUnInitialize answers 0" "UninstUnInitialize = 0" \
    "$(registration_uninit "${registration_wine[@]}")"
expect_eq "reg query finds none of the six keys" "1 1 1 1 1 1" "$(registration_six_missing)"
expect_eq "the other context-menu handler stays with its value" \
    "$REG_HANDLERS\\OtherMenu|    (Default)    REG_SZ    $REG_OTHER_CLASS" \
    "$(registration_sub_keys "$REG_HANDLERS")|$(wine_run reg query "$REG_HANDLERS\\OtherMenu" /ve |
        grep REG_)"
expect_eq "only the approval key goes: its value and the other approval stay" \
    "$REG_APPROVED\\$REG_OTHER_CLASS|    $REG_CLASS    REG_SZ    Lumeno shell extension" \
    "$(registration_sub_keys "$REG_APPROVED")|$(wine_run reg query "$REG_APPROVED" /v "$REG_CLASS" |
        grep REG_)"
expect_eq "the parents remain with their other keys" \
    "HKEY_CURRENT_USER\\Software\\Corvanet\\Keep|HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanet\\Other|0" \
    "$(registration_sub_keys 'HKCU\Software\Corvanet')|$(registration_sub_keys \
        'HKLM\SOFTWARE\Corvanet')|$(registration_missing 'HKCR\CLSID')"

# --- None of the keys there: 0, and the parents the walk opened are left.
registration_forget
expect_eq "on a registry without the keys UninstUnInitialize answers 0" "UninstUnInitialize = 0" \
    "$(registration_uninit "${registration_wine[@]}")"
expect_eq "afterwards none of the six keys exists" "1 1 1 1 1 1" "$(registration_six_missing)"
REG_PARENTS=('HKCU\Software\Corvanet' 'HKLM\SOFTWARE\Corvanet' "$REG_HANDLERS" "$REG_APPROVED")
expect_eq "the parents opened on the way exist, empty" "0||0||0||0||" \
    "$(for key in "${REG_PARENTS[@]}"; do
        echo "$(registration_missing "$key")|$(registration_sub_keys "$key")"
    done | tr '\n' '|')"

# --- Names at the edge of the enumeration buffer. Under HKCU a 49-byte name
# is removed, then "Middle" cannot be, since a 50-byte name below it does not
# fit: it is met again first and the walk ends instead of handing it down
# forever. Under HKLM the 50-byte name is the first sub-key and nothing goes.
# The later rows still run.
registration_forget
registration_add "$REG_USER_APP\\$REG_NAME49\\Below" /v x /d 1
registration_add "$REG_USER_APP\\Middle\\$REG_NAME50"
registration_add "$REG_MACHINE_APP\\$REG_NAME50"
registration_add "$REG_MACHINE_APP\\Zed"
registration_add 'HKCR\VKTFile\shell'
expect_eq "with names that do not fit, UninstUnInitialize still ends and answers 0" \
    "UninstUnInitialize = 0" "$(registration_uninit "${registration_wine[@]}")"
expect_eq "the 49-byte name went, the key holding a 50-byte name stayed" \
    "$REG_USER_APP\\Middle|$REG_USER_APP\\Middle\\$REG_NAME50" \
    "$(registration_sub_keys "$REG_USER_APP")|$(registration_sub_keys "$REG_USER_APP\\Middle")"
expect_eq "a 50-byte name first ends the walk before anything goes" \
    "$REG_MACHINE_APP\\$REG_NAME50|$REG_MACHINE_APP\\Zed|" \
    "$(registration_sub_keys "$REG_MACHINE_APP" | tr '\n' '|')"
expect_eq "the rows after a failing walk still run" "1" "$(registration_missing 'HKCR\VKTFile')"

# --- Registry links below the application key, which any program of the
# user can make, leading to keys beside the product's: one to a key with
# sub-keys, one (deeper down) to a key without. Each goes as the link, and
# neither key it leads to loses anything. (In a 64-bit prefix Wine resolves
# no link that a 32-bit program made towards HKLM\SOFTWARE, so the keys
# they lead to are the user's own.)
registration_forget
REG_USER_ROOT="\\Registry\\User\\$(wine_run reg query HKU | grep -o 'S-1-5-21-[0-9-]*' | head -n1)"
registration_add 'HKCU\Software\Corvanet\Shared\Inner' /v Kept /d yes
registration_add 'HKCU\Software\Corvanet\Leaf' /v Kept /d yes
registration_add "$REG_USER_APP\Server" /v Port /t REG_DWORD /d 8080
REG_LINKS=('Software\Corvanet\Lumeno\Shared' 'Software\Corvanet\Lumeno\Server\Leaf')
wine_run 'C:\gantrel\RegistryLink.exe' make "${REG_LINKS[0]}" \
    "$REG_USER_ROOT\Software\Corvanet\Shared" || fail "RegistryLink make Shared"
wine_run 'C:\gantrel\RegistryLink.exe' make "${REG_LINKS[1]}" \
    "$REG_USER_ROOT\Software\Corvanet\Leaf" || fail "RegistryLink make Leaf"
# registration_kept KEY...: the value Kept of each key, as reg reads it.
registration_kept() {
    local key
    for key in "$@"; do
        wine_run reg query "$key" /v Kept | grep -o 'REG_SZ.*'
    done | tr '\n' '|'
}
expect_eq "Wine makes registry links, and reg follows them" "REG_SZ    yes|REG_SZ    yes|" \
    "$(registration_kept "$REG_USER_APP\\Shared\\Inner" "$REG_USER_APP\\Server\\Leaf")"
expect_eq "with links below it, UninstUnInitialize answers 0" "UninstUnInitialize = 0" \
    "$(registration_uninit "${registration_wine[@]}")"
expect_eq "the keys the links lead to keep everything" "REG_SZ    yes|REG_SZ    yes|" \
    "$(registration_kept 'HKCU\Software\Corvanet\Shared\Inner' 'HKCU\Software\Corvanet\Leaf')"
expect_eq "the links went as links, and the application key with them" "absent absent 1" \
    "$(for link in "${REG_LINKS[@]}"; do
        wine_run 'C:\gantrel\RegistryLink.exe' look "$link"
    done | tr '\n' ' ')$(registration_missing "$REG_USER_APP")"
# The application key itself a link: it goes, and what it leads to stays.
registration_forget
registration_add 'HKCU\Software\Corvanet\Shared\Inner' /v Kept /d yes
wine_run 'C:\gantrel\RegistryLink.exe' make 'Software\Corvanet\Lumeno' \
    "$REG_USER_ROOT\Software\Corvanet\Shared" || fail "RegistryLink make Lumeno"
expect_eq "an application key that is a link goes as the link" \
    "UninstUnInitialize = 0|absent|REG_SZ    yes|" \
    "$(registration_uninit "${registration_wine[@]}")|$(
        wine_run 'C:\gantrel\RegistryLink.exe' look 'Software\Corvanet\Lumeno')|$(
        registration_kept 'HKCU\Software\Corvanet\Shared\Inner')"

# --- Names the ANSI code page cannot carry, which the ANSI enumeration lists
# with '?' (or a look-alike letter) for those characters: removed through
# their wide names, in code page 1252 and in 932. They are seeded from a
# UTF-16 registry file, and reg reads them from the UTF-8 command line.
# registration_unicode CODE-PAGE LOCALE NAME...
registration_unicode() {
    local codePage=$1 name
    local LC_ALL=$2
    export LC_ALL
    shift 2
    registration_forget
    {
        printf '\xff\xfe'
        {
            printf 'Windows Registry Editor Version 5.00\r\n\r\n'
            for name in "$@"; do
                printf '[%s\\%s\\Inner\\%s]\r\n"x"="1"\r\n' "$REG_USER_APP" "$name" "$name"
            done
            printf '[%s\\%s]\r\n' "$REG_USER_APP" "$REG_NAME49"
            printf '[%s]\r\n"dbPath"="D:\\\\db"\r\n' "$REG_USER_APP"
            printf '[HKEY_CURRENT_USER\\Software\\Corvanet\\%s]\r\n' 'Keep\日本語' 'Lumeno 2\Łódź'
        } | iconv -f UTF-8 -t UTF-16LE
    } >"$SCRATCH/registration/unicode.reg"
    wine_run regedit /s 'D:\registration\unicode.reg'
    expect_eq "$codePage: every name is seeded" "$(printf '0 %.0s' "$@")" \
        "$(for name in "$@"; do
            echo -n "$(registration_missing "$REG_USER_APP\\$name\\Inner\\$name") "
        done)"
    expect_eq "$codePage: UninstUnInitialize answers 0" "UninstUnInitialize = 0" \
        "$(registration_uninit "${registration_wine[@]}")"
    expect_eq "$codePage: the application key is gone with every name below it" 1 \
        "$(registration_missing "$REG_USER_APP")"
    expect_eq "$codePage: the keys beside it stay, named as they were" "0 0" \
        "$(registration_missing 'HKCU\Software\Corvanet\Keep\日本語') $(
            registration_missing 'HKCU\Software\Corvanet\Lumeno 2\Łódź')"
}
registration_unicode 1252 C.UTF-8 日本語 Łódź Ελληνικά 한국어 '😀 emoji'
registration_unicode 932 ja_JP.UTF-8 日本語 Łódź Ελληνικά 한국어 '😀 emoji'

# --- The same registries on the emulated platform. Each scenario is one
# REGEDIT4 file: Wine's regedit imports it, and it is the emulated
# platform's registry file.
REG_NATIVE_SCRATCH="$RESULTS/native-registration"
if ! build_native; then
    fail "the native build for the differential checks"
    return 0
fi
rm -rf "$REG_NATIVE_SCRATCH"
mkdir -p "$REG_NATIVE_SCRATCH/drives"

# registration_seed_file NAME LINE...: D:\registration\NAME.reg.
registration_seed_file() {
    local name=$1
    shift
    printf '%s\n' REGEDIT4 '' "$@" >"$SCRATCH/registration/$name.reg"
}

# Every key the module touches (the empty name) and the two parents, as each
# host dumps them.
registration_dump_all() {
    "$@" dump '' "$REG_HANDLERS" "$REG_APPROVED"
}

# registration_compare NAME CODE-PAGE: runs scenario NAME on both platforms.
registration_compare() {
    local name=$1 codePage=$2 wine_env=()
    [ "$codePage" = 932 ] && wine_env=(env LC_ALL=ja_JP.UTF-8)
    local wine_side=("${wine_env[@]}" wine "$HOST_EXE")
    local native_side=(env GANTREL_REGISTRY="$REG_NATIVE_SCRATCH/registry.reg"
        GANTREL_DRIVES="$REG_NATIVE_SCRATCH/drives" GANTREL_CODEPAGE="$codePage"
        "$NATIVE_HOST")

    registration_forget
    "${wine_env[@]}" wine regedit /s "D:\\registration\\$name.reg" >/dev/null 2>&1
    local wine_before wine_result wine_after
    wine_before=$(registration_dump_all "${wine_side[@]}" 2>&1 | tr -d '\r')
    wine_result=$(registration_uninit "${wine_side[@]}")
    wine_after=$(registration_dump_all "${wine_side[@]}" 2>&1 | tr -d '\r')

    cp "$SCRATCH/registration/$name.reg" "$REG_NATIVE_SCRATCH/registry.reg"
    local native_before native_result native_after
    native_before=$(registration_dump_all "${native_side[@]}" 2>&1)
    native_result=$(registration_uninit "${native_side[@]}")
    native_after=$(registration_dump_all "${native_side[@]}" 2>&1)

    # Kept beside the seed for a look when a check fails.
    local kept="$SCRATCH/registration/$name"
    printf '%s\n' "$wine_before" >"$kept.wine-before"
    printf '%s\n' "$wine_after" >"$kept.wine-after"
    printf '%s\n' "$native_before" >"$kept.native-before"
    printf '%s\n' "$native_after" >"$kept.native-after"

    expect_eq "$name: both platforms read the seeded registry alike" "$wine_before" "$native_before"
    expect_eq "$name: both platforms answer 0" \
        "UninstUnInitialize = 0|UninstUnInitialize = 0" "$wine_result|$native_result"
    expect_eq "$name: both platforms leave the same registry" "$wine_after" "$native_after"
}

registration_app_tree() {
    local root=$1
    printf '%s\n' "[$root]" '"dbPath"="D:\\db"' '@="Lumeno"' \
        "[$root\\Server]" '"Port"=dword:00001f90' '"Name"=hex(1):4c,75,00' \
        "[$root\\Server\\Pool\\Slot 1]" '"Data"=hex:00,ff,7f' \
        "[$root\\Server\\Pool\\Slot 2\\Inner]" '"List"=hex(7):61,00,62,00,00' \
        "[$root\\View\\Columns]" '"Width"=hex(2):25,54,45,4d,50,25,00' \
        "[$root\\$REG_NAME49\\Below]" '"x"="1"'
}
registration_seed_file full \
    "$(registration_app_tree "$REG_USER_APP")" "$(registration_app_tree "$REG_MACHINE_APP")" \
    '[HKEY_CURRENT_USER\Software\Corvanet\Keep]' '"Kept"="yes"' \
    '[HKEY_LOCAL_MACHINE\SOFTWARE\Corvanet\Other]' \
    "[HKEY_CLASSES_ROOT\\CLSID\\$REG_CLASS]" '@="Lumeno shell extension"' \
    "[HKEY_CLASSES_ROOT\\CLSID\\$REG_CLASS\\InprocServer32]" '"ThreadingModel"="Apartment"' \
    '[HKEY_CLASSES_ROOT\VKTFile\shell\open\command]' '@="Lumeno.exe \"%1\""' \
    "[$REG_HANDLERS\\VKTMenu]" "@=\"$REG_CLASS\"" \
    "[$REG_HANDLERS\\VKTMenu\\Inner]" \
    "[$REG_HANDLERS\\OtherMenu]" "@=\"$REG_OTHER_CLASS\"" \
    "[$REG_APPROVED]" "\"$REG_CLASS\"=\"Lumeno shell extension\"" \
    "[$REG_APPROVED\\$REG_CLASS]" \
    "[$REG_APPROVED\\$REG_OTHER_CLASS]"
registration_compare full 1252

registration_seed_file empty
registration_compare empty 1252

registration_seed_file long-names \
    "[$REG_USER_APP\\$REG_NAME49\\Below]" "[$REG_USER_APP\\Middle\\$REG_NAME50]" \
    "[$REG_USER_APP\\Zed]" "[$REG_MACHINE_APP\\$REG_NAME50]" "[$REG_MACHINE_APP\\Zed]" \
    "[HKEY_CLASSES_ROOT\\VKTFile\\$REG_NAME50\\x]"
registration_compare long-names 1252

# Code page 932: names whose characters end in the byte 0x5C, inside the
# application key and beside it.
REG_DBCS1=$'\x95\x5C'
REG_DBCS2=$'\x83\x5C'
registration_seed_file double-byte \
    "[$REG_USER_APP\\$REG_DBCS1\\$REG_DBCS2]" '"x"="1"' "[$REG_USER_APP\\$REG_DBCS2]" \
    "[HKEY_CURRENT_USER\\Software\\Corvanet\\$REG_DBCS1\\$REG_DBCS2]" '"Kept"="yes"' \
    "[HKEY_CURRENT_USER\\Software\\Corvanet\\$REG_DBCS2$REG_DBCS1]"
registration_compare double-byte 932
registration_forget
