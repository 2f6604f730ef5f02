#!/bin/bash
# The platform's answer table on the emulated platform, as ctest runs it:
#   tests/platform/run-emulated.sh PLATFORM-ANSWERS SCRATCH
# Drive D: is SCRATCH/drives/d, and the registry a file in SCRATCH that
# holds, before the run, the one key the table cannot make itself (a name the
# code page cannot carry; the emulated registry reads such a file in UTF-8).
set -euo pipefail
answers=$1
scratch=$2
chmod -R u+rwX "$scratch" 2>/dev/null || true
rm -rf "$scratch"
mkdir -p "$scratch/drives/c" "$scratch/drives/d"
"$(dirname "$0")/make-fixtures.sh" "$scratch/drives/d/platform"
printf '\xEF\xBB\xBFREGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Gantrel conformance\\Wide\\日本語\\Łódź]\n' \
    >"$scratch/registry.reg"
env -u GANTREL_CODEPAGE -u GANTREL_SOCKETS -u GANTREL_WINDOWS -u GANTREL_TRACE \
    GANTREL_DRIVES="$scratch/drives" GANTREL_REGISTRY="$scratch/registry.reg" \
    GANTREL_CONFORMANCE=conformance \
    "$answers" --on emulated 'D:\platform'
