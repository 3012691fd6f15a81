#!/usr/bin/env bash
# The Linux build packs its report with the real engine, and every packing
# failure reaches the operator while the report survives.
source "$(dirname "$0")/../lib.sh"
EXE=$TAVISK_EXE

failure_lines="Problem beim Komprimieren! Bitte wenden Sie sich an den Hersteller!"
continue_line="Bitte druecken Sie die Eingabe-Taste um fort zu fahren!"

# The shipped configuration: one archive and nothing else is left behind.
mkdir default
run_tool "$EXE" /dest "$WORK/default/r.tavisk"
expect_eq "$STATUS" 0 "a default run exits with 0"
expect_eq "$ERR" "" "a default run reports no failure"
expect_eq "$(ls -A default)" "r.tavisk" "a default run leaves exactly the archive"
expect_contains "$(7zz t default/r.tavisk)" "Everything is Ok" "the archive tests OK"
listing=$(7zz l -slt default/r.tavisk)
expect_eq "$(grep -c '^Path = ' <<<"$listing")" 2 "the archive holds one item"
expect_contains "$listing" "Path = $WORK/default/r.xml" "the item carries the report's full path"
report=$(7zz e -so default/r.tavisk 2>/dev/null | head -c 40)
expect_contains "$report" '<?xml version="1.0"?>' "the item is the report"

# A report of known bytes: the archive's item equals it byte for byte.
printf 'inventory \xc3\xa4 line\n' >content.txt
printf '<config><File><getFile>%s</getFile></File></config>' "$WORK/content.txt" >known.xml
printf 'older archive' >r.tavisk
run_tool "$EXE" /source "$WORK/known.xml" /dest "$WORK/r.tavisk"
expect_eq "$(ls r.xml tavisk-*.tmp 2>/dev/null)" "" "packing leaves no report and no partial file"
{
  printf '<?xml version="1.0"?>\r\r\n<computer hostname="%s" username="%s\\%s" date="0">\r\n<file>\r\n' \
    "$(hostname)" "$(hostname)" "$(id -un)"
  printf '<filecontent name="%s" noparse="TRUE">\r\ninventory \xc3\x83\xc2\xa4 line\r\n\r\n</filecontent>\r\n' \
    "$WORK/content.txt"
  printf '</file>\r\n</computer>'
} >expected.xml
7zz e -so r.tavisk 2>/dev/null | report_without_date /dev/stdin >packed.xml
expect_file_bytes packed.xml expected.xml "an older archive is replaced by one holding the report's bytes"

# expect_packing_failure DESCRIPTION ARCHIVE REPORT: the two failure lines, the
# Enter request answered, then the driver's last lines naming the archive and
# the report kept; no archive, so status -1.
expect_packing_failure() {
  expect_eq "$STATUS" 255 "$1: exit status"
  expect_eq "$ERR" "$failure_lines" "$1: failure line on the error stream"
  expect_contains "$OUT" "$continue_line
Ausgabedatei:		$2
Bericht:		$3

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

# The engine missing: the tool copied away, the distribution's engine hidden.
mkdir bin empty
cp "$EXE" bin/tavisk
if unshare -m true 2>/dev/null; then
  printf 'older archive' >r.tavisk
  set +e
  unshare -m bash -c 'for d in /usr/lib/p7zip /usr/libexec/p7zip /usr/lib64/p7zip; do
                        [ -d "$d" ] && mount --bind "$1" "$d"; done
                      exec "$2" /source "$3" /dest "$4"' _ "$WORK/empty" "$WORK/bin/tavisk" "$WORK/known.xml" \
    "$WORK/r.tavisk" </dev/null >.out 2>.err
  STATUS=$?
  set -e
  OUT=$(cat .out)
  ERR=$(cat .err)
  expect_packing_failure "engine missing" "$WORK/r.tavisk" "$WORK/r.xml"
  expect_eq "$(cat r.tavisk)" "older archive" "engine missing: the older archive stays as it was"
  expect_eq "$(report_without_date r.xml)" "$(cat expected.xml)" "engine missing: the report stays"
  rm r.xml
else
  echo "note: no mount namespace here; the missing engine is covered by the Wine test" >&2
fi

# A library beside the executable that lacks the engine's export.
printf 'int tavisk_not_an_engine(void) { return 1; }\n' >stub.c
gcc -shared -fPIC -o bin/7z.so stub.c
run_tool bin/tavisk /source "$WORK/known.xml" /dest "$WORK/r.tavisk"
expect_packing_failure "engine without CreateObject" "$WORK/r.tavisk" "$WORK/r.xml"
expect_eq "$(ls r.xml)" "r.xml" "engine without CreateObject: the report stays"
rm bin/7z.so r.xml

# An engine of the older interface layout (no module property saying otherwise)
# would be called at the wrong slots: it is refused before anything is called.
printf '#include <stdlib.h>\nint CreateObject(void *c, void *i, void **o) { abort(); }\n' >old.c
gcc -shared -fPIC -o bin/7z.so old.c
run_tool bin/tavisk /source "$WORK/known.xml" /dest "$WORK/r.tavisk"
expect_packing_failure "engine of the older layout" "$WORK/r.tavisk" "$WORK/r.xml"
rm bin/7z.so r.xml

# A destination directory that is missing: no report, so nothing to pack.
run_tool "$EXE" /source "$WORK/known.xml" /dest "$WORK/missing/r.tavisk"
expect_report_failure "missing directory"

# A read-only destination directory (root writes anywhere else).
mkdir locked
if unshare -m true 2>/dev/null; then
  set +e
  unshare -m bash -c 'mount --bind "$1" "$1" && mount -o remount,bind,ro "$1" && exec "$2" /source "$3" /dest "$4"' \
    _ "$WORK/locked" "$EXE" "$WORK/known.xml" "$WORK/locked/r.tavisk" </dev/null >.out 2>.err
  STATUS=$?
  set -e
  OUT=$(cat .out)
  ERR=$(cat .err)
  expect_report_failure "read-only directory"
  expect_eq "$(ls -A locked)" "" "read-only directory: nothing written"
fi

# The archive path taken by a directory: packing succeeds, the archive cannot
# take its name, and the run says so; the report stays.
mkdir taken.tavisk
run_tool "$EXE" /source "$WORK/known.xml" /dest "$WORK/taken.tavisk"
expect_eq "$STATUS:$ERR" "255:" "archive name taken: status, no packing failure"
expect_contains "$OUT" "Das Archiv konnte nicht unter dem Namen der Ausgabedatei abgelegt werden: Access is denied.
Ausgabedatei:		$WORK/taken.tavisk
Bericht:		$WORK/taken.xml" "archive name taken: said, the report named"
expect_eq "$(ls -A taken.tavisk)" "" "archive not creatable: the directory is left alone"
expect_eq "$(ls taken.xml tavisk-*.tmp 2>/dev/null)" "taken.xml" "archive not creatable: report kept, nothing partial"
finish
