# Shared by the Wine benchmarks: a private prefix in a work folder that is
# removed, with its server, on exit; the 64-bit loader; the median of numbers on
# standard input; the seconds a command takes; and a pinned whole run of a build.
work=$(mktemp -d "${TMPDIR:-/tmp}/tavisk-bench.XXXXXX")
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' DISPLAY=
wine64=/usr/lib/wine/wine64
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
seconds() { local start=$(date +%s.%N); "$@" </dev/null >/dev/null 2>&1 || true; echo "$(date +%s.%N) - $start" | bc; }

# pinned_run NAME EXE: EXE on $work/NAME.xml pinned to one CPU; its seconds go to $work/NAME.times.
pinned_run() {
  rm -f "$work/$1-report".*
  seconds taskset -c 0 "$wine64" "$2" /source "$("$wine64" winepath -w "$work/$1.xml")" \
    /dest "$("$wine64" winepath -w "$work/$1-report.tavisk")" >>"$work/$1.times"
}

"$wine64" wineboot -i >/dev/null 2>&1
wineserver -w
