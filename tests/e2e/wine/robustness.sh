#!/usr/bin/env bash
# Reconverging links under every Windows build that runs here: links are never
# entered and each directory is entered once, so twelve directories with two
# links each to the next are listed in a bounded walk instead of 2^11 times over.
# Devices and pipes are never read as files.
source "$(dirname "$0")/../lib.sh"

report_path() { local path=${1//\//\\}; printf 'Z:%s' "$path"; }

make_link_ladder "$WORK/links"
W=$(report_path "$WORK/links")
printf '<config><Directory><getDirectoriesRecursively>%s</getDirectoriesRecursively><getDirectoriesAndFilesRecursively>%s</getDirectoriesAndFilesRecursively></Directory></config>' \
  "$W" "$W" >"$WORK/config.xml"

for build in "${WINDOWS_BUILDS[@]}"; do
  set -- $build
  rm -f "$WORK/report.tavisk" "$WORK/report.xml"
  run_tool "$2" /source "$(report_path "$WORK/config.xml")" /dest "$(report_path "$WORK/report.tavisk")"
  expect_eq "$STATUS" 0 "$1: the run ends normally"
  # Every directory entry has one element, entered or not: 1 + 12 + 23 and 12 + 23.
  report=$(report_of "$WORK/report" | tr -d '\r')
  expect_eq "$(grep -ac '^<directory ' <<<"$report")" 71 "$1: each directory entered once"
  # Wine shows the links as reparse points: listed, never gone through.
  expect_eq "$(grep -ac '\\[xy]\\[^"]' <<<"$report")" 0 "$1: no entry below a link"
done

# Devices and pipes are no files: their paths are refused before anything is opened.
printf '<config><File>%s</File></config>' '<getFile>COM1</getFile><getFile>CON</getFile><getFile>\\.\pipe\svcctl</getFile><getFile>\\?\GLOBALROOT\Device\Null</getFile><getFileVersion>NUL</getFileVersion>' >"$WORK/devices.xml"
for build in "${WINDOWS_BUILDS[@]}"; do
  set -- $build
  rm -f "$WORK/report.tavisk" "$WORK/report.xml"
  run_tool "$2" /source "$(report_path "$WORK/devices.xml")" /dest "$(report_path "$WORK/report.tavisk")"
  expect_eq "$(report_of "$WORK/report" | tr -d '\r' | sed -n '/^<file>$/,/^<\/file>$/p' | sed '1d;$d')" '<filecontent name="COM1">File not found</filecontent>
<filecontent name="CON">File not found</filecontent>
<filecontent name="\\.\pipe\svcctl">File not found</filecontent>
<filecontent name="\\?\GLOBALROOT\Device\Null">File not found</filecontent>
<searchedproperties name="NUL">Unexpected error</searchedproperties>' "$1: devices and pipes count as files that cannot be read"
done

finish
