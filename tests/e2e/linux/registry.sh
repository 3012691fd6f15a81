#!/usr/bin/env bash
# Registry requests of the Linux build: the registry view holds this machine's
# processors and operating system name; every other path answers like a missing key.
source "$(dirname "$0")/../lib.sh"
EXE=$TAVISK_EXE
LM='HKEY_LOCAL_MACHINE'
CPU="$LM\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor"
PRODUCT="$LM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProductName"
NOT_FOUND=$'The system cannot find the file specified.\r'
INVALID_HANDLE=$'The handle is invalid.\r'

# run_requests REQUESTS: the registry section of a run on one Registry block, line
# ends as LF (a line of an error text keeps the CR of the system's text).
run_requests() {
  printf '<config><Registry>%s</Registry></config>' "$1" >"$WORK/config.xml"
  rm -f "$WORK/report.tavisk" "$WORK/report.xml"
  run_tool "$EXE" /source "$WORK/config.xml" /dest "$WORK/report.tavisk"
  report_of "$WORK/report" | sed -e '1,/^<registry>\r$/d' -e '/^<\/registry>\r$/,$d' -e 's/\r$//'
}

# The processors as /proc/cpuinfo lists them, under key names sorted as the registry sorts them.
processor_elements() {
  awk -F'[ \t]*:' -v key="$CPU" '
    { v = $0; sub(/^[^:]*:[ \t]*/, "", v); sub(/[ \t]+$/, "", v) }
    $1 == "processor" { n = v }
    $1 == "vendor_id" { print n "\t" ++i "\t<key name=\"" key "\\" n "\\VendorIdentifier\" type=\"String\">" v "</key>" }
    $1 == "model name" { print n "\t" ++i "\t<key name=\"" key "\\" n "\\ProcessorNameString\" type=\"String\">" v "</key>" }
    $1 == "cpu MHz" { printf "%s\t%d\t<key name=\"%s\\%s\\~MHz\" type=\"DWORD\">%d</key>\n", n, ++i, key, n, v + 0.5 }
  ' /proc/cpuinfo | LC_ALL=C sort -t$'\t' -k1,1 -k2,2n | cut -f3-
  printf '<key name="%s"/>\n' "$CPU"
}

product_name() {
  (. /etc/os-release 2>/dev/null || . /usr/lib/os-release; printf '%s' "${PRETTY_NAME:-$NAME}")
}

expect_eq "$(run_requests "<getKey>$CPU</getKey>")" "$(processor_elements)" "every processor of the machine"
expect_eq "$(grep -c '^processor' /proc/cpuinfo)" "$(run_requests "<getKey>$CPU</getKey>" | grep -c ProcessorNameString)" \
  "one processor key per processor"

expect_eq "$(run_requests "<getValue>$PRODUCT</getValue><getValue>hkey_local_machine\\software\\microsoft\\windows nt\\currentversion\\productname</getValue>")" \
  "<key name=\"$PRODUCT\" type=\"String\">$(product_name)</key>
<key name=\"hkey_local_machine\\software\\microsoft\\windows nt\\currentversion\\productname\" type=\"String\">$(product_name)</key>" \
  "the operating system's name as the product name"

expect_eq "$(run_requests "<getKey>$LM\\SOFTWARE</getKey>")" \
  "<key name=\"$PRODUCT\" type=\"String\">$(product_name)</key>
<key name=\"$LM\\SOFTWARE\\Microsoft\\Windows NT\"/>
<key name=\"$LM\\SOFTWARE\\Microsoft\"/>
<key name=\"$LM\\SOFTWARE\"/>" "the product key's tree in post-order"

expect_eq "$(run_requests "<getValue>$LM\\SOFTWARE\\Vendor\\App\\Version</getValue><getValue>$LM\\</getValue><getValue>$LM</getValue><getKey>HKEY_CURRENT_USER\\Software</getKey><getKey>$LM</getKey><getKey>$CPU </getKey>")" \
  "<key name=\"$LM\\SOFTWARE\\Vendor\\App\\Version\">$NOT_FOUND
</key>
<key name=\"$LM\\\">$NOT_FOUND
</key>
<key name=\"$LM\">$NOT_FOUND
</key>
<key name=\"HKEY_CURRENT_USER\\Software\">$NOT_FOUND
</key>
<key name=\"$LM\">$NOT_FOUND
</key>
<key name=\"$CPU \">$NOT_FOUND
</key>" "paths outside the machine's facts answer like missing keys"

expect_eq "$(run_requests "<getValue>HKLM\\SOFTWARE\\x</getValue><getKey>
$CPU</getKey><getKey> $CPU</getKey>")" \
  "<key name=\"HKLM\\SOFTWARE\\x\">$INVALID_HANDLE
</key>
<key name=\"
$CPU\">$INVALID_HANDLE
</key>
<key name=\" $CPU\">$INVALID_HANDLE
</key>" "unknown roots, and roots behind blanks or a line break, give the invalid handle"

expect_eq "$(run_requests "<getKey>$LM\\</getKey>" | tail -1)" "<key name=\"$LM\\\"/>" "a root and one backslash dump the whole root"
finish
