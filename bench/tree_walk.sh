#!/usr/bin/env bash
# The recursive directory-and-file listing over a generated tree of 100,000 files
# in 5,000 directories (warm cache): files per second and peak memory of the
# Linux tool, of its listing alone and of find; then the i686 build under Wine
# against a plain open-and-status walk there.
# Usage: bench/tree_walk.sh BUILD_DIR [TREE_DIR] [RUNS]
set -euo pipefail
build=$(cd "$1" && pwd)
tree=${2:-${TMPDIR:-/tmp}/tavisk-bench-tree}
runs=${3:-5}
work=$(mktemp -d "${TMPDIR:-/tmp}/tavisk-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# 50 directories of 100 (themselves and 99 below), each with 20 files of 0 to
# 200 bytes, so that about two thirds are large enough to be opened for a version.
if [ ! -e "$tree.mixed" ]; then
  rm -rf "$tree"
  for a in $(seq 1 50); do
    for b in $(seq 0 99); do
      dir=$tree/top$a
      [ "$b" -gt 0 ] && dir=$dir/sub$b
      mkdir -p "$dir"
    done
  done
  find "$tree" -type d -name 'sub*' -o -type d -name 'top*' | awk 'BEGIN { srand(5) } {
    for (f = 1; f <= 20; f++) {
      path = $0 "/file" f ".txt"; size = int(rand() * 201); text = ""
      while (length(text) < size) text = text "content " NR " " f " "
      printf "%s", substr(text, 1, size) > path; close(path)
    }
  }'
  touch "$tree.mixed"
fi
count=$(find "$tree" -mindepth 1 | wc -l)
echo "tree: $count entries, $(find "$tree" -type f | wc -l) files"

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
seconds() { local start=$(date +%s.%N); "$@" >/dev/null </dev/null; echo "$(date +%s.%N) - $start" | bc; }
peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null </dev/null | tail -1; }

printf '<config><Directory><getDirectoriesAndFilesRecursively>%s</getDirectoriesAndFilesRecursively></Directory></config>' \
  "$tree" >"$work/linux.xml"
tool() { "$build/tavisk" /source "$work/linux.xml" /dest "$work/report.tavisk"; }
find "$tree" -printf '%T@ %C@ %s %p\n' >/dev/null

: >"$work/find" && : >"$work/tool" && : >"$work/listing"
for ((i = 0; i < runs; i++)); do
  seconds find "$tree" -printf '%T@ %C@ %s %p\n' >>"$work/find"
  seconds tool >>"$work/tool"
  "$build/bench/bench_tree_walk" "$tree" 1 | sed -E 's/.* in ([0-9.]+) s.*/\1/' >>"$work/listing"
done
report_bytes=$( (7zz e -so "$work/report.tavisk" 2>/dev/null || cat "$work/report.xml") | wc -c)
find_s=$(median <"$work/find")
tool_s=$(median <"$work/tool")
listing_s=$(median <"$work/listing")
tool_kib=$(peak_kib "$build/tavisk" /source "$work/linux.xml" /dest "$work/report.tavisk")
find_kib=$(peak_kib find "$tree" -printf '%T@ %C@ %s %p\n')
rate() { echo "$count / $1" | bc; }
echo "find:              $find_s s, $(rate "$find_s") entries/s, peak $find_kib KiB"
echo "tool, whole run:   $tool_s s, $(rate "$tool_s") entries/s ($(echo "scale=2; $find_s / $tool_s" | bc) of find; target 0.70), peak $tool_kib KiB"
echo "tool, listing:     $listing_s s, $(rate "$listing_s") entries/s ($(echo "scale=2; $find_s / $listing_s" | bc) of find)"
echo "report: $report_bytes bytes; peak memory $(echo "scale=1; $tool_kib * 1024 / $report_bytes" | bc) times the report"

# Under Wine, pinned to one processor: the tool against the plain walk.
exe=$build/windows-i686/tavisk.exe
# Only where this kernel runs 32-bit programs.
if [ -x "$exe" ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  export WINEPREFIX=${WINEPREFIX:-$build/wineprefix} WINEDEBUG=-all
  [ -d "$WINEPREFIX" ] || { wineboot -i >/dev/null 2>&1; wineserver -w; }
  i686-w64-mingw32-gcc-posix -O2 -municode -o "$work/plain_walk.exe" "$(dirname "$0")/plain_walk_win32.c"
  wtree=$(winepath -w "$tree")
  printf '<config><Directory><getDirectoriesAndFilesRecursively>%s</getDirectoriesAndFilesRecursively></Directory></config>' \
    "$wtree" >"$work/wine-config.xml"
  plain=$(taskset -c 0 wine "$work/plain_walk.exe" "$wtree" | tr -d '\r' | awk '{ print $2 }')
  wine_s=$(seconds taskset -c 0 wine "$exe" /source "$(winepath -w "$work/wine-config.xml")" /dest "$(winepath -w "$work/wine.tavisk")")
  [ -f "$work/wine.tavisk" ] || echo "FAIL: the run under Wine left no archive"
  echo "wine, plain walk:  $plain s, $(rate "$plain") entries/s"
  echo "wine, tool:        $wine_s s, $(rate "$wine_s") entries/s ($(echo "scale=2; $plain / $wine_s" | bc) of the plain walk)"
fi
