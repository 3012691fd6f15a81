#!/usr/bin/env bash
# tavisk-report on archives the tool wrote with every function's elements (read
# back byte for byte, as every test's reports are): the summary, the comparison,
# and archives that hold no report.
source "$(dirname "$0")/../lib.sh"
READER=$TAVISK_REPORT_EXE

# Names and contents that look like markup, and a contents line that is the end tag.
mkdir -p 'tree/sub&<dir>' tree/empty
printf '<script>alert("x")</script> & "q"\n</filecontent>\nlast line\r\n' >'tree/a&b<c>.txt'
printf 'x' >'tree/sub&<dir>/f.txt'
cat >all.xml <<CONF
<config>
  <Registry>
    <getValue>HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProductName</getValue>
    <getValue>HKEY_CURRENT_USER\none</getValue>
    <getKey>HKEY_LOCAL_MACHINE\HARDWARE\DESCRIPTION\System\CentralProcessor</getKey>
  </Registry>
  <File>
    <getFile>$WORK/tree/a&amp;b&lt;c&gt;.txt</getFile>
    <getFile>$WORK/missing.txt</getFile>
    <getFileVersion>/bin/sh</getFileVersion>
    <getFileVersion>$WORK/missing.txt</getFileVersion>
  </File>
  <Directory>
    <getDirectories>$WORK/tree</getDirectories>
    <getDirectoriesRecursively>$WORK/tree</getDirectoriesRecursively>
    <getDirectoriesAndFiles>$WORK/tree</getDirectoriesAndFiles>
    <getDirectoriesAndFilesRecursively>$WORK/tree</getDirectoriesAndFilesRecursively>
    <getFiles>$WORK/tree</getFiles>
    <getFilesRecursively>$WORK/tree\*.txt</getFilesRecursively>
    <getFiles>$WORK/missing</getFiles>
  </Directory>
  <System>
    <getSystem>ALL</getSystem>
    <getUser>$(hostname)\root</getUser>
  </System>
  <Service>
    <getServiceStatus>ALL</getServiceStatus>
    <getServiceStatus>no-such-service</getServiceStatus>
  </Service>
</config>
CONF
# The configuration parser takes no entities: the names go in as they are.
sed -i 's/&amp;/\&/; s/&lt;/</; s/&gt;/>/' all.xml
run_tool "$TAVISK_EXE" /source "$WORK/all.xml" /dest "$WORK/r1.tavisk"
expect_eq "$STATUS" 0 "report of every function: written"
7zz e -so r1.tavisk >r1.xml 2>/dev/null

run_tool "$READER" show r1.tavisk
expect_eq "$STATUS" 0 "show: exit status"
expect_contains "$OUT" "Computer:       $(hostname)" "show: computer"
expect_contains "$OUT" "filecontent $WORK/missing.txt: File not found" "show: a failure with its request"
expect_contains "$OUT" "Prozessor:" "show: processor"
run_tool "$READER" show --json r1.xml
expect_eq "$STATUS" 0 "show --json of the report file: exit status"
expect_eq "$(printf '%s' "$OUT" | python3 -c 'import json,sys; print(json.load(sys.stdin)["computer"]["hostname"])')" \
  "$(hostname)" "show --json: one JSON object"

# Two runs of one machine differ in nothing lasting; a changed file shows.
run_tool "$READER" diff r1.tavisk r1.xml
expect_eq "$STATUS:$OUT" "0:Keine Unterschiede" "diff of one report: no differences"
printf 'changed\n' >'tree/a&b<c>.txt'
run_tool "$TAVISK_EXE" /source "$WORK/all.xml" /dest "$WORK/r2.tavisk"
run_tool "$READER" diff r1.tavisk r2.tavisk
expect_eq "$STATUS" 1 "diff after a change: differences found"
expect_contains "$OUT" "geaendert file filecontent $WORK/tree/a&b<c>.txt: 60 Bytes" "diff: the changed contents"
run_tool "$READER" diff --json r1.tavisk r2.tavisk
expect_eq "$(printf '%s' "$OUT" | python3 -c 'import json,sys; print(len(json.load(sys.stdin)["changes"]))')" 4 \
  "diff --json: the same changes as one JSON object"
# Another computer's report is compared all the same, after a warning.
sed '2s/hostname="[^"]*"/hostname="other"/' r1.xml >other.xml
run_tool "$READER" diff r1.xml other.xml
expect_eq "$STATUS:$(printf '%s' "$OUT" | head -1)" "0:Warnung: Berichte verschiedener Computer ($(hostname), other)" \
  "diff of two computers: warning, no differences"

# A name with terminal escapes and bytes that are no UTF-8 (a Linux run writes
# control characters as U+FFFD, a report from elsewhere may hold them): the
# terminal sees them as escapes, JSON parsers get valid UTF-8.
sed "4a<properties name=\"/x$(printf '\033]0;pwned\007\377').txt\">1|2|3|none|none</properties>\r" r1.xml >r3.xml
run_tool "$READER" diff r1.xml r3.xml
expect_eq "$STATUS:$(printf '%s' "$OUT" | tr -d -c '\033\007' | wc -c)" 1:0 "diff of a hostile name: no escapes"
expect_contains "$OUT" 'x\x1b]0;pwned\x07' "diff of a hostile name: shown visibly"
run_tool "$READER" diff --json r1.xml r3.xml
expect_eq "$(printf '%s' "$OUT" | python3 -c 'import json,sys; json.loads(sys.stdin.buffer.read().decode()); print("valid")')" \
  valid "diff --json of a hostile name: valid UTF-8 JSON"

# A damaged stretch costs only itself: listed with the failures, compared as text.
sed '4a<properties name="/a</properties>\r\nb">1|2|3|none|none</properties>\r' r1.xml >damaged.xml
run_tool "$READER" show damaged.xml
expect_eq "$STATUS" 0 "show of a damaged report: exit status"
expect_contains "$OUT" "unlesbar Zeilen 5-6: <properties name=" "show of a damaged report: the stretch"
run_tool "$READER" diff r1.xml damaged.xml
expect_contains "$STATUS:$OUT" "1:hinzugefuegt " "diff of a damaged report: the stretch"
expect_contains "$OUT" " unlesbar <properties name=\"/a</properties>: " "diff of a damaged report: by its first line"
run_tool "$READER" load fleet.db damaged.xml
expect_eq "$STATUS:$(sqlite3 fleet.db 'SELECT section, first_line, last_line FROM unreadable')" "0:registry|5|6" \
  "load of a damaged report: the stretch in a table of its own"

# Archives without exactly one report, and what is not an archive at all.
7zz a -bso0 two.7z r1.xml all.xml
7zz a -bso0 foreign.7z all.xml
head -c 200 r1.tavisk >cut.tavisk
7zz a -bso0 -pgeheim secret.7z r1.xml
7zz a -bso0 -pgeheim -mhe=on hidden.7z r1.xml
for case in "two.7z:Archiv enthaelt 2 Eintraege" "foreign.7z:Zeile 1: kein Tavisk-Bericht" \
  "secret.7z:Archiv ist durch ein Kennwort geschuetzt" "hidden.7z:Archiv ist durch ein Kennwort geschuetzt" \
  "cut.tavisk:Archiv nicht lesbar" "missing.tavisk:Datei nicht lesbar"; do
  run_tool "$READER" show "${case%%:*}"
  expect_eq "$STATUS" 2 "${case%%:*}: exit status"
  expect_contains "$ERR" "${case#*:}" "${case%%:*}: message"
done
run_tool "$READER" show
expect_eq "$STATUS" 2 "no file: exit status"
run_tool "$READER" --help
expect_contains "$STATUS:$OUT" "0:Aufruf: tavisk-report BEFEHL" "help"
finish
