#!/usr/bin/env bash
# getKey of the i686 build under Wine against Wine's own `reg export`, on one
# generated tree of 20,000 keys and 100,000 values in a private prefix; RUNS
# runs of each, interleaved, pinned to one CPU; medians in seconds.
# Usage: bench/registry_wine.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-3}
source "$(dirname "$0")/wine-lib.sh"
pinned() { taskset -c 0 "$@"; }

# 200 groups of 100 keys, five values of different types in each key.
awk 'BEGIN {
  print "Windows Registry Editor Version 5.00\n"
  for (g = 0; g < 200; g++) for (k = 0; k < 100; k++) {
    printf "[HKEY_LOCAL_MACHINE\\SOFTWARE\\TaviskBench\\Group%03d\\Key%03d]\n", g, k
    printf "\"Name\"=\"Program %d.%d\"\n\"Count\"=dword:%08x\n", g, k, g * 100 + k
    printf "\"Data\"=hex:00,11,22,33,44,55,66,77,88,99,aa,bb,cc,dd,ee,ff\n"
    printf "\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00\n\"Big\"=hex(b):00,00,00,00,01,00,00,00\n\n"
  }
}' | iconv -f UTF-8 -t UTF-16LE >"$work/body.reg"
(printf '\xff\xfe'; cat "$work/body.reg") >"$work/tree.reg"
echo "import: $(seconds pinned wine reg import "$work/tree.reg" /reg:64) s"

printf '<config><Registry><getKey>HKEY_LOCAL_MACHINE\\SOFTWARE\\TaviskBench</getKey></Registry></config>' >"$work/config.xml"
config=$(winepath -w "$work/config.xml")
dest=$(winepath -w "$work/report.tavisk")
for _ in $(seq "$runs"); do
  seconds pinned wine reg export 'HKLM\SOFTWARE\TaviskBench' "$(winepath -w "$work/export.reg")" /reg:64 /y >>"$work/export.times"
  rm -f "$work/report.tavisk" "$work/report.xml"
  seconds pinned wine "$build/windows-i686/tavisk.exe" /source "$config" /dest "$dest" >>"$work/tool.times"
done
report=$(ls "$work"/report.* | head -1)
echo "tool report: $(basename "$report"), $(grep -c '^<key name=' <(if [ -f "$work/report.tavisk" ]; then 7zz e -so "$work/report.tavisk"; else cat "$work/report.xml"; fi)) elements"
echo "reg export: $(median <"$work/export.times") s (runs: $(tr '\n' ' ' <"$work/export.times"))"
echo "tool getKey: $(median <"$work/tool.times") s (runs: $(tr '\n' ' ' <"$work/tool.times"))"
