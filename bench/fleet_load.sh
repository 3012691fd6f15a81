#!/usr/bin/env bash
# tavisk-report load into SQLite and into PostgreSQL side by side, whole processes,
# medians of RUNS (each into a new database):
#   1. 1,000 archives of default-configuration reports;
#   2. 100 archives each listing 100,000 files (10 million rows): rows per second,
#      and peak memory beside a load of 10 of them (flat);
#   3. the shipped questions on that database, with and without their indexes.
# The archives come from real runs of the tool, varied by computer name, collection
# time and figures, and are kept in CACHE. PostgreSQL is a private server of Debian's
# packages in a temporary folder (as the postgres account when run as root), with
# its default durability and a larger WAL and buffer pool, as for a bulk-loaded
# database.
# Usage: bench/fleet_load.sh BUILD_DIR [RUNS] [CACHE]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-3}
cache=${3:-${TMPDIR:-/tmp}/tavisk-fleet-bench}
work=$(mktemp -d "${TMPDIR:-/tmp}/tavisk-bench.XXXXXX")
chmod 755 "$work"
mkdir -p "$cache"

# ---- the archives, made once
source "$(dirname "$0")/fleet-archives.sh"
default_report "$build" "$cache" "$work"
if [ ! -e "$cache/listing.xml" ]; then
  # 100 folders of 1,000 files each.
  rm -rf "$cache/tree"
  for d in $(seq -w 0 99); do mkdir -p "$cache/tree/d$d" && (cd "$cache/tree/d$d" && touch f{000..999}.dll); done
  printf '<config><Directory><getDirectoriesAndFilesRecursively>%s</getDirectoriesAndFilesRecursively></Directory></config>' \
    "$cache/tree" >"$work/listing-config.xml"
  "$build/tavisk" /source "$work/listing-config.xml" /dest "$work/listing.tavisk" </dev/null >/dev/null 2>&1 || true
  7zz e -so "$work/listing.tavisk" >"$cache/listing.xml" 2>/dev/null
fi
vary "$cache/default.xml" 1000 "$cache/default" pc
vary "$cache/listing.xml" 100 "$cache/listing" lst 50

# ---- the PostgreSQL server
pg_bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
as_server() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
mkdir "$work/pg"
[ "$(id -u)" -ne 0 ] || chown postgres "$work/pg"
port=$((20000 + $$ % 20000))
stop_server() {
  local pid
  pid=$(head -1 "$work/pg/data/postmaster.pid" 2>/dev/null) || return 0
  kill -INT "$pid" 2>/dev/null || return 0
  while kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
}
trap 'stop_server; rm -rf "$work"' EXIT
as_server "$pg_bin/initdb" -D "$work/pg/data" -A trust -U tavisk -E UTF8 --locale=C.UTF-8 >/dev/null
as_server "$pg_bin/pg_ctl" -D "$work/pg/data" -l "$work/pg/log" -w \
  -o "-k $work/pg -p $port -c listen_addresses= -c shared_buffers=1GB -c max_wal_size=8GB" start >/dev/null
psql_admin() { psql -X -q -h "$work/pg" -p "$port" -U tavisk postgres "$@"; }
server="postgresql://tavisk@/fleet?host=$work/pg&port=$port"

# fresh BACKEND: a new empty database; prints its location.
fresh() {
  if [ "$1" = sqlite ]; then
    rm -f "$work/fleet.db" "$work/fleet.db-wal" "$work/fleet.db-shm"
    echo "$work/fleet.db"
  else
    psql_admin -c 'DROP DATABASE IF EXISTS fleet' -c 'CREATE DATABASE fleet'
    echo "$server"
  fi
}
sql() {
  if [ "$1" = sqlite ]; then sqlite3 "$work/fleet.db" "$2"
  else psql -X -A -t -q -h "$work/pg" -p "$port" -U tavisk fleet -c "$2"; fi
}

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# load_runs BACKEND ARCHIVE...: RUNS loads into new databases; prints "seconds peak-KiB rows
# cpu-seconds" (the loader's own processor time: steadier on a shared machine; the server's is not in it).
load_runs() {
  local backend=$1 db
  shift
  : >"$work/times"
  for _ in $(seq "$runs"); do
    db=$(fresh "$backend")
    /usr/bin/time -f '%e %M %U %S' -o "$work/one" "$build/tavisk-report" load "$db" "$@" </dev/null >/dev/null
    cat "$work/one" >>"$work/times"
  done
  printf '%s %s %s %s\n' "$(cut -d' ' -f1 "$work/times" | median)" "$(cut -d' ' -f2 "$work/times" | sort -n | tail -1)" \
    "$(sql "$backend" 'SELECT COUNT(*) + SUM(row_count) FROM report')" "$(awk '{ print $3 + $4 }' "$work/times" | median)"
}

echo "1,000 default-configuration archives ($(du -sh "$cache/default" | cut -f1)), medians of $runs:"
for backend in sqlite postgresql; do
  read -r seconds peak rows cpu < <(load_runs $backend "$cache/default")
  printf '  %-10s %6.2f s  %8d rows  %8.0f rows/s  peak %6d KiB  loader CPU %.2f s\n' $backend "$seconds" "$rows" \
    "$(awk -v r="$rows" -v s="$seconds" 'BEGIN { print r / s }')" "$peak" "$cpu"
done

echo "100 archives of 100,000 files each ($(du -sh "$cache/listing" | cut -f1)), medians of $runs; 10 of them for the memory:"
for backend in sqlite postgresql; do
  read -r _ peak10 _ < <(runs=1 load_runs $backend "$cache"/listing/[0-9]/*.tavisk)
  read -r seconds peak rows cpu < <(load_runs $backend "$cache/listing")
  printf '  %-10s %6.2f s  %8d rows  %8.0f rows/s  peak %6d KiB (10 archives: %d KiB)  loader CPU %.2f s\n' $backend \
    "$seconds" "$rows" "$(awk -v r="$rows" -v s="$seconds" 'BEGIN { print r / s }')" "$peak" "$peak10" "$cpu"
done

# The questions on the 10-million-row databases (the last load of each), then without their indexes;
# a question still running after 5 minutes is stopped.
questions=("dll-version f500.dll" automatic-stopped full-disks administrators changes)
ask_all() {
  local backend=$1 db=$2 label=$3
  for question in "${questions[@]}"; do
    : >"$work/times"
    for _ in $(seq "$runs"); do
      if ! /usr/bin/time -f '%e' -a -o "$work/times" timeout 300 "$build/tavisk-report" query "$db" $question >/dev/null; then
        printf '  %-10s %-16s %-30s  > 300 s\n' "$backend" "$label" "$question"
        continue 2
      fi
    done
    printf '  %-10s %-16s %-30s %6.2f s\n' "$backend" "$label" "$question" "$(median <"$work/times")"
  done
}
echo "the shipped questions on those databases (whole processes, medians of $runs):"
ask_all sqlite "$work/fleet.db" "indexes"
for index in $(sql sqlite "SELECT name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL"); do
  sql sqlite "DROP INDEX $index"
done
ask_all sqlite "$work/fleet.db" "no indexes"
sql postgresql "VACUUM ANALYZE" >/dev/null
ask_all postgresql "$server" "indexes"
for index in $(sql postgresql "SELECT indexname FROM pg_indexes WHERE schemaname = 'public'
                               AND indexname NOT LIKE '%_pkey' AND indexname NOT LIKE '%_key'"); do
  sql postgresql "DROP INDEX $index"
done
ask_all postgresql "$server" "no indexes"
