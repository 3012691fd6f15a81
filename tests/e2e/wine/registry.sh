#!/usr/bin/env bash
# Registry requests of the reference Windows build under Wine against a registry filled with
# `reg import`: the registry section byte for byte, the 64-bit view, very large
# values and a deep tree.
source "$(dirname "$0")/../lib.sh"
EXE=$REFERENCE_EXE
HERE=$TAVISK_SOURCE_DIR/tests/e2e/wine

# Imports a .reg text (UTF-8) into the 64-bit view, as Unicode so that hex data stays raw.
import_reg() {
  (printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$1") >"$WORK/import.reg"
  wine_run reg import "$WORK/import.reg" /reg:64 >/dev/null 2>&1
}
forget_key() { wine_run reg delete "$1" /f /reg:64 >/dev/null 2>&1 || true; }

# run_requests NAME REQUESTS [EXE]: runs the tool on one Registry block and leaves
# the report's registry section in $WORK/NAME.section, byte for byte.
run_requests() {
  printf '<config>\n  <Registry>\n%s\n  </Registry>\n</config>\n' "$2" >"$WORK/$1.xml"
  run_tool "${3:-$EXE}" /source "$(winpath "$WORK/$1.xml")" /dest "$(winpath "$WORK/$1-report.tavisk")"
  report_of "$WORK/$1-report" | sed -n '/^<registry>\r$/,/^<\/registry>\r$/p' >"$WORK/$1.section"
}

for key in 'HKLM\SOFTWARE\TaviskRegistryTest' 'HKCU\Software\TaviskRegistryTest' 'HKLM\SOFTWARE\TaviskRegistryLarge'; do
  forget_key "$key"
done
import_reg "$HERE/registry.reg"

# The 32-bit build sees keys imported into the 64-bit view only because it reads
# that view.
FIXTURE_REQUESTS='    <getKey>HKEY_LOCAL_MACHINE\SOFTWARE\TaviskRegistryTest</getKey>
    <getKey>HKEY_CURRENT_USER\Software\TaviskRegistryTest</getKey>
    <getValue>HKEY_LOCAL_MACHINE\SOFTWARE\TaviskRegistryTest\String</getValue>
    <getValue>hkey_local_machine\software\taviskregistrytest\</getValue>
    <getValue>HKEY_LOCAL_MACHINE\SOFTWARE\TaviskRegistryTest\Missing</getValue>
    <getValue>HKEY_LOCAL_MACHINE\SOFTWARE\NoSuchKey\String</getValue>
    <getValue>HKEY_LOCAL_MACHINE\SOFTWARE\TaviskRegistryTest\Quote"<&></getValue>
    <getValue>HKEY_CURRENT_USER\Software\TaviskRegistryTest\Colour</getValue>
    <getValue>HKLM\SOFTWARE\TaviskRegistryTest\String</getValue>
    <getValue>
      HKEY_LOCAL_MACHINE\SOFTWARE\TaviskRegistryTest\String</getValue>
    <getValue>HKEY_LOCAL_MACHINE\\SOFTWARE\TaviskRegistryTest\String</getValue>
    <getValue>HKEY_LOCAL_MACHINE\</getValue>
    <getKey>HKEY_LOCAL_MACHINE\SOFTWARE\TaviskRegistryTest\Nested\</getKey>
    <getKey>HKEY_LOCAL_MACHINE\SOFTWARE\TaviskRegistryTest\Empty </getKey>
    <getKey>HKEY_LOCAL_MACHINE</getKey>
    <getKey>HKLM\SOFTWARE</getKey>
    <getKey>Unknown_Root\</getKey>'
run_requests fixture "$FIXTURE_REQUESTS"
expect_file_bytes "$WORK/fixture.section" "$HERE/registry-expected.txt" "registry section of the fixture"
run_requests fixture64 "$FIXTURE_REQUESTS" "$TAVISK_WIN64_EXE"
expect_file_bytes "$WORK/fixture64.section" "$HERE/registry-expected.txt" "the 64-bit build reads the same"

# Values of several megabytes and a tree as deep as the registry allows (512 levels).
megabytes=$(head -c 3000000 /dev/zero | tr '\0' 'x')
deep=$(printf 'k\\%.0s' $(seq 509))k
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\TaviskRegistryLarge]\n"Text"="%s"\n"Data"=hex:%s00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\TaviskRegistryLarge\\%s]\n"leaf"=dword:00000001\n' \
  "$megabytes" "$(head -c 1000000 /dev/zero | sed 's/\x0/ab,/g')" "$deep" >"$WORK/large.reg"
import_reg "$WORK/large.reg"
run_requests large '    <getValue>HKEY_LOCAL_MACHINE\SOFTWARE\TaviskRegistryLarge\Text</getValue>
    <getKey>HKEY_LOCAL_MACHINE\SOFTWARE\TaviskRegistryLarge</getKey>'
large=$(tr -d '\r' <"$WORK/large.section")
expect_eq "$(sed -n 2p <<<"$large")" "<key name=\"HKEY_LOCAL_MACHINE\\SOFTWARE\\TaviskRegistryLarge\\Text\" type=\"String\">$megabytes</key>" \
  "a 3-megabyte string value whole"
expect_eq "$(grep -c '^<key name=' <<<"$large")" 513 "one line per deep key and value"
expect_eq "$(sed -n 3p <<<"$large")" "<key name=\"HKEY_LOCAL_MACHINE\\SOFTWARE\\TaviskRegistryLarge\\${deep}\\leaf\" type=\"DWORD\">1</key>" \
  "the deepest key's value first"
expect_eq "$(grep -c '^0x00ab 0x00ab 0x00ab 0x00ab 0x00ab 0x00ab 0x00ab 0x00ab $' <<<"$large")" 125000 \
  "a 1-megabyte binary value whole"

for key in 'HKLM\SOFTWARE\TaviskRegistryTest' 'HKCU\Software\TaviskRegistryTest' 'HKLM\SOFTWARE\TaviskRegistryLarge'; do
  forget_key "$key"
done
finish
