# End-to-end checks of /check, shared by the Linux and the Windows builds. The
# caller sets EXE and tool_path PATH (the build's form of a path on its command line).
# Each time sourced, it works in a folder of its own.
check_round=$((${check_round:-0} + 1))
D=$WORK/check$check_round
mkdir "$D"
cd "$D"

# /check and a real run must agree on which requests leave something in the report.
for name in served1 served2 merged wrongcat unknown outside replaced; do printf '%s\n' "$name" >"$name.txt"; done
f() { tool_path "$D/$1.txt"; }
printf '<?xml version="1.0"?>\n<config>\n<File>\n<getFile>%s</getFile>\n<getFilez>%s</getFilez>\n</File>\n<Registry><getFile>%s</getFile></Registry>\n<getFile>%s</getFile>\n<File><getFile>%s</getFile></File>\n<Sub a="1"><getFile>%s</getFile></Sub>\n</config>\n<!-- <File><getFile>%s</getFile></File> -->\n' \
  "$(f served1)" "$(f unknown)" "$(f wrongcat)" "$(f outside)" "$(f merged)" "$(f replaced)" "$(f replaced)" >agree.xml
run_tool "$EXE" /check /source "$(tool_path "$D/agree.xml")"
expect_eq "$STATUS" 1 "a check with skipped requests exits with 1"
checked=$(printf '%s\n' "$OUT" | sed -n 's/^[0-9]*\.\tZeile [0-9]*\tFile\tgetFile\t"\(.*\)"$/\1/p')
expect_eq "$checked" "$(f served1)
$(f merged)" "the check lists the served requests in run order"
expect_contains "$OUT" "Zeile 5	<File><getFilez>	unbekannte Funktion" "unknown function with its line"
expect_contains "$OUT" "Zeile 7	<Registry><getFile> (gehoert in <File>)" "misplaced function with its line"
expect_contains "$OUT" "Zeile 10	<Sub a=\"1\">	kein gueltiges Start-Tag" "tag with an attribute with its line"
run_tool "$EXE" /source "$(tool_path "$D/agree.xml")" /dest "$(tool_path "$D/agreed.tavisk")"
reported=$(report_of agreed | tr -d '\r' | sed -n 's/^<filecontent name="\(.*\)" noparse="TRUE">$/\1/p')
expect_eq "$reported" "$checked" "the run serves exactly what the check lists"

printf '<config><File><getFile>%s</getFile></File></config>' "$(f served1)" >clean.xml
run_tool "$EXE" /check /source "$(tool_path "$D/clean.xml")"
expect_eq "$STATUS" 0 "a check where every request runs exits with 0"
expect_eq "$(ls "$D" | grep -c '\.tavisk$')" 1 "a check writes no archive"

# Configurations that cannot be read or hold nothing to run: a clear message and 2.
: >empty.xml
head -c 65536 /dev/urandom >binary.xml
mkdir folder.xml
# Far beyond any real configuration: a hundred thousand lines of unrecognised tags.
awk 'BEGIN { for (i = 0; i < 100000; i++) print "<Registry x=\"1\"><getKey>HKEY_LOCAL_MACHINE\\SOFTWARE</getKey></Registry>" }' \
  >enormous.xml
for bad in missing empty binary folder enormous; do
  run_tool "$EXE" /check /source "$(tool_path "$D/$bad.xml")"
  expect_eq "$STATUS" 2 "$bad configuration: check exits with 2"
  case $bad in
    missing | folder) expect_contains "$OUT" "Die Konfigurationsdatei konnte nicht geoeffnet werden!" "$bad: message" ;;
    *) expect_contains "$OUT" "Die Konfigurationsdatei enthaelt kein Element mit Anfragen" "$bad: message" ;;
  esac
done
