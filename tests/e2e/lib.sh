# Shared helpers of the end-to-end tests; sourced by every test script.
# Environment from CTest: TAVISK_EXE (Linux build), TAVISK_WIN32_EXE and
# TAVISK_WIN64_EXE (Windows builds), WINEPREFIX, TAVISK_SOURCE_DIR.
set -euo pipefail

# Lower case only: the Windows builds lower-case the paths they are given.
WORK="${TMPDIR:-/tmp}/tavisk-e2e-$$-$RANDOM"
mkdir -p "$WORK"
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
failures=0
checks=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# expect_eq ACTUAL EXPECTED DESCRIPTION
expect_eq() {
  checks=$((checks + 1))
  if [ "$1" != "$2" ]; then
    fail "$3"
    diff <(printf '%s\n' "$2") <(printf '%s\n' "$1") | head -40 >&2 || true
  fi
}

# expect_contains HAYSTACK NEEDLE DESCRIPTION
expect_contains() {
  checks=$((checks + 1))
  case "$1" in *"$2"*) ;; *) fail "$3: '$2' not found in: $1" ;; esac
}

# expect_file_bytes FILE EXPECTED-BYTES-FILE DESCRIPTION
expect_file_bytes() {
  checks=$((checks + 1))
  if ! cmp -s "$1" "$2"; then
    fail "$3"
    diff <(cat -A "$2") <(cat -A "$1") | head -40 >&2 || true
  fi
}

# Wine's 32-bit loader runs where the kernel executes 32-bit programs or where
# setup put qemu's user-mode emulation in between; its 64-bit loader runs 64-bit
# programs and Wine's own tools without either.
WINE64_LOADER=/usr/lib/wine/wine64
i686_runs() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
# True where 32-bit programs run under qemu's user-mode emulation (see setup.sh).
i686_emulated() { grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; }

# True for a 64-bit Windows program (machine field of its PE header: 0x8664).
is_win64() {
  local pe
  pe=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
  [ "$(od -An -t x2 -j $((pe + 4)) -N 2 "$1" | tr -d ' ')" = 8664 ]
}

# wine_run PROGRAM ARGS...: a Windows program (or one of Wine's own tools, such as
# reg or wineboot) with the loader that can run it.
wine_run() {
  if [ -f "$1" ] && ! is_win64 "$1"; then wine "$@"; else "$WINE64_LOADER" "$@"; fi
}

# The Windows builds that can run here, as "ARCH EXE ENGINE-FOLDER ENGINE-NAME";
# REFERENCE_* name the first of them, the i686 build wherever it can run.
WINDOWS_BUILDS=()
if [ -n "${TAVISK_WIN32_EXE:-}" ]; then
  if i686_runs; then
    WINDOWS_BUILDS+=("i686 $TAVISK_WIN32_EXE ia32 7zx86.dll")
  else
    echo "SKIP: the i686 build: 32-bit programs do not run here; the x86_64 build takes its checks" >&2
  fi
  WINDOWS_BUILDS+=("x86_64 $TAVISK_WIN64_EXE x64 7zx64.dll")
  read -r REFERENCE_ARCH REFERENCE_EXE REFERENCE_ENGINE REFERENCE_ENGINE_NAME <<<"${WINDOWS_BUILDS[0]}"
  REFERENCE_GCC=$REFERENCE_ARCH-w64-mingw32-gcc-posix
fi

# run_tool EXE ARGS...: runs a build with no input; sets OUT, ERR (CR removed) and STATUS.
# Every report the run leaves in WORK is kept for reading back at the end.
run_tool() {
  local exe=$1
  shift
  local runner=()
  case "$exe" in *.exe) runner=(wine_run) ;; esac
  report_files >"$REPORTS/before"
  set +e
  "${runner[@]}" "$exe" "$@" </dev/null >"$WORK/.out" 2>"$WORK/.err"
  STATUS=$?
  set -e
  OUT=$(tr -d '\r' <"$WORK/.out")
  ERR=$(tr -d '\r' <"$WORK/.err")
  keep_new_reports
}

# Reports a run wrote: archives, and reports kept where packing failed. A copy is
# taken at once, as a later run may replace them.
REPORTS=$WORK/.reports
mkdir -p "$REPORTS"
reports_kept=0
report_files() {
  { find "$WORK" -path "$REPORTS" -prune -o -type f \( -name '*.tavisk' -o -name '*.xml' \) -printf '%i %p\n' 2>/dev/null ||
    true; } | sort
}
keep_new_reports() {
  local inode path copy
  while read -r inode path; do
    copy=$REPORTS/$reports_kept.xml
    case "$path" in
      *.tavisk) 7zz e -so "$path" >"$copy" 2>/dev/null || fail "round trip: $path does not extract" ;;
      *) head -c 400 "$path" | sed -n 2p | grep -q '^<computer ' && cp "$path" "$copy" || continue ;;
    esac
    reports_kept=$((reports_kept + 1))
  done < <(report_files | comm -13 "$REPORTS/before" -)
}

# Every report kept is read back, and each element written again gives the report's bytes.
read_back_reports() {
  local reports=("$REPORTS"/*.xml)
  [ -e "${reports[0]}" ] || return 0
  checks=$((checks + 1))
  TAVISK_ROUND_TRIP_REPORTS=$(IFS=:; echo "${reports[*]}") "$TAVISK_UNIT_TESTS" \
    --gtest_filter='ReportRoundTrip.*' >"$REPORTS/check" 2>&1 && grep -q '^\[  PASSED  \] 1 test' "$REPORTS/check" ||
    fail "round trip of ${#reports[@]} reports: $(tail -30 "$REPORTS/check")"
}

# The Windows form of a path of this machine, for arguments of the Windows builds.
winpath() { wine_run winepath -w "$1" 2>/dev/null; }

# The report of a run as the file holds it, with the varying date replaced by 0.
report_without_date() { sed -E 's/ date="-?[0-9]+"/ date="0"/' "$1"; }

# Ends the script: the reports read back, the summary line, and a failing status when a check failed.
finish() {
  read_back_reports
  echo "$((checks - failures)) passed, $failures failed"
  [ "$failures" -eq 0 ]
}

# report_of BASE: prints the report of a run whose /dest was BASE.tavisk, from the
# archive when packing wrote one, else from the intermediate BASE.xml.
report_of() {
  if [ -f "$1.tavisk" ]; then 7zz e -so "$1.tavisk" 2>/dev/null; else cat "$1.xml"; fi
}

# make_link_ladder DIR: twelve directories d0..d11 in DIR, each but the last with
# two links (relative x, absolute y) to the next, and d11/up back to DIR: following
# links would walk the last one 2^11 times.
make_link_ladder() {
  mkdir -p "$1"
  for i in $(seq 0 11); do mkdir "$1/d$i"; done
  for i in $(seq 0 10); do
    ln -s "../d$((i + 1))" "$1/d$i/x"
    ln -s "$1/d$((i + 1))" "$1/d$i/y"
  done
  ln -s .. "$1/d11/up"
}
