#!/usr/bin/env bash
# The README's first day, from the Debian package, as a new user does it:
# build the package, install it, then on a private session bus with an empty
# home print the first receipt with the installed Python example, print a
# receipt document twice with orbantis-cli (it prints once) and read the
# journal, look at what the package put where, and purge it again.
#
# It installs and purges the package orbantis on this machine, so it needs
# root (as CI runs) or sudo. The last line is "N passed, M failed".
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  if ! sudo -n true 2>/dev/null; then
    echo "first-day: needs root or sudo to install the package; not run"
    echo "0 passed, 1 failed"
    exit 1
  fi
  sudo_cmd=(sudo)
fi

passed=0
failed=0
pass() { echo "PASS $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1"; failed=$((failed + 1)); }
check() { if eval "$2"; then pass "$1"; else fail "$1"; fi; }

work="$(mktemp -d /tmp/orbantis-first-day-XXXXXX)"
installed=0
purge() {
  # Only a package this run installed: another run may have its own installed.
  ((installed)) && DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get purge -y -q orbantis >/dev/null 2>&1
  rm -rf "$work"
}
trap purge EXIT

echo "== the package"
if ! "$root/scripts/package.sh" >"$work/package.log" 2>&1; then
  tail -20 "$work/package.log"
  fail "the package builds"
  echo "$passed passed, $failed failed"
  exit 1
fi
deb="$(ls "$root"/build-package/orbantis_*.deb | head -1)"
# The package is installed system-wide: two test runs on one machine (two
# clones, a developer's run beside CI's) would install and purge it under
# each other. They take turns.
# The lock file is anyone's to open (read-only: flock needs no more, and a
# file another user made stays openable), so runs of different users take
# turns too; a lock that cannot be taken stops the run.
lock=/run/lock/orbantis-first-day.lock
[[ -d /run/lock ]] || lock=/tmp/orbantis-first-day.lock
[[ -e $lock ]] || (umask 000 && : >>"$lock") 2>/dev/null
if ! exec 9<"$lock"; then
  fail "the lock $lock can be opened"
  echo "$passed passed, $failed failed"
  exit 1
fi
if ! flock -n 9; then
  echo "first-day: another run has the package installed; waiting for it"
  if ! flock 9; then
    fail "the lock $lock can be taken"
    echo "$passed passed, $failed failed"
    exit 1
  fi
fi
installed=1

if DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "$deb" >"$work/install.log" 2>&1; then
  pass "apt-get install ./$(basename "$deb")"
else
  tail -20 "$work/install.log"
  fail "apt-get install ./$(basename "$deb")"
  echo "$passed passed, $failed failed"
  exit 1
fi

echo "== what went where"
doc=/usr/share/doc/orbantis
check "the programs are in /usr/bin" '[[ -x /usr/bin/orbantis && -x /usr/bin/orbantis-cli && -x /usr/bin/orbantis-emulator ]]'
check "the bus starts the server for every user" '[[ -f /usr/share/dbus-1/services/ORBANTIS.KELMORA.service ]]'
check "the docs and copyright are in $doc" '[[ -f $doc/copyright && -f $doc/README.md && -f $doc/receipts.md && -f $doc/methods.md ]]'
check "the examples keep their run bits" '[[ -x $doc/examples/python/print_receipt.py && -x $doc/examples/shell/print_receipt.sh ]]'
check "the C++ example has its CMakeLists.txt" '[[ -f $doc/examples/cpp/CMakeLists.txt ]]'
check "the receipt schema is installed" '[[ -f /usr/share/orbantis/receipt.schema.json ]]'
check "the manual pages are installed" 'ls /usr/share/man/man1/orbantis-cli.1* /usr/share/man/man1/orbantis-http.1* >/dev/null 2>&1'
check "orbantis-http ships with its user unit and API description" '[[ -x /usr/bin/orbantis-http && -f /usr/lib/systemd/user/orbantis-http.service && -f /usr/share/orbantis/openapi.json ]]'
check "the user unit is one systemd takes" 'systemd-analyze verify /usr/lib/systemd/user/orbantis-http.service >$work/unit.log 2>&1 || { cat $work/unit.log; false; }'

echo "== the first day, on a private bus with an empty home"
mkdir -p "$work/home"
cat >"$work/day.sh" <<'DAY'
set -u
cd "$HOME"
orbantis-emulator --pty --link "$HOME/printer" --paper "$HOME/paper.txt" >"$HOME/emulator.out" 2>&1 &
emulator=$!
for _ in $(seq 50); do [[ -e $HOME/printer ]] && break; sleep 0.1; done
/usr/bin/python3 /usr/share/doc/orbantis/examples/python/print_receipt.py "$HOME/printer" >"$HOME/python.out" 2>&1
echo "python $?" >>"$HOME/results"
orbantis-cli --device "$HOME/printer" receipt /usr/share/doc/orbantis/examples/receipts/receipt.json >"$HOME/receipt1.out" 2>&1
echo "receipt1 $?" >>"$HOME/results"
orbantis-cli --device "$HOME/printer" receipt /usr/share/doc/orbantis/examples/receipts/receipt.json >"$HOME/receipt2.out" 2>&1
echo "receipt2 $?" >>"$HOME/results"
grep -c "FISCAL RECEIPT" "$HOME/paper.txt" >"$HOME/receipts-after-cli"
orbantis-cli journal --key till7-20261210-000123 >"$HOME/journal.out" 2>&1
echo "journal $?" >>"$HOME/results"
orbantis-cli --help discount >"$HOME/help.out" 2>&1
# The same printer over HTTP, as the README's "Over HTTP" shows it.
mkdir -p "$HOME/.config/ORBANTIS"
printf '{"printers":[{"id":"till","device":"%s/printer"}]}\n' "$HOME" >"$HOME/.config/ORBANTIS/printers.json"
orbantis-http --listen 127.0.0.1:18123 >"$HOME/http.log" 2>&1 &
http=$!
for _ in $(seq 50); do curl -s -o /dev/null http://127.0.0.1:18123/printers && break; sleep 0.1; done
curl -s -X POST -H 'Content-Type: application/json' --data @/usr/share/doc/orbantis/examples/receipts/receipt.json \
  http://127.0.0.1:18123/printers/till/receipt >"$HOME/http-receipt.out" 2>&1
echo "http $?" >>"$HOME/results"
sed 's/"key": *"till7-20261210-000123"/"key": "web-0001"/' /usr/share/doc/orbantis/examples/receipts/receipt.json |
  curl -s -X POST -H 'Content-Type: application/json' --data @- http://127.0.0.1:18123/printers/till/receipt \
  >"$HOME/http-new.out" 2>&1
curl -s http://127.0.0.1:18123/ >"$HOME/page.html"
kill "$http"
sleep 0.3
kill "$emulator"
DAY
env -i PATH=/usr/bin:/bin HOME="$work/home" timeout 300 dbus-run-session -- bash "$work/day.sh" >/dev/null 2>&1 9>&-
h="$work/home"
check "the installed Python example prints the first receipt" 'grep -q "^python 0$" $h/results && grep -q "FISCAL RECEIPT" $h/paper.txt'
check "orbantis-cli prints the receipt document" 'grep -q "^receipt1 0$" $h/results && grep -q "printed: number 2" $h/receipt1.out'
check "the same document again prints nothing more" 'grep -q "^receipt2 0$" $h/results && grep -q "it was not printed again" $h/receipt2.out && [[ $(cat $h/receipts-after-cli) -eq 2 ]]'
check "the journal has it" 'grep -q "^journal 0$" $h/results && grep -q "\"state\": \"printed\"" $h/journal.out'
check "--help finds methods by what they do" 'grep -q "CMD_49_0_1" $h/help.out'
check "over HTTP, the receipt the bus server printed is not printed again" 'grep -q "^http 0$" $h/results && grep -q "\"repeated\":true" $h/http-receipt.out'
check "over HTTP, a new receipt document prints" 'grep -q "\"state\":\"printed\"" $h/http-new.out && [[ $(grep -c "FISCAL RECEIPT" $h/paper.txt) -eq 3 ]]'
check "the page is served" 'grep -q "<html" $h/page.html'
check "the journal is private to the user" '[[ $(stat -c %a $h/.local/state/ORBANTIS/journal.sqlite) == 600 ]]'
check "no ~/Documents made" '[[ ! -e $h/Documents ]]'
for f in python.out receipt1.out receipt2.out journal.out http-receipt.out http-new.out http.log; do
  if [[ $failed -gt 0 ]]; then echo "--- $f"; sed 's/^/    /' "$h/$f" 2>/dev/null; fi
done

echo "== purge"
# A server the user started by hand before the package goes ends with it.
env -i PATH=/usr/bin:/bin HOME="$work/home" dbus-run-session -- /usr/bin/orbantis >/dev/null 2>&1 9>&- &
for _ in $(seq 50); do pgrep -x -f /usr/bin/orbantis >/dev/null && break; sleep 0.1; done
check "a server started by hand runs" 'pgrep -x -f /usr/bin/orbantis >/dev/null'
# A program of the same name that is not the package's (a developer's build,
# another installation) is not the package's to end.
mkdir -p "$work/other"
cp /usr/bin/orbantis "$work/other/orbantis"
env -i PATH=/usr/bin:/bin HOME="$work/home" dbus-run-session -- "$work/other/orbantis" >/dev/null 2>&1 9>&- &
for _ in $(seq 50); do pgrep -x -f "$work/other/orbantis" >/dev/null && break; sleep 0.1; done
check "a server of the same name from another folder runs" 'pgrep -x -f "$work/other/orbantis" >/dev/null'
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get purge -y -q orbantis >/dev/null 2>&1
for _ in $(seq 50); do pgrep -x -f /usr/bin/orbantis >/dev/null || break; sleep 0.1; done
check "a server running when the package goes ends with it" '! pgrep -x -f /usr/bin/orbantis >/dev/null'
check "a program of the same name from another folder keeps running" 'pgrep -x -f "$work/other/orbantis" >/dev/null'
pkill -TERM -x -f "$work/other/orbantis" || true
check "apt-get purge leaves no program and no registration" '[[ ! -e /usr/bin/orbantis && ! -e /usr/share/dbus-1/services/ORBANTIS.KELMORA.service && ! -e $doc ]]'

echo "$passed passed, $failed failed"
((failed == 0))
