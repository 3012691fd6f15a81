#!/usr/bin/env bash
# tavisk-report html opened in a real headless Chromium: it loads without console
# errors, markup in names and contents shows as text and runs nothing, and a
# listing of many files is drawn a page at a time.
source "$(dirname "$0")/../lib.sh"
READER=$TAVISK_REPORT_EXE
CHROMIUM=$(command -v chromium || true)
[ -n "$CHROMIUM" ] || { echo "SKIP: chromium is not installed (scripts/setup.sh test)" >&2; exit 77; }

# Names and contents that would run script if the page took them as markup (a
# configuration cannot name such a file; the listing finds it).
mkdir -p tree/many
attack='<script>document.title="pwned"</script><img src=x onerror="document.title=1">'
printf '%s & "q"\n</filecontent>\n' "$attack" >tree/attack.txt
: >'tree/<script>alert(1)<!--.txt'
for i in $(seq 1 1500); do : >"tree/many/f$i"; done
printf '<config><File><getFile>%s</getFile></File><Directory><getDirectoriesAndFiles>%s</getDirectoriesAndFiles><getFiles>%s</getFiles></Directory><System><getSystem>MEMORY</getSystem><getSystem>DISK</getSystem></System></config>' \
  "$WORK/tree/attack.txt" "$WORK/tree" "$WORK/tree/many" >conf.xml
run_tool "$TAVISK_EXE" /source "$WORK/conf.xml" /dest "$WORK/r.tavisk"
expect_eq "$STATUS" 0 "report: written"

run_tool "$READER" html r.tavisk -o page.html
expect_eq "$STATUS" 0 "html: exit status"
expect_eq "$(stat -c %a page.html)" 600 "html: the page is its owner's only"
expect_eq "$(grep -c '<script' page.html)" 2 "html: only the page's own two script elements"
expect_eq "$(grep -c "unsafe-inline" page.html)" 0 "html: style and script allowed by their hashes only"
# A page already there is kept as it is.
run_tool "$READER" html r.tavisk -o page.html
expect_eq "$STATUS" 2 "html over an existing page: refused"
expect_contains "$ERR" "existiert bereits" "html over an existing page: message"

browse() {
  timeout 60 "$CHROMIUM" --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --user-data-dir="$WORK/profile" \
    --enable-logging=stderr --v=0 "$@" "file://$WORK/page.html" 2>>browser.log
}
browse --dump-dom >dom.html
expect_contains "$(cat dom.html)" 'data-ready="true"' "page: its script ran to the end"
expect_contains "$(cat dom.html)" "<title>Tavisk-Bericht $(hostname)</title>" "page: no report text set the title"
expect_contains "$(cat dom.html)" '&lt;script&gt;document.title="pwned"&lt;/script&gt;' "page: contents shown as text"
expect_contains "$(cat dom.html)" "$WORK/tree/&lt;script&gt;alert(1)&lt;!--.txt" "page: file name shown as text"
expect_eq "$(grep -c '<img' dom.html)" 0 "page: no element from report text"
expect_contains "$(cat dom.html)" "Seite 1 von 16 (1502 Zeilen)" "page: the long listing in pages"
expect_eq "$(grep -E 'CONSOLE|Uncaught|Refused' browser.log || true)" "" "page: no console errors"
browse --screenshot="$WORK/page.png" --window-size=1200,1400 >/dev/null
expect_eq "$(head -c 8 page.png | od -An -c | tr -d ' ')" '211PNG\r\n032\n' "page: a screenshot"
[ -z "${TAVISK_SCREENSHOT:-}" ] || cp page.png "$TAVISK_SCREENSHOT"
finish
