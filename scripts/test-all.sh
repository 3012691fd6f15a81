#!/usr/bin/env bash
# Builds the Linux, Windows i686 and Windows x86_64 targets and their packages and
# runs every test, the Wine ones included.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVISK_WINDOWS_BUILDS=ON >/dev/null
cmake --build build/test
cmake --build build/test --target packages
ctest --test-dir build/test --output-on-failure -j 2
