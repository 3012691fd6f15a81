#!/usr/bin/env bash
# File and directory requests of the reference Windows build under Wine on a generated tree:
# the real Win32 listing, version resources, sharing and links.
source "$(dirname "$0")/../lib.sh"
source "$TAVISK_SOURCE_DIR/tests/e2e/files-tree.sh"
SEPARATOR='\'

report_path() { local path=${1//\//\\}; printf 'Z:%s' "$path"; }
# Wine gives files on Unix file systems the last write time as creation time.
creation_time() { echo "$1"; }
special_entry() {
  case "$1" in
    # "<" is no valid character of a Windows file name: the file is listed but cannot be opened.
    *"<"*) printf '<properties name="%s">Problem getting File information: \nInvalid parameter to _stat.\n</properties>\n' "$2" ;;
    # Wine does not list links that lead nowhere.
    */dangling) ;;
    */locked.txt) printf '<properties name="%s">Problem getting File information: \nUnexpected error in _stat\n</properties>\n' "$2" ;;
    *) return 1 ;;
  esac
}

TOP=$WORK/tree/top
make_tree "$TOP"
echo locked >"$TOP/nested/locked.txt"
touch -d @1400000000 "$TOP/nested/locked.txt" "$TOP/nested"
W=$(report_path "$TOP")

# run_requests CATEGORY REQUESTS [EXE]: runs a Windows build (the reference one by
# default) on one category's requests; REPORT gets the report.
run_requests() {
  printf '<config><%s>%s</%s></config>' "$1" "$2" "$1" >"$WORK/config.xml"
  rm -f "$WORK/report.tavisk" "$WORK/report.xml"
  run_tool "${3:-$REFERENCE_EXE}" /source "$(report_path "$WORK/config.xml")" /dest "$(report_path "$WORK/report.tavisk")"
  expect_eq "$STATUS" 0 "the run ends normally"
  REPORT=$(report_of "$WORK/report" | tr -d '\r')
}

# A second process holds nested\locked.txt open without sharing it.
"$REFERENCE_GCC" -s -municode -o "$WORK/holder.exe" "$FIXTURES/holder.c"
wine_run "$WORK/holder.exe" "$W\\nested\\locked.txt" "$(report_path "$WORK/held")" "$(report_path "$WORK/release")" &
holder=$!
for _ in $(seq 300); do [ -e "$WORK/held" ] && break; sleep 0.1; done
expect_eq "$([ -e "$WORK/held" ] && echo held)" held "the helper holds the file"

# parents_placed pre|post: checks that every element's directory precedes
# (pre-order) or follows (post-order) it; Wine decides the order of a listing.
parents_placed() {
  TOP_NAME=$W awk -v order="$1" -F'"' '
    BEGIN { top = ENVIRON["TOP_NAME"] }
    { name = $2; sub(/\\$/, "", name); parent = name; sub(/\\[^\\]*$/, "", parent)
      seen[name] = NR; names[NR] = name; parents[NR] = parent }
    END { for (i = 1; i <= NR; i++) { p = parents[i]; if (p == top || names[i] == top) continue
            if (!(p in seen) || (order == "pre" ? seen[p] > i : seen[p] < i)) { print "misplaced: " names[i]; exit 1 } } }'
}

run_requests Directory "<getDirectoriesAndFilesRecursively>$W</getDirectoriesAndFilesRecursively><getDirectoriesRecursively>$W</getDirectoriesRecursively>"
report=$REPORT
expected=$(entries_of "$TOP")
expect_eq "$(files_in <<<"$report" | sort)" "$(files_in <<<"$expected" | sort)" "recursive files"
expect_eq "$(directories_in <<<"$report" | head -n "$(directories_in <<<"$expected" | wc -l)" | sort)" \
  "$(directories_in <<<"$expected" | sort)" "recursive directories and files: the directories"
expect_eq "$(directories_in <<<"$report" | head -n "$(directories_in <<<"$expected" | wc -l)" | parents_placed pre)" "" \
  "each directory before what it holds"
post=$(directories_in <<<"$report" | tail -n +"$(($(directories_in <<<"$expected" | wc -l) + 1))")
expect_eq "$(sort <<<"$post")" "$(expected_directories_recursively "$TOP" "$W" | sort)" "recursive directories"
expect_eq "$(tail -n 1 <<<"$post")" "<directory name=\"$W\">$(times_of "$TOP")</directory>" "the start comes last"
expect_eq "$(parents_placed post <<<"$post")" "" "each directory after what it holds"

run_requests Directory "<getDirectories>$W\\</getDirectories><getFiles>$W</getFiles><getDirectoriesAndFiles>$W\\nested</getDirectoriesAndFiles>"
report=$REPORT
expect_eq "$(directories_in <<<"$report" | sort)" "$( (entries_of "$TOP" -maxdepth 1; entries_of "$TOP/nested" -maxdepth 1) | directories_in | sort)" "flat directories"
expect_eq "$(files_in <<<"$report" | sort)" "$( (entries_of "$TOP" -maxdepth 1; entries_of "$TOP/nested" -maxdepth 1) | files_in | sort)" "flat files"

run_requests File "<getFileVersion>$W\\pe\\versioned.exe</getFileVersion><getFileVersion>$W\\pe\\without-fixed-block.exe</getFileVersion><getFileVersion>$W\\pe\\plain.exe</getFileVersion><getFileVersion>$W\\nested\\locked.txt</getFileVersion><getFileVersion>$W\\big.bin</getFileVersion><getFileVersion>$W\\nothing</getFileVersion><getFileVersion>$W\\nested</getFileVersion><getFileVersion>$W\\*.txt</getFileVersion><getFileVersion></getFileVersion>"
report=$REPORT
size() { stat -c %s "$TOP/$1"; }
expect_eq "$(grep -a '<searchedproperties' <<<"$report")" "<searchedproperties name=\"$W\\pe\\versioned.exe\">1400000000|1400000000|$(size pe/versioned.exe)|2.300.4.500|10.0.0.1</searchedproperties>
<searchedproperties name=\"$W\\pe\\without-fixed-block.exe\">1400000000|1400000000|$(size pe/without-fixed-block.exe)|</searchedproperties>
<searchedproperties name=\"$W\\pe\\plain.exe\">1400000000|1400000000|$(size pe/plain.exe)|</searchedproperties>
<searchedproperties name=\"$W\\nested\\locked.txt\">Unexpected error</searchedproperties>
<searchedproperties name=\"$W\\big.bin\">1400000000|1400000000|3221225472|</searchedproperties>
<searchedproperties name=\"$W\\nothing\">File not found.</searchedproperties>
<searchedproperties name=\"$W\\nested\">Unexpected error</searchedproperties>
<searchedproperties name=\"$W\\*.txt\">Invalid parameter</searchedproperties>
<searchedproperties name=\"\">Invalid parameter</searchedproperties>" "file versions, sizes and failures"

touch "$WORK/release"
wait "$holder" || true

# The 64-bit build reads the same version blocks.
run_requests File "<getFileVersion>$W\\pe\\versioned.exe</getFileVersion><getFileVersion>$W\\pe\\versioned64.dll</getFileVersion>" "$TAVISK_WIN64_EXE"
report=$REPORT
expect_contains "$report" "\\versioned.exe\">1400000000|1400000000|$(size pe/versioned.exe)|2.300.4.500|10.0.0.1<" "64-bit build, 32-bit executable"
expect_contains "$report" "\\versioned64.dll\">1400000000|1400000000|$(size pe/versioned64.dll)|2.300.4.500|10.0.0.1<" "64-bit build, 64-bit library"

# A folder that cannot be opened is named with the reason, on both builds. Root passes every permission
# check, so the run and a wineserver of its own go without the capabilities that let it. That server
# serves a private copy of the prefix: stopping the shared one would end other tests' Wine runs.
cp -a "$WINEPREFIX" "$WORK/prefix"
export WINEPREFIX=$WORK/prefix
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/guarded/closed" && chmod 000 "$WORK/guarded/closed"
G=$(report_path "$WORK/guarded")
without_override() {
  local loader=wine
  is_win64 "$1" && loader=$WINE64_LOADER
  setpriv --bounding-set=-dac_override,-dac_read_search "$loader" "$@"
}
for build in "${WINDOWS_BUILDS[@]}"; do
  read -r _ exe _ <<<"$build"
  printf '<config><Directory><getDirectoriesRecursively>%s</getDirectoriesRecursively><getFiles>%s</getFiles></Directory></config>' \
    "$G" "$G\\closed" >"$WORK/config.xml"
  rm -f "$WORK/report.tavisk" "$WORK/report.xml"
  run_tool without_override "$exe" /source "$(report_path "$WORK/config.xml")" /dest "$(report_path "$WORK/report.tavisk")"
  report=$(report_of "$WORK/report" | tr -d '\r')
  expect_contains "$report" "<directory name=\"$G\\closed\\\">Directory could not be read: " "$(basename "$exe"): an unreadable folder in a walk"
  expect_contains "$report" "<properties name=\"$G\\closed\">Directory could not be read: " "$(basename "$exe"): an unreadable folder listed directly"
done
wineserver -k 2>/dev/null || true
wineserver -w
chmod 755 "$WORK/guarded/closed"

for value in "$W\\nothing" "$W\\a.txt" "$W\\*" ""; do
  expect_missing_directory "$value"
done

finish
