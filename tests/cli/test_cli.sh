#!/usr/bin/env bash
# orbantis-cli as a person at a terminal uses it, against the software
# printer on a private session bus whose folders are temporary:
# the status subcommand, error texts line by line, the note about an open
# receipt, --help WORD over the descriptions, a relative logo file name, the
# journal without a journal, a server that goes away during a call, and the
# software printer's --silent summary.
#
# Usage: tests/cli/test_cli.sh BUILD. The last line is "N passed, M failed".
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

if [[ -z ${ORBANTIS_CLI_TEST_INSIDE:-} ]]; then
  build="$(cd "${1:?usage: test_cli.sh BUILD}" && pwd)"
  work="$(mktemp -d /tmp/orbantis-cli-test-XXXXXX)"
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/data" "$work/config" "$work/home" "$work/state"
  mkdir -m 700 "$work/runtime"
  export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" \
    XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/runtime"
  export ORBANTIS_CLI_TEST_INSIDE=1 BUILD="$build" WORK="$work"
  timeout 300 dbus-run-session -- bash "$here/test_cli.sh"
  exit $?
fi

cli="$BUILD/tools/cli/orbantis-cli"
emulator="$BUILD/tools/emulator/orbantis-emulator"
passed=0
failed=0
check() {  # NAME FILE PATTERN: the file holds a line matching PATTERN (grep -E)
  if grep -Eq -- "$3" "$2"; then
    echo "PASS $1"
    passed=$((passed + 1))
  else
    echo "FAIL $1: no line matching $3 in:"
    sed 's/^/    /' "$2"
    failed=$((failed + 1))
  fi
}
start_printer() {  # NAME OPTION...: a software printer on $WORK/NAME
  "$emulator" --pty --link "$WORK/$1" --paper "$WORK/$1.paper" "${@:2}" >"$WORK/$1.out" 2>"$WORK/$1.err" &
  for _ in $(seq 50); do [[ -e $WORK/$1 ]] && break; sleep 0.1; done
}

"$BUILD/src/uORBANTIS/orbantis" -regserverperuser >/dev/null

# The status bits with their texts, on a printer out of paper.
start_printer nopaper --status 2.0
nopaper=$!
"$cli" --device "$WORK/nopaper" status >"$WORK/status.txt" 2>&1
check "status lists a set bit with its text" "$WORK/status.txt" '^  byte 2 bit 0: # No paper\.$'
check "status says whether a receipt is open" "$WORK/status.txt" '^no fiscal receipt is open$'
check "an error text comes line by line" "$WORK/status.txt" '^         # No paper\.$'
kill "$nopaper"; wait "$nopaper" 2>/dev/null

# A refused sale leaves the receipt open: the output says how to get out.
start_printer shop
shop=$!
"$cli" --device "$WORK/shop" CMD_48_0_0 1 0000 1 -- CMD_49_0_0 G 1.00 >"$WORK/open.txt" 2>&1
check "a failed command names the cancel when a receipt is left open" "$WORK/open.txt" \
  '^  note: a fiscal receipt is still open on the printer: .*CMD_60_0_0'
"$cli" --device "$WORK/shop" CMD_60_0_0 >/dev/null 2>&1

# A text the code page cannot print is refused and named; --replace-unmappable
# prints "?" in its place.
"$cli" --device "$WORK/shop" --keep-going CMD_38_0_0 -- CMD_42_0_0 "Кафе" -- CMD_39_0_0 \
  >"$WORK/unprintable.txt" 2>&1
check "a text the code page cannot print is refused with -3" "$WORK/unprintable.txt" '^CMD_42_0_0 -> -3$'
check "the refusal names the parameter and the character" "$WORK/unprintable.txt" \
  'Parameter .* holds U\+041A, a character code page 1252 cannot print; nothing was sent'
"$cli" --device "$WORK/shop" --replace-unmappable CMD_38_0_0 -- CMD_42_0_0 "Кафе" -- CMD_39_0_0 \
  >"$WORK/replaced.txt" 2>&1
check "--replace-unmappable sends it" "$WORK/replaced.txt" '^CMD_42_0_0 -> 0$'
check "--replace-unmappable prints \"?\" for each character" "$WORK/shop.paper" '\?\?\?\?'

# A relative logo file name is the user's, not the server's working folder's.
mkdir -p "$WORK/mine" && (cd "$WORK/mine" && "$cli" --device "$WORK/shop" getLogoFromPrinter logo.bmp >"$WORK/logo.txt" 2>&1)
if [[ -s $WORK/mine/logo.bmp ]]; then echo "PASS a relative logo file name lands in the user's folder"; passed=$((passed + 1))
else echo "FAIL a relative logo file name: no $WORK/mine/logo.bmp"; sed 's/^/    /' "$WORK/logo.txt"; failed=$((failed + 1)); fi
check "a transfer's progress is one line" "$WORK/logo.txt" '^event OnProgress: 98 steps, the last '
kill "$shop"; wait "$shop" 2>/dev/null

# --help WORD searches what the methods do.
"$cli" --help discount >"$WORK/help.txt" 2>&1
check "--help discount finds the sale with a discount" "$WORK/help.txt" '^  CMD_49_0_1 '
"$cli" --help CMD_53_0_0 >"$WORK/help53.txt" 2>&1
check "--help METHOD shows what PaidCode means" "$WORK/help53.txt" 'F refused'

# The journal before any receipt.
"$cli" journal >"$WORK/journal.txt" 2>&1
check "the journal says there is none yet" "$WORK/journal.txt" 'there is no receipt journal at .*/state/ORBANTIS/journal\.sqlite yet'

# A server that goes away in the middle of a call (a silent printer keeps
# the connect waiting; the server is killed meanwhile).
start_printer silent --silent --trace
silent=$!
"$cli" --device "$WORK/silent" >"$WORK/gone.txt" 2>&1 &
client=$!
# The server is in the call once the printer has its first request (however
# long a busy machine takes to start the server).
for _ in $(seq 300); do grep -q '^orbantis-emulator: request' "$WORK/silent.err" && break; sleep 0.1; done
grep -q '^orbantis-emulator: request' "$WORK/silent.err" || {
  echo "FAIL the silent printer got no request in 30 s (the server did not start or connect)"
  failed=$((failed + 1))
}
# Only the server on this private bus (other tests may run servers of their own).
server="$(busctl --user call org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus \
  GetConnectionUnixProcessID s ORBANTIS.KELMORA | awk '{print $2}')"
[[ -n $server ]] && kill -KILL "$server"
wait "$client"
check "a server that dies during a call is said to have gone away" "$WORK/gone.txt" 'the server went away'
kill -TERM "$silent"; wait "$silent" 2>/dev/null
check "the silent printer counts what it ignored" "$WORK/silent.err" 'stopped after [1-9][0-9]* requests'

echo "$passed passed, $failed failed"
((failed == 0))
