#!/usr/bin/env bash
# orbantis-cli.exe as a person at a console uses it, under Wine, against the
# registered COM server and a printer on a COM port: the status read, a
# receipt whose answers come back in in-out parameters, a command's data text
# through CUSTOM_CMD, a refused sale that leaves a receipt open, a port that
# does not exist (its message and exit status), a logo read into the current
# folder with its progress events, the usage errors (an unknown method, a
# missing argument, the receipt command this build lacks), --help WORD and
# --help METHOD, UTF-8 text, and a server that goes away during a call.
#
# Usage: test_cli.sh CLI.EXE [PORT]            (COM port number, default 5)
#
# Environment:
#   WINEPREFIX    the prepared prefix: orbantis.exe registered for all users
#                 (orbantis.exe /RegServer), dosdevices/comPORT linked to the pty
#                 of a running orbantis-emulator --pty
#   EMULATOR      orbantis-emulator, for a silent printer of this script's own
#                 (default: build/tools/emulator/orbantis-emulator of this tree)
#   SILENT_PORT   the COM port number this script links to it (default 25)
#   ABSENT_PORT   a COM port number that leads nowhere (default 47)
#   WINE          the wine program (default: wine)
#   WINEDLLOVERRIDES, WINEDEBUG   default "mscoree,mshtml=" and "-all"
#
# The program's output goes to files, never to a pipe: under Wine the server
# that COM starts holds the client's standard output and error, so a pipe
# would stay open until the server ends.
#
# One line per check, "ok ..." or "FAIL ..." (with the output that failed it);
# the last line is "N passed, M failed". Exit status: 0 all passed, 1 a check
# failed, 2 it could not run.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
usage() {
  sed -n '2,/^set /{/^set /d;s/^# \{0,1\}//;p}' "$0" >&2
  exit 2
}
[[ $# -ge 1 && $# -le 2 ]] || usage
cli="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
port=${2:-5}
silent_port=${SILENT_PORT:-25}
absent_port=${ABSENT_PORT:-47}
emulator=${EMULATOR:-$root/build/tools/emulator/orbantis-emulator}
[[ -f $cli && $port =~ ^[0-9]{1,3}$ ]] || usage
if [[ -z ${WINEPREFIX:-} || ! -d $WINEPREFIX/drive_c ]]; then
  echo "test_cli.sh: WINEPREFIX must name the prepared Wine prefix" >&2
  exit 2
fi
if [[ ! -e $WINEPREFIX/dosdevices/com$port ]]; then
  echo "test_cli.sh: $WINEPREFIX/dosdevices/com$port does not lead to a printer" >&2
  exit 2
fi
if [[ -e $WINEPREFIX/dosdevices/com$absent_port || -e $WINEPREFIX/dosdevices/com$silent_port ]]; then
  echo "test_cli.sh: COM$absent_port and COM$silent_port must be free in $WINEPREFIX (ABSENT_PORT, SILENT_PORT)" >&2
  exit 2
fi
wine=${WINE:-wine}
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES-mscoree,mshtml=}" WINEDEBUG="${WINEDEBUG--all}"
# Arguments reach the program as UTF-16 through Wine's conversion of the
# Unix ones, which follows the locale.
export LC_ALL=C.UTF-8
cli_windows=$("$wine" winepath -w "$cli" 2>/dev/null | tr -d '\r')

work="$(mktemp -d /tmp/orbantis-cli-test-XXXXXX)"
silent=
cleanup() {
  [[ -n $silent ]] && kill "$silent" 2>/dev/null && wait "$silent" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0

# run FILE ARG...: orbantis-cli.exe with the arguments, in $work (or in
# $folder when set); its output in $work/FILE.out and .err without the CRs,
# its exit status in $status. The limit only keeps a hung run from stalling
# the test: a silent printer takes about 20 s to give up.
run() {
  local name=$1
  shift
  (cd "${folder:-$work}" && timeout 300 "$wine" "$cli_windows" "$@" >"$work/$name.raw" 2>"$work/$name.rawerr")
  status=$?
  tr -d '\r' <"$work/$name.raw" >"$work/$name.out"
  tr -d '\r' <"$work/$name.rawerr" >"$work/$name.err"
}

# verdict FILE NAME WANT PATTERNS: the run FILE's exit status was WANT and
# its output holds a line for each pattern, one a line, "out:REGEX" or
# "err:REGEX" (grep -E), and none for a pattern "no-out:REGEX"; the check is
# called NAME.
verdict() {
  local file=$1 name=$2 want=$3 patterns=$4 line stream missing=()
  ((status == want)) || missing+=("exit status $want (got $status)")
  while IFS= read -r line; do
    [[ -z $line ]] && continue
    stream=${line%%:*}
    if [[ $stream == no-* ]]; then
      ! grep -Eq -- "${line#*:}" "$work/$file.${stream#no-}" || missing+=("$line")
    else
      grep -Eq -- "${line#*:}" "$work/$file.$stream" || missing+=("$line")
    fi
  done <<<"$patterns"
  if ((${#missing[@]} == 0)); then
    echo "ok $name"
    passed=$((passed + 1))
  else
    echo "FAIL $name"
    printf '  missing: %s\n' "${missing[@]}"
    echo "  --- standard output:"
    sed 's/^/    /' "$work/$file.out"
    echo "  --- standard error:"
    sed 's/^/    /' "$work/$file.err"
    failed=$((failed + 1))
  fi
}

# check NAME WANT PATTERNS ARG...: run, then verdict.
runs=0
check() {
  local name=$1 want=$2 patterns=$3
  shift 3
  runs=$((runs + 1))
  run "run$runs" "$@"
  verdict "run$runs" "$name" "$want" "$patterns"
}

# ---------------------------------------------------------------- the table

check "status lists the set bits with their texts" 0 \
  $'out:^initFiscalPrinter -> 0$\nout:^CONNECT_TO_PRINTER -> 0$\nout:^status bytes: [0-9]+( [0-9]+){5}$
out:^  byte [0-5] bit [0-6]: .+\nout:^no fiscal receipt is open$\nout:^CLOSE_CONNECTION -> 0$' \
  --com "$port" status

check "a receipt's answers come back in its in-out parameters" 0 \
  $'out:^CMD_48_0_0 -> 0$\nout:^  RecCnt = [0-9]+$\nout:^  GlobRecCnt = [0-9]+$\nout:^CMD_49_0_0 -> 0$
out:^CMD_53_0_0 -> 0$\nout:^  PaidCode = R$\nout:^  Amount_Out = 7\\.50$\nout:^CMD_56_0_0 -> 0$' \
  --com "$port" CMD_48_0_0 1 0000 1 -- CMD_49_0_0 A 2.50 -- CMD_53_0_0 P 10 -- CMD_56_0_0

check "CUSTOM_CMD answers in OUTPUT_STR, an empty text given as \"\"" 0 \
  $'out:^CUSTOM_CMD -> true$\nout:^  INPUT_STR = $\nout:^  OUTPUT_STR = .*,.*' \
  --com "$port" CUSTOM_CMD 90 ""

check "a refused sale stops the run, says the receipt is open, skips the rest" 1 \
  $'out:^CMD_49_0_0 -> -[0-9]+$\nout:^  error: .+\nout:^         .+
out:^  note: a fiscal receipt is still open on the printer: .*CMD_60_0_0
out:^skipped CMD_56_0_0$\nerr:stopped after the failed call\nout:^CLOSE_CONNECTION -> 0$' \
  --com "$port" CMD_48_0_0 1 0000 1 -- CMD_49_0_0 G 1.00 -- CMD_56_0_0

check "--keep-going runs the rest after a failure; the receipt is cancelled" 1 \
  $'out:^CMD_49_0_0 -> -[0-9]+$\nout:^CMD_60_0_0 -> 0$\nno-out:^skipped\nout:^CLOSE_CONNECTION -> 0$' \
  --com "$port" --keep-going CMD_49_0_0 G 1.00 -- CMD_60_0_0

check "--device names the port by its device name" 0 \
  $'out:^initFiscalPrinterDevice -> 0$\nout:^CONNECT_TO_PRINTER -> 0$\nout:^GetLastErrorCode -> 0$' \
  --device "\\\\.\\COM$port" GetLastErrorCode

check "a port that does not exist: the event, the error text, the detail and status 1" 1 \
  $'out:^event ON_ERROR -100 "Server can not open COM port\\."$\nout:^CONNECT_TO_PRINTER -> -100$
out:^  error: Server can not open COM port\\.$\nout:^  detail: .*COM'"$absent_port"$' does not exist
out:^skipped CMD_60_0_0$\nout:^CLOSE_CONNECTION -> 0$' \
  --com "$absent_port" CMD_60_0_0

check "--tcp to a closed port: refused, with the address in the detail" 1 \
  $'out:^INIT_MY_FP2 -> 0$\nout:^CONNECT_TO_PRINTER -> -46$\nout:^  detail: .*127\\.0\\.0\\.1:1' \
  --tcp 127.0.0.1:1

mkdir -p "$work/mine"
folder="$work/mine" run logo --com "$port" getLogoFromPrinter logo.bmp
verdict logo "a logo read: its progress as one line, the file in the current folder" 0 \
  $'out:^event OnStartProgress$\nout:^event OnProgress: 98 steps, the last [0-9]+ \nout:^event OnEndProgress$
out:^getLogoFromPrinter -> 0$'
if [[ -s $work/mine/logo.bmp ]]; then
  echo "ok the relative logo file name is the user's folder's"
  passed=$((passed + 1))
else
  echo "FAIL the relative logo file name: no $work/mine/logo.bmp"
  failed=$((failed + 1))
fi

check "an unknown method is a usage error with names like it" 2 \
  $'err:^orbantis-cli: unknown method "CMD_48_0_9"\\. Did you mean: CMD_48_0_0, CMD_48_0_1\\?$\nerr:--help' \
  --no-connect CMD_48_0_9

check "a missing argument names the method's arguments" 2 \
  $'err:^orbantis-cli: CMD_49_0_0 takes 2 arguments, 1 given\\.$\nerr:^  usage: CMD_49_0_0 TaxCd Price -> int$' \
  --com "$port" CMD_49_0_0 A

check "receipt names the methods to call instead" 2 \
  $'err:^orbantis-cli: receipt is not a subcommand of the Windows client: call the server\'s methods instead, printReceipt' \
  --com "$port" receipt receipt.json

check "--help lists every method with its arguments" 0 \
  $'out:^USAGE$\nout:^THE METHODS of ORBANTIS\\.IKELMORA\nout:^  CMD_48_0_0 OpCode OpPwd TillNmb \\[RecCnt GlobRecCnt\\] -> int$
out:^  CUSTOM_CMD CMD:int \\[INPUT_STR OUTPUT_STR\\] -> bool$\nout:^  printReceipt document \\[answer\\] -> int$' \
  --help

check "--help discount finds the sales with a discount" 0 \
  $'out:^  CMD_49_0_1 L1 L2 TaxCd Price Quan UN Perc -> int$\nout:^      Sells an item .*discount' \
  --help discount

check "--help METHOD shows the method whole" 0 \
  $'out:^CMD_53_0_0 PaidMode Amount_In \\[PaidCode Amount_Out\\] -> int   \\(dispatch id [0-9]+\\)$
out:F refused' \
  --help CMD_53_0_0

check "texts arrive and leave as UTF-8" 2 $'err:unknown method "Café €"' --no-connect "Café €"

# A server that goes away in the middle of a call: a silent printer keeps
# CONNECT_TO_PRINTER waiting, and the server is ended meanwhile. Last: Wine
# may need a moment to forget the ended server.
# servers: the COM servers running in this prefix.
servers() {
  local pid
  for pid in $(pgrep -f 'orbantis\.exe -Embedding'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
}
if [[ -x $emulator ]]; then
  # The servers of the runs above end with their objects: then the one that
  # starts now is this run's.
  for _ in $(seq 100); do [[ -z $(servers) ]] && break; sleep 0.1; done
  "$emulator" --pty --silent --link "$WINEPREFIX/dosdevices/com$silent_port" --paper "$work/silent.paper" \
    >"$work/silent.emulator" 2>&1 &
  silent=$!
  for _ in $(seq 100); do [[ -e $WINEPREFIX/dosdevices/com$silent_port ]] && break; sleep 0.1; done
  (cd "$work" && timeout 300 "$wine" "$cli_windows" --com "$silent_port" >"$work/gone.raw" 2>"$work/gone.rawerr") &
  client=$!
  # The initialisation has answered: the server is up and the connection under way.
  for _ in $(seq 600); do grep -q '^initFiscalPrinter -> 0' "$work/gone.raw" 2>/dev/null && break; sleep 0.1; done
  for server in $(servers); do kill -KILL "$server"; done
  wait "$client"
  status=$?
  tr -d '\r' <"$work/gone.raw" >"$work/gone.out"
  tr -d '\r' <"$work/gone.rawerr" >"$work/gone.err"
  verdict gone "a server that ends during a call is said to have gone away, status 2" 2 \
    $'err:^orbantis-cli: CONNECT_TO_PRINTER failed: the server went away \\(it ended or crashed\\) during the call\\.$'
else
  echo "FAIL a server that ends during a call: no software printer at $emulator (EMULATOR)"
  failed=$((failed + 1))
fi

echo "$passed passed, $failed failed"
((failed == 0))
