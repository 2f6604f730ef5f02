#!/bin/bash
# The main job on Linux: builds the module and the host stand-in on the
# emulated platform and plays an installer's calls, a complete set-up and
# removal, on the example data of examples/cycle, in a registry file and a
# drive D: of its own under out/demo. Prints each call, its result, and what
# changed in the registry and in D:\Lumeno.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native >/dev/null

demo="$PWD/out/demo"
chmod -R u+rwX "$demo" 2>/dev/null || true
rm -rf "$demo"
mkdir -p "$demo/drives/c" "$demo/drives/d"
cp examples/cycle/registry.reg "$demo/registry.reg"
export GANTREL_REGISTRY="$demo/registry.reg"
export GANTREL_DRIVES="$demo/drives"
CYCLE_D="$demo/drives/d"
CYCLE_OUT="$demo/steps"

# The removal's question is answered Yes; no product window is open.
cycle_host() {
    out/native/gantrel-host --answer yes "$@"
}

# shellcheck source=cycle-lib.sh
source scripts/cycle-lib.sh
cycle_lay_files
cycle_run
echo
echo "The registry file is $GANTREL_REGISTRY; every step's records are in $CYCLE_OUT."
