#!/usr/bin/env bash
# Every system item but the ten-second processor sample, by the x86_64 build
# under Wine pinned to one CPU: whole runs with DISK, MEMORY, OS and USER against
# runs of the same build with one registry value only; RUNS runs of each,
# interleaved; medians in seconds.
# Usage: bench/system_wine.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-5}
source "$(dirname "$0")/wine-lib.sh"
exe=$build/windows-x86_64/tavisk.exe
wineserver -p  # one server for all runs, as in an operator's session
printf '<config><System><getSystem>DISK</getSystem><getSystem>MEMORY</getSystem><getSystem>OS</getSystem><getSystem>USER</getSystem></System></config>' \
  >"$work/system.xml"
printf '<config><Registry><getValue>HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProductName</getValue></Registry></config>' \
  >"$work/baseline.xml"
for _ in $(seq "$runs"); do
  for name in system baseline; do
    pinned_run "$name" "$exe"
  done
done
system=$(median <"$work/system.times")
baseline=$(median <"$work/baseline.times")
echo "whole run with the system items (an upper bound of their cost): $system s; baseline run: $baseline s"
echo "(runs: system $(tr '\n' ' ' <"$work/system.times"); baseline $(tr '\n' ' ' <"$work/baseline.times"))"
