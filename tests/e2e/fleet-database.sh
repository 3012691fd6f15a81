#!/usr/bin/env bash
# tavisk-report load and query against a real database: BACKEND is "sqlite" (a
# file through Debian's library) or "postgresql" (a server from Debian's packages
# started here in a private folder). Archives come from a real run of the tool,
# varied into a fleet. Usage: fleet-database.sh sqlite|postgresql
source "$(dirname "$0")/lib.sh"
source "$TAVISK_SOURCE_DIR/tests/e2e/files-tree.sh"
BACKEND=$1
READER=$TAVISK_REPORT_EXE

# ---- the database: DB is what load and query are given, sql asks it directly.
if [ "$BACKEND" = postgresql ]; then
  PG_BIN=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
  [ -x "$PG_BIN/initdb" ] || { echo "SKIP: no PostgreSQL server installed" >&2; exit 77; }
  # The server refuses to run as root: there it runs as the account of Debian's package.
  as_server() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
  PG_DIR=$WORK/pg
  PG_PORT=$((20000 + $$ % 20000))  # names the socket file only: no TCP port is opened
  mkdir "$PG_DIR"
  [ "$(id -u)" -ne 0 ] || chown postgres "$PG_DIR"
  stop_server() {
    local pid
    pid=$(head -1 "$PG_DIR/data/postmaster.pid" 2>/dev/null) || return 0
    kill -INT "$pid" 2>/dev/null || return 0
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
  }
  trap 'stop_server; rm -rf "$WORK"' EXIT
  as_server "$PG_BIN/initdb" -D "$PG_DIR/data" -A trust -U tavisk -E UTF8 --locale=C.UTF-8 --no-sync >"$WORK/initdb.log" 2>&1 ||
    { cat "$WORK/initdb.log" >&2; exit 1; }
  as_server "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -l "$PG_DIR/log" -w \
    -o "-k $PG_DIR -p $PG_PORT -c listen_addresses= -c fsync=off" start >/dev/null
  as_server "$PG_BIN/createdb" -h "$PG_DIR" -p "$PG_PORT" -U tavisk fleet
  DB="postgresql://tavisk@/fleet?host=$PG_DIR&port=$PG_PORT"
  sql() { psql -X -A -t -q -v ON_ERROR_STOP=1 -h "$PG_DIR" -p "$PG_PORT" -U tavisk fleet -c "$1"; }
  # A server that accepts and never answers: the load gives up after the default wait (checked at the end).
  mkdir "$WORK/mute"
  /usr/bin/python3 -c 'import socket, sys, time
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen(8); time.sleep(90)' "$WORK/mute/.s.PGSQL.5432" &
  mute_server=$!
  while [ ! -S "$WORK/mute/.s.PGSQL.5432" ]; do sleep 0.1; done
  (unset PGCONNECT_TIMEOUT; exec timeout 60 "$READER" load "postgresql://tavisk@/fleet?host=$WORK/mute" "$WORK") \
    >"$WORK/mute.out" 2>"$WORK/mute.err" &
  mute_loader=$!
else
  DB=$WORK/fleet.db
  sql() { sqlite3 -bail "$DB" "$1"; }
fi

# ---- a real report, varied into machines
mkdir -p tree
printf 'erste Zeile\nzweite & <dritte>\n' >tree/a.txt
head -c 1500000 /dev/zero | tr '\0' x >tree/big.txt  # beyond the 1 MiB kept by default
build_pe_fixtures "$WORK/pe"
cat >config.xml <<CONF
<config>
  <Registry><getValue>HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProductName</getValue>
    <getValue>HKEY_CURRENT_USER\none</getValue></Registry>
  <File><getFile>$WORK/tree/a.txt</getFile><getFile>$WORK/tree/big.txt</getFile><getFile>$WORK/missing</getFile>
    <getFileVersion>$WORK/pe/versioned64.dll</getFileVersion></File>
  <Directory><getDirectoriesAndFiles>$WORK/tree</getDirectoriesAndFiles></Directory>
  <System><getSystem>ALL</getSystem><getUser>$(hostname)\root</getUser></System>
  <Service><getServiceStatus>no-such-service</getServiceStatus></Service>
</config>
CONF
run_tool "$TAVISK_EXE" /source "$WORK/config.xml" /dest "$WORK/run.tavisk"
expect_eq "$STATUS" 0 "the tool's run"
7zz e -so run.tavisk >run.xml 2>/dev/null
NOW=$(sed -nE '2s/.* date="([0-9]+)".*/\1/p' run.xml)

# machine FILE NAME DAYS-AGO FREE-GIB SPOOLER-STATE [SED-ARGUMENTS...]: the run's report
# as another computer, collected days earlier, with one disk of 100 GiB and an automatic
# service in that state; packed as the role fetches it.
machine() {
  local file=$1 name=$2 days=$3 free=$4 state=$5
  shift 5
  sed -E -e "2s/hostname=\"[^\"]*\"/hostname=\"$name\"/" -e "2s/ date=\"[0-9]+\"/ date=\"$((NOW - days * 86400))\"/" \
    -e '/^<disk>/d' -e "/^<system /a <disk>/|$free|100.00</disk>\r" \
    -e "/^<\/computer>/i <service name=\"spooler\">Druckwarteschlange|Own Process|$state|LocalSystem|Automatisch</service>\r" \
    "$@" run.xml >"$name.xml"
  mkdir -p "$(dirname "$file")"
  7zz a -mx1 -bso0 -bsp0 "$file" "$name.xml"
}
machine fetch/alpha/alpha.tavisk alpha 0 5.00 stopped -e "/^<system /a <user name=\"alpha\\\\anna\">Domain Users|Administratoren|</user>\r"
machine fetch/beta/beta.tavisk beta 1 50.00 running -e 's/\|2\.300\.4\.500\|/|1.0.0.0|/'
machine older/alpha.tavisk alpha 40 50.00 stopped -e 's/^zweite .*/zweite Zeile\r/' -e '/^<localuser name="root"/d'
machine older/beta.tavisk beta 45 50.00 running -e '/^<localuser name="root"/d'

# consistent: no report whose rows differ from its count, no archive twice.
tables=(registry_value file_content file_property directory_entry system_figures disk memory operating_system
        processor local_account group_membership service failure)
consistent() {
  local rows="0"
  for table in "${tables[@]}"; do rows="$rows + (SELECT COUNT(*) FROM $table t WHERE t.report_id = r.id)"; done
  sql "SELECT (SELECT COUNT(*) FROM report r WHERE r.row_count <> $rows)
              + (SELECT COUNT(*) - COUNT(DISTINCT archive_sha256) FROM report)"
}

# ---- loading: a folder laid out as the role fetches, and a file; again, nothing more
run_tool "$READER" load "$DB" fetch older/alpha.tavisk older/beta.tavisk
expect_eq "$STATUS:$OUT" "0:4 Archive geladen, 0 schon in der Datenbank, 0 fehlerhaft ($(sql 'SELECT SUM(row_count) FROM report') Zeilen in ${OUT##* in }" \
  "load of a fetch folder and an archive"
expect_eq "$(sql 'SELECT computer, archive_name FROM report ORDER BY id')" "alpha|alpha.tavisk
beta|beta.tavisk
alpha|alpha.tavisk
beta|beta.tavisk" "a report per archive, in the folder's order"
expect_eq "$(sql 'SELECT version FROM schema_version')" 2 "the schema's version"
expect_eq "$(sql 'SELECT archive_sha256 FROM report WHERE id = 1')" "$(sha256sum fetch/alpha/alpha.tavisk | cut -d' ' -f1)" \
  "the archive's SHA-256"
# A file's text as the tool reads it: each line, the last one too, followed by a line feed.
expect_eq "$(sql "SELECT size, content IS NULL FROM latest_file_content WHERE computer = 'alpha' ORDER BY path" |
  tr 'tf' '10')" "31|0
1500001|1" "contents kept up to 1 MiB, beyond only the size"
expect_eq "$(sql "SELECT COUNT(*) FROM latest_file_content WHERE computer = 'alpha' AND content = $(
  [ "$BACKEND" = postgresql ] && echo "convert_to('erste Zeile' || chr(10) || 'zweite & <dritte>' || chr(10) || chr(10), 'UTF8')" ||
  echo "CAST('erste Zeile' || char(10) || 'zweite & <dritte>' || char(10) || char(10) AS BLOB)")")" 1 "contents byte for byte"
expect_eq "$(sql "SELECT element, request FROM failure WHERE report_id = 1 ORDER BY element")" \
  "filecontent|$WORK/missing
key|HKEY_CURRENT_USER\\none
service|no-such-service" "failure elements with their requests"
expect_eq "$(consistent)" 0 "every report whole"
run_tool "$READER" load "$DB" fetch older
expect_eq "$STATUS:${OUT%% (*}" "0:0 Archive geladen, 4 schon in der Datenbank, 0 fehlerhaft" "the same archives again add nothing"

# ---- the shipped questions, the same table on both back ends
run_tool "$READER" query "$DB" full-disks
expect_eq "$STATUS:$OUT" "0:computer  path  free_gib  total_gib  used_percent
-------------------------------------------------
alpha     /     5         100        95" "full-disks: the latest report only"
run_tool "$READER" query "$DB" dll-version VERSIONED64.DLL
expect_eq "$STATUS:$(tail -n +3 <<<"$OUT" | awk '{ print $1, $3, $4 }')" "0:alpha 2.300.4.500 10.0.0.1
beta 1.0.0.0 10.0.0.1" "dll-version: every machine with the file"
run_tool "$READER" query "$DB" dll-version versioned64.dll 1.0.0.0
expect_eq "$(tail -n +3 <<<"$OUT" | cut -d' ' -f1)" beta "dll-version with a version"
run_tool "$READER" query "$DB" automatic-stopped
expect_eq "$(tail -n +3 <<<"$OUT")" "alpha     spooler  Druckwarteschlange  Automatisch" "automatic-stopped"
run_tool "$READER" query "$DB" administrators
expect_eq "$(tail -n +3 <<<"$OUT")" "alpha     alpha\\anna  Administratoren
alpha     root        localuser
beta      root        localuser" "administrators"
run_tool "$READER" query "$DB" changes alpha beta
since=$(date -u -d "@$((NOW - 40 * 86400))" '+%Y-%m-%d %H:%M:%S')
since_beta=$(date -u -d "@$((NOW - 45 * 86400))" '+%Y-%m-%d %H:%M:%S')
latest_beta=$(date -u -d "@$((NOW - 86400))" '+%Y-%m-%d %H:%M:%S')
latest=$(date -u -d "@$NOW" '+%Y-%m-%d %H:%M:%S')
expect_eq "$OUT" "computer  since_at             latest_at            kind              added  removed
------------------------------------------------------------------------------------
alpha     $since  $latest  file_content      1      1
alpha     $since  $latest  group_membership  2      0
alpha     $since  $latest  local_account     1      0
beta      $since_beta  $latest_beta  file_property     1      1
beta      $since_beta  $latest_beta  local_account     1      0" "changes since a month before, for each computer named"
for case in "nothing:Unbekannte Frage" "full-disks x:PROZENT muss eine Zahl sein" "dll-version:falsche Zahl"; do
  run_tool "$READER" query "$DB" ${case%%:*}
  expect_eq "$STATUS" 2 "query ${case%%:*}: exit status"
  expect_contains "$ERR" "${case#*:}" "query ${case%%:*}: message"
done

# ---- bad archives are named, leave nothing, and the others still load
machine good/gamma.tavisk gamma 0 20.00 running
mkdir bad
# A name a local user chose: its controls reach the terminal only as escapes.
truncated=$'trunc\e[31m\nated.tavisk'
head -c 300 fetch/alpha/alpha.tavisk >"bad/$truncated"
cp good/gamma.tavisk bad/corrupt.tavisk
size=$(stat -c %s bad/corrupt.tavisk)
printf 'XXXXXXXXXXXXXXXX' | dd of=bad/corrupt.tavisk bs=1 seek=$((size / 2)) conv=notrunc 2>/dev/null
7zz a -bso0 -bsp0 bad/foreign.tavisk config.xml
printf '<?xml version="1.0"?>\r\r\n<computer hostname="x" username="y" date="soon">\r\n</computer>' >bad/nodate.xml
before=$(sql 'SELECT COUNT(*) FROM report')
run_tool "$READER" load "$DB" bad/corrupt.tavisk "bad/$truncated" good bad/foreign.tavisk bad/nodate.xml bad/missing.tavisk
expect_eq "$STATUS:${OUT%% (*}" "2:1 Archive geladen, 0 schon in der Datenbank, 5 fehlerhaft" "bad archives: status and count"
for name in corrupt.tavisk 'trunc\x1b[31m\nated.tavisk' foreign.tavisk nodate.xml missing.tavisk; do
  expect_contains "$ERR" "tavisk-report: bad/$name: " "bad archives: $name named"
done
expect_eq "$(sql 'SELECT COUNT(*) FROM report')" $((before + 1)) "bad archives leave nothing, the good one loads"
expect_eq "$(consistent)" 0 "bad archives: every report whole"

# ---- a load ended by a signal midway through a large archive
{
  printf '<?xml version="1.0"?>\r\r\n<computer hostname="large" username="l\\u" date="%s">\r\n' "$NOW"
  awk 'BEGIN { for (i = 0; i < 1500000; i++) printf "<directory name=\"/srv/d%07d\">1700000000|1600000000</directory>\r\n", i }'
  printf '</computer>'
} >large.xml
7zz a -mx1 -bso0 -bsp0 large.tavisk large.xml
rm large.xml
before=$(sql 'SELECT COUNT(*) FROM report')
"$READER" load "$DB" large.tavisk >/dev/null 2>&1 &
loader=$!
# Interrupted once it has spent a fifth of a second of processor time: past hashing, inside the transaction.
while kill -0 "$loader" 2>/dev/null && [ "$(awk '{ print $14 + $15 }' /proc/$loader/stat 2>/dev/null || echo 0)" -lt 20 ]; do
  sleep 0.05
done
kill -INT "$loader" 2>/dev/null || true
status=0
wait "$loader" || status=$?
expect_eq "$status" 130 "a signal ends the load midway"
expect_eq "$(sql 'SELECT COUNT(*) FROM report'):$(consistent)" "$before:0" "after the signal: nothing of the archive, all whole"
[ "$BACKEND" = postgresql ] || expect_eq "$(sql 'PRAGMA integrity_check')" ok "after the signal: the file intact"
run_tool "$READER" load "$DB" large.tavisk
expect_eq "$STATUS:${OUT%% (*}" "0:1 Archive geladen, 0 schon in der Datenbank, 0 fehlerhaft" "the archive loads again"
expect_eq "$(sql "SELECT COUNT(*) FROM latest_directory_entry WHERE computer = 'large'")" 1500000 "all of it"

# ---- two loads of the same archives at once: each archive once, nothing broken
mkdir -p many
for i in $(seq 10); do machine "many/m$i/m$i.tavisk" "m$i" 0 30.00 running; done
before=$(sql 'SELECT COUNT(*) FROM report')
"$READER" load "$DB" many >one.out 2>one.err &
first=$!
"$READER" load "$DB" many >two.out 2>two.err &
second=$!
status=0
wait "$first" || status=$?
wait "$second" || status=$((status + $?))
expect_eq "$status:$(cat one.err two.err)" 0: "two loads at once: both done"
added=$(($(cut -d' ' -f1 one.out) + $(cut -d' ' -f1 two.out)))
expect_eq "$added:$(sql 'SELECT COUNT(*) FROM report')" "10:$((before + 10))" "two loads at once: each archive once"
expect_eq "$(consistent)" 0 "two loads at once: every report whole"
[ "$BACKEND" = postgresql ] || expect_eq "$(sql 'PRAGMA integrity_check')" ok "two loads at once: the file intact"

# ---- a disk figure that is no number is nothing on either back end
machine odd/nan.tavisk nan 0 nan running
machine odd/inf.tavisk inf 0 inf running
run_tool "$READER" load "$DB" odd
expect_eq "$STATUS:$(sql "SELECT COUNT(*) FROM latest_disk WHERE computer IN ('nan', 'inf') AND free_gib IS NULL")" 0:2 \
  "nan and inf stored as nothing"

# ---- two loads into a new database: the second waits for the first one's schema
if [ "$BACKEND" = postgresql ]; then
  as_server "$PG_BIN/createdb" -h "$PG_DIR" -p "$PG_PORT" -U tavisk fresh
  FRESH="postgresql://tavisk@/fresh?host=$PG_DIR&port=$PG_PORT"
else
  FRESH=$WORK/fresh.db
fi
"$READER" load "$FRESH" many/m1 >one.out 2>one.err &
first=$!
"$READER" load "$FRESH" many/m2 >two.out 2>two.err &
status=0
wait "$first" || status=$?
wait $! || status=$((status + $?))
expect_eq "$status:$(cat one.err two.err)" 0: "two loads into a new database: both done"

# ---- a database of version 1 gains the table of unreadable stretches
sql 'DROP VIEW latest_unreadable'
sql 'DROP TABLE unreadable'
sql 'UPDATE schema_version SET version = 1'
run_tool "$READER" load "$DB" good
expect_eq "$STATUS:$(sql 'SELECT version FROM schema_version'):$(sql 'SELECT COUNT(*) FROM latest_unreadable')" 0:2:0 \
  "a database of version 1: upgraded"

# ---- a database of a newer program is refused and left alone
sql 'UPDATE schema_version SET version = 99'
run_tool "$READER" load "$DB" good
expect_eq "$STATUS" 2 "a newer schema: exit status"
expect_contains "$ERR" "Die Datenbank hat die Schema-Version 99, dieses tavisk-report kennt nur bis 2" "a newer schema: message"
run_tool "$READER" query "$DB" full-disks
expect_contains "$STATUS:$ERR" "2:tavisk-report: Datenbank: Die Datenbank hat die Schema-Version 99" "a newer schema: query refused"
expect_eq "$(sql 'SELECT version FROM schema_version')" 99 "a newer schema: untouched"

if [ "$BACKEND" = sqlite ]; then
  expect_eq "$(stat -c %a "$DB")" 600 "the database file is its owner's only"
  run_tool "$READER" query "$WORK/none.db" full-disks
  expect_contains "$STATUS:$ERR" "2:tavisk-report: Datenbank: $WORK/none.db: Datenbank nicht gefunden" "query of no database"
  expect_eq "$(ls "$WORK/none.db" 2>&1 >/dev/null | grep -c 'No such file')" 1 "query creates no database"
  ln -s "$DB" link.db
  run_tool "$READER" load link.db good
  expect_eq "$STATUS" 2 "a link as the database file is not followed"

  # query reads a copy and writes nothing beside it, so a read-only share serves as well.
  sql 'UPDATE schema_version SET version = 2'
  mkdir copy
  cp "$DB" copy/fleet.db
  before=$(ls -A copy; sha256sum copy/fleet.db)
  run_tool "$READER" query copy/fleet.db full-disks
  expect_eq "$STATUS:$(ls -A copy; sha256sum copy/fleet.db)" "0:$before" "query creates and changes nothing"

  # A folder that cannot be searched is named and fails the load; a tree deeper than any path still loads.
  mkdir search
  /usr/bin/python3 -c 'import os, shutil, sys
os.chdir("search")
for _ in range(5000): os.mkdir("d"); os.chdir("d")
shutil.copy(sys.argv[1], "deep.tavisk")' "$WORK/good/gamma.tavisk"
  mkdir -p search/locked/x
  cp good/gamma.tavisk search/locked/x/
  chmod 000 search/locked
  mkdir -m 777 own
  # Root reads any folder: the load runs as an account that cannot.
  as_other() { if [ "$(id -u)" -eq 0 ]; then runuser -u nobody -- "$@"; else "$@"; fi; }
  chmod 755 "$WORK"
  STATUS=0
  OUT=$(as_other "$READER" load own/search.db search 2>"$WORK/search.err") || STATUS=$?
  expect_eq "$STATUS:${OUT%% (*}" "2:1 Archive geladen, 0 schon in der Datenbank, 1 fehlerhaft" \
    "an unsearchable folder fails the load; the deep archive loads"
  expect_eq "$(cat search.err)" "tavisk-report: search/locked: Ordner nicht durchsuchbar (Zugriff verweigert)" \
    "the unsearchable folder named"
  chmod 755 search/locked

  # More host folders than a quarter of the descriptors: those beyond are reached again from the top.
  for i in $(seq 40); do mkdir -p hosts/h$i; cp fetch/alpha/alpha.tavisk hosts/h$i/; done
  STATUS=0
  OUT=$(ulimit -n 24; exec "$READER" load own/hosts.db hosts 2>&1) || STATUS=$?
  expect_eq "$STATUS:${OUT%% (*}" "0:1 Archive geladen, 39 schon in der Datenbank, 0 fehlerhaft" \
    "a fleet folder of more hosts than descriptors to hold"
else
  wait "$mute_loader" && status=0 || status=$?
  expect_contains "$status:$(cat mute.err)" \
    "2:tavisk-report: Datenbank: Verbindung zum PostgreSQL-Server fehlgeschlagen: der Server antwortet nicht (" \
    "a server that never answers: the load gives up within a minute"
  kill "$mute_server" 2>/dev/null || true
fi
finish
