#!/usr/bin/env bash
# Every system item but the ten-second processor sample, by the x86_64 build
# under Wine pinned to one CPU: whole runs with DISK, MEMORY, OS and USER against
# runs of the same build with one registry value only; RUNS runs of each,
# interleaved; medians in seconds.
# Usage: bench/system_wine.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-5}
work=$(mktemp -d "${TMPDIR:-/tmp}/tavisk-bench.XXXXXX")
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' DISPLAY=
wine64=/usr/lib/wine/wine64
exe=$build/windows-x86_64/tavisk.exe
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
seconds() { local start=$(date +%s.%N); "$@" </dev/null >/dev/null 2>&1 || true; echo "$(date +%s.%N) - $start" | bc; }

$wine64 wineboot -i >/dev/null 2>&1
wineserver -w
wineserver -p  # one server for all runs, as in an operator's session
printf '<config><System><getSystem>DISK</getSystem><getSystem>MEMORY</getSystem><getSystem>OS</getSystem><getSystem>USER</getSystem></System></config>' \
  >"$work/system.xml"
printf '<config><Registry><getValue>HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProductName</getValue></Registry></config>' \
  >"$work/baseline.xml"
for _ in $(seq "$runs"); do
  for name in system baseline; do
    rm -f "$work/$name".tavisk "$work/$name-report".*
    seconds taskset -c 0 $wine64 "$exe" /source "$($wine64 winepath -w "$work/$name.xml")" \
      /dest "$($wine64 winepath -w "$work/$name-report.tavisk")" >>"$work/$name.times"
  done
done
system=$(median <"$work/system.times")
baseline=$(median <"$work/baseline.times")
echo "whole run with the system items (an upper bound of their cost): $system s; baseline run: $baseline s"
echo "(runs: system $(tr '\n' ' ' <"$work/system.times"); baseline $(tr '\n' ' ' <"$work/baseline.times"))"
