#!/usr/bin/env bash
# The files a run of the Linux build writes for itself: private names, owner
# only, used through its own descriptors, gone however the run ends; and what
# others put in the destination folder is never written, followed or deleted.
source "$(dirname "$0")/../lib.sh"
EXE=$TAVISK_EXE

# expect_clean DIR DESCRIPTION: no file of a run's own left in DIR.
expect_clean() { expect_eq "$(find "$1" -name 'tavisk-*.tmp')" "" "$2: no file of the run's own left"; }
# expect_whole ARCHIVE DESCRIPTION: the archive tests OK and holds a complete report.
expect_whole() {
  expect_contains "$(7zz t "$1" 2>&1)" "Everything is Ok" "$2: the archive tests OK"
  expect_eq "$(7zz e -so "$1" 2>/dev/null | tail -c 11)" "</computer>" "$2: the report is complete"
}
# config NAME FILE...: a configuration embedding the files.
config() {
  local name=$1
  shift
  { printf '<config><File>'; printf '<getFile>%s</getFile>' "$@"; printf '</File></config>'; } >"$name"
}

head -c 15000000 /dev/urandom | base64 -w 100 >big.txt  # about 20 MB: a run of a second or so
printf 'small\n' >small.txt
config big.xml "$WORK/big.txt"
config small.xml "$WORK/small.txt"
# Many files: packing takes well over a second of processor time.
config cpu.xml $(for _ in $(seq 20); do printf '%s ' "$WORK/big.txt"; done)

# Two runs with the same destination at once: both finish, each with a whole
# report, and the archive left is one of them whole.
mkdir two
"$EXE" /source big.xml /dest two/r.tavisk </dev/null >two/1.out 2>&1 &
first=$!
"$EXE" /source big.xml /dest two/r.tavisk </dev/null >two/2.out 2>&1 &
second=$!
wait $first && one=0 || one=$?
wait $second && other=0 || other=$?
expect_eq "$one $other" "0 0" "two runs at once: both succeed"
expect_whole two/r.tavisk "two runs at once"
expect_eq "$(ls two)" "1.out
2.out
r.tavisk" "two runs at once: only the archive is left"

# Links planted at every name a run ever used beside its archive: not one of
# their targets is written, and the links stay; a link at the archive's own
# name is replaced, never followed.
mkdir links
printf 'precious' >shadow
for name in r.xml r.tavisk.part r.xml.file.tmp r.xml.file.1.tmp r.xml.directory.tmp; do
  ln -s "$WORK/shadow" "links/$name"
done
ln -s "$WORK/shadow" links/r.tavisk
run_tool "$EXE" /source small.xml /dest links/r.tavisk
expect_eq "$STATUS" 0 "planted links: the run succeeds"
expect_eq "$(cat shadow)" precious "planted links: no target written"
expect_eq "$(find links -type l | wc -l)" 5 "planted links: the links beside the archive stay"
expect_eq "$(stat -c %F links/r.tavisk)" "regular file" "planted links: the archive replaces the link itself"

# The run's own files swapped for links while it collects: the archive still
# holds what the run collected, and the links' target is neither read nor written.
mkdir swap
"$EXE" /source big.xml /dest swap/r.tavisk </dev/null >swap/out 2>&1 &
run=$!
for _ in $(seq 100); do
  own=$(find swap -name 'tavisk-*.tmp' -size +1M | head -n 1)
  [ -n "$own" ] && break
  sleep 0.05
done
[ -n "$own" ] && mv "$own" swap/moved && ln -s "$WORK/shadow" "$own"
wait $run || true
expect_eq "$(cat shadow)" precious "swapped report: the link's target is untouched"
[ -z "$own" ] || expect_eq "$(readlink "$own")" "$WORK/shadow" "swapped report: the planted link is not deleted"
expect_whole swap/r.tavisk "swapped report"
expect_eq "$(7zz e -so swap/r.tavisk 2>/dev/null | grep -c precious || true)" 0 "swapped report: the archive holds the run's report"
rm -rf swap

# Each ending signal, sent at another point of the run: the conventional
# status, nothing of the run's own left, the older archive as it was.
mkdir signals
for ending in INT:0.1 TERM:0.3 HUP:0.6; do
    signal=${ending%:*} delay=${ending#*:}
    printf 'older archive' >signals/r.tavisk
    "$EXE" /source big.xml /dest signals/r.tavisk </dev/null >/dev/null 2>&1 &
    run=$!
    sleep "$delay"
    kill -s "$signal" $run
    wait $run && status=0 || status=$?
    case $signal in INT) expected=130 ;; TERM) expected=143 ;; HUP) expected=129 ;; esac
    if [ "$status" -ne 0 ]; then
      expect_eq "$status" "$expected" "SIG$signal after ${delay}s: status"
      expect_eq "$(cat signals/r.tavisk)" "older archive" "SIG$signal after ${delay}s: the older archive stays"
    fi
    expect_eq "$(ls signals)" "r.tavisk" "SIG$signal after ${delay}s: only the archive is left"
done

# A console that goes away ends nothing: the run finishes with status 0 and its archive.
mkdir pipes
set +e
"$EXE" /source small.xml /dest pipes/head.tavisk </dev/null | head -n 1 >/dev/null
head_status=${PIPESTATUS[0]}
"$EXE" /source big.xml /dest pipes/grep.tavisk </dev/null | grep -q Velmora
grep_status=${PIPESTATUS[0]}
set -e
expect_eq "$head_status $grep_status" "0 0" "output piped into head and grep -q: status"
expect_whole pipes/head.tavisk "output piped into head"
expect_whole pipes/grep.tavisk "output piped into grep -q"
expect_clean pipes "pipes"

# Leftovers of earlier runs, under the names spill files once had and under
# the private pattern, stop nothing and stay as they were.
mkdir left
for i in $(seq 0 100); do
  printf 'left' >"left/r.xml.file.$i.tmp"
  printf 'left' >"left/tavisk-$(printf '%032x' "$i").tmp"
done
printf '<config><File><getFile>%s</getFile></File><Registry><getValue>HKEY_CURRENT_USER\\x</getValue></Registry></config>' \
  "$WORK/big.txt" >spill.xml
run_tool "$EXE" /source spill.xml /dest left/r.tavisk
expect_eq "$STATUS" 0 "leftovers: a run that spills succeeds"
expect_eq "$(cat left/*.tmp | tr -d '\n' | sed 's/left//g')" "" "leftovers: left as they were"
expect_eq "$(ls left | wc -l)" 203 "leftovers: nothing added but the archive"
rm -rf left

# The run's own files as requests, by the descriptors it holds them open with
# (spilling, so a spill file is open too) and in a listing of their folder:
# each is a file not found, however small, and the run ends.
fds=$(for fd in 3 4 5 6 7 8; do printf '<getFile>/proc/self/fd/%s</getFile><getFileVersion>/proc/self/fd/%s</getFileVersion>' "$fd" "$fd"; done)
printf '<config><File><getFile>%s</getFile>%s</File><Registry><getValue>HKEY_CURRENT_USER\\x</getValue></Registry><Directory><getFiles>%s</getFiles></Directory></config>' \
  "$WORK/big.txt" "$fds" "$WORK/self" >self.xml
mkdir self
"$EXE" /source self.xml /dest self/r.tavisk </dev/null >/dev/null 2>&1 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- && status=0 || status=$?
expect_eq "$status" 0 "own files as requests: the run ends"
report=$(7zz e -so self/r.tavisk 2>/dev/null | tr -d '\r')
expect_eq "$(grep -c '<filecontent name="/proc/self/fd/[0-9]">File not found</filecontent>' <<<"$report")" 6 \
  "own files as requests: each a file not found"
expect_eq "$(grep '<searchedproperties name="/proc/self/fd/' <<<"$report" | grep -c '|')" 0 \
  "own files as requests: none described"
listed=$(grep -c "^<properties name=\"$WORK/self/tavisk-" <<<"$report")
expect_eq "$((listed >= 2)):$(grep -c "^File $WORK/self/tavisk-[0-9a-f]*.tmp not found.$" <<<"$report")" "1:$listed" \
  "own files in a listing: each a file not found"

# Owner-only, whatever the umask: the archive, and a report kept after a failed packing.
mkdir perms bin
cp "$EXE" bin/tavisk
printf 'int tavisk_not_an_engine(void) { return 1; }\n' >stub.c
gcc -shared -fPIC -o bin/7z.so stub.c
(umask 000 && "$EXE" /source small.xml /dest perms/a.tavisk </dev/null >/dev/null 2>&1)
(umask 000 && bin/tavisk /source small.xml /dest perms/k.tavisk </dev/null >/dev/null 2>&1) || true
expect_eq "$(stat -c '%n %a' perms/*)" "perms/a.tavisk 600
perms/k.xml 600" "permissions: owner only"

# A computer name that reaches into other folders stays one file name in the
# destination folder; the report keeps the name as it is.
if unshare -u true 2>/dev/null; then
  mkdir -p host/out
  unshare -u sh -c 'printf x/../../y >/proc/sys/kernel/hostname && exec "$1" /source "$2" /dest "$3"' _ \
    "$EXE" "$WORK/small.xml" host/out/ \
    </dev/null >/dev/null 2>&1
  expect_eq "$(ls host/out | grep -cE '^x_______y_[0-9]{12}\.tavisk$')" 1 "hostile computer name: the archive in its folder"
  expect_eq "$(find "$WORK/host" -type f | wc -l)" 1 "hostile computer name: nothing elsewhere"
  expect_contains "$(7zz e -so host/out/*.tavisk 2>/dev/null | head -c 200)" 'hostname="x/../../y"' \
    "hostile computer name: the report keeps it"
else
  echo "SKIP: hostile computer name: no UTS namespace here" >&2
fi

# Standard output closed: nothing the run prints lands in its report.
mkdir closed
"$EXE" /source small.xml /dest closed/r.tavisk </dev/null >&- 2>&- && status=0 || status=$?
expect_eq "$status" 0 "closed standard output: status"
expect_eq "$(7zz e -so closed/r.tavisk 2>/dev/null | grep -c Velmora || true)" 0 "closed standard output: the report holds no console line"

# A relative destination: the item is named by the full path, without "..";
# through a link, by where the archive really is.
mkdir -p rel/sub out real/in
ln -s "$WORK/real/in" out/lnk
(cd rel/sub && "$EXE" /source "$WORK/small.xml" /dest ../../out/x.tavisk </dev/null >/dev/null 2>&1)
expect_contains "$(7zz l -slt out/x.tavisk)" "Path = $WORK/out/x.xml" "relative destination: the item's full path"
(cd rel/sub && "$EXE" /source "$WORK/small.xml" /dest ../../out/lnk/../y.tavisk </dev/null >/dev/null 2>&1)
expect_contains "$(7zz l -slt real/y.tavisk)" "Path = $WORK/real/y.xml" "destination through a link: the item's real path"

# The destination folder renamed, or replaced by a link, while the run collects:
# the archive lands in the folder the run opened, nothing in what took its name.
# A name no file can take is refused before anything is collected.
mkdir elsewhere
for replacement in none link; do
  mkdir dest
  "$EXE" /source big.xml /dest dest/r.tavisk </dev/null >moved.out 2>&1 &
  run=$!
  until [ -n "$(find dest -name 'tavisk-*.tmp' -size +1M)" ] || ! kill -0 $run 2>/dev/null; do sleep 0.05; done
  mv dest moved
  [ $replacement = none ] || ln -s "$WORK/elsewhere" dest
  wait $run && status=0 || status=$?
  expect_eq "$status" 0 "destination folder moved ($replacement in its place): status"
  expect_whole moved/r.tavisk "destination folder moved ($replacement in its place)"
  expect_eq "$(ls moved):$(ls elsewhere)" "r.tavisk:" "destination folder moved ($replacement in its place): nothing else"
  rm -rf moved dest
done
run_tool "$EXE" /source small.xml /dest "out/$(printf 'n%.0s' $(seq 300)).tavisk"
expect_eq "$STATUS:$(grep -c 'ermittelt' <<<"$OUT" || true)" 255:0 "destination name too long: refused at the start"
expect_contains "$OUT" "Der Name der Ausgabedatei ist zu lang" "destination name too long: said"

# Limits on the process: a file size limit fails the report like a full disk,
# a processor limit ends the run like SIGTERM, a limit on processes refuses its
# threads; nothing of the run's own is left and the status tells.
mkdir limits
chmod 777 limits
(ulimit -f 2000 && "$EXE" /source big.xml /dest limits/r.tavisk </dev/null >limits.out 2>&1) && status=0 || status=$?
expect_eq "$status:$(grep -c 'konnten nicht in XML geschrieben' limits.out)" 255:1 "ulimit -f: the report could not be written"
(ulimit -S -t 1 && "$EXE" /source cpu.xml /dest limits/r.tavisk </dev/null >/dev/null 2>&1) && status=0 || status=$?
expect_eq "$status" 152 "soft processor limit: ended like SIGTERM"
# The leak checker of a sanitized build needs a process of its own at exit.
for processes in 1 2; do
  ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 setpriv --reuid=65534 --regid=65534 --clear-groups bash -c \
    'ulimit -u '$processes' && exec "$0" /source "$1" /dest limits/r.tavisk' "$EXE" "$WORK/small.xml" </dev/null \
    >limits.out 2>&1 && status=0 || status=$?
  expect_eq "$status:$(grep -c 'kein Thread' limits.out)" 255:1 "ulimit -u $processes: said, status"
done
expect_eq "$(ls -A limits)" "" "process limits: nothing left"

# Once the archive is in place the run has succeeded: Ctrl+C at the prompt ends with 0.
mkdir prompt
mkfifo prompt/in
"$EXE" /source small.xml /dest prompt/r.tavisk <prompt/in >prompt/out 2>&1 &
run=$!
exec 9>prompt/in
until grep -q 'um zu beenden' prompt/out; do sleep 0.05; done
kill -s INT $run
wait $run && status=0 || status=$?
exec 9>&-
expect_eq "$status" 0 "Ctrl+C at the prompt after a written archive: status"
expect_whole prompt/r.tavisk "Ctrl+C at the prompt after a written archive"
rm -rf prompt

# The configuration named like the report: it is read, packed from, and left as it was.
cp small.xml inventory.xml
run_tool "$EXE" /source inventory.xml /dest inventory.tavisk
expect_eq "$STATUS" 0 "configuration named like the report: the run succeeds"
expect_file_bytes inventory.xml small.xml "configuration named like the report: left as it was"
expect_clean "$WORK" "all runs"
finish
