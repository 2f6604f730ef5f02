#!/bin/bash
# Runs a 32-bit x86 Linux program that does nothing but exit with STATUS
# (default 0), and exits with what it returned: STATUS where this machine's
# kernel runs 32-bit x86 programs, 126 ("Exec format error") where it does
# not. Wine's i386 loader needs the same; this asks without Wine installed.
#   scripts/i386-probe.sh [STATUS]
set -u
status="${1:-0}"
[[ "$status" =~ ^[0-9]+$ ]] && [ "$status" -le 255 ] || {
    echo "i386-probe: STATUS is a number from 0 to 255" >&2
    exit 2
}
program=$(mktemp "${TMPDIR:-/tmp}/i386-probe.XXXXXX") || exit 2
trap 'rm -f "$program"' EXIT
# One ELF header, one loadable segment (the whole 96-byte file at 0x08048000)
# and the code at its end: mov eax, 1 (exit); mov ebx, STATUS; int 0x80.
{
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
    printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
    printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00'
    printf '\x00\x00\x00\x00'
    printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
    printf '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
    printf '\xb8\x01\x00\x00\x00\xbb'
    printf "\\x$(printf '%02x' "$status")\\x00\\x00\\x00"
    printf '\xcd\x80'
} >"$program"
chmod +x "$program"
"$program" 2>/dev/null
