#!/bin/bash
# Runs a command in a guest machine of our own whose kernel runs 32-bit x86
# programs, so that Wine runs the 32-bit module on a host whose kernel
# refuses them:
#   scripts/wine-vm.sh [--wine 8|10] [--] COMMAND [ARG...]
# --wine 8   Debian 12's Wine 8 (the default)
# --wine 10  Debian 13's Wine 10
#
# The guest is qemu's full-system emulator (software emulation), booting
# Debian's own kernel with a small busybox initramfs into a Debian root made
# with mmdebstrap from one release's main component. The root is shared
# read-only over 9p under an overlay whose upper layer is memory, so every
# boot starts from the same root and nothing the command writes outside the
# shared checkout survives it. The checkout holding this script is shared at
# its own path, read-write, and the command starts in the current folder. Its
# output (standard output and error together) streams to standard output, and
# the script exits with the command's status.
#
# Kernel, initramfs and roots are built on first use, as root, from the
# package sources this machine's apt names, and kept in GANTREL_VM_CACHE
# (default /var/cache/gantrel-vm) for every later run and clone: a part is
# built anew when its recipe changes, into a folder of its own (the older
# one stays for checkouts that still name it, until removed by hand), and
# two runs that start at once build it once (each part is built under a
# lock and moved into place whole). What cannot be built is an error, never
# a skip.
#
# Environment: GANTREL_VM_CACHE, GANTREL_VM_MIRROR (default: the machine's
# Debian mirror), GANTREL_VM_CPUS (default 2), GANTREL_VM_MEMORY (MiB, default
# 6144: the installer suite keeps a 64-bit prefix beside the suites' own),
# GANTREL_VM_TIMEOUT
# (seconds for the whole run, default 3600). Variables named GANTREL_* and
# LC_ALL pass into the guest.
set -euo pipefail
SOURCE="$(cd "$(dirname "$0")/.." && pwd)"
CACHE="${GANTREL_VM_CACHE:-/var/cache/gantrel-vm}"

die() {
    echo "wine-vm: $*" >&2
    exit 125
}

wine_version=8
while [ $# -gt 0 ]; do
    case "$1" in
    --wine) wine_version="${2:?--wine needs 8 or 10}"; shift 2 ;;
    --) shift; break ;;
    -*) die "unknown option '$1' (see the head of scripts/wine-vm.sh)" ;;
    *) break ;;
    esac
done
[ $# -gt 0 ] || die "no command given"
case "$wine_version" in
8) suite=bookworm ;;
10) suite=trixie ;;
*) die "--wine takes 8 or 10, not '$wine_version'" ;;
esac

# The guest's kernel modules for virtio, 9p and the overlay, in load order.
MODULES=(virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci 9pnet
         9pnet_virtio netfs fscache 9p overlay)
# What the suites run in the guest, besides the base system.
ROOT_PACKAGES=(wine wine32:i386 wine64 xvfb xdotool x11-utils locales mount procps)

# One line per part that says what it is built from; its hash names the
# part in the cache, so a changed recipe builds a new one.
recipe_hash() {
    printf '%s\n' "$@" | sha256sum | cut -c1-16
}

need_root() {
    [ "$(id -u)" = 0 ] || die "building the guest needs root (apt-get, mmdebstrap): $1"
}

install_host_tools() {
    local wanted=(qemu-system-x86 mmdebstrap busybox-static cpio) missing=() package
    for package in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    need_root "installing ${missing[*]}"
    echo "wine-vm: installing ${missing[*]}" >&2
    DEBIAN_FRONTEND=noninteractive apt-get update -qq || true
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null ||
        die "could not install ${missing[*]}"
}

# The Debian mirror the machine's own apt sources name.
mirror() {
    if [ -n "${GANTREL_VM_MIRROR:-}" ]; then
        echo "$GANTREL_VM_MIRROR"
        return
    fi
    local found
    found=$(grep -hsE '^(URIs:|deb )' /etc/apt/sources.list /etc/apt/sources.list.d/*.sources \
        /etc/apt/sources.list.d/*.list | grep -v -- '-security' |
        grep -oE 'https?://[^ ]*/debian/?' | head -n1)
    [ -n "$found" ] || die "no Debian mirror in the apt sources; set GANTREL_VM_MIRROR"
    echo "${found%/}"
}

# build_part NAME HASH FUNCTION: the cached folder of a part, built by
# FUNCTION into a fresh folder under a lock when it is not there yet.
build_part() {
    local name="$1" hash="$2" builder="$3"
    local final="$CACHE/$name-$hash"
    if [ ! -e "$final/.complete" ]; then
        need_root "building the guest's $name"
        mkdir -p "$CACHE"
        exec {lock}>"$CACHE/.lock-$name"
        flock "$lock"
        if [ ! -e "$final/.complete" ]; then
            local work="$CACHE/.building-$name-$hash"
            rm -rf "$work" "$final"
            mkdir -p "$work"
            echo "wine-vm: building the guest's $name (once per recipe)" >&2
            local started=$SECONDS
            "$builder" "$work" >&2 || {
                rm -rf "$work"
                die "building the guest's $name failed"
            }
            touch "$work/.complete"
            mv "$work" "$final"
            echo "wine-vm: built the guest's $name in $((SECONDS - started)) s" >&2
        fi
        flock -u "$lock"
        exec {lock}>&-
    fi
    echo "$final"
}

# The kernel package linux-image-amd64 stands for, from the package index
# (read anew when it has none).
kernel_package() {
    local package
    package=$(apt-cache depends linux-image-amd64 2>/dev/null |
        awk '/Depends: linux-image-/ {print $2; exit}')
    if [ -z "$package" ] && [ "$(id -u)" = 0 ]; then
        apt-get update -qq >/dev/null 2>&1 || true
        package=$(apt-cache depends linux-image-amd64 2>/dev/null |
            awk '/Depends: linux-image-/ {print $2; exit}')
    fi
    echo "$package"
}

build_kernel() {
    local work="$1" package
    package=$(kernel_package)
    [ -n "$package" ] || die "no linux-image-amd64 in the package index (run apt-get update)"
    (cd "$work" && apt-get download -qq -o APT::Sandbox::User=root "$package") || die "could not download $package"
    mkdir "$work/unpacked" "$work/initramfs"
    dpkg-deb -x "$work"/"$package"_*.deb "$work/unpacked"
    cp "$work"/unpacked/boot/vmlinuz-* "$work/vmlinuz"

    local root="$work/initramfs" module file
    mkdir -p "$root"/{bin,dev,proc,sys,modules,lower,upper,newroot}
    cp /bin/busybox "$root/bin/busybox"
    for module in "${MODULES[@]}"; do
        file=$(find "$work/unpacked/lib/modules" -name "$module.ko*" | head -n1)
        [ -n "$file" ] || die "the kernel package has no module $module"
        case "$file" in
        *.xz) xz -dc "$file" >"$root/modules/$module.ko" ;;
        *.zst) zstd -qdc "$file" >"$root/modules/$module.ko" ;;
        *) cp "$file" "$root/modules/$module.ko" ;;
        esac
    done
    guest_init >"$root/init"
    chmod +x "$root/init"
    (cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd.gz"
    rm -rf "$work/unpacked" "$root" "$work"/*.deb
}

# The initramfs's init: loads the modules, mounts the root and the shares
# and runs the command the host left in /control/command; its status goes
# to /control/status.
guest_init() {
    cat <<EOF
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for module in ${MODULES[*]}; do
    insmod /modules/\$module.ko || echo "init: insmod \$module failed"
done
options=trans=virtio,version=9p2000.L,msize=512000
mount -t 9p -o \$options,ro,cache=loose root /lower || echo "init: no root"
mount -t tmpfs -o size=75% upper /upper
mkdir -p /upper/data /upper/work
mount -t overlay overlay -o lowerdir=/lower,upperdir=/upper/data,workdir=/upper/work /newroot
mount -t proc proc /newroot/proc
mount -t sysfs sys /newroot/sys
mount -t devtmpfs dev /newroot/dev
mkdir -p /newroot/dev/pts /newroot/dev/shm /newroot/control
mount -t devpts devpts /newroot/dev/pts
mount -t tmpfs shm /newroot/dev/shm
mount -t tmpfs tmp /newroot/tmp
mount -t tmpfs run /newroot/run
mount -t 9p -o \$options control /newroot/control
mkdir -p /newroot/keep
mount -t 9p -o \$options keep /newroot/keep
checkout=\$(cat /newroot/control/checkout)
mkdir -p "/newroot\$checkout"
mount -t 9p -o \$options checkout "/newroot\$checkout"
stty -F /dev/ttyS1 raw -echo 2>/dev/null
chroot /newroot /bin/bash /control/command </dev/null >/dev/ttyS1 2>&1
echo \$? >/newroot/control/status
sync
poweroff -f
EOF
}

build_root() {
    local work="$1" url
    url=$(mirror)
    mkdir "$work/root"
    mmdebstrap --quiet --variant=apt --architectures=amd64,i386 \
        --include="$(
            IFS=,
            echo "${ROOT_PACKAGES[*]}"
        )" \
        --customize-hook='echo "ja_JP.UTF-8 UTF-8" >>"$1/etc/locale.gen"' \
        --customize-hook='chroot "$1" locale-gen >/dev/null' \
        --customize-hook='rm -rf "$1"/var/cache/apt/archives/*.deb "$1"/var/lib/apt/lists/*' \
        "$suite" "$work/root" "deb $url $suite main" >&2 ||
        die "mmdebstrap could not make the $suite root from $url"
    dpkg-query --admindir="$work/root/var/lib/dpkg" -W -f='${Version}\n' wine >"$work/wine-version"
}

install_host_tools
kernel=$(build_part kernel "$(recipe_hash "$(kernel_package)" "${MODULES[*]}" "$(guest_init)")" build_kernel)
root=$(build_part "root-$suite" "$(recipe_hash "$suite" "${ROOT_PACKAGES[*]}" r1)" build_root)
# What runs in the guest may keep things made from the root alone (a fresh
# Wine prefix) in /keep, for the next boot of the same root.
keep="$root/keep"
mkdir -p "$keep"

# The command, as the guest's bash runs it: in the current folder, with the
# variables that steer the suites.
control=$(mktemp -d "${TMPDIR:-/tmp}/gantrel-vm.XXXXXX")
trap 'rm -rf "$control"' EXIT
echo "$SOURCE" >"$control/checkout"
{
    echo "export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"
    echo "export HOME=/root LANG=C.UTF-8 TERM=dumb GANTREL_IN_VM=$wine_version GANTREL_VM_KEEP=/keep"
    while IFS='=' read -r name value; do
        [[ "$name" = GANTREL_IN_VM || "$name" = GANTREL_VM_KEEP ]] || printf 'export %s=%q\n' "$name" "$value"
    done < <(env | grep -E '^(GANTREL_[A-Z0-9_]*|LC_ALL)=' || true)
    printf 'cd %q || exit 125\n' "$PWD"
    printf 'exec'
    printf ' %q' "$@"
    echo
} >"$control/command"

# Every part of the run is bounded: a guest that hangs ends with the timeout.
status=0
timeout --kill-after=10 "${GANTREL_VM_TIMEOUT:-3600}" qemu-system-x86_64 \
    -machine q35 -cpu qemu64 -smp "${GANTREL_VM_CPUS:-2}" -m "${GANTREL_VM_MEMORY:-6144}" \
    -accel tcg,thread=multi -nodefaults -display none -no-reboot \
    -kernel "$kernel/vmlinuz" -initrd "$kernel/initrd.gz" \
    -append "console=ttyS0 quiet loglevel=3 panic=-1" \
    -serial "file:$control/console.log" -serial stdio \
    -virtfs "local,path=$root/root,mount_tag=root,security_model=none,readonly=on,multidevs=remap" \
    -virtfs "local,path=$control,mount_tag=control,security_model=none" \
    -virtfs "local,path=$keep,mount_tag=keep,security_model=none" \
    -virtfs "local,path=$SOURCE,mount_tag=checkout,security_model=none,multidevs=remap" \
    </dev/null || status=$?
if [ ! -s "$control/status" ]; then
    echo "wine-vm: the guest ended without the command's status (qemu: $status); its console:" >&2
    tail -n 30 "$control/console.log" >&2 2>/dev/null || true
    exit 125
fi
exit "$(cat "$control/status")"
