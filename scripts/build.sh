#!/usr/bin/env bash
# Configures and builds ORBANTIS into build/ (or the folder given as $1).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
"$root/scripts/install-deps.sh"
# Further arguments go to CMake (the test command adds -DORBANTIS_WERROR=ON).
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${@:2}" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
