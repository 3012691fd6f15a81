#!/usr/bin/env bash
# Sealing against not sealing, side by side (interleaved runs, medians of RUNS):
#   1. a whole run embedding a generated file of SIZE_MB (target: time ≤ 1.15 × unsealed,
#      peak ≤ unsealed + 16 MiB);
#   2. tavisk-report show of that sealed archive against the unsealed one
#      (target: time ≤ 1.15 ×, peak ≤ 64 MiB).
# Usage: bench/seal.sh BUILD_DIR [RUNS] [SIZE_MB]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-3}
size=${3:-1000}
work=$(mktemp -d "${TMPDIR:-/tmp}/tavisk-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

openssl req -x509 -newkey rsa:3072 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj /CN=bench 2>/dev/null
# A log-like text with CR LF line ends, as report_pipeline.sh makes it.
awk -v bytes="$((size * 1024 * 1024))" 'BEGIN {
  srand(11);
  for (total = 0; total < bytes; total += length(line) + 2)
    { line = sprintf("%08d 2026-12-07 10:%02d:%02d INFO Dienst %d meldet Zustand %d", n++, n % 60, n % 59, int(rand() * 40), int(rand() * 1e6)); printf "%s\r\n", line }
}' >"$work/text.log"
printf '<config><File><getFile>%s</getFile></File></config>' "$work/text.log" >"$work/config.xml"

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# measure OUT COMMAND...: appends "wall-seconds peak-KiB".
measure() { /usr/bin/time -f '%e %M' -o "$1.one" "${@:2}" </dev/null >/dev/null 2>&1 || true; cat "$1.one" >>"$1"; }

for _ in $(seq "$runs"); do
  rm -f "$work"/out*
  measure "$work/plain" "$build/tavisk" /source "$work/config.xml" /dest "$work/out.tavisk"
  measure "$work/sealed" "$build/tavisk" /source "$work/config.xml" /dest "$work/out.tavisk" /seal "$work/cert.pem"
  measure "$work/show-plain" "$build/tavisk-report" show "$work/out.tavisk"
  measure "$work/show-sealed" "$build/tavisk-report" show "$work/out.tavisk.p7m" --key "$work/key.pem"
done
[ -s "$work/out.tavisk.p7m" ] || { echo "no sealed archive was written" >&2; exit 1; }

report() {
  local plain_s sealed_s plain_kib sealed_kib
  plain_s=$(awk '{ print $1 }' "$work/$2" | median); sealed_s=$(awk '{ print $1 }' "$work/$3" | median)
  plain_kib=$(awk '{ print $2 }' "$work/$2" | median); sealed_kib=$(awk '{ print $2 }' "$work/$3" | median)
  echo "$1: unsealed ${plain_s} s ${plain_kib} KiB, sealed ${sealed_s} s ${sealed_kib} KiB," \
       "time ratio $(echo "scale=3; $sealed_s / $plain_s" | bc), memory +$(((sealed_kib - plain_kib) / 1024)) MiB"
}
echo "== ${size} MB embedded, archive $(stat -c %s "$work/out.tavisk") bytes, median of $runs, load: $(uptime)"
report "whole run" plain sealed
report "show" show-plain show-sealed
