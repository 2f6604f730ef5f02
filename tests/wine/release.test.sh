# Release builds through scripts/release.sh: the module built again from a
# copy of the sources in another folder is the same file, byte for byte; a
# module signed with a throw-away code-signing certificate verifies against
# it, carries the commit's time stamp and passes the export contract under
# Wine; a wrong password or a certificate that cannot sign code signs
# nothing and leaves no file behind that could pass for a release.
release_root="$BUILD/release-test"
rm -rf "$release_root"
mkdir -p "$release_root/keys"
release() {
    GANTREL_RELEASE_BUILD="$release_root/build" "$SOURCE/scripts/release.sh" --allow-dirty "$@"
}

# The same time stamp as this build's, so that only the folder differs.
epoch=$(sed -n 's/^GANTREL_SOURCE_DATE_EPOCH:STRING=//p' "$BUILD/CMakeCache.txt")
if SOURCE_DATE_EPOCH="$epoch" release --out "$release_root/plain" >"$release_root/plain.log" 2>&1 &&
    cmp "$release_root/plain/Gantrel.dll" "$BUILD/Gantrel.dll" >>"$release_root/plain.log" 2>&1 &&
    (cd "$release_root/plain" && sha256sum --quiet -c SHA256SUMS) >>"$release_root/plain.log" 2>&1
then
    pass "a second build in another folder is the same file, and SHA256SUMS matches it"
else
    fail "a second build in another folder is the same file, and SHA256SUMS matches it" \
        "$(tail -n 5 "$release_root/plain.log")"
fi

keys="$release_root/keys"
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

signed="$release_root/signed"
(unset SOURCE_DATE_EPOCH
 release --out "$signed" --sign "$keys/signer.pfx" --password-file "$keys/password") \
    >"$release_root/signed.log" 2>&1
expect_eq "release.sh signs with the throw-away certificate" "0" "$?"
verified=$(osslsigncode verify -in "$signed/Gantrel.dll" -CAfile "$keys/signer.pem" 2>&1)
expect_contains "osslsigncode verifies the signature against that certificate" \
    "Signature verification: ok" "$verified"
expect_contains "the signature's digest is SHA-256" "Message digest algorithm  : SHA256" "$verified"
commit_time=$(git -C "$SOURCE" log -1 --format=%ct)
expect_eq "the PE time stamp is the commit's time" \
    "$(TZ=UTC date -d "@$commit_time" '+%a %b %e %H:%M:%S %Y')" \
    "$(TZ=UTC i686-w64-mingw32-objdump -p "$signed/Gantrel.dll" |
        sed -n 's/^Time\/Date[[:space:]]*//p' | head -n 1)"

# The export contract, the version record among it, on the signed module.
echo "wine: exports, on the signed module"
cp "$signed/Gantrel.dll" "$PROGRAMS/Gantrel.dll"
EXPORTS_MODULE_FILE="$signed/Gantrel.dll"
# shellcheck source=exports.test.sh
source "$SOURCE/tests/wine/exports.test.sh"
unset EXPORTS_MODULE_FILE
cp "$BUILD/Gantrel.dll" "$PROGRAMS/Gantrel.dll"

# Each failure runs over the signed release of the step above.
for case in "wrong:signer:wrong password" "password:server:cannot sign code"; do
    IFS=: read -r password certificate message <<<"$case"
    out=$(release --out "$signed" --sign "$keys/$certificate.pfx" \
        --password-file "$keys/$password" 2>&1)
    status=$?
    left=$(ls -A "$signed")
    expect_eq "$message: release.sh fails, says so and leaves no release files" \
        "1 $message none" "$status $(grep -o "$message" <<<"$out" | head -n 1) ${left:-none}"
done
