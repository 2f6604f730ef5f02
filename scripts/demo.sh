#!/bin/bash
# The main job on Linux: builds the module and the host stand-in on the
# emulated platform and plays an installer's calls on example data, in a
# registry file and drive folders of its own under out/demo.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native >/dev/null

demo="$PWD/out/demo"
rm -rf "$demo"
mkdir -p "$demo/drives/c"
export GANTREL_REGISTRY="$demo/registry.reg"
export GANTREL_DRIVES="$demo/drives"
host=out/native/gantrel-host

call() {
    echo "\$ gantrel-host $*"
    "$host" "$@"
}

call IsWs2
call SetupServer 0 0 examples/settings.ini
call SetUninstallInfo
call GetVKTFolder
call --answer yes UninstInitialize
call CleanupDatabase
call UninstUnInitialize
