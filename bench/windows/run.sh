#!/usr/bin/env bash
# Times COM calls to the Windows server under Wine (bench_com.exe), in a
# fresh prefix of the Windows build folder (build-windows/, or $1).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
win="${1:-$root/build-windows}"
native="${ORBANTIS_BUILD_DIR:-$root/build}"
source "$root/tests/windows/prefix.sh"
wine "$server" /RegServer
(cd "$win/bench/windows" && wine bench_com.exe)
