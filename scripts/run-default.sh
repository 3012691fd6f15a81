#!/usr/bin/env bash
# Builds the Linux tool and runs it on the shipped default configuration.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/run --target tavisk
exec build/run/tavisk "$@"
