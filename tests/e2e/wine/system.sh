#!/usr/bin/env bash
# System requests of each Windows build under Wine, against what Wine answers:
# an added drive listed with its figures and an optical one left out, memory,
# the locale from LC_ALL, the processor, the figures of the system element, and
# the failure elements Wine's account calls lead to.
source "$(dirname "$0")/../lib.sh"
source "$TAVISK_SOURCE_DIR/tests/e2e/system-checks.sh"

# Wine reads its drives when its server starts: a private copy of the shared
# prefix gets its own server, restarted here without disturbing other tests.
cp -a "$WINEPREFIX" "$WORK/prefix"
export WINEPREFIX=$WORK/prefix
{ export LC_ALL=de_DE.UTF-8; } 2>/dev/null  # for Wine; the shell itself lacks that locale
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WORK"' EXIT
mkdir "$WORK/hard" "$WORK/optical"
ln -s "$WORK/hard" "$WINEPREFIX/dosdevices/e:"
ln -s "$WORK/optical" "$WINEPREFIX/dosdevices/f:"
wine_run reg add 'HKLM\Software\Wine\Drives' /v f: /d cdrom /f /reg:64 >/dev/null 2>&1
wineserver -k 2>/dev/null || true
wineserver -w

gib() { awk -v b="$1" 'BEGIN { printf "%.2f", int(b / 1048576) / 1024 }'; }
meminfo_bytes() { awk -v fields="$1" 'BEGIN { n = split(fields, f, " "); for (i = 1; i <= n; i++) want[f[i] ":"] = 1 }
  ($1 in want) { sum += $2 } END { printf "%.2f", sum * 1024 / 1073741824 }' /proc/meminfo; }
processor=$(wine_run reg query 'HKLM\HARDWARE\DESCRIPTION\System\CentralProcessor\0' /v ProcessorNameString 2>/dev/null |
  tr -d '\r' | sed -n 's/^ *ProcessorNameString *REG_SZ *//p')

for build in "${WINDOWS_BUILDS[@]}"; do
  read -r arch exe _ <<<"$build"
  printf '<config><System><getSystem>all</getSystem><getUser>%s\\root</getUser><getUser>nobackslash</getUser></System></config>' \
    "$(hostname | tr a-z A-Z)" >"$WORK/$arch.xml"
  # Read just before the run: other work on the machine moves the free space.
  read -r blocks available size < <(stat -f -c '%b %a %S' "$WORK/hard")
  run_tool "$exe" /source "$(winpath "$WORK/$arch.xml")" /dest "$(winpath "$WORK/$arch-report.tavisk")"
  section=$(system_section "$WORK/$arch-report")

  start=$(head -1 <<<"$section")
  expect_match "$start" '^<system handle="[0-9]+" uptime="[0-9]+" processes="[0-9]+">$' "$arch: all three figures"
  check_uptime "$start"

  expect_eq "$(grep '^<disk>' <<<"$section" | cut -d'|' -f1)" '<disk>C:\
<disk>E:\
<disk>Z:\' "$arch: the hard-disk drives in drive order, the optical one left out"
  hard=$(grep '^<disk>E:' <<<"$section")
  expect_eq "$(cut -d'|' -f3 <<<"$hard")" "$(gib $((blocks * size)))</disk>" "$arch: the added drive's size"
  expect_near "$(cut -d'|' -f2 <<<"$hard")" "$(gib $((available * size)))" 0.5 "$arch: the added drive's free space"

  ram=$(grep '^<ram>' <<<"$section" | sed -E 's/<\/?ram>//g')
  expect_near "$(cut -d'|' -f3 <<<"$ram")" "$(meminfo_bytes 'MemFree Buffers Cached')" 1 "$arch: the available memory"
  if [ "$arch" = i686 ] && i686_emulated; then
    # qemu hands a 32-bit program the kernel's memory total cut to 32 bits, where a
    # 64-bit kernel scales it; Wine derives the total and the load from that.
    echo "SKIP: i686: the installed memory and the memory load under qemu's emulation" >&2
  else
    expect_near "$(cut -d'|' -f2 <<<"$ram")" "$(meminfo_bytes MemTotal)" 0.01 "$arch: the installed memory"
    expect_match "$(cut -d'|' -f1 <<<"$ram")" '^([0-9]|[1-9][0-9]|100)$' "$arch: the memory load"
  fi

  expect_match "$(sed -n '/^<os>/,/<\/os>$/p' <<<"$section" | tr '\n' '~')" '^<os>Microsoft Windows [^~|]+~\|x64\|de-DE</os>~$' \
    "$arch: product name with its line feed, a 64-bit system, LC_ALL's locale"
  cpu=$(sed -n '/^<cpu>/,/^<\/cpu>$/p' <<<"$section")
  expect_eq "$(head -1 <<<"$cpu")" "<cpu>$processor" "$arch: the processor's name"
  check_cpu_lines "$cpu"

  expect_eq "$(sed -n '/^<localuser/,$p' <<<"$section")" "<localuser>The level Parameter is not set</localuser>
<user name=\"$(hostname | tr a-z A-Z)\\root\"></user>
<user name=\"nobackslash\"></user>
</system>" "$arch: Wine lacks the account level asked for and has no domain controller"
done
finish
