#!/bin/bash
# Installs, as root with apt-get, the Debian 12 packages the build and the
# tests need, skipping those already installed.
#   scripts/install-deps.sh native   build and test on Linux
#   scripts/install-deps.sh all      also the Windows cross-build and Wine
set -euo pipefail

native=(cmake ninja-build g++ clang libclang-rt-14-dev clang-format libgtest-dev
        libgmock-dev libbenchmark-dev)
# The win32 thread model of MinGW: the posix one links winpthreads, which
# imports functions that Windows 2000 and XP lack.
windows=(g++-mingw-w64-i686-win32 wine wine32:i386 xvfb xdotool x11-apps imagemagick nsis
         osslsigncode openssl locales)

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

# Wine takes file names in UTF-8 under code page 932 only with this locale.
need_locale=""
if [ "${1:-native}" = all ] && ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
    need_locale=1
fi
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
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
fi
if [ -n "$need_locale" ]; then
    echo "install-deps: generating the ja_JP.UTF-8 locale"
    sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null
fi
