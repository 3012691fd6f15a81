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
source "$(dirname "$0")/wine-lib.sh"
exe=$build/windows-x86_64/tavisk.exe
taskset -c 0 wineserver -p  # one server for all runs, as in an operator's session, pinned with them
all='<getServiceStatus>ALL</getServiceStatus>'
printf '<config><Service>%s</Service></config>' "$all" >"$work/one.xml"
printf '<config><Service>%s</Service></config>' "$(printf "$all%.0s" $(seq 11))" >"$work/eleven.xml"
for run in $(seq 0 "$runs"); do
  for name in one eleven; do
    pinned_run "$name" "$exe"
    [ "$run" -gt 0 ] || : >"$work/$name.times"  # the warm-up run starts the prefix
  done
done
listed=$(7zz e -so "$work/one-report.tavisk" 2>/dev/null | grep -c '^<service name=' || true)
one=$(median <"$work/one.times")
eleven=$(median <"$work/eleven.times")
echo "one listing of $listed services: $(echo "($eleven - $one) * 100" | bc) ms (whole runs: eleven listings $eleven s, one $one s)"
echo "(runs: eleven $(tr '\n' ' ' <"$work/eleven.times"); one $(tr '\n' ' ' <"$work/one.times"))"
