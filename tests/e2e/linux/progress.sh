#!/usr/bin/env bash
# Progress of the Linux build: shown on a terminal, absent when standard error is redirected.
source "$(dirname "$0")/../lib.sh"
for name in one two three; do printf '%s\n' "$name" >"$name.txt"; done
printf '<config><File><getFile>%s</getFile><getFile>%s</getFile><getKey>x</getKey><getFile>%s</getFile></File></config>' \
  "$WORK/one.txt" "$WORK/two.txt" "$WORK/three.txt" >config.xml

# Standard error on a pseudo-terminal, standard output into a file.
python3 - "$TAVISK_EXE" "$WORK" <<'PYTHON'
import os, pty, subprocess, sys
exe, work = sys.argv[1], sys.argv[2]
master, slave = pty.openpty()
with open(f"{work}/terminal.out", "wb") as out:
    process = subprocess.Popen([exe, "/source", f"{work}/config.xml", "/dest", f"{work}/r.tavisk"],
                               stdin=subprocess.DEVNULL, stdout=out, stderr=slave)
os.close(slave)
shown = b""
while True:
    try:
        chunk = os.read(master, 65536)
    except OSError:  # the terminal's other side is gone
        break
    if not chunk:
        break
    shown += chunk
process.wait()
open(f"{work}/terminal.err", "wb").write(shown)
PYTHON
shown=$(cat terminal.err)
expect_contains "$shown" " 1/3 getFile ..." "the first request is shown with its number of the total"
expect_contains "$shown" "/three.txt" "the last served request is shown by the end of its path"
# Played on a terminal line, the backspaces leave nothing but blanks behind.
screen=$(python3 -c '
import sys
line, cursor = [], 0
for c in open(sys.argv[1], encoding="utf-8").read():
    if c == "\b":
        cursor -= 1
        assert cursor >= 0, "moved back before where the progress began"
        continue
    if cursor == len(line): line.append(c)
    else: line[cursor] = c
    cursor += 1
print(repr("".join(line).strip()), cursor)' terminal.err)
expect_eq "$screen" "'' 0" "the progress line is taken away before the run goes on"

run_tool "$TAVISK_EXE" /source "$WORK/config.xml" /dest "$WORK/s.tavisk"
expect_eq "$ERR" "" "nothing on a redirected standard error"
expect_eq "$OUT" "$(sed "s|$WORK/r.tavisk|$WORK/s.tavisk|" terminal.out | tr -d '\r')" \
  "standard output is the same whether standard error is watched or not"
expect_contains "$OUT" "Daten werden ermittelt: Bitte warten...beendet!" "the run's own line stays whole"
finish
