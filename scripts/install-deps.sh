#!/bin/bash
# Installs, as root with apt-get, the Debian 12 packages the build and the
# tests need, skipping those already installed.
#   scripts/install-deps.sh native    build and test on Linux
#   scripts/install-deps.sh release   build and sign a release (scripts/release.sh)
#   scripts/install-deps.sh all       everything the test command runs: also the
#                                     Windows cross-build, the installer, and Wine:
#                                     on this machine where its kernel runs 32-bit
#                                     programs, else the tools of scripts/wine-vm.sh
# An index that cannot be read (a foreign architecture's out of step, a source
# that is not reachable) stops nothing: what can be installed is.
set -euo pipefail
cd "$(dirname "$0")/.."

native=(cmake ninja-build g++ clang libclang-rt-14-dev clang-format libgtest-dev
        libgmock-dev libbenchmark-dev)
# The win32 thread model of MinGW: the posix one links winpthreads, which
# imports functions that Windows 2000 and XP lack.
release=(cmake ninja-build g++-mingw-w64-i686-win32 osslsigncode openssl)
windows=(nsis)
wine_here=(wine wine32:i386 wine64 xvfb xdotool x11-apps imagemagick locales)
wine_guest=(qemu-system-x86 mmdebstrap busybox-static cpio)

wanted=()
need_locale=""
case "${1:-native}" in
native) wanted=("${native[@]}") ;;
release) wanted=("${release[@]}") ;;
all)
    wanted=("${native[@]}" "${release[@]}" "${windows[@]}")
    if scripts/i386-probe.sh 0; then
        wanted+=("${wine_here[@]}")
        # Wine takes file names in UTF-8 under code page 932 only with this
        # locale (the guest's root has its own).
        locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8' || need_locale=1
    else
        wanted+=("${wine_guest[@]}")
    fi
    ;;
*) echo "install-deps: native, release or all" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && [ -z "$need_locale" ] && exit 0

if [ "$(id -u)" != 0 ]; then
    echo "install-deps: root is needed to install ${missing[*]:-the ja_JP.UTF-8 locale}" >&2
    exit 1
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
        ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq ||
        echo "install-deps: warning: some package indices could not be read; going on" >&2
    apt-get install -y -qq "${missing[@]}" >/dev/null
fi
if [ -n "$need_locale" ]; then
    echo "install-deps: generating the ja_JP.UTF-8 locale"
    sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null
fi
