#!/usr/bin/env bash
# System requests of the Linux build against what the machine itself reports:
# volumes, memory, operating system, processor, accounts and the figures of the
# system element, moving figures within tolerances.
source "$(dirname "$0")/../lib.sh"
source "$TAVISK_SOURCE_DIR/tests/e2e/system-checks.sh"
EXE=$TAVISK_EXE
HOST=$(hostname)

# run_system NAME REQUESTS [ENV...]: the system section of a run on one System block.
run_system() {
  local name=$1 requests=$2
  shift 2
  printf '<config><System>%s</System></config>' "$requests" >"$WORK/$name.xml"
  env "$@" "$EXE" /source "$WORK/$name.xml" /dest "$WORK/$name-report.tavisk" </dev/null >/dev/null 2>&1 || true
  system_section "$WORK/$name-report"
}

gib() { awk -v b="$1" 'BEGIN { printf "%.2f", b / 1073741824 }'; }
meminfo() { awk -v f="$1:" '$1 == f { print $2 * 1024 }' /proc/meminfo; }
product_name() { (. /etc/os-release 2>/dev/null || . /usr/lib/os-release; printf '%s' "${PRETTY_NAME:-$NAME}"); }
case "$(uname -m)" in *64* | s390x) BITS=x64 ;; *) BITS=x86 ;; esac

long=$(head -c 5000 /dev/zero | tr '\0' 'a')
section=$(run_system all "<getSystem>ALL</getSystem><getSystem> DISK</getSystem><getSystem>disks</getSystem>\
<getSystem></getSystem><getUser>$HOST\\root</getUser><getUser>root</getUser><getUser>$HOST\\nosuchuser</getUser>\
<getUser>OTHERDOMAIN\\root</getUser><getUser>\\\\\\</getUser><getUser>$HOST\\$long</getUser>" LC_ALL=de_DE.UTF-8)
start=$(head -1 <<<"$section")
expect_match "$start" '^<system handle="[0-9]+" uptime="[0-9]+" processes="[0-9]+">$' "the figures of the system element"
# Other jobs on the machine open files and start processes meanwhile: half the count, and some, either way.
handles=$(cut -f1 /proc/sys/fs/file-nr)
# A process that ends while find reads /proc makes find fail; the count stands.
processes=$({ find /proc -maxdepth 1 -name '[0-9]*' 2>/dev/null || true; } | wc -l)
expect_near "$(figure handle "$start")" "$handles" $((handles / 2 + 1000)) "the handles open on the machine"
expect_near "$(figure processes "$start")" "$processes" $((processes / 2 + 50)) "the processes"
check_uptime "$start"

# The root file system: total exactly, free within what other jobs write meanwhile.
root=$(grep '^<disk>/|' <<<"$section")
read -r blocks available size < <(stat -f -c '%b %a %S' /)
expect_eq "$(cut -d'|' -f3 <<<"$root")" "$(awk -v b="$blocks" -v s="$size" 'BEGIN { printf "%.2f", int(b * s / 1048576) / 1024 }')</disk>" \
  "the size of /"
# Tests running beside this one write and remove files of their own during the ten-second run.
expect_near "$(cut -d'|' -f2 <<<"$root")" "$(gib $((available * size)))" 2 "the space of / free to the caller"
expect_eq "$(grep -cE '^<disk>/(proc|sys|dev|run)/' <<<"$section")" 0 "no pseudo or RAM file systems"
expect_eq "$(grep -c '^<disk>' <<<"$section")" "$(grep '^<disk>' <<<"$section" | sort -u | wc -l)" "each mount path once"

ram=$(grep '^<ram>' <<<"$section" | sed -E 's/<\/?ram>//g')
expect_eq "$(cut -d'|' -f2 <<<"$ram")" "$(gib "$(meminfo MemTotal)")" "the installed memory"
expect_near "$(cut -d'|' -f3 <<<"$ram")" "$(gib "$(meminfo MemAvailable)")" 1 "the available memory"
expect_near "$(cut -d'|' -f1 <<<"$ram")" "$(awk '$1 == "MemTotal:" { t = $2 } $1 == "MemAvailable:" { a = $2 } END { printf "%d", (t - a) * 100 / t }' /proc/meminfo)" 10 "the memory load"

expect_eq "$(sed -n '/^<os>/,/<\/os>$/p' <<<"$section")" "<os>$(product_name)
|$BITS|de-DE</os>" "the operating system, its bitness and LC_ALL's locale"
cpu=$(sed -n '/^<cpu>/,/^<\/cpu>$/p' <<<"$section")
expect_eq "$(head -1 <<<"$cpu")" "<cpu>$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo | sed 's/[ \t]*$//')" \
  "the first processor's name"
check_cpu_lines "$cpu"

expected_users=$(awk -F: 'NR == FNR { if ($1 ~ /^(sudo|wheel|admin)$/) { gid[$3] = 1; n = split($4, m, ","); for (i = 1; i <= n; i++) member[m[i]] = 1 } next }
  /^[#+-]/ || NF < 4 { next }
  { p = ($3 == 0 || ($4 in gid) || ($1 in member)) ? "administrator" : ($1 == "nobody" || $3 == 65534) ? "guest" : "user"
    printf "<localuser name=\"%s\">%s</localuser>\n", $1, p }' /etc/group /etc/passwd)
expect_eq "$(grep '^<localuser' <<<"$section")" "$expected_users" "every account of /etc/passwd with its privilege"

groups_of() { printf '%s|' "$(id -gn "$1")"; id -Gn "$1" | tr ' ' '\n' | tail -n +2 | sed 's/$/|/' | tr -d '\n'; }
expect_eq "$(grep '^<user ' <<<"$section")" "<user name=\"$HOST\\root\">$(groups_of root)</user>
<user name=\"root\"></user>
<user name=\"$HOST\\nosuchuser\"></user>
<user name=\"OTHERDOMAIN\\root\"></user>
<user name=\"\\\\\\\"></user>
<user name=\"$HOST\\$long\"></user>" "account groups, and empty elements for accounts not found here"

# The C locale reads as US English; the locale variables are taken in glibc's order.
for case in "en-US LANG=C" "en-US LANG=POSIX LC_MESSAGES=" "fr-FR LC_MESSAGES=fr_FR.UTF-8 LANG=de_DE.UTF-8"; do
  read -r tag settings <<<"$case"
  # shellcheck disable=SC2086
  expect_contains "$(run_system locale '<getSystem>OS</getSystem>' -u LC_ALL $settings)" "|$BITS|$tag</os>" "locale of $settings"
done

# The real account lookups on account files bind-mounted over /etc where the machine allows it.
if unshare -m true 2>/dev/null; then
  mkdir -p "$WORK/etc"
  printf 'root:x:0:0::/root:/bin/sh\nalice:x:2000:2000::/home/alice:/bin/sh\nnobody:x:65534:65534::/:/bin/false\n' >"$WORK/etc/passwd"
  printf 'root:x:0:\nalice:x:2000:\nsudo:x:27:alice\nusers:x:100:alice\nnogroup:x:65534:\n' >"$WORK/etc/group"
  printf '<config><System><getSystem>USER</getSystem><getUser>%s\\alice</getUser></System></config>' "$HOST" >"$WORK/bound.xml"
  unshare -m sh -c "mount --bind '$WORK/etc/passwd' /etc/passwd && mount --bind '$WORK/etc/group' /etc/group &&
    '$EXE' /source '$WORK/bound.xml' /dest '$WORK/bound-report.tavisk'" </dev/null >/dev/null 2>&1 || true
  expect_eq "$(system_section "$WORK/bound-report" | tail -n +2)" '<localuser name="root">administrator</localuser>
<localuser name="alice">administrator</localuser>
<localuser name="nobody">guest</localuser>
<user name="'"$HOST"'\alice">alice|sudo|users|</user>
</system>' "accounts and groups through the system's own lookups"
else
  echo "SKIP: bind-mounted account files: unshare is not allowed here" >&2
fi
finish
