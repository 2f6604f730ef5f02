# The real module's folder removal on names the ANSI code page cannot carry
# (Japanese, Polish, Korean, Greek, an emoji), names of devices, and a tree
# deeper than MAX_PATH, in code page 1252 (LC_ALL=C.UTF-8) and 932
# (LC_ALL=ja_JP.UTF-8). Wine keeps the names on disk in UTF-8; the module
# reaches them through the wide calls, so the whole tree goes and nothing
# beside it.

# names_tree FOLDER
names_tree() {
    mkdir -p "$1/Łódź" "$1/한국어" "$1/Ελληνικά" "$1/com1.d/AUX"
    echo ja >"$1/日本語.txt"
    echo pl >"$1/Łódź/Żółw.txt"
    echo ko >"$1/한국어/파일.dat"
    echo el >"$1/Ελληνικά/ΑΒΓ.txt"
    echo emoji >"$1/😀.dat"
    chmod a-w "$1/😀.dat"
    local device
    for device in con NUL.txt com1 lpt9.log prn com1.d/AUX/nul; do
        echo device >"$1/$device"
    done
    local deep="$1/deep" chain
    for chain in $(seq 1 17); do
        deep="$deep/folder-of-a-long-chain"
    done
    mkdir -p "$deep"
    echo far >"$deep/far.dat"
}

# names_listing FOLDER: the entries of FOLDER, sorted, on one line.
names_listing() {
    ls -A "$1" | LC_ALL=C sort | tr '\n' ' '
}

# names_seed LOCALE TEXT: dbPath as these ANSI bytes, through regedit, which
# reads a REGEDIT4 file in the ANSI code page.
names_seed() {
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Corvanet\\Lumeno]\r\n"dbPath"=hex(1):%s\r\n' \
        "$(printf '%s\0' "$2" | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//; s/,$//')" \
        >"$SCRATCH/names.reg"
    env LC_ALL="$1" wine regedit /s 'D:\names.reg' >/dev/null 2>&1
}

# code page, locale, the folder's name in that code page, and on disk.
names_run() {
    local codePage=$1 locale=$2 ansi=$3 disk=$4
    expect_eq "$codePage: LC_ALL=$locale gives Wine processes code page $codePage" "$codePage" \
        "$(env LC_ALL="$locale" wine 'C:\gantrel\AnsiCodePage.exe' 2>/dev/null | cut -d' ' -f1)"
    fresh_scratch names
    names_tree "$SCRATCH/names/$disk"
    echo keep >"$SCRATCH/names/日本語.keep"
    echo keep >"$SCRATCH/names/con"
    names_seed "$locale" "D:\\names\\$ansi"
    local out
    out=$(env LC_ALL="$locale" timeout 120 wine "$HOST_EXE" CleanupDatabase 0 0 2>/dev/null |
        tr -d '\r')
    expect_eq "$codePage: every name and depth goes, nothing beside the folder" \
        "CleanupDatabase = 1|con 日本語.keep " "$out|$(names_listing "$SCRATCH/names")"
}

names_run 1252 C.UTF-8 $'Datenbank \xE9t\xE9' 'Datenbank été'
names_run 932 ja_JP.UTF-8 $'\x83\x66\x81\x5B\x83\x5E' 'データ'
