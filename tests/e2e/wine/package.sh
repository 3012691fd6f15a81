#!/usr/bin/env bash
# The zip of each Windows build: unpacked, and where the build can run here, run
# from its folder on its default configuration under Wine, its archive read by tavisk-report.
source "$(dirname "$0")/../lib.sh"
for build in "i686 7zx86.dll" "x86_64 7zx64.dll"; do
  read -r arch engine <<<"$build"
  zip=$TAVISK_BUILD_DIR/packages/tavisk-1.0.0-windows-$arch.zip
  if [ ! -f "$zip" ]; then
    fail "$arch: no $zip: build the target 'packages' first"
    continue
  fi
  mkdir "$WORK/$arch"
  (cd "$WORK/$arch" && 7zz x -bd -y "$zip" >/dev/null)
  folder=$WORK/$arch/tavisk-1.0.0-windows-$arch
  expect_eq "$(ls "$folder" | tr '\n' ' ')" "$engine LIESMICH.txt standard.xml tavisk-report.exe tavisk.exe " \
    "$arch: the zip holds the tool and its reader, the engine under the name they load, the configuration and the read-me"
  [ "$arch" = x86_64 ] || i686_runs || continue
  run_tool "$folder/tavisk.exe" /check
  expect_eq "$STATUS" 0 "$arch: every request of the shipped configuration runs"
  expect_contains "$OUT" "Konfigurationsdatei:	$(winpath "$folder")\\standard.xml" "$arch: reads standard.xml beside itself"
  run_tool "$folder/tavisk.exe"
  expect_eq "$STATUS" 0 "$arch: a run on the default configuration exits with 0"
  archive=$(ls "$folder"/*.tavisk 2>/dev/null | head -n 1 || true)
  checks=$((checks + 1))
  if [ -n "$archive" ]; then
    expect_contains "$(7zz e -so "$archive" 2>/dev/null)" "<computer hostname=" "$arch: the archive beside the tool holds the report"
    run_tool "$folder/tavisk-report.exe" show "$(winpath "$archive")"
    expect_contains "$STATUS $OUT" "0 Computer:" "$arch: the packaged tavisk-report reads the archive"
  else
    fail "$arch: no archive beside the tool: $OUT"
  fi
done
finish
