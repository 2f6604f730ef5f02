#!/bin/bash
# Installs, as root with apt-get, the Debian 12 packages the build and the
# tests need, skipping those already installed.
#   scripts/install-deps.sh native   build and test on Linux
#   scripts/install-deps.sh all      also the Windows cross-build and Wine
set -euo pipefail

native=(cmake ninja-build g++ clang libclang-rt-14-dev clang-format libgtest-dev
        libgmock-dev libbenchmark-dev)
windows=(g++-mingw-w64-i686-posix wine wine32:i386 xvfb xdotool x11-apps imagemagick)

wanted=("${native[@]}")
if [ "${1:-native}" = all ]; then
    wanted+=("${windows[@]}")
fi

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" != 0 ]; then
    echo "install-deps: these packages are missing and need root: ${missing[*]}" >&2
    exit 1
fi
echo "install-deps: installing ${missing[*]}"
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
    ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
