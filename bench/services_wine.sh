#!/usr/bin/env bash
# All services of the machine by the x86_64 build under Wine pinned to one CPU,
# on the services a fresh prefix lists: whole runs with eleven ALL requests
# against runs with one, so that the difference is ten listings without the
# start of Wine and the tool; RUNS runs of each, interleaved, after one warm-up
# run; medians in seconds.
# Usage: bench/services_wine.sh BUILD_DIR [RUNS]
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
taskset -c 0 wineserver -p  # one server for all runs, as in an operator's session, pinned with them
all='<getServiceStatus>ALL</getServiceStatus>'
printf '<config><Service>%s</Service></config>' "$all" >"$work/one.xml"
printf '<config><Service>%s</Service></config>' "$(printf "$all%.0s" $(seq 11))" >"$work/eleven.xml"
for run in $(seq 0 "$runs"); do
  for name in one eleven; do
    rm -f "$work/$name".tavisk "$work/$name-report".*
    seconds taskset -c 0 $wine64 "$exe" /source "$($wine64 winepath -w "$work/$name.xml")" \
      /dest "$($wine64 winepath -w "$work/$name-report.tavisk")" >>"$work/$name.times"
    [ "$run" -gt 0 ] || : >"$work/$name.times"  # the warm-up run starts the prefix
  done
done
listed=$(7zz e -so "$work/one-report.tavisk" 2>/dev/null | grep -c '^<service name=' || true)
one=$(median <"$work/one.times")
eleven=$(median <"$work/eleven.times")
echo "one listing of $listed services: $(echo "($eleven - $one) * 100" | bc) ms (whole runs: eleven listings $eleven s, one $one s)"
echo "(runs: eleven $(tr '\n' ' ' <"$work/eleven.times"); one $(tr '\n' ' ' <"$work/one.times"))"
