#!/usr/bin/env bash
# A whole run of the Linux build with getServiceStatus ALL against a real systemd
# user manager (tests/e2e/systemd-user.sh) with 50 and with 550 service unit files,
# side by side with `systemctl list-units --all --type=service` plus `systemctl
# list-unit-files --type=service` on the same manager; medians of RUNS whole
# processes. Target: the run at most 1.3 times the two systemctl calls. Needs root.
# Measured on a quiet 2-CPU Debian 12 machine, systemd 252: 50 files 101 ms against
# 128 ms (0.79), 550 files 1.01 s against 0.82 s (1.21-1.24).
# Usage: bench/services_systemd.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-9}
TAVISK_SOURCE_DIR=$(cd "$(dirname "$0")/.." && pwd)
source "$TAVISK_SOURCE_DIR/tests/e2e/systemd-user.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/tavisk-bench.XXXXXX")
trap 'stop_user_manager; rm -rf "$work"' EXIT
if reason=$(user_manager_missing) && [ -n "$reason" ]; then echo "$reason" >&2; exit 1; fi

# medians_ms COMMAND...: the median wall time of each command over RUNS rounds, in
# milliseconds; each round runs every command once, so that other work on the machine
# weighs on all of them alike.
medians_ms() {
  local round command start
  declare -A times=()
  for round in $(seq "$runs"); do
    for command in "$@"; do
      start=$(date +%s%N)
      "$command" </dev/null >/dev/null 2>&1 || { echo "failed: $command" >&2; exit 1; }
      times[$command]+="$((($(date +%s%N) - start) / 1000)) "
    done
  done
  for command in "$@"; do
    printf '%s\n' ${times[$command]} | sort -n | sed -n "$(((runs + 1) / 2))p" | awk '{ printf "%.1f ", $1 / 1000 }'
  done
}

# The configuration is named apart from the report (the archive's name with .xml).
tavisk_run() { "$build/tavisk" /source "$work/$1.xml" /dest "$work/run.tavisk" && rm "$work/run.tavisk"; }
tavisk_all() { tavisk_run all; }
tavisk_nothing() { tavisk_run nothing; }
systemctl_units() { user_systemctl list-units --all --type=service; }
systemctl_files() { user_systemctl list-unit-files --type=service; }
printf '<config><Service><getServiceStatus>ALL</getServiceStatus></Service></config>' >"$work/all.xml"
# A run that asks the manager nothing: start, report and packing alone.
printf '<config><Registry><getValue>%s</getValue></Registry></config>' \
  'HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProductName' >"$work/nothing.xml"

# bench FILES: a fresh manager with that many service unit files in all: the vendor
# ones and generated ones, every second enabled, every fifth running.
bench() {
  local files=$1 dir="$work/manager-$1" number name
  USER_DIR=$dir
  mkdir -p "$dir/data/systemd/user"
  local vendor
  vendor=$(find /usr/lib/systemd/user /etc/systemd/user -maxdepth 1 -name '*.service' ! -name '*@.service' 2>/dev/null | wc -l)
  for number in $(seq -w $((files - vendor))); do
    printf '[Unit]\nDescription=Bench unit %s\n[Service]\nExecStart=/bin/sleep 600\n[Install]\nWantedBy=default.target\n' \
      "$number" >"$dir/data/systemd/user/b-$number.service"
  done
  start_user_manager "$dir" || { echo "the user manager did not start: $USER_FAILURE" >&2; exit 1; }
  user_systemctl enable $(cd "$dir/data/systemd/user" && ls | awk 'NR % 2') >/dev/null 2>&1
  user_systemctl start $(cd "$dir/data/systemd/user" && ls | awk 'NR % 5 == 0') >/dev/null 2>&1
  local listed all nothing units unitFiles
  listed=$(systemctl_files | grep -c '\.service ')
  read -r all nothing units unitFiles <<<"$(medians_ms tavisk_all tavisk_nothing systemctl_units systemctl_files)"
  awk -v f="$listed" -v a="$all" -v n="$nothing" -v u="$units" -v l="$unitFiles" 'BEGIN {
    printf "%4d unit files: tavisk ALL %7.1f ms (run without services %5.1f ms) | list-units %5.1f ms + list-unit-files %6.1f ms = %7.1f ms | ratio %.2f (target <= 1.3)\n",
      f, a, n, u, l, u + l, a / (u + l) }'
  stop_user_manager
}

bench 50
bench 550
