#!/usr/bin/env bash
# Whole runs of the Linux tool whose report embeds one generated text file
# (getFile), against `7zz a -mx2` packing the very same report:
#   1. peak memory for reports of 10 MB, 100 MB and 1 GB (SIZES_MB);
#   2. median wall time of RUNS runs embedding a 60 MB file, of log text and of
#      very compressible report-like lines.
# Then the i686 build under Wine embedding a 3 GB file (WINE_SIZE_MB): its peak
# memory must stay flat.
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

# Report-like lines of SIZE MB: long runs the engine packs at once, so the run's own work shows.
generate_report_like() {
  awk -v bytes="$(($1 * 1024 * 1024))" 'BEGIN {
    for (total = 0; total < bytes; total += length(line) + 2)
      { line = sprintf("<properties name=\"C:\\Windows\\System32\\drivers\\file%05d.sys\">12288|2026-12-07|2026-12-07|10.0.%d.1|10.0.%d.1</properties>", n % 50000, n % 7, n++ % 7); printf "%s\r\n", line }
  }' >"$2"
}

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
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

for kind in generate generate_report_like; do
  echo "== whole run embedding a 60 MB file ($kind) against 7zz a -mx2 on its report, median of $runs"
  "$kind" 60 "$work/text.log"
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
done

# The i686 build is the one that must stay flat in its 2 GB of address space; where
# 32-bit programs cannot run the x86_64 build stands in, and says so. Under qemu's
# user-mode emulation (see scripts/setup.sh) the peak includes qemu's own memory.
wine_mb=${WINE_SIZE_MB:-3072}
echo "== Windows build under Wine, one getFile of a ${wine_mb} MB text"
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  arch=i686 loader=/usr/lib/wine/wine
  if grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; then echo "note: i686 runs under qemu's user-mode emulation"; fi
else
  arch=x86_64 loader=/usr/lib/wine/wine64
  echo "note: 32-bit programs do not run here; the x86_64 build stands in"
fi
exe=$build/windows-$arch/tavisk.exe
if [ -f "$exe" ]; then
  export WINEPREFIX=${WINEPREFIX:-$build/wineprefix} WINEDEBUG=-all
  [ -d "$WINEPREFIX" ] || { "$loader" wineboot -i >/dev/null 2>&1 || true; }
  winpath() { printf 'z:%s' "$1" | tr / '\\'; }
  generate "$wine_mb" "$work/text.log"
  printf '<config><File><getFile>%s</getFile></File></config>' "$(winpath "$work/text.log")" >"$work/config.xml"
  : >"$work/wine"
  measure "$work/wine" taskset -c 0 "$loader" "$exe" /source "$(winpath "$work/config.xml")" \
    /dest "$(winpath "$work/out.tavisk")"
  read -r wine_s wine_kib _ <"$work/wine"
  echo "$arch: ${wine_kib} KiB peak, ${wine_s} s; archive $(stat -c %s "$work/out.tavisk" 2>/dev/null || echo missing) bytes"
else
  echo "SKIP: no $arch build in $build"
fi
