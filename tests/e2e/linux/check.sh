#!/usr/bin/env bash
# /check of the Linux build: agreement with a real run, and bad configurations.
source "$(dirname "$0")/../lib.sh"
EXE=$TAVISK_EXE
tool_path() { printf '%s' "$1"; }
source "$(dirname "$0")/../check-checks.sh"
finish
