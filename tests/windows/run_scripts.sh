#!/usr/bin/env bash
# Runs the script clients under Wine's script host against the registered server and a
# printer on a COM port, and checks their exit status and what they print:
#   examples/windows/receipt.vbs   VBScript, a receipt, the answers through ByRef
#   examples/windows/whole_receipt.vbs
#                                  VBScript, a receipt document sent twice under one
#                                  key: printed once
#   tests/windows/latebind.js      JScript, late binding by name, results only
#   tests/windows/numbers.vbs      VBScript, prices as Double, Currency, Single and
#                                  Integer with a decimal-comma locale
#
# Usage: tests/windows/run_scripts.sh [PORT]          (COM port number, default 5)
#
# Environment:
#   WINEPREFIX         the prefix in which orbantis.exe is registered for all users
#                      (orbantis-setup.exe /S /AllUsers, or orbantis.exe /RegServer) and
#                      in which dosdevices/comPORT links to the pty of a running
#                      orbantis-emulator --pty. Wine 8 looks classes up in
#                      HKLM\Software\Classes only: a ProgID registered per user alone is
#                      not found there (CreateObject fails with error 429).
#   PAPER              optional: that emulator's --paper file; the lines each script's
#                      receipt adds to it are then checked too
#   WINE               the wine program (default: wine)
#   WINEDLLOVERRIDES   default "mscoree,mshtml="
#   WINEDEBUG          default "-all"
#
# The receipt must end with status 0, every step of it with result 0, and the answers
# that came back through ByRef must be the printer's: the receipt's numbers, the
# subtotal 5.90 with 0.73 VAT in group A, payment code R and change 4.10.
# latebind.js must end with status 0 with no FAIL line. One line per check, "ok ..."
# or "FAIL ..." (a failing script's output follows); the last line is
# "N passed, M failed". Exit status: 0 all passed, 1 a check failed, 2 it could not
# run.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
port=${1:-5}
if [[ $# -gt 1 || ! $port =~ ^[0-9]{1,3}$ ]]; then
  sed -n '2,/^set /{/^set /d;s/^# \{0,1\}//;p}' "$0" >&2
  exit 2
fi
if [[ -z ${WINEPREFIX:-} || ! -d $WINEPREFIX/drive_c ]]; then
  echo "run_scripts.sh: WINEPREFIX must name the prepared Wine prefix" >&2
  exit 2
fi
if [[ ! -e $WINEPREFIX/dosdevices/com$port ]]; then
  echo "run_scripts.sh: $WINEPREFIX/dosdevices/com$port does not lead to a printer" >&2
  exit 2
fi
wine=${WINE:-wine}
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES-mscoree,mshtml=}" WINEDEBUG="${WINEDEBUG--all}"
paper=${PAPER:-}
if ! "$wine" reg query 'HKLM\Software\Classes\ORBANTIS.KELMORA\CLSID' /ve >/dev/null 2>&1; then
  echo "run_scripts.sh: ORBANTIS.KELMORA is not registered for all users in $WINEPREFIX" \
    "(orbantis.exe /RegServer, or orbantis-setup.exe /S /AllUsers)" >&2
  exit 2
fi

work="$(mktemp -d /tmp/orbantis-scripts-XXXXXX)"
trap 'rm -rf "$work"' EXIT

passed=0
failed=0
ok() { echo "ok $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1"; failed=$((failed + 1)); }

# run_script NAME FILE: runs FILE with cscript; its output goes to $work/NAME.out
# (without the CRs), its exit status to $status. A call may wait long for a silent
# printer (about 20 s to connect); the limit only keeps a hung host from stalling the
# run.
run_script() {
  local windows_path
  windows_path=$("$wine" winepath -w "$2" 2>/dev/null | tr -d '\r')
  paper_start=0
  [[ -n $paper && -f $paper ]] && paper_start=$(stat -c %s "$paper")
  timeout 600 "$wine" cscript //nologo "$windows_path" "$port" 2>"$work/$1.err" | tr -d '\r' >"$work/$1.out"
  status=${PIPESTATUS[0]}
}

show_output() {
  echo "  --- $1's output:"
  sed 's/^/    /' "$work/$1.out"
}

# has NAME LINE-PATTERN...: every pattern (grep -E, whole line) is in NAME's output.
has() {
  local name=$1 pattern missing=()
  shift
  for pattern in "$@"; do
    grep -Eq -- "^$pattern\$" "$work/$name.out" || missing+=("$pattern")
  done
  ((${#missing[@]} == 0)) || {
    echo "  missing: ${missing[*]}"
    return 1
  }
}

# paper_has NAME PATTERN...: the lines the script added to the paper roll hold every
# pattern (grep -E).
paper_has() {
  local name=$1 pattern missing=()
  shift
  tail -c +$((paper_start + 1)) "$paper" >"$work/$name.paper"
  for pattern in "$@"; do
    grep -Eq -- "$pattern" "$work/$name.paper" || missing+=("$pattern")
  done
  ((${#missing[@]} == 0)) || {
    echo "  missing on the paper: ${missing[*]}"
    sed 's/^/    /' "$work/$name.paper"
    return 1
  }
}

# ---------------------------------------------------------------- receipt.vbs

echo "== receipt.vbs $port"
run_script receipt "$root/examples/windows/receipt.vbs"
if ((status == 0)); then ok "receipt.vbs ends with status 0"; else fail "receipt.vbs ends with status $status"; fi
if has receipt 'initFiscalPrinter\('"$port"', 115200, True, True\) -> 0' 'CONNECT_TO_PRINTER -> 0' \
  'CMD_48_0_0 -> 0' 'CMD_49_0_0 -> 0' 'CMD_49_0_9 -> 0' 'CMD_51_0_0 -> 0' 'CMD_53_0_0 -> 0' 'CMD_56_0_0 -> 0' \
  'CLOSE_CONNECTION -> 0'; then
  ok "receipt.vbs: every call returns 0"
else
  fail "receipt.vbs: every call returns 0"
fi
# Answers the script set to "" before each call: the printer's values arrive only
# through ByRef.
if has receipt '  RecCnt = [0-9]+' '  GlobRecCnt = [0-9]+' '  SubTotal = 5\.90' '  TaxA = 0\.73' '  TaxB = 0\.00' \
  '  PaidCode = R' '  Amount_Out = 4\.10'; then
  ok "receipt.vbs: the answers come back through ByRef (subtotal 5.90, VAT A 0.73, paid R, change 4.10)"
else
  fail "receipt.vbs: the answers come back through ByRef"
fi
if [[ -n $paper ]]; then
  if paper_has receipt '^ +1\.10 +1\.10 B$' '^Espresso$' '^double$' '^ +2\.000 cup x 2\.40 +4\.80 A$' \
    '^SUBTOTAL +5\.90$' '^TOTAL +5\.90$' '^CASH +10\.00$' '^CHANGE +4\.10$' '^ +FISCAL RECEIPT$'; then
    ok "receipt.vbs: the receipt is on the paper"
  else
    fail "receipt.vbs: the receipt is on the paper"
  fi
fi
((failed == 0)) || show_output receipt

# ---------------------------------------------------------------- whole_receipt.vbs

before=$failed
echo "== whole_receipt.vbs $port"
run_script whole_receipt "$root/examples/windows/whole_receipt.vbs"
if ((status == 0)); then ok "whole_receipt.vbs ends with status 0"; else fail "whole_receipt.vbs ends with status $status"; fi
# Both answers say printed; the second is the first one's, marked repeated.
if has whole_receipt 'printReceipt -> 0' '  answer = .*"state":"printed".*' 'printReceipt again -> 0' \
  '  answer = .*"repeated":true.*' 'getReceipt -> 0'; then
  ok "whole_receipt.vbs: the same key twice, both answers printed, the second repeated"
else
  fail "whole_receipt.vbs: the same key twice, both answers printed, the second repeated"
fi
if [[ -n $paper ]]; then
  tail -c +$((paper_start + 1)) "$paper" >"$work/whole_receipt.paper"
  if [[ $(grep -c 'Green tea' "$work/whole_receipt.paper") -eq 1 ]] && paper_has whole_receipt '^TOTAL +4\.00$'; then
    ok "whole_receipt.vbs: the receipt is on the paper once"
  else
    fail "whole_receipt.vbs: the receipt is on the paper once"
    sed 's/^/    /' "$work/whole_receipt.paper"
  fi
fi
((failed == before)) || show_output whole_receipt

# ---------------------------------------------------------------- latebind.js

before=$failed
echo "== latebind.js $port"
run_script latebind "$here/latebind.js"
if ((status == 0)); then ok "latebind.js ends with status 0"; else fail "latebind.js ends with status $status"; fi
# Its own checks: none failed, and it got to the end.
if ! grep -q '^FAIL' "$work/latebind.out" && has latebind 'ok CLOSE_CONNECTION returns 0'; then
  ok "latebind.js: $(grep -c '^ok' "$work/latebind.out") checks of its own passed, none failed"
else
  fail "latebind.js: its own checks: $(grep -c '^FAIL' "$work/latebind.out") failed"
fi
if [[ -n $paper ]]; then
  if paper_has latebind '^Espresso$' '^ +2\.000 cup x 2\.40 +4\.80 A$' '^TOTAL +4\.80$' '^ +FISCAL RECEIPT$'; then
    ok "latebind.js: its receipt is on the paper"
  else
    fail "latebind.js: its receipt is on the paper"
  fi
fi
((failed == before)) || show_output latebind

# ---------------------------------------------------------------- numbers.vbs

# Prices passed as numbers on a Windows that writes a decimal comma (German,
# Bulgarian): the user's locale is switched for this script alone and put back.
before=$failed
echo "== numbers.vbs $port, with a decimal comma"
intl='HKCU\Control Panel\International'
saved() { "$wine" reg query "$intl" /v "$1" 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n { print $3 }'; }
put_back() {  # NAME VALUE: VALUE empty removes the setting
  if [[ -n $2 ]]; then "$wine" reg add "$intl" /v "$1" /d "$2" /f >/dev/null 2>&1
  else "$wine" reg delete "$intl" /v "$1" /f >/dev/null 2>&1; fi
}
saved_decimal=$(saved sDecimal)
saved_thousand=$(saved sThousand)
"$wine" reg add "$intl" /v sDecimal /d , /f >/dev/null 2>&1
"$wine" reg add "$intl" /v sThousand /d . /f >/dev/null 2>&1
# A server started before the switch keeps its locale: the one of the scripts
# above ends with their objects first.
for _ in $(seq 100); do
  running=0
  for pid in $(pgrep -f 'orbantis\.exe -Embedding'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && running=1
  done
  ((running == 0)) && break
  sleep 0.1
done
if ((running == 0)); then run_script numbers "$here/numbers.vbs"; else : >"$work/numbers.out"; fi
put_back sDecimal "$saved_decimal"
put_back sThousand "$saved_thousand"
if ((running != 0)); then
  fail "numbers.vbs: a server of the scripts above still runs after 10 s (it would keep the old locale)"
elif has numbers 'this locale writes 2,5'; then
  if has numbers 'Double by value -> 0' 'Double in a variable -> 0' 'Currency by value -> 0' 'Single by value -> 0' \
    'Integer by value -> 0' 'CMD_53_0_0 -> 0' '  Amount_Out = 6\.75' 'CMD_56_0_0 -> 0'; then
    ok "numbers.vbs: Double, Currency, Single and Integer prices sell with a decimal-comma locale"
  else
    fail "numbers.vbs: Double, Currency, Single and Integer prices sell with a decimal-comma locale"
  fi
  if has numbers 'CStr text -> -3'; then ok "numbers.vbs: the till's own text \"2,5\" stays refused"
  else fail "numbers.vbs: the till's own text \"2,5\" stays refused"; fi
  if [[ -n $paper ]]; then
    if paper_has numbers '^TOTAL +13\.25$' '^CHANGE +6\.75$'; then ok "numbers.vbs: the prices are on the paper"
    else fail "numbers.vbs: the prices are on the paper"; fi
  fi
else
  fail "numbers.vbs: the locale could not be switched to a decimal comma"
fi
((failed == before)) || show_output numbers

echo "$passed passed, $failed failed"
((failed == 0))
