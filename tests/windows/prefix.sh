# Sourced by tests/windows/run.sh and bench/windows/run.sh: a fresh Wine
# prefix in the Windows build folder with one warm wineserver, and the
# software printers:
#   COM5            the software printer (paper roll $work/paper.txt)
#   COM6            a printer set to 9600 baud: it never understands a driver
#                   at 115200, so it never answers
#   127.0.0.1:PORT  the software printer on the network ($ORBANTIS_TCP_PORT)
# Needs: $root (the source tree), $win (the Windows build folder), $native
# (the native build folder, for orbantis-emulator). Sets $work and
# $ORBANTIS_SERVER/$ORBANTIS_PAPER for the clients; stops everything on exit.
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

wine wineboot --init >/dev/null 2>&1
wineserver -w
wineserver -p >"$work/wineserver.log" 2>&1  # stays warm for every step
# A crash ends the program with its code instead of starting the debugger.
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f >/dev/null 2>&1

"$emulator" --pty --link "$WINEPREFIX/dosdevices/com5" --paper "$work/paper.txt" >"$work/com5.log" 2>&1 &
pids+=($!)
"$emulator" --pty --line-baud 9600 --link "$WINEPREFIX/dosdevices/com6" --paper "$work/silent.txt" >"$work/com6.log" 2>&1 &
pids+=($!)
"$emulator" --tcp 0 --paper "$work/tcp.txt" >"$work/tcp.log" 2>&1 &
pids+=($!)
for link in com5 com6; do
  for _ in $(seq 50); do [ -e "$WINEPREFIX/dosdevices/$link" ] && break; sleep 0.1; done
done
for _ in $(seq 50); do grep -q '^listening:' "$work/tcp.log" && break; sleep 0.1; done
export ORBANTIS_TCP_PORT="$(sed -n 's/^listening: 127.0.0.1:\([0-9]*\).*/\1/p' "$work/tcp.log")"

server="$win/src/com/orbantis.exe"
export ORBANTIS_SERVER="$(winepath -w "$server")"
export ORBANTIS_PAPER="$(winepath -w "$work/paper.txt")"
