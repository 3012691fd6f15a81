#!/usr/bin/env bash
# Peak memory of a whole run whose configuration is one request with a text of
# SIZE_MB (a file name no system can have), as a multiple of the configuration's
# size. Target: at most 3 times.
# Usage: bench/long_value.sh BUILD_DIR [SIZE_MB]
set -euo pipefail
build=$(cd "$1" && pwd)
size_mb=${2:-100}
work=$(mktemp -d "${TMPDIR:-/tmp}/tavisk-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

{
  printf '<config><File><getFile>'
  head -c "$((size_mb * 1024 * 1024))" /dev/zero | tr '\0' 'a'
  printf '</getFile></File></config>'
} >"$work/config.xml"
bytes=$(stat -c %s "$work/config.xml")
/usr/bin/time -f %M -o "$work/peak" "$build/tavisk" /source "$work/config.xml" /dest "$work/out.tavisk" </dev/null >/dev/null
peak_kib=$(cat "$work/peak")
printf 'a run with one %s MB value: peak %d MiB, %.2f x the configuration (target: at most 3)\n' \
  "$size_mb" "$((peak_kib / 1024))" "$(echo "$peak_kib * 1024 / $bytes" | bc -l)"
