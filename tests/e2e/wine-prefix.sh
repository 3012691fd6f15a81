#!/usr/bin/env bash
# Creates the private Wine prefix the Windows end-to-end tests share.
set -euo pipefail
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
