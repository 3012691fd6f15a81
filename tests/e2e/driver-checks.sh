# The driver's end-to-end checks, shared by the Linux and the Windows builds.
# The caller sets EXE, HOST (the computer name the build reports), USERNAME
# (domain\account) and the functions tool_path PATH, the build's form of a path
# given on its command line, and exe_path PATH, its form of a path it derives
# from its own location.

banner="Velmora Tavisk
Copyright (c) Velmora. Alle Rechte vorbehalten.
Komprimierung: 7-Zip 9.20
$(printf '%080d' 0 | tr 0 -)"
prompt="
<ENTER> um zu beenden"

run_tool "$EXE" something /? /source
expect_eq "$STATUS" 0 "help exits with 0"
expect_eq "$OUT" "$banner
/source [Pfadangabe]	Pfadangabe zur Konfigurationsdatei. Dies ist zwingend erforderlich
/dest [Pfadangabe]	Pfadangabe zur Ausgabedatei. Wenn nicht angegeben wird eine \"Datum-Uhrzeit.txt\" im Verzeichnis VelmoraUMS\\log angelegt.
/?	zeigt die Hilfe an.
/check	prueft die Konfigurationsdatei und zeigt, welche Anfragen ausgefuehrt werden; ermittelt keine Daten.
/seal [Pfadangabe]	versiegelt die Ausgabedatei mit dem Zertifikat des Supports (PEM oder DER); geschrieben wird nur die Datei mit der Endung .p7m.
$prompt" "help text"

run_tool "$EXE" /source a.xml /dest
expect_eq "$STATUS" 255 "a switch without its path ends with -1"
expect_eq "$OUT" "$banner
Es fehlt eine Pfadangabe in der Uebergabe!
$prompt" "missing path message"

# A configuration with every kind of content the report frame must carry through.
printf 'x < & y\r\n\xe4\xf6 \xf0\x9f\x98\x80\n' >content.txt
: >empty.txt
content=$(tool_path "$WORK/content.txt")
empty=$(tool_path "$WORK/empty.txt")
printf '<?xml version="1.0"?>\r\n<!-- inventory -->\r\n<config>\r\n  <File>\r\n    <getFile>%s</getFile>\r\n    <getFile>%s</getFile>\r\n    <getFile>%s</getFile>\r\n    <getKey>misplaced</getKey>\r\n  </File>\r\n  <Unknown><getFile>x</getFile></Unknown>\r\n</config>\r\n' \
  "$content" "$empty" "$(tool_path "$WORK/none.txt")" >config.xml
run_tool "$EXE" /source "$(tool_path "$WORK/config.xml")" /dest "$(tool_path "$WORK/report.tavisk")"
expect_eq "$STATUS" 0 "a full run exits with 0"
expect_eq "$OUT" "$banner
Konfigurationsdatei:	$(tool_path "$WORK/config.xml")
Daten werden ermittelt: Bitte warten...beendet!
Ausgabedatei:		$(tool_path "$WORK/report.tavisk")
$prompt" "console of a full run"
{
  printf '<?xml version="1.0"?>\r\r\n<computer hostname="%s" username="%s" date="0">\r\n<file>\r\n' "$HOST" "$USERNAME"
  printf '<filecontent name="%s" noparse="TRUE">\r\nx < & y\r\n\xc3\xa4\xc3\xb6 \xc3\xb0\xc2\x9f\xc2\x98\xc2\x80\r\n\r\n</filecontent>\r\n' "$content"
  printf '<filecontent name="%s" noparse="TRUE">\r\n\r\n</filecontent>\r\n' "$empty"
  printf '<filecontent name="%s">File not found</filecontent>\r\n' "$(tool_path "$WORK/none.txt")"
  printf '</file>\r\n</computer>'
} >expected.xml
report_of report | report_without_date /dev/stdin >actual.xml
expect_file_bytes actual.xml expected.xml "report bytes"
expect_eq "$(grep -c date= actual.xml)" 1 "the report carries a date"

# Configurations that yield nothing to collect: no report, status 0, nothing damaged.
printf 'older' >keep.tavisk
for bad in empty binary truncated flat; do
  case $bad in
    empty) : >bad.xml ;;
    binary) head -c 4096 /dev/urandom | tr -d '<' >bad.xml ;;
    truncated) printf '<config><File><getFile>x</getFile></File>' >bad.xml ;;
    flat) printf '<getFile>x</getFile>' >bad.xml ;;
  esac
  run_tool "$EXE" /source "$(tool_path "$WORK/bad.xml")" /dest "$(tool_path "$WORK/keep.tavisk")"
  expect_eq "$STATUS" 0 "$bad configuration exits with 0"
  expect_eq "$OUT" "$banner
Konfigurationsdatei:	$(tool_path "$WORK/bad.xml")
$prompt" "$bad configuration console"
  expect_eq "$(cat keep.tavisk)" older "$bad configuration leaves the older archive alone"
  expect_eq "$(ls keep.xml 2>/dev/null)" "" "$bad configuration writes no report"
done

run_tool "$EXE" /source "$(tool_path "$WORK/missing.xml")" /dest "$(tool_path "$WORK/keep.tavisk")"
expect_eq "$STATUS" 0 "missing configuration exits with 0"
expect_eq "$OUT" "$banner
Die Konfigurationsdatei konnte nicht geoeffnet werden!
$prompt" "missing configuration console"

run_tool "$EXE" /source "$(tool_path "$WORK/config.xml")" /dest "$(tool_path "$WORK/no/such/dir/r.tavisk")"
expect_eq "$STATUS" 255 "unwritable report exits with -1"
expect_contains "$OUT" "Konfigurationsdatei:	$(tool_path "$WORK/config.xml")
Die ermittelten Informationen konnten nicht in XML geschrieben werden!" "unwritable report message"

# No arguments: the configuration beside the executable, the archive named after the computer and the minute.
mkdir bin
cp "$EXE" bin/
printf '<config><File><getFile>none</getFile></File></config>' >bin/standard.xml
before=$(date +%Y%m%d%H%M)
run_tool "bin/$(basename "$EXE")"
after=$(date +%Y%m%d%H%M)
# Status 0 only with an archive (the Windows builds have no engine beside them in bin/).
expect_eq "$STATUS" "$(ls bin/*.tavisk >/dev/null 2>&1 && echo 0 || echo 255)" "default run: the status tells whether an archive was written"
expect_contains "$OUT" "Konfigurationsdatei:	$(exe_path "$WORK/bin/standard.xml")" "default configuration"
made=$(cd bin && ls | grep -E "^${HOST}_[0-9]{12}\.(xml|tavisk)$" | head -n 1)
stamp=${made#"${HOST}_"}
stamp=${stamp%%.*}
if [ -z "$made" ] || [ "$stamp" -lt "$before" ] || [ "$stamp" -gt "$after" ]; then
  fail "default archive name: $(ls bin)"
fi
