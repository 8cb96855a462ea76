#!/usr/bin/env bash
# The Windows tests, under Wine (tests/windows/prefix.sh prepares the prefix
# in build-windows/, or $1, and the printers):
#   - the installer, silently, for all users and per user (check_installer.sh);
#   - the server registered from the build folder, and the C++ client tests
#     (test_com.exe), the picture rows (test_wic_rows.exe);
#   - the script clients (run_scripts.sh) and the command-line client.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
win="${1:-$root/build-windows}"
native="${ORBANTIS_BUILD_DIR:-$root/build}"
start=$(date +%s)
echo "== Wine prefix and printers"
source "$root/tests/windows/prefix.sh"

status=0
if [ -f "$win/orbantis-setup.exe" ]; then
  echo "== installer"
  "$root/tests/windows/check_installer.sh" "$win" || status=1
fi

echo "== server registered from the build folder"
wine "$server" /RegServer

echo "== C++ clients"
(cd "$win/tests/windows" && wine test_com.exe --gtest_brief=1) || status=1
(cd "$win/tests/windows" && wine test_wic_rows.exe --gtest_brief=1) || status=1

echo "== script clients"
PAPER="$work/paper.txt" "$root/tests/windows/run_scripts.sh" 5 || status=1

echo "== the C++ example"
if (cd "$win/examples/windows" && wine receipt.exe 5) >"$work/receipt-cpp.txt" 2>&1 &&
   grep -q 'CMD_56_0_0 -> 0' "$work/receipt-cpp.txt"; then
  echo "ok receipt.exe prints its receipt"
else
  echo "FAIL receipt.exe:"; cat "$work/receipt-cpp.txt"; status=1
fi

echo "== command-line client"
EMULATOR="$emulator" "$root/tests/windows/test_cli.sh" "$win/tools/cli-windows/orbantis-cli.exe" 5 || status=1

echo "== a server that COM started and nobody used"
# It ends 30 s after its start (the class is registered for real clients,
# so this runs last, with no client about).
log="$(winepath -u 'C:\users' 2>/dev/null)"
log="$(ls -d "${log%/}"/*/AppData/Local/ORBANTIS 2>/dev/null | head -1)/orbantis_log.txt"
began=$(date +%s)
if timeout 60 wine "$server" -Embedding && grep -q "No object was asked for within 30 s" "$log" 2>/dev/null; then
  echo "ok it ended by itself after $(( $(date +%s) - began )) s"
else
  echo "FAIL it did not end by itself within 60 s (or did not say why in $log)"; status=1
fi

echo "== Windows tests: $(( $(date +%s) - start )) s, $([ $status = 0 ] && echo passed || echo FAILED)"
exit $status
