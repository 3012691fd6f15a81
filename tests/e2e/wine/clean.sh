#!/usr/bin/env bash
# tavisk-report.exe clean under Wine: a report of the Windows build with an
# address, a MAC, a secret and the computer name in an embedded file, cleaned
# through the engine DLL into a new archive, with the map in the user's
# application data by default.
source "$(dirname "$0")/../lib.sh"
engines=$TAVISK_SOURCE_DIR/build/engines
READER=$(dirname "$TAVISK_WIN64_EXE")/tavisk-report.exe
tool_path() { winpath "$1" | tr 'A-Z' 'a-z'; }

host=$(hostname | tr 'a-z' 'A-Z' | cut -c1-15)
printf 'connect \\\\%s\\share from 192.168.77.5 mac 00-1B-2C-3D-4E-77\r\napi_key = "k3yplanted"\r\nAcmeWine\r\n' "$host" >planted.txt
cat >conf.xml <<CONF
<config><File><getFile>$(tool_path "$WORK/planted.txt")</getFile></File>
<System><getSystem>USER</getSystem></System></config>
CONF
read -r arch exe engine name <<<"${WINDOWS_BUILDS[0]}"
mkdir -p "$arch" x86_64
cp "$exe" "$arch/tavisk.exe"
cp "$engines/$engine/7z.dll" "$arch/$name"
cp "$READER" x86_64/tavisk-report.exe
cp "$engines/x64/7z.dll" x86_64/7zx64.dll
run_tool "$arch/tavisk.exe" /source "$(tool_path "$WORK/conf.xml")" /dest "$(tool_path "$WORK/$arch/r.tavisk")"
expect_eq "$STATUS" 0 "$arch: report written"

appdata=$(wine_run cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
default_map=$(wine_run winepath -u "$appdata\\Tavisk\\clean-map.json" 2>/dev/null)
rm -f "$default_map"
run_tool x86_64/tavisk-report.exe clean "$(winpath "$WORK/$arch/r.tavisk")" -o "$(winpath "$WORK/c.tavisk")" --keyword acmewine
expect_eq "$STATUS:$ERR" "0:" "tavisk-report.exe clean: done"
7zz e -so c.tavisk >c.xml 2>/dev/null
expect_contains "$(sed -n 2p c.xml)" 'hostname="HOST0"' "the computer name masked"
for item in "$host" 192.168.77 00-1B-2C-3D-4E-77 k3yplanted AcmeWine; do
  checks=$((checks + 1))
  if grep -aqiF "$item" c.xml; then fail "clean: '$item' survives"; fi
done
expect_contains "$(cat c.xml)" 'api_key = "********"' "the secret replaced"
checks=$((checks + 1))
[ -f "$default_map" ] && grep -qi "\"$host\"" "$default_map" || fail "the map in %APPDATA%\\Tavisk holds the computer name"
run_tool x86_64/tavisk-report.exe show "$(winpath "$WORK/c.tavisk")"
expect_contains "$STATUS:$OUT" "0:Computer:       HOST0" "show reads the cleaned archive"
rm -f "$default_map"
finish
