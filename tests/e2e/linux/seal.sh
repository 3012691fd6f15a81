#!/usr/bin/env bash
# Sealed deliverables: a run with /seal and "tavisk-report seal" write CMS enveloped data that
# openssl opens, every reading command opens what openssl seals, and each way of failing
# has its own message; nothing plain is left beside a sealed file.
source "$(dirname "$0")/../lib.sh"
EXE=$TAVISK_EXE
READER=$TAVISK_REPORT_EXE

# Support's keys, made here: RSA (PEM, encrypted PKCS#8, PKCS#12), a second RSA key, an EC key, an expired certificate.
openssl req -x509 -newkey rsa:3072 -nodes -keyout key.pem -out cert.pem -days 30 -subj /CN=support 2>/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -keyout other.pem -out other-cert.pem -days 30 -subj /CN=other 2>/dev/null
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout ec.pem -out ec-cert.pem -days 30 \
  -subj /CN=ec 2>/dev/null
echo 'geheim 1' >pass.txt
echo 'falsch' >wrong-pass.txt
openssl pkcs8 -topk8 -in key.pem -out key-enc.pem -passout file:pass.txt
openssl pkcs12 -export -inkey key.pem -in cert.pem -out key.p12 -passout file:pass.txt
openssl x509 -in cert.pem -outform DER -out cert.der
mkdir ca && touch ca/index.txt
printf '[ca]\ndefault_ca=d\n[d]\ndatabase=ca/index.txt\nserial=ca/serial\nnew_certs_dir=ca\ndefault_md=sha256\npolicy=p\n[p]\ncommonName=supplied\n' >ca.cnf
openssl req -new -key key.pem -subj /CN=old -out old.csr
openssl ca -batch -config ca.cnf -selfsign -keyfile key.pem -create_serial -startdate 20200101000000Z \
  -enddate 20200102000000Z -in old.csr -out expired.pem 2>/dev/null

MARKER=planted-marker-$RANDOM$RANDOM
printf '%s\n' "$MARKER" >secret.txt
cat >known.xml <<CONF
<config><File><getFile>$WORK/secret.txt</getFile></File><System><getSystem>ALL</getSystem></System></config>
CONF

# The run seals; only the sealed file is left.
mkdir out
run_tool "$EXE" /source "$WORK/known.xml" /dest "$WORK/out/r.tavisk" /seal "$WORK/cert.pem"
expect_eq "$STATUS" 0 "sealed run: status"
expect_contains "$OUT" "Ausgabedatei:		$WORK/out/r.tavisk.p7m" "sealed run: names the sealed file"
expect_eq "$(ls -A out)" "r.tavisk.p7m" "sealed run: nothing plain left"
checks=$((checks + 1))
if grep -aqF -e "$MARKER" -e "$(hostname)" out/r.tavisk.p7m; then fail "sealed file shows report bytes"; fi

# openssl opens it; the archive inside is whole and holds what show reads from the sealed file.
openssl cms -decrypt -inform DER -in out/r.tavisk.p7m -inkey key.pem -recip cert.pem -out r.tavisk
checks=$((checks + 1))
7zz t r.tavisk >/dev/null || fail "archive inside the sealed file does not test"
expect_contains "$(7zz e -so r.tavisk)" "$MARKER" "sealed run: the report inside"
"$READER" show r.tavisk >plain.txt
"$READER" show out/r.tavisk.p7m --key key.pem >sealed.txt
expect_file_bytes sealed.txt plain.txt "show of the sealed file"

# What openssl seals (definite and indefinite lengths) every command reads, with each kind of key.
openssl cms -encrypt -binary -aes256 -outform DER -in r.tavisk -out definite.p7m cert.pem
openssl cms -encrypt -binary -aes256 -stream -outform DER -in r.tavisk -out streamed.p7m cert.pem
for sealed in definite.p7m streamed.p7m; do
  "$READER" show "$sealed" --key key.pem >from-openssl.txt
  expect_file_bytes from-openssl.txt plain.txt "show of $sealed"
done
"$READER" show definite.p7m --key key-enc.pem --key-pass-file pass.txt >keyed.txt
expect_file_bytes keyed.txt plain.txt "encrypted PKCS#8 key"
"$READER" show streamed.p7m --key key.p12 --key-pass-file pass.txt >keyed.txt
expect_file_bytes keyed.txt plain.txt "PKCS#12 key"
"$READER" html streamed.p7m --key key.pem -o page.html
"$READER" html r.tavisk -o plain.html
expect_file_bytes page.html plain.html "html of a sealed file"
run_tool "$READER" diff definite.p7m out/r.tavisk.p7m --key key.pem
expect_eq "$STATUS" 0 "diff of two sealed files: no differences"
run_tool "$READER" load fleet.db out definite.p7m --key key.pem
expect_eq "$STATUS" 0 "load of sealed files: status"
expect_contains "$ERR$OUT" "2 Archive geladen, 0 schon in der Datenbank, 0 fehlerhaft" "load of sealed files"

# clean reads a sealed archive with the key and writes a cleaned archive; without the key, nothing.
mkdir cleaned unkeyed
run_tool "$READER" clean out/r.tavisk.p7m -o cleaned/r.tavisk --map cleaned/map.json --keyword "$MARKER" --key key.pem
expect_eq "$STATUS:$ERR" "0:" "clean of a sealed archive: status"
checks=$((checks + 1))
7zz t cleaned/r.tavisk >/dev/null || fail "clean of a sealed archive: no archive written"
if 7zz e -so cleaned/r.tavisk | grep -aqiF "$MARKER"; then fail "clean of a sealed archive: a planted name survives"; fi
expect_contains "$("$READER" show cleaned/r.tavisk)" "Computer:       host0" "clean of a sealed archive: show reads it"
run_tool "$READER" clean out/r.tavisk.p7m -o unkeyed/r.tavisk --map unkeyed/map.json
expect_eq "$STATUS" 2 "clean without the key: status"
expect_contains "$ERR" "zum Lesen den Schluessel mit --key angeben" "clean without the key: message"
expect_eq "$(ls -A unkeyed)" "" "clean without the key: nothing written"

# tavisk-report seal: openssl opens it, and an existing output is never replaced.
run_tool "$READER" seal r.tavisk cert.der -o resealed.p7m
expect_eq "$STATUS" 0 "seal command: status"
openssl cms -decrypt -inform DER -in resealed.p7m -inkey key.pem -out unsealed.tavisk
expect_file_bytes unsealed.tavisk r.tavisk "seal command: openssl gets the archive back"
run_tool "$READER" seal r.tavisk cert.pem -o resealed.p7m
expect_eq "$STATUS" 2 "seal command: existing output"
expect_file_bytes <(openssl cms -decrypt -inform DER -in resealed.p7m -inkey key.pem) r.tavisk \
  "seal command: existing output untouched"

# Each way of failing to read has its own message and status 2.
head -c "$(($(stat -c %s streamed.p7m) - 2))" streamed.p7m >truncated.p7m
head -c "$(($(stat -c %s definite.p7m) / 2))" definite.p7m >halved.p7m
openssl cms -encrypt -binary -des3 -outform DER -in r.tavisk -out des.p7m cert.pem
while IFS='|' read -r file options message; do
  # shellcheck disable=SC2086
  run_tool "$READER" show "$file" $options
  expect_eq "$STATUS" 2 "$file $options: status"
  expect_contains "$ERR" "$message" "$file $options: message"
done <<'CASES'
definite.p7m||zum Lesen den Schluessel mit --key angeben
definite.p7m|--key other.pem|passt nicht zum Schluessel
definite.p7m|--key key-enc.pem --key-pass-file wrong-pass.txt|falsche Passphrase
definite.p7m|--key key.p12 --key-pass-file wrong-pass.txt|falsche Passphrase
definite.p7m|--key key-enc.pem|braucht eine Passphrase
definite.p7m|--key cert.pem|kein privater Schluessel
truncated.p7m|--key key.pem|unvollstaendig
halved.p7m|--key key.pem|unvollstaendig
des.p7m|--key key.pem|keine versiegelte Datei, die gelesen werden kann
CASES

# Certificates a run refuses before collecting: status 255, nothing written.
mkdir refused
printf 'not a certificate' >junk.pem
while IFS='|' read -r certificate message; do
  run_tool "$EXE" /source "$WORK/known.xml" /dest "$WORK/refused/r.tavisk" /seal "$WORK/$certificate"
  expect_eq "$STATUS" 255 "/seal $certificate: status"
  expect_contains "$OUT" "$message" "/seal $certificate: message"
  expect_eq "$(ls -A refused)" "" "/seal $certificate: nothing written"
done <<'CASES'
expired.pem|ist abgelaufen (gueltig bis 2020-01-02 00:00 UTC)
ec-cert.pem|keinen RSA-Schluessel
junk.pem|konnte nicht gelesen werden
missing.pem|konnte nicht gelesen werden
CASES
# A signal at some point of a sealed run leaves nothing, plain or sealed.
head -c 40000000 /dev/urandom >big.bin
printf '<config><File><getFile>%s</getFile></File></config>' "$WORK/big.bin" >big.xml
mkdir signals
for delay in 0.5 1.5 3; do
  "$EXE" /source big.xml /dest signals/r.tavisk /seal cert.pem </dev/null >/dev/null 2>&1 &
  run=$!
  sleep "$delay"
  kill -s TERM $run 2>/dev/null || true
  wait $run && status=0 || status=$?
  expect_eq "$(ls -A signals | grep -v '^r\.tavisk\.p7m$' || true)" "" "TERM after ${delay}s (status $status): nothing plain left"
  rm -f signals/*
done

run_tool "$EXE" /source "$WORK/known.xml" /check /seal "$WORK/expired.pem"
expect_eq "$STATUS" 2 "/check /seal with an expired certificate"

finish
