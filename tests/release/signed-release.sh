# A signed release: the release script signs with a throw-away code-signing
# certificate, the signature verifies against it with a SHA-256 digest, the
# module keeps its version record and carries the commit's time stamp. A
# wrong password or a certificate that cannot sign code signs nothing and
# leaves no file behind that could pass for a release.
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
root="$BUILD/release-test/signed"
rm -rf "$root"
mkdir -p "$root/keys"
keys="$root/keys"
signed="$root/dist"
release() {
    GANTREL_RELEASE_BUILD="$root/build" "$SOURCE/scripts/release.sh" --allow-dirty --out "$signed" \
        "$@"
}

printf 'throw-away password\n' >"$keys/password"
printf 'not the password\n' >"$keys/wrong"
# make_pfx NAME EXTENDED-KEY-USAGE
make_pfx() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Gantrel test $1" \
        -addext "extendedKeyUsage=$2" -keyout "$keys/$1.key" -out "$keys/$1.pem" 2>/dev/null &&
        openssl pkcs12 -export -inkey "$keys/$1.key" -in "$keys/$1.pem" \
            -passout "file:$keys/password" -out "$keys/$1.pfx"
}
make_pfx signer codeSigning
make_pfx server serverAuth

(unset SOURCE_DATE_EPOCH && release --sign "$keys/signer.pfx" --password-file "$keys/password") \
    >"$root/log" 2>&1
expect_eq "release.sh signs with the throw-away certificate" "0" "$?"
verified=$(osslsigncode verify -in "$signed/Gantrel.dll" -CAfile "$keys/signer.pem" 2>&1)
expect_contains "osslsigncode verifies the signature against that certificate" \
    "Signature verification: ok" "$verified"
expect_contains "the signature's digest is SHA-256" "Message digest algorithm  : SHA256" "$verified"

# The fixed part of the version record follows its signature, 0xFEEF04BD:
# structure version, then the file and product versions, two words each.
at=$(LC_ALL=C grep -obUaP '\xBD\x04\xEF\xFE' "$signed/Gantrel.dll" | head -n 1 | cut -d: -f1)
versions=$(od -An -tu2 -j "$((${at:-0} + 8))" -N 16 "$signed/Gantrel.dll" | xargs)
expect_eq "the signed module's version record reads 1.0.0.1" "0 1 1 0 0 1 1 0" "$versions"

commit_time=$(git -C "$SOURCE" log -1 --format=%ct)
expect_eq "the PE time stamp is the commit's time" \
    "$(TZ=UTC date -d "@$commit_time" '+%a %b %e %H:%M:%S %Y')" \
    "$(TZ=UTC i686-w64-mingw32-objdump -p "$signed/Gantrel.dll" |
        sed -n 's/^Time\/Date[[:space:]]*//p' | head -n 1)"

# Each failure runs over the signed release of the step above.
for case in "wrong:signer:wrong password" "password:server:cannot sign code"; do
    IFS=: read -r password certificate message <<<"$case"
    out=$(release --sign "$keys/$certificate.pfx" --password-file "$keys/$password" 2>&1)
    status=$?
    left=$(ls -A "$signed")
    expect_eq "$message: release.sh fails, says so and leaves no release files" \
        "1 $message none" "$status $(grep -o "$message" <<<"$out" | head -n 1) ${left:-none}"
done

finish
