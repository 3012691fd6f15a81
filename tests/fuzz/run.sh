#!/usr/bin/env bash
# run.sh TARGET CORPUS WORK RUNS: runs a fuzz target a fixed number of times over
# a copy of its corpus (libFuzzer adds what it finds to the folder it is given).
set -euo pipefail
target=$1 corpus=$2 work=$3 runs=$4
rm -rf "$work"
mkdir -p "$work"
cp -r "$corpus/." "$work"
exec "$target" -runs="$runs" -seed=1 -max_len=4096 -artifact_prefix="$work-" "$work"
