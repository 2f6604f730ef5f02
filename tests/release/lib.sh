# Shared by the checks of the shipped module, which ctest runs in the win32
# build as  bash tests/release/NAME.sh SOURCE-FOLDER BUILD-FOLDER : the
# folders, the Wine suites' checks (pass, fail, expect_eq, expect_contains)
# and the summary that gives the script's status.
set -uo pipefail
SOURCE="$1"
BUILD="$2"
# shellcheck source=../wine/lib.sh
source "$SOURCE/tests/wine/lib.sh"

finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
