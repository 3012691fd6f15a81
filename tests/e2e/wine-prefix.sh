#!/usr/bin/env bash
# Creates the private Wine prefix the Windows end-to-end tests share: a 64-bit
# prefix, which runs both builds where the kernel executes 32-bit programs.
set -euo pipefail
# A server left from an earlier run would keep serving the removed prefix.
if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
rm -rf "$WINEPREFIX"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! /usr/lib/wine/wine64 wineboot -i >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi
wineserver -w
