#!/bin/bash
# The tree the platform's answer table asks about, made with plain Linux
# calls in DIR (which becomes D:\platform), for the emulated platform and for
# Wine alike:
#   tests/platform/make-fixtures.sh DIR
# Wine reports the read-only attribute from the Unix mode, and a Unix
# symbolic link to a folder as a reparse point.
set -euo pipefail
dir=$1
chmod -R u+rwX "$dir" 2>/dev/null || true
rm -rf "$dir"
mkdir -p "$dir"
cd "$dir"

mkdir -p list/folder target
printf 12345 >list/file.dat
printf x >list/locked.dat
chmod a-w list/locked.dat
ln -s ../target list/link
printf kept >target/kept.dat

printf x >readonly.dat
chmod a-w readonly.dat
mkdir -p full empty held other empty-target
printf x >full/inner.dat
ln -s empty-target link-to-empty
ln -s list/file.dat file-link
mkdir -p guarded
chmod a-w guarded
mkdir -p devices
for device in con NUL.txt com1 lpt9.log 'aux .dat'; do
    printf device >"devices/$device"
done

# Beyond MAX_PATH: D:\platform\deep and 12 folders of 23 characters.
deep=deep
for level in $(seq 1 12); do
    deep="$deep/folder-of-a-long-chain"
done
mkdir -p "$deep"
printf page >"$deep/page.db"

mkdir -p dots "dots/folder " dots/folder
printf dotted >dots/name.
printf plain >dots/name

mkdir -p names
printf pl >'names/Łódź.txt'
printf ja >'names/日本.txt'
printf emoji >'names/😀.dat'

printf 'key=value\r\n' >settings.txt
