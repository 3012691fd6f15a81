# Checks shared by the Linux and Wine system tests; sourced after lib.sh.

# expect_near ACTUAL EXPECTED TOLERANCE DESCRIPTION: numbers within the tolerance.
expect_near() {
  checks=$((checks + 1))
  if ! awk -v a="$1" -v e="$2" -v t="$3" 'BEGIN { d = a - e; exit !(a ~ /^[0-9.]+$/ && d <= t && -d <= t) }'; then
    fail "$4: $1 is not within $3 of $2"
  fi
}

# expect_match TEXT ERE DESCRIPTION
expect_match() {
  checks=$((checks + 1))
  grep -Eq -- "$2" <<<"$1" || fail "$3: '$1' does not match $2"
}

# system_section BASE: the system section of a run's report (start tag to end tag), LF line ends.
system_section() { report_of "$1" | tr -d '\r' | sed -n '/^<system /,/^<\/system>$/p'; }

# figure NAME START-TAG: the value of one attribute of the system start tag.
figure() { sed -nE "s/.* $1=\"([^\"]*)\".*/\\1/p; s/^<system $1=\"([^\"]*)\".*/\\1/p" <<<"$2" | head -1; }

# check_cpu_lines CPU-ELEMENT: the count, the load with "%" and the end tag on the lines after the name.
check_cpu_lines() {
  expect_eq "$(sed -n 2p <<<"$1" | cut -d'|' -f2)" "$(nproc)" "the logical processors"
  local load
  load=$(sed -n 2p <<<"$1" | cut -d'|' -f3)
  # %g with two significant digits, 0 to 100: 0, 0.51, 7.5, 13, 1e+02, and 5e-05 for a near-idle machine.
  expect_match "$load" '^(0|0\.0{0,3}[1-9][0-9]?|[1-9](\.[0-9])?|[1-9][0-9]|1e\+02|[1-9](\.[0-9])?e-[0-9]{2})%$' \
    "the load, two significant digits"
  expect_eq "$(sed -n 3p <<<"$1")" "</cpu>" "the end tag on its own line"
}

# check_uptime START-TAG: the uptime in milliseconds against the kernel's, within 30 s of the run.
check_uptime() {
  expect_near "$(figure uptime "$1")" "$(awk '{ printf "%d", $1 * 1000 }' /proc/uptime)" 30000 "the uptime"
}
