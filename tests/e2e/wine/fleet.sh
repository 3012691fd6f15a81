#!/usr/bin/env bash
# tavisk-report.exe load and query with its own SQLite under Wine, on every Windows
# build that runs here: archives of the Linux and the Windows builds, the answers
# equal to the Linux build's, a database made on one side read on the other and its
# archives known there by the same SHA-256, bad archives and a file in the
# database's place refused.
source "$(dirname "$0")/../lib.sh"
engines=$TAVISK_SOURCE_DIR/build/engines
tool_path() { winpath "$1" | tr 'A-Z' 'a-z'; }

cat >windows.xml <<'CONF'
<config><File><getFileVersion>c:\windows\system32\kernel32.dll</getFileVersion></File>
<System><getSystem>ALL</getSystem></System><Service><getServiceStatus>ALL</getServiceStatus></Service></config>
CONF
cat >linux.xml <<'CONF'
<config><System><getSystem>ALL</getSystem></System><Service><getServiceStatus>nosuch</getServiceStatus></Service></config>
CONF
mkdir -p archives/linux
run_tool "$TAVISK_EXE" /source "$WORK/linux.xml" /dest "$WORK/archives/linux/linux.tavisk"
expect_eq "$STATUS" 0 "the Linux build's archive"
for build in "${WINDOWS_BUILDS[@]}"; do
  read -r arch exe engine name <<<"$build"
  mkdir -p "$arch" "archives/$arch"
  cp "$exe" "$(dirname "$exe")/tavisk-report.exe" "$arch/"
  cp "$engines/$engine/7z.dll" "$arch/$name"
  run_tool "$arch/tavisk.exe" /source "$(tool_path "$WORK/windows.xml")" /dest "$(tool_path "$WORK/archives/$arch/w.tavisk")"
  expect_eq "$STATUS" 0 "$arch: the Windows build's archive"
done
count=$(find archives -name '*.tavisk' | wc -l)
run_tool "$TAVISK_REPORT_EXE" load linux.db archives
expect_eq "$STATUS:${OUT%% (*}" "0:$count Archive geladen, 0 schon in der Datenbank, 0 fehlerhaft" "Linux: load"

questions=("full-disks 0" "dll-version kernel32.dll" automatic-stopped administrators changes)
answers() {  # READER DATABASE: every shipped question's answer
  local question
  for question in "${questions[@]}"; do
    run_tool "$1" query "$2" $question
    printf '%s:%s\n%s\n' "$question" "$STATUS" "$OUT"
  done
}
expected=$(answers "$TAVISK_REPORT_EXE" linux.db)
expect_eq "$(grep -c ':0$' <<<"$expected")" ${#questions[@]} "Linux: every question answered"

for build in "${WINDOWS_BUILDS[@]}"; do
  read -r arch _ <<<"$build"
  reader=$arch/tavisk-report.exe
  run_tool "$reader" load "$(winpath "$WORK/$arch.db")" "$(winpath "$WORK/archives")"
  expect_eq "$STATUS:${OUT%% (*}" "0:$count Archive geladen, 0 schon in der Datenbank, 0 fehlerhaft" "$arch: load"
  expect_eq "$(stat -c %s "$arch.db" >/dev/null && sqlite3 "$arch.db" 'SELECT version FROM schema_version')" \
    "$(sqlite3 linux.db 'SELECT version FROM schema_version')" "$arch: the same schema version"
  expect_eq "$(answers "$reader" "$(winpath "$WORK/$arch.db")")" "$expected" "$arch: the same answers as on Linux"
  expect_eq "$(answers "$TAVISK_REPORT_EXE" "$arch.db")" "$expected" "$arch: its database read on Linux"
  expect_eq "$(answers "$reader" "$(winpath "$WORK/linux.db")")" "$expected" "$arch: the Linux database read"
  run_tool "$reader" load "$(winpath "$WORK/linux.db")" "$(winpath "$WORK/archives")"
  expect_eq "$STATUS:${OUT%% (*}" "0:0 Archive geladen, $count schon in der Datenbank, 0 fehlerhaft" \
    "$arch: the archives loaded on Linux known by their SHA-256"

  head -c 300 archives/linux/linux.tavisk >"$arch/truncated.tavisk"
  run_tool "$reader" load "$(winpath "$WORK/$arch.db")" "$(winpath "$WORK/$arch/truncated.tavisk")"
  expect_contains "$STATUS:$ERR" "2:tavisk-report: $(winpath "$WORK/$arch/truncated.tavisk"): " "$arch: a bad archive named"
  # Wine shows a Unix link as the file it leads to, so what stands in the database's place here is a
  # file that is no database: refused and left as it was.
  printf 'kein SQLite\n' >"$arch/other.db"
  run_tool "$reader" load "$(winpath "$WORK/$arch/other.db")" "$(winpath "$WORK/archives")"
  expect_contains "$STATUS:$ERR:$(cat "$arch/other.db")" "2:tavisk-report: Datenbank: " "$arch: another file in the database's place refused"
  expect_eq "$(cat "$arch/other.db")" "kein SQLite" "$arch: another file in the database's place left alone"
  run_tool "$reader" query "postgresql://tavisk@localhost/fleet" full-disks
  expect_contains "$STATUS:$ERR" "2:tavisk-report: Datenbank: PostgreSQL-Server erreicht nur" "$arch: PostgreSQL refused"
done
finish
