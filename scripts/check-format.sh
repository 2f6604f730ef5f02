#!/bin/bash
# Fails when a C++ source differs from clang-format's layout.
#   scripts/check-format.sh --fix    reformats them instead
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
    clang-format -i "${sources[@]}"
    exit 0
fi
clang-format --dry-run --Werror "${sources[@]}"
echo "formatting: ${#sources[@]} files checked"
