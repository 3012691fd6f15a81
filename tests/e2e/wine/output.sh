#!/usr/bin/env bash
# Each Windows build's report on disk under Wine: sections that spill give the
# same bytes; links at the names a run once used, leftovers and a second run
# at once change nothing of a run; the configuration may carry the report's name.
source "$(dirname "$0")/../lib.sh"
HOST=$(hostname | tr 'a-z' 'A-Z' | cut -c1-15)
tool_path() { winpath "$1" | tr 'A-Z' 'a-z'; }
engines=$TAVISK_SOURCE_DIR/build/engines

# A log larger than a section's buffer, in lines that end in CR LF; a registry
# request after it holds the file section back, so it spills.
for i in $(seq 1 80000); do printf 'Zeile %d \xe4\xf6\xfc <&>\r\n' "$i"; done >big.log
printf '<config><File><getFile>%s</getFile></File><Registry><getValue>HKEY_CURRENT_USER\\none</getValue></Registry></config>' \
  "$(tool_path "$WORK/big.log")" >conf.xml
{
  printf '<?xml version="1.0"?>\r\r\n<computer hostname="%s" username="%s\\%s" date="0">\r\n' \
    "$HOST" "$HOST" "$(id -un)"
  printf '<registry>\r\n<key name="HKEY_CURRENT_USER\\none">File not found.\r\r\n</key>\r\n</registry>\r\n<file>\r\n'
  printf '<filecontent name="%s" noparse="TRUE">\r\n' "$(tool_path "$WORK/big.log")"
  iconv -f latin1 -t utf-8 big.log
  printf '\r\n</filecontent>\r\n</file>\r\n</computer>'
} >expected.xml
printf 'precious' >target.txt
source=$(tool_path "$WORK/conf.xml")

for build in "${WINDOWS_BUILDS[@]}"; do
  read -r arch exe engine name <<<"$build"
  mkdir "$arch"
  cp "$exe" "$arch/tavisk.exe"
  cp "$engines/$engine/7z.dll" "$arch/$name"
  run() { run_tool "$arch/tavisk.exe" /source "$source" /dest "$(tool_path "$WORK/$arch/$1")"; }

  run big.tavisk
  expect_eq "$STATUS" 0 "$arch: spilled report: exit status"
  7zz e -so "$arch/big.tavisk" 2>/dev/null | report_without_date /dev/stdin >packed.xml
  expect_file_bytes packed.xml expected.xml "$arch: spilled report: the bytes of an in-memory one"

  # Links at every name a run once used beside its archive: no target written, the links stay.
  for name in r.xml r.tavisk.part r.xml.file.tmp r.xml.file.1.tmp; do ln -s ../target.txt "$arch/$name"; done
  # Leftovers of earlier runs under the private pattern stay as they were.
  for i in $(seq 0 100); do printf 'left' >"$arch/tavisk-$(printf '%032x' "$i").tmp"; done
  # Two runs at once with the same destination: both succeed, the archive is whole.
  wine_run "$arch/tavisk.exe" /source "$source" /dest "$(tool_path "$WORK/$arch/r.tavisk")" </dev/null >/dev/null 2>&1 &
  first=$!
  run r.tavisk
  wait $first && other=0 || other=$?
  expect_eq "$STATUS $other" "0 0" "$arch: two runs at once: both succeed"
  expect_contains "$(7zz t "$arch/r.tavisk" 2>&1)" "Everything is Ok" "$arch: two runs at once: the archive tests OK"
  expect_eq "$(cat target.txt)" precious "$arch: links at the names a run once used: their target is untouched"
  expect_eq "$(find "$arch" -type l | wc -l)" 4 "$arch: links at the names a run once used: they stay"
  expect_eq "$(cat "$arch"/tavisk-*.tmp | tr -d '\n' | sed 's/left//g')$(ls "$arch"/tavisk-*.tmp | wc -l)" 101 \
    "$arch: leftovers: left as they were, nothing added"
  rm "$arch"/tavisk-*.tmp

  # The configuration named like the report is read and left as it was.
  cp conf.xml "$arch/inv.xml"
  run_tool "$arch/tavisk.exe" /source "$(tool_path "$WORK/$arch/inv.xml")" /dest "$(tool_path "$WORK/$arch/inv.tavisk")"
  expect_eq "$STATUS" 0 "$arch: configuration named like the report: the run succeeds"
  expect_file_bytes "$arch/inv.xml" conf.xml "$arch: configuration named like the report: left as it was"

  # Only the trailing ".tavisk" is the extension.
  mkdir "$arch/x.tavisk.d"
  printf 'unrelated' >"$arch/x.xml"
  run x.tavisk.d/r.tavisk
  expect_eq "$(ls "$arch/x.tavisk.d")" "r.tavisk" "$arch: destination in x.tavisk.d: the archive where asked"
  expect_eq "$(cat "$arch/x.xml")" unrelated "$arch: destination in x.tavisk.d: x.xml untouched"
  expect_eq "$(find "$WORK" -name 'tavisk-*.tmp')" "" "$arch: no file of the run's own left"
done
finish
