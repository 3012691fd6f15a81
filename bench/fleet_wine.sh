#!/usr/bin/env bash
# tavisk-report load of 100 default-configuration archives into a new SQLite file:
# the Linux build and the x86_64 Windows build under Wine, side by side (interleaved,
# medians of RUNS, whole processes). Target: Wine at most 2 times Linux.
# Usage: bench/fleet_wine.sh BUILD_DIR [RUNS] [CACHE]   (BUILD_DIR configured with
# -DTAVISK_WINDOWS_BUILDS=ON; CACHE shared with fleet_load.sh)
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-5}
cache=${3:-${TMPDIR:-/tmp}/tavisk-fleet-bench}
source "$(dirname "$0")/wine-lib.sh"
# One server for all runs, as a Windows desk has its system running: its start is no part of a load.
wineserver -p
source "$(dirname "$0")/fleet-archives.sh"
mkdir -p "$cache"
default_report "$build" "$cache" "$work"
vary "$cache/default.xml" 100 "$cache/default-100" pc
archives=$cache/default-100

source_root=$(cd "$(dirname "$0")/.." && pwd)
mkdir "$work/win"
cp "$build/windows-x86_64/tavisk-report.exe" "$work/win/"
cp "$source_root/build/engines/x64/7z.dll" "$work/win/7zx64.dll"
archives_w=$("$wine64" winepath -w "$archives")
db_w=$("$wine64" winepath -w "$work/wine.db")

for _ in $(seq "$runs"); do
  rm -f "$work"/linux.db* "$work"/wine.db*
  seconds "$build/tavisk-report" load "$work/linux.db" "$archives" >>"$work/linux.times"
  seconds "$wine64" "$work/win/tavisk-report.exe" load "$db_w" "$archives_w" >>"$work/wine.times"
done
[ "$(sqlite3 "$work/wine.db" 'SELECT COUNT(*) FROM report')" = 100 ] || { echo "the Wine load failed" >&2; exit 1; }
linux=$(median <"$work/linux.times")
wine=$(median <"$work/wine.times")
printf '100 default-configuration archives into SQLite, medians of %s:\n' "$runs"
printf '  Linux build          %6.2f s\n  x86_64 under Wine    %6.2f s   %.2f x Linux (target: at most 2)\n' \
  "$linux" "$wine" "$(echo "$wine / $linux" | bc -l)"
