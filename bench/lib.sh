# Shared by the benchmark scripts: sourced, never run.

# The median of the numbers on standard input, one a line.
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# timed NAME COMMAND...: RUNS runs of the command, each after the script's own
# before_run where it defines one; prints the median wall seconds and the peak
# KiB, and keeps them in $work/NAME.times. Status 1 is an answer (a diff that
# found changes); a higher one is named as a failure.
timed() {
  local name=$1
  shift
  for _ in $(seq "$runs"); do
    if declare -F before_run >/dev/null; then before_run; fi
    /usr/bin/time -f '%e %M' -o "$work/one" "$@" </dev/null >/dev/null 2>&1 || [ $? = 1 ] || echo "FAILED: $name" >&2
    tail -1 "$work/one"  # after "Command exited with non-zero status N"
  done >"$work/$name.times"
  printf '%-34s %7.2f s  %8d KiB\n' "$name" "$(cut -d' ' -f1 "$work/$name.times" | median)" \
    "$(cut -d' ' -f2 "$work/$name.times" | sort -n | tail -1)"
}
