#!/usr/bin/env bash
# File and directory requests on a generated tree: elements, orders, versions of
# Windows executables, links, missing and odd paths.
source "$(dirname "$0")/../lib.sh"
source "$TAVISK_SOURCE_DIR/tests/e2e/files-tree.sh"
SEPARATOR=/

TOP=$WORK/tree/top
make_tree "$TOP"

# run_requests CATEGORY REQUESTS [PREFIX...]: runs the tool, behind a command
# prefix if given, on one category's requests; REPORT gets the report.
run_requests() {
  local category=$1 requests=$2
  shift 2
  printf '<config><%s>%s</%s></config>' "$category" "$requests" "$category" >"$WORK/config.xml"
  rm -f "$WORK/report.tavisk" "$WORK/report.xml"
  run_tool "$@" "$TAVISK_EXE" /source "$WORK/config.xml" /dest "$WORK/report.tavisk"
  expect_eq "$STATUS" 0 "the run ends normally"
  REPORT=$(report_of "$WORK/report" | tr -d '\r' | sed -E 's/ date="-?[0-9]+"/ date="0"/')
}

# with_limit LIMIT COMMAND...: the command under a ulimit option, without the
# sanitized build's leak check, which needs descriptors of its own at exit.
with_limit() {
  local limit=$1
  shift
  ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 bash -c "ulimit $limit && exec \"\$@\"" limited "$@"
}

# Recursive listing of everything, in the order the file system lists it.
run_requests Directory "<getDirectoriesAndFilesRecursively>$TOP</getDirectoriesAndFilesRecursively>"
report=$REPORT
expected=$(entries_of "$TOP")
expect_eq "$(directories_in <<<"$report")" "$(directories_in <<<"$expected")" "recursive directories, pre-order"
expect_eq "$(files_in <<<"$report")" "$(files_in <<<"$expected")" "recursive files, pre-order"
expect_contains "$report" "<properties name=\"$TOP/big.bin\">1400000000|" "a file of 3 GiB is listed"
expect_contains "$report" "|3221225472|none|none</properties>" "with its real size"
expect_contains "$report" "<properties name=\"$TOP/pe/versioned.exe\">1400000000|" "the versioned executable is listed"
expect_contains "$report" "|2.300.4.500|10.0.0.1</properties>" "with its version numbers"

# The same with a trailing separator; getFilesRecursively adds nothing.
run_requests Directory "<getDirectoriesAndFilesRecursively>$TOP/</getDirectoriesAndFilesRecursively><getFilesRecursively>$TOP/*.txt</getFilesRecursively>"
report2=$REPORT
expect_eq "$report2" "$report" "a trailing separator lists the same entries"

run_requests Directory "<getDirectoriesRecursively>$TOP</getDirectoriesRecursively><getDirectoriesRecursively>$TOP/empty/</getDirectoriesRecursively>"
report=$REPORT
expected="$(expected_directories_recursively "$TOP" "$TOP")
$(expected_entry "$TOP/empty" "$TOP/empty/")"
expect_eq "$(directories_in <<<"$report")" "$expected" "recursive directories, post-order, links not entered"

run_requests Directory "<getDirectories>$TOP</getDirectories><getDirectoriesAndFiles>$TOP</getDirectoriesAndFiles><getFiles>$TOP/</getFiles>"
report=$REPORT
flat=$(entries_of "$TOP" -maxdepth 1)
expect_eq "$(directories_in <<<"$report")" "$(directories_in <<<"$flat")
$(directories_in <<<"$flat")" "flat directories, twice"
expect_eq "$(files_in <<<"$report")" "$(files_in <<<"$flat")
$(files_in <<<"$flat")" "flat files, twice"

# Single files.
long=$TOP/$(printf 'x%.0s' $(seq 300))
run_requests File "<getFileVersion>$TOP/pe/versioned.exe</getFileVersion><getFileVersion>$TOP/pe/versioned64.dll</getFileVersion><getFileVersion>$TOP/pe/without-fixed-block.exe</getFileVersion><getFileVersion>$TOP/pe/plain.exe</getFileVersion><getFileVersion>$TOP/amp&less<than.txt</getFileVersion><getFileVersion>$TOP/big.bin</getFileVersion><getFileVersion>$TOP/nothing</getFileVersion><getFileVersion>$TOP/nested</getFileVersion><getFileVersion></getFileVersion><getFileVersion>$long</getFileVersion><getFileVersion>$TOP/dangling</getFileVersion><getFileVersion>$TOP/a.txt/</getFileVersion>"
report=$REPORT
t="1400000000|$(creation_time $(stat -c '%Y %W %Z' "$TOP/pe/versioned.exe"))"
expect_eq "$(grep -a '<searchedproperties' <<<"$report")" "<searchedproperties name=\"$TOP/pe/versioned.exe\">$t|$(stat -c %s "$TOP/pe/versioned.exe")|2.300.4.500|10.0.0.1</searchedproperties>
<searchedproperties name=\"$TOP/pe/versioned64.dll\">$(times_of "$TOP/pe/versioned64.dll")|$(stat -c %s "$TOP/pe/versioned64.dll")|2.300.4.500|10.0.0.1</searchedproperties>
<searchedproperties name=\"$TOP/pe/without-fixed-block.exe\">$(times_of "$TOP/pe/without-fixed-block.exe")|$(stat -c %s "$TOP/pe/without-fixed-block.exe")|</searchedproperties>
<searchedproperties name=\"$TOP/pe/plain.exe\">$(times_of "$TOP/pe/plain.exe")|$(stat -c %s "$TOP/pe/plain.exe")|</searchedproperties>
<searchedproperties name=\"$TOP/amp&less<than.txt\">$(times_of "$TOP/amp&less<than.txt")|4|</searchedproperties>
<searchedproperties name=\"$TOP/big.bin\">$(times_of "$TOP/big.bin")|3221225472|</searchedproperties>
<searchedproperties name=\"$TOP/nothing\">File not found.</searchedproperties>
<searchedproperties name=\"$TOP/nested\">Unexpected error</searchedproperties>
<searchedproperties name=\"\">Invalid parameter</searchedproperties>
<searchedproperties name=\"$long\">File not found.</searchedproperties>
<searchedproperties name=\"$TOP/dangling\">File not found.</searchedproperties>
<searchedproperties name=\"$TOP/a.txt/\">File not found.</searchedproperties>" "file versions, sizes and failures"

# Paths that are no directory give each member its missing-directory text.
for value in "$TOP/nothing" "$TOP/a.txt" "$TOP/*" "" "$long"; do
  expect_missing_directory "$value"
done

# Damaged executables: no crash, the version is simply not there.
mkdir "$WORK/damaged"
size=$(stat -c %s "$TOP/pe/versioned.exe")
for cut in 2 63 64 200 400 1000 $((size / 2)) $((size - 100)); do
  head -c "$cut" "$TOP/pe/versioned.exe" >"$WORK/damaged/cut$cut.exe"
done
# Headers, section table and resources overwritten with bytes that make sizes and offsets huge.
for offset in 60 128 150 200 376 13824 13840 13900; do
  cp "$TOP/pe/versioned.exe" "$WORK/damaged/at$offset.exe"
  printf '\xff%.0s' $(seq 64) | dd of="$WORK/damaged/at$offset.exe" bs=1 seek="$offset" conv=notrunc status=none
done
run_requests Directory "<getFiles>$WORK/damaged</getFiles>"
report=$REPORT
expect_eq "$(grep -ac '^<properties name=.*[0-9]|.*</properties>$' <<<"$report")" 16 "every damaged executable is listed"
expect_contains "$report" "<properties name=\"$WORK/damaged/cut$((size - 100)).exe\">" "a truncated executable is listed"

# A chain of 1,200 directories, deeper than the customary limit of open files.
deep=$WORK/deep$(printf '/d%.0s' $(seq 1200))
mkdir -p "$deep" && echo leaf >"$deep/leaf.txt"
run_requests Directory "<getDirectoriesAndFilesRecursively>$WORK/deep</getDirectoriesAndFilesRecursively>" \
  with_limit "-S -n 1024"
report=$REPORT
expect_eq "$(grep -ac '^<directory ' <<<"$report")" 1200 "every level of a deep tree"
expect_contains "$report" "<properties name=\"$deep/leaf.txt\">" "the file at its bottom"

# Files examined together that find no descriptor to spare are examined again one at a time.
# Not under the sanitizers: out of descriptors, their check of a thread's start
# cannot probe memory and reports a fault that is none.
mkdir "$WORK/many"
for i in $(seq 1 200); do head -c "$i" /dev/zero >"$WORK/many/f$i"; done
if [ -z "${TAVISK_SANITIZED:-}" ]; then
  run_requests Directory "<getFiles>$WORK/many</getFiles>" with_limit "-n 20"
  expect_eq "$(files_in <<<"$REPORT")" "$(entries_of "$WORK/many")" "every file of a listing with few descriptors to spare"
fi

# Opens the kernel hands to a worker (names it no longer holds in its cache)
# and cancels for want of one (the user's processes at their limit) are made
# one by one. The user is one of its own, so that no other job's processes
# count; not under the sanitizers, whose leak check needs a process of its own.
if [ "$(id -u)" -eq 0 ] && [ -z "${TAVISK_SANITIZED:-}" ]; then
  chmod 755 "$WORK"
  mkdir -m 777 "$WORK/limited"
  printf '<config><Directory><getFiles>%s</getFiles></Directory></config>' "$WORK/many" >"$WORK/limited/config.xml"
  user=$((60000 + RANDOM % 5000))
  echo 2 >/proc/sys/vm/drop_caches 2>/dev/null || true
  run_tool setpriv --reuid="$user" --regid="$user" --clear-groups prlimit --nproc=3 \
    "$TAVISK_EXE" /source "$WORK/limited/config.xml" /dest "$WORK/limited/report.tavisk"
  expect_eq "$(report_of "$WORK/limited/report" | tr -d '\r' | files_in)" "$(entries_of "$WORK/many")" \
    "every file of a listing when the kernel can start no worker"
fi

# Names that spell report lines: a line feed in a name never starts a line of the report.
forged=$WORK/forge/$'a\n<'/$'properties>\n<searchedproperties name="C:\\fake.dll">1|1|1|6.6.6.6|6.6.6.6<'/$'searchedproperties>\nx'
mkdir -p "$forged" && touch "$forged/f.txt"
run_requests Directory "<getDirectoriesAndFilesRecursively>$WORK/forge</getDirectoriesAndFilesRecursively>"
expect_eq "$(grep -ac '^<searchedproperties' <<<"$REPORT")" 0 "no forged line in the report"
expect_contains "$REPORT" "<properties name=\"$WORK/forge/a"$'\xef\xbf\xbd'"</properties>"$'\xef\xbf\xbd'"<searchedproperties" \
  "control characters in names written as U+FFFD"

# With a hard limit of a few descriptors, a tree deeper than it is listed whole.
# (Not under the sanitizers either, as above.)
narrow=$WORK/narrow
mkdir -p "$narrow/$(printf 'd/%.0s' $(seq 40))"
if [ -z "${TAVISK_SANITIZED:-}" ]; then
  run_requests Directory "<getDirectoriesRecursively>$narrow</getDirectoriesRecursively>" with_limit "-n 16"
  expect_eq "$(grep -ac "^<directory name=\"$narrow.*>[0-9]*|[0-9]*</directory>$" <<<"$REPORT")" 41 \
    "every folder listed under a low descriptor limit"
fi

# Without permission, as an ordinary user: a directory that cannot be listed and a file that cannot be read.
if [ "$(id -u)" -eq 0 ]; then
  chmod 755 "$WORK"
  mkdir -p "$WORK/guarded/closed" "$WORK/out"
  echo secret >"$WORK/guarded/secret.txt"
  head -c 4096 /dev/zero >"$WORK/guarded/secret.bin"  # large enough to be opened for a version
  echo inside >"$WORK/guarded/closed/inside.txt"
  chmod 000 "$WORK/guarded/secret.txt" "$WORK/guarded/secret.bin" "$WORK/guarded/closed"
  chmod 777 "$WORK/out"
  G=$WORK/guarded
  printf '<config><File><getFileVersion>%s</getFileVersion><getFileVersion>%s</getFileVersion></File><Directory><getDirectoriesRecursively>%s</getDirectoriesRecursively><getDirectoriesAndFiles>%s</getDirectoriesAndFiles><getFiles>%s</getFiles></Directory></config>' \
    "$G/secret.txt" "$G/secret.bin" "$G" "$G" "$G/closed" >"$WORK/out/config.xml"
  run_tool setpriv --reuid=nobody --regid=nogroup --clear-groups "$TAVISK_EXE" /source "$WORK/out/config.xml" /dest "$WORK/out/report.tavisk"
  report=$(report_of "$WORK/out/report" | tr -d '\r')
  # Files keep the facts their status tells; a folder that cannot be listed is named with the reason.
  closed='Directory could not be read: Access is denied.'
  expect_eq "$(grep -av -e '^<computer' -e '^<?xml' -e '^</\?file>' -e '^</computer>' <<<"$report")" "<searchedproperties name=\"$G/secret.txt\">$(times_of "$G/secret.txt")|7|</searchedproperties>
<searchedproperties name=\"$G/secret.bin\">$(times_of "$G/secret.bin")|4096|</searchedproperties>
$(for f in $(ls -f "$G" | grep secret); do printf '<properties name="%s">%s|%s|none|none</properties>\n' "$G/$f" "$(times_of "$G/$f")" "$(stat -c %s "$G/$f")"; done)
<properties name=\"$G/closed\">$closed</properties>
<directory name=\"$G/closed/\">$closed</directory>
<directory name=\"$G\">$(times_of "$G")</directory>
<directory name=\"$G/closed\">$(times_of "$G/closed")</directory>" "what cannot be read or listed"
fi

finish
