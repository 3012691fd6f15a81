#!/usr/bin/env bash
# The Linux build's run from banner to prompt, on real files.
source "$(dirname "$0")/../lib.sh"
EXE=$TAVISK_EXE
HOST=$(hostname)
USERNAME="$HOST\\$(id -un)"
tool_path() { printf '%s' "$1"; }
exe_path() { printf '%s' "$1"; }
source "$(dirname "$0")/../driver-checks.sh"

run_tool "$EXE" /source "caf$(printf '\xe9').xml"
expect_eq "$STATUS" 255 "an argument that is not UTF-8 ends with -1"
expect_contains "$OUT" "Es ist ein unbekannter Fehler aufgetreten, wenden Sie sich bitte an den Support." \
  "undecodable argument message"
finish
