#!/usr/bin/env bash
# Whole runs of the Linux tool whose report embeds one generated text file
# (getFile), against `7zz a -mx2` packing the very same report:
#   1. peak memory for reports of 10 MB, 100 MB and 1 GB (SIZES_MB);
#   2. median wall time of RUNS runs embedding a 60 MB file.
# Then, where a 32-bit Windows program can run, the i686 build under Wine
# embedding a 3 GB file: its peak memory must stay flat.
# Usage: bench/report_pipeline.sh BUILD_DIR [RUNS] [SIZES_MB...]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-3}
shift $(($# < 2 ? $# : 2))
sizes=("${@:-10 100 1000}")
sizes=(${sizes[*]})
work=$(mktemp -d "${TMPDIR:-/tmp}/tavisk-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A log-like text of SIZE MB with CR LF line ends.
generate() {
  awk -v bytes="$(($1 * 1024 * 1024))" 'BEGIN {
    srand(11);
    for (total = 0; total < bytes; total += length(line) + 2)
      { line = sprintf("%08d 2026-12-07 10:%02d:%02d INFO Dienst %d meldet Zustand %d", n++, n % 60, n % 59, int(rand() * 40), int(rand() * 1e6)); printf "%s\r\n", line }
  }' >"$2"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# measure OUT COMMAND...: appends "wall-seconds peak-KiB CPU-seconds" (CPU is steadier on a shared machine).
measure() { /usr/bin/time -f '%e %M %U %S' -o "$1.one" "${@:2}" </dev/null >/dev/null 2>&1 || true
            awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$1.one" >>"$1"; }

# run_tool TEXT: one whole run embedding TEXT; leaves its report in report.xml.
run_tool_on() {
  printf '<config><File><getFile>%s</getFile></File></config>' "$1" >"$work/config.xml"
  rm -f "$work/out.tavisk" "$work/out.xml"
  measure "$work/tool" "$build/tavisk" /source "$work/config.xml" /dest "$work/out.tavisk"
}

report_of_run() { 7zz e -so "$work/out.tavisk" >"$work/report.xml" 2>/dev/null; }

echo "== peak memory of whole runs against 7zz a -mx2 on the same report"
for size in "${sizes[@]}"; do
  generate "$size" "$work/text.log"
  : >"$work/tool" && : >"$work/7zz"
  run_tool_on "$work/text.log"
  report_of_run
  rm -f "$work/cli.7z"
  measure "$work/7zz" 7zz a -mx2 "$work/cli.7z" "$work/report.xml"
  read -r tool_s tool_kib _ <"$work/tool"
  read -r cli_s cli_kib _ <"$work/7zz"
  echo "report $(stat -c %s "$work/report.xml") bytes: tool ${tool_kib} KiB (${tool_s} s)," \
       "7zz ${cli_kib} KiB (${cli_s} s), memory ratio $(echo "scale=2; $tool_kib / $cli_kib" | bc)"
  rm -f "$work/text.log" "$work/report.xml" "$work/cli.7z" "$work/out.tavisk"
done

echo "== whole run embedding a 60 MB file against 7zz a -mx2 on its report, median of $runs"
generate 60 "$work/text.log"
run_tool_on "$work/text.log"
report_of_run
: >"$work/tool" && : >"$work/7zz"
for ((i = 0; i < runs; i++)); do
  run_tool_on "$work/text.log"
  rm -f "$work/cli.7z"
  measure "$work/7zz" 7zz a -mx2 "$work/cli.7z" "$work/report.xml"
done
for n in 1 3; do
  tool_s=$(cut -d' ' -f"$n" "$work/tool" | median)
  cli_s=$(cut -d' ' -f"$n" "$work/7zz" | median)
  echo "$([ "$n" = 1 ] && echo wall || echo CPU): tool ${tool_s} s, 7zz ${cli_s} s, ratio $(echo "scale=2; $tool_s / $cli_s" | bc)"
done
rm -f "$work/text.log" "$work/report.xml"

echo "== i686 build under Wine, one getFile of a 3 GB text"
exe=$build/windows-i686/tavisk.exe
if [ -f "$exe" ] && command -v wine >/dev/null && WINEDEBUG=-all wine cmd /c exit 2>/dev/null; then
  generate 3072 "$work/text.log"
  printf '<config><File><getFile>%s</getFile></File></config>' "$(winepath -w "$work/text.log")" >"$work/config.xml"
  : >"$work/wine"
  WINEDEBUG=-all measure "$work/wine" taskset -c 0 wine "$exe" /source "$(winepath -w "$work/config.xml")" \
    /dest "$(winepath -w "$work/out.tavisk")"
  read -r wine_s wine_kib _ <"$work/wine"
  echo "i686: ${wine_kib} KiB peak, ${wine_s} s; archive $(stat -c %s "$work/out.tavisk" 2>/dev/null || echo missing)"
else
  echo "SKIP: the 32-bit Windows build cannot run here"
fi
