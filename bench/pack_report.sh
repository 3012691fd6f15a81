#!/usr/bin/env bash
# Packing speed and memory: a generated report of SIZE_MB (default 100) packed by
# the tool's packing step and by `7zz a -mx2`, RUNS times each, interleaved, on
# the same file; then the tool's peak memory for a quarter of that size.
# Usage: bench/pack_report.sh BUILD_DIR [SIZE_MB] [RUNS]
set -euo pipefail
build=$(cd "$1" && pwd)
size_mb=${2:-100}
runs=${3:-7}
work=$(mktemp -d "${TMPDIR:-/tmp}/tavisk-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A report-like text: directory and file elements with varying names, sizes and times.
generate() {
  awk -v bytes="$(($1 * 1024 * 1024))" 'BEGIN {
    srand(7); printf "<?xml version=\"1.0\"?>\r\r\n<computer hostname=\"BENCH\" username=\"BENCH\\\\op\" date=\"1\">\r\n<directory>\r\n";
    total = 120;
    for (i = 0; total < bytes; i++) {
      line = sprintf("<properties name=\"C:\\Data\\Projekt%04d\\Bericht_%06d.%s\" creation=\"%d\" lastwrite=\"%d\" size=\"%d\" version=\"%d.%d.%d.%d\"/>\r\n",
                     int(rand() * 5000), i, (i % 3 ? "docx" : "xml"), 1400000000 + int(rand() * 3e8),
                     1400000000 + int(rand() * 3e8), int(rand() * 1e7), i % 11, i % 7, i % 300, i % 4000);
      printf "%s", line; total += length(line);
    }
    printf "</directory>\r\n</computer>";
  }' >"$2"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

generate "$size_mb" "$work/report.xml"
echo "report: $(stat -c %s "$work/report.xml") bytes"
: >"$work/tool.txt"
: >"$work/7zz.txt"
# Each line: wall seconds, CPU seconds (user + system), peak resident KiB.
measure() { /usr/bin/time -f '%e %U %S %M' -o "$1.one" "${@:2}" </dev/null >/dev/null
            awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$1.one" >>"$1"; }
for ((i = 0; i < runs; i++)); do
  rm -f "$work/report.tavisk" "$work/cli.7z"
  measure "$work/tool.txt" "$build/bench/bench_pack_report" "$work/report.xml"
  measure "$work/7zz.txt" 7zz a -mx2 "$work/cli.7z" "$work/report.xml"
done
column() { cut -d' ' -f"$1" "$2" | median; }
for n in 1 2; do
  tool=$(column "$n" "$work/tool.txt")
  cli=$(column "$n" "$work/7zz.txt")
  what=$([ "$n" = 1 ] && echo "wall" || echo "CPU")
  echo "packing ${size_mb} MB, median $what time of $runs: tool ${tool} s, 7zz a -mx2 ${cli} s," \
       "ratio $(echo "scale=3; $tool / $cli" | bc)"
done
echo "archive sizes: tool $(stat -c %s "$work/report.tavisk") bytes, 7zz $(stat -c %s "$work/cli.7z") bytes"

quarter=$((size_mb / 4))
generate "$quarter" "$work/small.xml"
: >"$work/small.txt"
measure "$work/small.txt" "$build/bench/bench_pack_report" "$work/small.xml"
echo "tool peak memory: $(column 3 "$work/small.txt") KiB for ${quarter} MB," \
     "$(column 3 "$work/tool.txt") KiB for ${size_mb} MB (7zz: $(column 3 "$work/7zz.txt") KiB)"
