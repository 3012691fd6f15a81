#!/usr/bin/env bash
# allServices of the Linux build against a mock systemd manager with 300 service
# units (and the test's few) on a private bus; median of RUNS runs.
# Usage: bench/services_linux.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-9}
TAVISK_SOURCE_DIR=$(cd "$(dirname "$0")/.." && pwd)
source "$TAVISK_SOURCE_DIR/tests/e2e/systemd-mock.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/tavisk-bench.XXXXXX")
trap 'stop_mock_bus; rm -rf "$work"' EXIT
mock_available || { echo "dbus-daemon or python3-dbusmock missing" >&2; exit 1; }
start_bus "$work"
start_mock "$work" '{"count": 300}' || { echo "the mock manager did not start" >&2; exit 1; }
"$build/bench/bench_service_listing" "$runs"
