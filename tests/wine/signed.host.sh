# A module signed by scripts/release.sh with a throw-away certificate, for
# signed.test.sh, and its tables read as exports.host.sh reads the built one:
# a signature appended to the file must not change what Windows finds in it.
signed_root="$HOST_MADE/signed"
mkdir -p "$signed_root"
printf 'throw-away password\n' >"$signed_root/password"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Gantrel test signer" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$signed_root/signer.key" \
    -out "$signed_root/signer.pem" 2>/dev/null &&
    openssl pkcs12 -export -inkey "$signed_root/signer.key" -in "$signed_root/signer.pem" \
        -passout "file:$signed_root/password" -out "$signed_root/signer.pfx"
if GANTREL_RELEASE_BUILD="$signed_root/build" "$SOURCE/scripts/release.sh" --allow-dirty \
    --out "$signed_root/dist" --sign "$signed_root/signer.pfx" \
    --password-file "$signed_root/password" >"$signed_root/log" 2>&1; then
    pass "release.sh signs the module"
    exports_check_tables "$signed_root/dist/Gantrel.dll"
else
    fail "release.sh signs the module" "$(tail -n 5 "$signed_root/log")"
fi
