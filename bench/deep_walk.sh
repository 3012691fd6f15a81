#!/usr/bin/env bash
# Peak memory of the whole run for recursive listings of deep trees, which a
# local user can make as deep as they like: 10,000 levels of 1-byte names and
# 3,000 levels of 200-byte names. Target: at most 64 MiB plus the longest path.
# Usage: bench/deep_walk.sh BUILD_DIR [WORK_DIR]
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d "${2:-${TMPDIR:-/tmp}}/tavisk-deep.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Made level by level from the open parent: such paths are longer than any path the kernel takes whole.
make_chain() {
  python3 - "$1" "$2" "$3" <<'PY'
import os, sys
top, depth, name = sys.argv[1], int(sys.argv[2]), "d" * int(sys.argv[3])
os.mkdir(top)
parent = os.open(top, os.O_RDONLY | os.O_DIRECTORY)
for level in range(depth):
    os.mkdir(name, dir_fd=parent)
    child = os.open(name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=parent)
    open(os.open("f", os.O_CREAT | os.O_WRONLY, 0o644, dir_fd=child), "w").close()
    os.close(parent)
    parent = child
PY
}

for shape in "10000 1" "3000 200"; do
  read -r depth length <<<"$shape"
  tree=$work/tree-$depth
  make_chain "$tree" "$depth" "$length"
  longest=$(( ${#tree} + depth * (length + 1) + 2 ))
  for request in getDirectoriesRecursively getDirectoriesAndFilesRecursively; do
    printf '<config><Directory><%s>%s</%s></Directory></config>' "$request" "$tree" "$request" >"$work/config.xml"
    peak=$( { /usr/bin/time -f %M "$build/tavisk" /source "$work/config.xml" /dest "$work/report.tavisk" \
      </dev/null >/dev/null; } 2>&1 | tail -1)
    report=$(7zz e -so "$work/report.tavisk" 2>/dev/null | wc -c)
    limit=$(( 64 * 1024 + longest * 4 / 1024 ))
    echo "$depth levels of $length-byte names, $request: peak $peak KiB for a $((report / 1048576)) MiB report" \
      "(target: at most $limit KiB, 64 MiB and the longest path of $longest characters as wide text)"
    rm -f "$work/report.tavisk"
  done
done
