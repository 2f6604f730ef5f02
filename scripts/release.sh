#!/bin/bash
# Builds Gantrel.dll for release, from a fresh copy of the committed sources,
# and writes dist/Gantrel.dll, dist/SHA256SUMS and dist/BUILDINFO.
#   scripts/release.sh [--sign FILE.pfx [--password-file FILE]] [--timestamp URL]
#                      [--out DIR] [--allow-dirty]
# --sign           signs with Authenticode (SHA-256 digest) through osslsigncode
#                  and verifies the signature before the checksum is written. The
#                  password is the first line of --password-file, or
#                  GANTREL_SIGN_PASSWORD: never a command-line argument.
# --timestamp URL  has a time-stamping server counter-sign (off by default).
# --out DIR        writes into DIR instead of dist/ (beside scripts/).
# --allow-dirty    builds a tree with uncommitted changes as it is (refused
#                  otherwise), and says so in BUILDINFO.
# The PE time stamp is SOURCE_DATE_EPOCH when set, the commit's time otherwise:
# the same commit always gives the same unsigned module. The build runs in
# out/release (GANTREL_RELEASE_BUILD picks another folder). A run that fails
# leaves none of the three files in the output folder.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"

die() {
    echo "release: $*" >&2
    exit 1
}

pfx="" password_file="" timestamp_url="" out="$source_dir/dist" allow_dirty=""
while [ $# -gt 0 ]; do
    case "$1" in
    --sign) pfx="${2:?--sign needs a .pfx file}"; shift 2 ;;
    --password-file) password_file="${2:?--password-file needs a file}"; shift 2 ;;
    --timestamp) timestamp_url="${2:?--timestamp needs a URL}"; shift 2 ;;
    --out) out="${2:?--out needs a folder}"; shift 2 ;;
    --allow-dirty) allow_dirty=1; shift ;;
    --password | --pass)
        die "no password on the command line: use --password-file FILE or GANTREL_SIGN_PASSWORD" ;;
    *) die "unknown argument '$1' (see the head of scripts/release.sh)" ;;
    esac
done
[ -n "$password_file" ] && [ -z "$pfx" ] && die "--password-file without --sign"
[ -n "$timestamp_url" ] && [ -z "$pfx" ] && die "--timestamp without --sign"
# Paths are taken from where the script was called, and used from the sources.
[ -n "$pfx" ] && pfx=$(realpath -m -- "$pfx")
[ -n "$password_file" ] && password_file=$(realpath -m -- "$password_file")
out=$(realpath -m -- "$out")
cd "$source_dir"

# Nothing of an earlier release stays behind to be taken for this one.
mkdir -p "$out"
rm -f "$out/Gantrel.dll" "$out/SHA256SUMS" "$out/BUILDINFO"

scripts/install-deps.sh release

commit=$(git rev-parse HEAD) || die "not a git checkout"
state=""
if [ -n "$(git status --porcelain)" ]; then
    [ -n "$allow_dirty" ] ||
        die "the tree has uncommitted changes (git status): commit them, or pass --allow-dirty"
    echo "release: warning: building uncommitted changes; BUILDINFO says so" >&2
    state=" with uncommitted changes"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 700 "$work"
mkdir "$work/dist"

# The signing certificate is checked before anything is built: the password
# opens it, it may sign code, and it is valid now.
if [ -n "$pfx" ]; then
    [ -r "$pfx" ] || die "cannot read the certificate file $pfx"
    if [ -n "$password_file" ]; then
        [ -r "$password_file" ] || die "cannot read the password file $password_file"
        head -n 1 "$password_file" | tr -d '\r\n' >"$work/password"
    elif [ -n "${GANTREL_SIGN_PASSWORD+set}" ]; then
        printf '%s' "$GANTREL_SIGN_PASSWORD" >"$work/password"
    else
        die "--sign needs the certificate's password: --password-file FILE or GANTREL_SIGN_PASSWORD"
    fi
    # Files exported by older Windows tools need OpenSSL's legacy ciphers.
    certificates() {
        openssl pkcs12 -in "$pfx" -passin "file:$work/password" -nokeys "$@" 2>/dev/null ||
            openssl pkcs12 -legacy -in "$pfx" -passin "file:$work/password" -nokeys "$@" \
                2>/dev/null
    }
    certificates -clcerts -out "$work/signer.pem" ||
        die "cannot open $pfx: wrong password, or not a PKCS#12 (.pfx) file"
    subject=$(openssl x509 -in "$work/signer.pem" -noout -subject -nameopt oneline |
        sed 's/^subject= *//')
    openssl x509 -in "$work/signer.pem" -noout -ext extendedKeyUsage 2>/dev/null |
        grep -q 'Code Signing' ||
        die "the certificate '$subject' cannot sign code: it has no code-signing extended key usage"
    not_after=$(openssl x509 -in "$work/signer.pem" -noout -enddate | cut -d= -f2)
    openssl x509 -in "$work/signer.pem" -noout -checkend 0 >/dev/null ||
        die "the certificate '$subject' expired on $not_after"
    not_before=$(openssl x509 -in "$work/signer.pem" -noout -startdate | cut -d= -f2)
    [ "$(date -u -d "$not_before" +%s)" -le "$(date -u +%s)" ] ||
        die "the certificate '$subject' is not valid before $not_before"
    # The signature is verified against the certificates the file carries and
    # the system's roots.
    certificates -out "$work/trust.pem"
    if [ -r /etc/ssl/certs/ca-certificates.crt ]; then
        cat /etc/ssl/certs/ca-certificates.crt >>"$work/trust.pem"
    fi
fi

# A fresh copy of the sources, built in a fresh folder.
epoch="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}"
build="${GANTREL_RELEASE_BUILD:-$source_dir/out/release}"
rm -rf "$build"
mkdir -p "$build/src"
if [ -z "$state" ]; then
    git archive HEAD | tar -x -C "$build/src"
else
    git ls-files -z --cached --others --exclude-standard |
        tar --null --ignore-failed-read -T - -c 2>/dev/null | tar -x -C "$build/src"
fi
echo "release: building $commit$state, time stamp $epoch" >&2
(cd "$build/src" && cmake --preset win32 -B "$build/build" \
    -DGANTREL_SOURCE_DATE_EPOCH="$epoch" >/dev/null &&
    cmake --build "$build/build" --target Gantrel >/dev/null) || die "the build failed"
module="$build/build/Gantrel.dll"
"$build/src/scripts/check-load.sh" "$module" >&2 || die "the module would not load on Windows 2000"

signed="no"
if [ -n "$pfx" ]; then
    sign=(osslsigncode sign -pkcs12 "$pfx" -readpass "$work/password" -h sha256
          -n "Lumeno installer hooks")
    [ -n "$timestamp_url" ] && sign+=(-t "$timestamp_url")
    "${sign[@]}" -in "$module" -out "$work/dist/Gantrel.dll" >"$work/sign.log" 2>&1 || {
        cat "$work/sign.log" >&2
        die "osslsigncode could not sign the module"
    }
    osslsigncode verify -in "$work/dist/Gantrel.dll" -CAfile "$work/trust.pem" \
        >"$work/verify.log" 2>&1 || {
        cat "$work/verify.log" >&2
        die "the signed module does not verify"
    }
    signed="yes, Authenticode SHA-256, by $subject (valid until $not_after)"
    [ -n "$timestamp_url" ] && signed+=", time-stamped by $timestamp_url"
else
    cp "$module" "$work/dist/Gantrel.dll"
fi

version=$(sed -n 's/^project(Gantrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
first_line() { "$@" 2>&1 | head -n 1; }
{
    echo "module: Gantrel.dll $version"
    echo "commit: $commit$state"
    echo "commit date: $(git log -1 --format=%cI)"
    echo "time stamp: $epoch ($(date -u -d "@$epoch" +%Y-%m-%dT%H:%M:%SZ))"
    echo "compiler: $(first_line i686-w64-mingw32-g++-win32 --version)"
    echo "linker: $(first_line i686-w64-mingw32-ld --version)"
    echo "resource compiler: $(first_line i686-w64-mingw32-windres --version)"
    echo "cmake: $(first_line cmake --version)"
    echo "signed: $signed"
    [ -n "$pfx" ] && echo "signing tool: $(first_line osslsigncode --version)"
} >"$work/dist/BUILDINFO"
(cd "$work/dist" && sha256sum Gantrel.dll BUILDINFO >SHA256SUMS)

mv "$work/dist/Gantrel.dll" "$work/dist/BUILDINFO" "$out/"
mv "$work/dist/SHA256SUMS" "$out/"
echo "release: wrote $out/Gantrel.dll, SHA256SUMS and BUILDINFO" >&2
