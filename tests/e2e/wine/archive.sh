#!/usr/bin/env bash
# Both Windows builds pack their report with the real engine DLL under Wine, and
# the reference build reports every packing failure while the report survives.
source "$(dirname "$0")/../lib.sh"
HOST=$(hostname | tr 'a-z' 'A-Z' | cut -c1-15)
tool_path() { winpath "$1" | tr 'A-Z' 'a-z'; }
engines=$TAVISK_SOURCE_DIR/build/engines
if [ ! -f "$engines/ia32/7z.dll" ] || [ ! -f "$engines/x64/7z.dll" ]; then
  echo "FAIL: the Windows engine is missing; run scripts/setup.sh test" >&2
  exit 1
fi

failure_lines="Problem beim Komprimieren! Bitte wenden Sie sich an den Hersteller!"
continue_line="Bitte druecken Sie die Eingabe-Taste um fort zu fahren!"

printf 'inventory \xc3\xa4 line\n' >content.txt
printf '<config><File><getFile>%s</getFile></File></config>' "$(tool_path "$WORK/content.txt")" >known.xml
{
  printf '<?xml version="1.0"?>\r\r\n<computer hostname="%s" username="%s\\%s" date="0">\r\n<file>\r\n' \
    "$HOST" "$HOST" "$(id -un)"
  printf '<filecontent name="%s" noparse="TRUE">\r\ninventory \xc3\x83\xc2\xa4 line\r\n\r\n</filecontent>\r\n' \
    "$(tool_path "$WORK/content.txt")"
  printf '</file>\r\n</computer>'
} >expected.xml

# install FOLDER EXE [ENGINE NAME]: the build, and the engine under the name it loads, in a folder of their own.
install() {
  mkdir -p "$1"
  cp "$2" "$1/tavisk.exe"
  if [ $# -gt 2 ]; then cp "$3" "$1/$4"; fi
}

for build in "${WINDOWS_BUILDS[@]}"; do
  read -r arch exe engine name <<<"$build"
  install "$arch" "$exe" "$engines/$engine/7z.dll" "$name"
  printf 'older archive' >"$arch/r.tavisk"
  run_tool "$arch/tavisk.exe" /source "$(tool_path "$WORK/known.xml")" /dest "$(tool_path "$WORK/$arch/r.tavisk")"
  expect_eq "$ERR" "" "$arch: packing reports no failure"
  expect_eq "$(ls "$arch")" "$name
r.tavisk
tavisk.exe" "$arch: the archive replaces the older one and the report is gone"
  expect_contains "$(7zz t "$arch/r.tavisk")" "Everything is Ok" "$arch: the archive tests OK"
  listing=$(7zz l -slt "$arch/r.tavisk")
  expect_eq "$(grep -c '^Path = ' <<<"$listing")" 2 "$arch: the archive holds one item"
  expect_contains "$listing" "Path = $(tool_path "$WORK/$arch/r.xml" | tr '\\' /)" "$arch: the item's full path"
  7zz e -so "$arch/r.tavisk" 2>/dev/null | report_without_date /dev/stdin >packed.xml
  expect_file_bytes packed.xml expected.xml "$arch: the item holds the report's bytes"
done

# expect_packing_failure DESCRIPTION ARCHIVE: the two failure lines, the Enter
# request answered, then the driver's last lines naming the archive and the
# report kept beside it; no archive, so status -1.
expect_packing_failure() {
  expect_eq "$ERR" "$failure_lines" "$1: failure line on the error stream"
  expect_contains "$OUT" "$continue_line
Ausgabedatei:		$2
Bericht:		${2%.tavisk}.xml

<ENTER> um zu beenden" "$1: operator asked for Enter, run goes on"
}

# expect_report_failure DESCRIPTION: the report cannot be created, so nothing is
# collected or packed and the run ends with -1.
expect_report_failure() {
  expect_eq "$STATUS" 255 "$1: exit status"
  expect_eq "$ERR" "" "$1: no packing failure"
  expect_contains "$OUT" "Die ermittelten Informationen konnten nicht in XML geschrieben werden!

<ENTER> um zu beenden" "$1: report failure, then the prompt"
}

install bare "$REFERENCE_EXE"
printf 'older archive' >bare/r.tavisk
run_tool bare/tavisk.exe /source "$(tool_path "$WORK/known.xml")" /dest "$(tool_path "$WORK/bare/r.tavisk")"
expect_packing_failure "engine missing" "$(tool_path "$WORK/bare/r.tavisk")"
expect_eq "$(cat bare/r.tavisk)" "older archive" "engine missing: the older archive stays as it was"
expect_eq "$(report_without_date bare/r.xml)" "$(cat expected.xml)" "engine missing: the report stays"

printf 'int tavisk_not_an_engine(void) { return 1; }\n' >stub.c
"$REFERENCE_GCC" -shared -o stub.dll stub.c
install stub "$REFERENCE_EXE" stub.dll "$REFERENCE_ENGINE_NAME"
run_tool stub/tavisk.exe /source "$(tool_path "$WORK/known.xml")" /dest "$(tool_path "$WORK/stub/r.tavisk")"
expect_packing_failure "engine without CreateObject" "$(tool_path "$WORK/stub/r.tavisk")"
expect_eq "$(ls stub/r.*)" "stub/r.xml" "engine without CreateObject: the report stays"

run_tool "$REFERENCE_ARCH/tavisk.exe" /source "$(tool_path "$WORK/known.xml")" /dest "$(tool_path "$WORK/missing/r.tavisk")"
expect_report_failure "missing directory"

# The archive's name taken by a folder: packing succeeds, the rename fails and the run says so.
mkdir "$REFERENCE_ARCH/taken.tavisk"
taken=$(tool_path "$WORK/$REFERENCE_ARCH/taken.tavisk")
run_tool "$REFERENCE_ARCH/tavisk.exe" /source "$(tool_path "$WORK/known.xml")" /dest "$taken"
expect_eq "$STATUS:$ERR" "255:" "archive name taken: status, no packing failure"
expect_contains "$OUT" "Das Archiv konnte nicht unter dem Namen der Ausgabedatei abgelegt werden: " "archive name taken: said"
expect_contains "$OUT" "Ausgabedatei:		$taken
Bericht:		${taken%.tavisk}.xml" "archive name taken: the report named"
expect_eq "$(cd "$REFERENCE_ARCH" && ls -d taken.*)" "taken.tavisk
taken.xml" "archive name taken: report kept, nothing partial"

run_tool "$REFERENCE_ARCH/tavisk.exe" /source "$(tool_path "$WORK/known.xml")" \
  /dest "$(tool_path "$WORK")\\$(printf 'n%.0s' $(seq 300)).tavisk"
expect_eq "$STATUS" 255 "destination name too long: status"
expect_contains "$OUT" "Der Name der Ausgabedatei ist zu lang" "destination name too long: refused at the start"

# The destination folder renamed from Windows while the run collects: the run
# holds it, so the rename is refused and the archive lands where it was named.
# Only a rename that returned while the run was alive tells; when the run ended
# first (Wine's start of cmd can take longer than packing), the round is tried
# again with four times the text.
for build in "${WINDOWS_BUILDS[@]}"; do
  read -r arch _ <<<"$build"
  for size in 6000000 24000000 96000000; do
    head -c $size /dev/urandom | base64 -w 100 >big.txt
    printf '<config><File><getFile>%s</getFile></File></config>' "$(tool_path "$WORK/big.txt")" >big.xml
    mkdir dest
    wine_run "$arch/tavisk.exe" /source "$(tool_path "$WORK/big.xml")" /dest "$(tool_path "$WORK/dest/r.tavisk")" \
      </dev/null >moved.out 2>&1 &
    run=$!
    until [ -n "$(find dest -name 'tavisk-*.tmp' -size +1M)" ] || ! kill -0 $run 2>/dev/null; do sleep 0.1; done
    wine_run cmd /c move "$(tool_path "$WORK/dest")" "$(tool_path "$WORK/moved")" >/dev/null 2>&1 || true
    kill -0 $run 2>/dev/null && during=yes || during=no
    wait $run && status=0 || status=$?
    [ $during = yes ] && break
    rm -rf moved dest
  done
  expect_eq "$during" yes "$arch: destination folder renamed: the rename came during the run"
  expect_eq "$status:$(ls -d moved 2>/dev/null)" "0:" "$arch: destination folder renamed during the run: refused"
  expect_contains "$(7zz t dest/r.tavisk 2>&1)" "Everything is Ok" "$arch: destination folder renamed: the archive"
  expect_eq "$(ls dest)" "r.tavisk" "$arch: destination folder renamed: nothing else"
  rm -rf moved dest big.txt
done
finish
