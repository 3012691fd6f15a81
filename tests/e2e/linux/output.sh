#!/usr/bin/env bash
# The Linux build's report on disk: sections that spill give the same bytes,
# the archive goes exactly where asked, and a full disk leaves nothing behind.
source "$(dirname "$0")/../lib.sh"
EXE=$TAVISK_EXE
not_written="Die ermittelten Informationen konnten nicht in XML geschrieben werden!"

# expect_no_spill_files DESCRIPTION: no file of the run's own survives it.
expect_no_spill_files() {
  expect_eq "$(find "$WORK" -name 'tavisk-*.tmp')" "" "$1: no file of the run's own left"
}

# A log larger than a section's buffer, in lines that end in CR LF: the
# report holds it as UTF-8 with the same line ends, plus the added line. A
# registry request after it holds the file section back, so it spills.
for i in $(seq 1 80000); do printf 'Zeile %d \xe4\xf6\xfc <&>\r\n' "$i"; done >big.log
printf '<config><File><getFile>%s</getFile></File><Registry><getValue>HKEY_CURRENT_USER\\none</getValue></Registry></config>' "$WORK/big.log" >conf.xml
{
  printf '<?xml version="1.0"?>\r\r\n<computer hostname="%s" username="%s\\%s" date="0">\r\n' \
    "$(hostname)" "$(hostname)" "$(id -un)"
  printf '<registry>\r\n<key name="HKEY_CURRENT_USER\\none">The system cannot find the file specified.\r\r\n</key>\r\n</registry>\r\n<file>\r\n'
  printf '<filecontent name="%s" noparse="TRUE">\r\n' "$WORK/big.log"
  iconv -f latin1 -t utf-8 big.log
  printf '\r\n</filecontent>\r\n</file>\r\n</computer>'
} >expected.xml
run_tool "$EXE" /source "$WORK/conf.xml" /dest "$WORK/big.tavisk"
expect_eq "$STATUS" 0 "spilled report: exit status"
7zz e -so big.tavisk 2>/dev/null | report_without_date /dev/stdin >packed.xml
expect_file_bytes packed.xml expected.xml "spilled report: the bytes of an in-memory one"
expect_no_spill_files "spilled report"

# Only the trailing ".tavisk" is the extension, in both destination forms.
mkdir x.tavisk.d
printf 'unrelated' >x.xml
run_tool "$EXE" /source "$WORK/conf.xml" /dest "$WORK/x.tavisk.d/r.tavisk"
expect_eq "$STATUS" 0 "destination in x.tavisk.d: exit status"
expect_eq "$(ls x.tavisk.d)" "r.tavisk" "destination in x.tavisk.d: the archive where asked"
run_tool "$EXE" /source "$WORK/conf.xml" /dest "$WORK/x.tavisk.d/"
expect_eq "$(ls x.tavisk.d | grep -cE "^$(hostname)_[0-9]{12}\.tavisk$")" 1 "prefix in x.tavisk.d: the archive where asked"
expect_eq "$(cat x.xml)" unrelated "destination in x.tavisk.d: x.xml untouched"
expect_no_spill_files "destinations"

# A full disk while a section spills: the failure path, and nothing left behind.
mkdir full
if unshare -m true 2>/dev/null; then
  set +e
  unshare -m bash -c 'mount -t tmpfs -o size=1m tmpfs "$1" && exec "$2" /source "$3" /dest "$1/r.tavisk"' \
    _ "$WORK/full" "$EXE" "$WORK/conf.xml" </dev/null >.out 2>.err
  STATUS=$?
  set -e
  OUT=$(cat .out)
  expect_eq "$STATUS" 255 "full disk: exit status"
  expect_contains "$OUT" "beendet!
$not_written
Ausgabedatei:		$WORK/full/r.tavisk" "full disk: message"
  expect_eq "$(ls -A full)" "" "full disk: nothing left behind"
else
  echo "SKIP: full disk: no mount namespace to mount a small file system in" >&2
fi
finish
