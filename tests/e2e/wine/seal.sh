#!/usr/bin/env bash
# Sealing under Wine with the primitives it has: the Windows builds seal what openssl opens
# on Linux, and tavisk-report.exe reads what Linux's openssl sealed with a PKCS#12 key, a PEM key
# and the key in the user's certificate store.
source "$(dirname "$0")/../lib.sh"
engines=$TAVISK_SOURCE_DIR/build/engines
tool_path() { winpath "$1" | tr 'A-Z' 'a-z'; }

openssl req -x509 -newkey rsa:3072 -nodes -keyout key.pem -out cert.pem -days 30 -subj /CN=support 2>/dev/null
echo geheim >pass.txt
openssl pkcs12 -export -inkey key.pem -in cert.pem -out key.p12 -passout file:pass.txt
MARKER=planted-marker-$RANDOM$RANDOM
printf '%s\r\n' "$MARKER" >secret.txt
printf '<config><File><getFile>%s</getFile></File></config>' "$(tool_path "$WORK/secret.txt")" >conf.xml

for build in "${WINDOWS_BUILDS[@]}"; do
  read -r arch exe engine name <<<"$build"
  mkdir -p "$arch"
  cp "$exe" "$arch/tavisk.exe"
  cp "$(dirname "$exe")/tavisk-report.exe" "$arch/tavisk-report.exe"
  cp "$engines/$engine/7z.dll" "$arch/$name"
  run_tool "$arch/tavisk.exe" /source "$(tool_path "$WORK/conf.xml")" /dest "$(tool_path "$WORK/$arch/r.tavisk")" \
    /seal "$(tool_path "$WORK/cert.pem")"
  expect_eq "$STATUS" 0 "$arch: sealed run: status ($OUT)"
  expect_eq "$(ls "$arch" | grep -c '^r\.')" 1 "$arch: only the sealed file is left"
  checks=$((checks + 1))
  openssl cms -decrypt -inform DER -in "$arch/r.tavisk.p7m" -inkey key.pem -recip cert.pem -out "$arch/r.tavisk" ||
    fail "$arch: openssl cannot open the sealed file"
  expect_contains "$(7zz e -so "$arch/r.tavisk" 2>/dev/null)" "$MARKER" "$arch: the report inside"

  openssl cms -encrypt -binary -aes256 -stream -outform DER -in "$arch/r.tavisk" -out "$arch/linux.p7m" cert.pem
  for key in "key.p12 --key-pass-file $(winpath "$WORK/pass.txt")" key.pem; do
    read -r file options <<<"$key"
    # shellcheck disable=SC2086
    run_tool "$arch/tavisk-report.exe" show "$(winpath "$WORK/$arch/linux.p7m")" --key "$(winpath "$WORK/$file")" $options
    expect_eq "$STATUS" 0 "$arch: tavisk-report.exe reads a Linux-sealed file with $file: $ERR"
    expect_contains "$OUT" "$(hostname | tr 'a-z' 'A-Z' | cut -c1-15)" "$arch: show with $file"
  done
done

# Without --key the key comes from the user's certificate store, found by the file's recipient.
sealed=$(winpath "$WORK/$REFERENCE_ARCH/linux.p7m")
run_tool "$REFERENCE_ARCH/tavisk-report.exe" show "$sealed"
expect_eq "$STATUS" 2 "no key in the store: status"
expect_contains "$ERR" "kein passendes Zertifikat mit privatem Schluessel im Zertifikatspeicher" "no key in the store"
openssl pkcs12 -export -inkey key.pem -in cert.pem -out store.p12 -passout pass:
"$REFERENCE_GCC" -s -municode -o pfximport.exe "$TAVISK_SOURCE_DIR/tests/e2e/fixtures/pfximport.c" -lcrypt32
wine_run pfximport.exe "$(winpath "$WORK/store.p12")" >import.out 2>&1 || fail "import into the store: $(cat import.out)"
run_tool "$REFERENCE_ARCH/tavisk-report.exe" show "$sealed"
expect_eq "$STATUS" 0 "key from the store: status: $ERR"
expect_contains "$OUT" "$(hostname | tr 'a-z' 'A-Z' | cut -c1-15)" "key from the store: show"
thumbprint=$(openssl x509 -in cert.pem -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
wine_run reg delete "HKCU\\Software\\Microsoft\\SystemCertificates\\MY\\Certificates\\$thumbprint" /f >/dev/null 2>&1 ||
  fail "key from the store: the certificate stays in the store"
finish
