#!/usr/bin/env bash
# tavisk-report against extracting with `7zz e -so`, whole processes, medians of RUNS:
#   1. show and html of an archive holding a report of SIZE_MB (one embedded log), and their peak
#      memory (html keeps the first 1 MiB of the log: target peak <= 128 MB whatever SIZE_MB);
#   2. diff of two reports listing 100,000 files each, and its peak memory; the
#      memory per record from a second pair listing 300,000 files each;
#   3. html of the 100,000-file report, and headless Chromium opening that page
#      (the whole browser process, and the page's first contentful paint from its navigation).
# Usage: bench/report_reader.sh BUILD_DIR [RUNS] [SIZE_MB]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-3}
size_mb=${3:-1000}
work=$(mktemp -d "${TMPDIR:-/tmp}/tavisk-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
frame() { printf '<?xml version="1.0"?>\r\r\n<computer hostname="bench" username="b\\u" date="%s">\r\n' "$1"; }

# 1. One log of SIZE_MB embedded, packed as the tool packs (level 2).
{
  frame 1
  printf '<file>\r\n<filecontent name="/var/log/big.log" noparse="TRUE">\r\n'
  awk -v bytes="$((size_mb * 1024 * 1024))" 'BEGIN { for (t = 0; t < bytes; t += length(l) + 2) {
    l = sprintf("%08d 2026-12-07 10:%02d:%02d INFO Dienst %d meldet Zustand %d", n++, n % 60, n % 59, n % 40, n * 7919 % 1000003)
    printf "%s\r\n", l } }'
  printf '</filecontent>\r\n</file>\r\n</computer>'
} >"$work/big.xml"
7zz a -mx2 -bso0 "$work/big.tavisk" "$work/big.xml"
rm "$work/big.xml"
echo "show of a ${size_mb} MB report:"
timed "7zz e -so" 7zz e -so "$work/big.tavisk"
timed "tavisk-report show" "$build/tavisk-report" show "$work/big.tavisk"
timed "tavisk-report html" "$build/tavisk-report" html "$work/big.tavisk"
echo "html peak memory target: <= 131072 KiB"

# 2. and 3. Listings of FILES files; the newer one changed in every hundredth.
listing() {
  frame "$1"
  printf '<file>\r\n'
  awk -v step="$2" -v files="${3:-100000}" 'BEGIN { for (i = 0; i < files; i++)
    printf "<properties name=\"/srv/data/d%03d/file%06d.dat\">%d|1700000000|%d|none|none</properties>\r\n", i % 1000, i, 1700000000 + (i % step == 0), i * 37 }'
  printf '</file>\r\n</computer>'
}
listing 1 1000000 >"$work/old.xml"
listing 2 100 >"$work/new.xml"
7zz a -mx2 -bso0 "$work/old.tavisk" "$work/old.xml"
7zz a -mx2 -bso0 "$work/new.tavisk" "$work/new.xml"
echo "diff of two 100,000-file reports:"
timed "7zz e -so (both)" bash -c '7zz e -so "$1"; 7zz e -so "$2"' _ "$work/old.tavisk" "$work/new.tavisk"
timed "tavisk-report diff" "$build/tavisk-report" diff "$work/old.tavisk" "$work/new.tavisk"
peak() { cut -d' ' -f2 "$work/$1.times" | sort -n | tail -1; }
listing 1 1000000 300000 >"$work/old3.xml"
listing 2 100 300000 >"$work/new3.xml"
7zz a -mx2 -bso0 "$work/old3.tavisk" "$work/old3.xml"
7zz a -mx2 -bso0 "$work/new3.tavisk" "$work/new3.xml"
timed "diff, 300,000 files each" "$build/tavisk-report" diff "$work/old3.tavisk" "$work/new3.tavisk"
echo "memory per record: $(((($(peak "diff, 300,000 files each") - $(peak "tavisk-report diff")) * 1024) / 200000)) bytes"
echo "html of the 100,000-file report:"
timed "tavisk-report html" "$build/tavisk-report" html "$work/new.tavisk"
"$build/tavisk-report" html "$work/new.tavisk" -o "$work/page.html"
if command -v chromium >/dev/null; then
  timed "chromium opens the page" chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
    --no-first-run --user-data-dir="$work/profile" --screenshot="$work/page.png" "file://$work/page.html"
  timed "chromium, empty page" chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
    --no-first-run --user-data-dir="$work/profile" --screenshot="$work/empty.png" "about:blank"
  for _ in $(seq "$runs"); do
    node "$(dirname "$0")/first_paint.js" chromium "$work/profile" "file://$work/page.html"
  done | median | xargs printf '%-28s %6d ms\n' "first paint of the page"
fi
