#!/usr/bin/env bash
# Each Windows build's report on disk under Wine: sections that spill give the
# same bytes, and nothing but the tool's own files is written, followed or
# deleted at the report's path.
source "$(dirname "$0")/../lib.sh"
HOST=$(hostname | tr 'a-z' 'A-Z' | cut -c1-15)
tool_path() { winpath "$1" | tr 'A-Z' 'a-z'; }
engines=$TAVISK_SOURCE_DIR/build/engines

# A log larger than a section's buffer, in lines that end in CR LF.
for i in $(seq 1 80000); do printf 'Zeile %d \xe4\xf6\xfc <&>\r\n' "$i"; done >big.log
printf '<config><File><getFile>%s</getFile></File></config>' "$(tool_path "$WORK/big.log")" >conf.xml
{
  printf '<?xml version="1.0"?>\r\r\n<computer hostname="%s" username="%s\\%s" date="0">\r\n<file>\r\n' \
    "$HOST" "$HOST" "$(id -un)"
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

  # The configuration, another file, or a link (dangling or not) at the report's path stops the run.
  cp conf.xml "$arch/inv.xml"
  ln -s ../target.txt "$arch/linked.xml"
  ln -s nowhere.txt "$arch/dangling.xml"
  for taken in inv linked dangling; do
    run_tool "$arch/tavisk.exe" /source "$(tool_path "$WORK/$arch/inv.xml")" /dest "$(tool_path "$WORK/$arch/$taken.tavisk")"
    expect_eq "$STATUS" 255 "$arch: $taken at the report's path: exit status"
    expect_contains "$OUT" "Die Datei $(tool_path "$WORK/$arch/$taken.xml") ist bereits vorhanden und wird nicht ueberschrieben!" \
      "$arch: $taken at the report's path: message"
  done
  expect_file_bytes "$arch/inv.xml" conf.xml "$arch: configuration at the report's path: left as it was"
  expect_eq "$(cat target.txt)" precious "$arch: link at the report's path: its target is untouched"
  expect_eq "$(ls "$arch/nowhere.txt" 2>/dev/null)" "" "$arch: dangling link: nothing created at its target"

  # Only the trailing ".tavisk" is the extension.
  mkdir "$arch/x.tavisk.d"
  printf 'unrelated' >"$arch/x.xml"
  run x.tavisk.d/r.tavisk
  expect_eq "$(ls "$arch/x.tavisk.d")" "r.tavisk" "$arch: destination in x.tavisk.d: the archive where asked"
  expect_eq "$(cat "$arch/x.xml")" unrelated "$arch: destination in x.tavisk.d: x.xml untouched"
  expect_eq "$(find "$WORK" -name '*.tmp')" "" "$arch: no section file left"
done
finish
