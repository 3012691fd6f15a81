#!/usr/bin/env bash
# /check of the Windows builds under Wine: agreement with a real run, and bad configurations.
source "$(dirname "$0")/../lib.sh"
tool_path() { winpath "$1" | tr 'A-Z' 'a-z'; }
for build in "${WINDOWS_BUILDS[@]}"; do
  set -- $build
  EXE=$2
  source "$(dirname "${BASH_SOURCE[0]}")/../check-checks.sh"
done
finish
