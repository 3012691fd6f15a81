#!/usr/bin/env bash
# tavisk-report clean against the engine's own cost of reading and writing the
# same archive (`7zz e -so | 7zz a -si -mx2`), whole processes, medians of RUNS,
# on a report embedding SIZE_MB of log text with an address, the host name and
# an account on every line. Target: clean within 1.5 times the engine's cost,
# peak memory within 64 MiB plus the map. With "late", the account is revealed
# only by the section at the report's end: the worst case, where the single
# pass gives up at the end and two passes follow.
# Usage: bench/clean_speed.sh BUILD_DIR [RUNS] [SIZE_MB] [late]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-3}
size_mb=${3:-1000}
operator='BENCHHOST\operator7' log='C:\Users\operator7\app.log'
if [ "${4:-}" = late ]; then operator='BENCHHOST\operator9' log='C:\ProgramData\app.log'; fi
work=$(mktemp -d "${TMPDIR:-/tmp}/tavisk-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# Each run writes into a clean folder: clean refuses to overwrite its output.
before_run() { rm -rf "$work/out" && mkdir "$work/out"; }
seconds() { cut -d' ' -f1 "$work/$1.times" | median; }

{
  printf '<?xml version="1.0"?>\r\r\n<computer hostname="BENCHHOST" username="%s" date="1">\r\n' "$operator"
  printf '<file>\r\n<filecontent name="%s" noparse="TRUE">\r\n' "$log"
  awk -v bytes="$((size_mb * 1024 * 1024))" 'BEGIN { for (t = 0; t < bytes; t += length(l) + 2) {
    l = sprintf("2026-12-07 10:%02d:%02d INFO benchhost.corp.example.com: login of CORP\\operator7 from 192.168.%d.%d session %d",
                n % 60, n % 59, n % 40, n % 250 + 1, n * 7919 % 1000003); n++
    printf "%s\r\n", l } }'
  printf '</filecontent>\r\n</file>\r\n<system uptime="1" processes="1">\r\n'
  printf '<localuser name="operator7">user</localuser>\r\n</system>\r\n</computer>'
} >"$work/big.xml"
7zz a -mx2 -bso0 "$work/big.tavisk" "$work/big.xml"
rm "$work/big.xml"

echo "clean of a ${size_mb} MB report (load: $(cut -d' ' -f1-3 /proc/loadavg)):"
timed "7zz e -so | 7zz a -si -mx2" bash -c "7zz e -so '$work/big.tavisk' | 7zz a -si -mx2 -bso0 '$work/out/base.7z'"
timed "tavisk-report clean" bash -c "'$build/tavisk-report' clean '$work/big.tavisk' -o '$work/out/clean.tavisk' --map '$work/out/map.json' --domain corp.example.com"
ratio() { awk -v a="$(seconds "tavisk-report clean")" -v b="$(seconds "$1")" 'BEGIN { printf "%.2f", a / b }'; }
echo "ratio clean / 7zz: $(ratio "7zz e -so | 7zz a -si -mx2") (target <= 1.5)"
# On Linux the tool packs with p7zip's engine (7z.so), slower than 7zz's: the same pipe through it, for comparison.
if command -v 7z >/dev/null; then
  timed "7z e -so | 7z a -si -mx2 (p7zip)" bash -c "7z e -so '$work/big.tavisk' | 7z a -si -mx2 -bso0 '$work/out/base.7z'"
  echo "ratio clean / p7zip: $(ratio "7z e -so | 7z a -si -mx2 (p7zip)")"
fi
