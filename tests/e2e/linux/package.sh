#!/usr/bin/env bash
# The Debian package: its dependency, lintian, the tool run from an unpacked root
# through its /usr/bin link on the default configuration, and tavisk-report reading the archive.
source "$(dirname "$0")/../lib.sh"
deb=$(ls "$TAVISK_BUILD_DIR"/packages/tavisk_*.deb 2>/dev/null | head -n 1 || true)
if [ -z "$deb" ]; then
  fail "no Debian package in $TAVISK_BUILD_DIR/packages: build the target 'packages' first"
  finish
fi
expect_contains "$(dpkg-deb -f "$deb" Depends)" "p7zip-full" "the package depends on the engine's package"
checks=$((checks + 1))
lintian --fail-on error "$deb" >lintian.txt 2>&1 || fail "lintian reports errors: $(grep '^E:' lintian.txt)"

checks=$((checks + 1))
! grep -E '^W: .*(manual-page|manpage)' lintian.txt || fail "lintian warns about the manual pages"

dpkg-deb -x "$deb" root
for page in tavisk tavisk-report; do
  expect_contains "$(MANWIDTH=80 man -l "root/usr/share/man/man1/$page.1.gz" 2>&1 | col -b)" "SYNOPSIS" \
    "the manual page $page(1) is installed and readable"
done
tool=$WORK/root/usr/bin/tavisk
expect_eq "$(readlink "$tool")" "../lib/tavisk/tavisk" "the command is a relative link into the tool's folder"
run_tool "$tool" /check
expect_eq "$STATUS" 0 "every request of the shipped configuration runs"
expect_contains "$OUT" "Konfigurationsdatei:	$WORK/root/usr/lib/tavisk/standard.xml" \
  "started through the link, the tool reads the configuration beside its real path"
run_tool "$tool" /dest "$WORK/default.tavisk"
expect_eq "$STATUS" 0 "a run on the default configuration exits with 0"
expect_contains "$(report_of default)" "<computer hostname=" "the run's archive holds the report"
expect_eq "$(ls default.* | tr '\n' ' ')" "default.tavisk " "only the archive remains"
run_tool "$WORK/root/usr/bin/tavisk-report" show "$WORK/default.tavisk"
expect_eq "$STATUS" 0 "the packaged tavisk-report reads the archive"
expect_contains "$OUT" "Computer:" "the packaged tavisk-report shows the summary"
finish
