#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ORBANTIS_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh" "$build" -DORBANTIS_WERROR=ON
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 300
# The client examples of the README, against the software printer.
"$root/examples/run_all.sh" "$build"
# The Windows build (mingw-w64: the COM server, its client, the installer)
# and its tests under Wine.
windows="${ORBANTIS_WINDOWS_BUILD_DIR:-$root/build-windows}"
ORBANTIS_BUILD_DIR="$build" "$root/scripts/build-windows.sh" "$windows" -DORBANTIS_WERROR=ON
ORBANTIS_BUILD_DIR="$build" "$root/tests/windows/run.sh" "$windows"
# The README's first day from the Debian package: installed, used on a private
# bus with an empty home, purged.
"$root/scripts/first-day.sh"
# The tests again under AddressSanitizer/UndefinedBehaviorSanitizer and
# ThreadSanitizer, each in a build folder of its own.
"$root/scripts/sanitize.sh"
# A short run of every fuzz target (clang, libFuzzer); scripts/fuzz.sh SECONDS runs them longer.
"$root/scripts/fuzz.sh" 10
