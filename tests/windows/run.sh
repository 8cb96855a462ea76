#!/usr/bin/env bash
# The Windows tests, under Wine: a fresh prefix in the Windows build folder
# (build-windows/, or $1), the software printer mapped as COM5 and a printer
# that never answers as COM6, then
#   - the installer, silently, for all users and per user (check_installer.sh);
#   - the server registered from the build folder, and the C++ client tests
#     (test_com.exe), the picture rows (test_wic_rows.exe);
#   - the script clients (run_scripts.sh) and the command-line client.
# One prefix and one warm wineserver for the whole run.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
win="${1:-$root/build-windows}"
native="${ORBANTIS_BUILD_DIR:-$root/build}"
emulator="$native/tools/emulator/orbantis-emulator"
[ -x "$emulator" ] || cmake --build "$native" --target orbantis-emulator >/dev/null

export WINEPREFIX="$win/wineprefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=  # no window system: the server runs without its tray icon
work="$win/wine-run"
rm -rf "$WINEPREFIX" "$work"
mkdir -p "$work"

pids=()
finish() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
}
trap finish EXIT

start=$(date +%s)
echo "== Wine prefix"
wine wineboot --init >/dev/null 2>&1
wineserver -w
wineserver -p >"$work/wineserver.log" 2>&1  # stays warm for every step below
# A crash ends the program with its code instead of starting the debugger.
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f >/dev/null 2>&1

echo "== printers: COM5 answers, COM6 never does"
"$emulator" --pty --link "$WINEPREFIX/dosdevices/com5" --paper "$work/paper.txt" >"$work/com5.log" 2>&1 &
pids+=($!)
# A printer set to 9600 baud does not understand a driver at 115200.
"$emulator" --pty --line-baud 9600 --link "$WINEPREFIX/dosdevices/com6" --paper "$work/silent.txt" >"$work/com6.log" 2>&1 &
pids+=($!)
for link in com5 com6; do
  for _ in $(seq 50); do [ -e "$WINEPREFIX/dosdevices/$link" ] && break; sleep 0.1; done
done

status=0
if [ -f "$win/orbantis-setup.exe" ]; then
  echo "== installer"
  "$root/tests/windows/check_installer.sh" "$win" || status=1
fi

echo "== server registered from the build folder"
server="$win/src/com/orbantis.exe"
wine "$server" /RegServer
export ORBANTIS_SERVER="$(winepath -w "$server")"
export ORBANTIS_PAPER="$(winepath -w "$work/paper.txt")"
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all

echo "== C++ clients"
(cd "$win/tests/windows" && wine test_com.exe --gtest_brief=1) || status=1
if [ -f "$win/tests/windows/test_wic_rows.exe" ]; then
  (cd "$win/tests/windows" && wine test_wic_rows.exe --gtest_brief=1) || status=1
fi

echo "== script clients"
PAPER="$work/paper.txt" "$root/tests/windows/run_scripts.sh" 5 || status=1

if [ -f "$win/tools/cli-windows/orbantis-cli.exe" ] && [ -f "$root/tests/windows/test_cli.sh" ]; then
  echo "== command-line client"
  "$root/tests/windows/test_cli.sh" "$win/tools/cli-windows/orbantis-cli.exe" || status=1
fi

echo "== Windows tests: $(( $(date +%s) - start )) s, $([ $status = 0 ] && echo passed || echo FAILED)"
exit $status
