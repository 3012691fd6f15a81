#!/usr/bin/env bash
# Both Windows builds' reports of every function (read back byte for byte, as
# every test's reports are), and the x86_64 tavisk-report reading an archive
# through the engine DLL under Wine.
source "$(dirname "$0")/../lib.sh"
engines=$TAVISK_SOURCE_DIR/build/engines
READER=$(dirname "$TAVISK_WIN64_EXE")/tavisk-report.exe
tool_path() { winpath "$1" | tr 'A-Z' 'a-z'; }

mkdir -p tree/sub
printf '<a & "b">\r\n</filecontent>\r\n' >tree/c.txt
cat >conf.xml <<CONF
<config><Registry><getKey>HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts</getKey>
<getValue>HKEY_CURRENT_USER\\none</getValue></Registry>
<File><getFile>$(tool_path "$WORK/tree/c.txt")</getFile><getFileVersion>c:\\windows\\system32\\kernel32.dll</getFileVersion></File>
<Directory><getDirectoriesAndFiles>$(tool_path "$WORK/tree")</getDirectoriesAndFiles><getDirectoriesRecursively>$(tool_path "$WORK/tree")</getDirectoriesRecursively></Directory>
<System><getSystem>DISK</getSystem><getSystem>MEMORY</getSystem><getSystem>OS</getSystem><getSystem>USER</getSystem></System>
<Service><getServiceStatus>ALL</getServiceStatus><getServiceStatus>nosuch</getServiceStatus></Service></config>
CONF
for build in "${WINDOWS_BUILDS[@]}"; do
  read -r arch exe engine name <<<"$build"
  mkdir -p "$arch"
  cp "$exe" "$arch/tavisk.exe"
  cp "$engines/$engine/7z.dll" "$arch/$name"
  run_tool "$arch/tavisk.exe" /source "$(tool_path "$WORK/conf.xml")" /dest "$(tool_path "$WORK/$arch/r.tavisk")"
  expect_eq "$STATUS" 0 "$arch: report written"
done

cp "$READER" x86_64/tavisk-report.exe
run_tool x86_64/tavisk-report.exe show "$(winpath "$WORK/${REFERENCE_ARCH}/r.tavisk")"
expect_eq "$STATUS" 0 "tavisk-report.exe show: exit status"
expect_contains "$OUT" "Computer:       $(hostname | tr 'a-z' 'A-Z' | cut -c1-15)" "tavisk-report.exe show: computer"
run_tool x86_64/tavisk-report.exe show "$(winpath "$WORK/conf.xml")"
expect_eq "$STATUS" 2 "tavisk-report.exe show of a configuration: refused"
finish
