#!/usr/bin/env bash
# The reference Windows build's run from banner to prompt, under Wine, on real files.
source "$(dirname "$0")/../lib.sh"
EXE=$REFERENCE_EXE
HOST=$(hostname | tr 'a-z' 'A-Z' | cut -c1-15)
USERNAME="$HOST\\$(id -un)"
# Windows paths of this machine's files, as the build lower-cases them.
tool_path() { winpath "$1" | tr 'A-Z' 'a-z'; }
exe_path() { winpath "$1"; }
source "$(dirname "$0")/../driver-checks.sh"
finish
