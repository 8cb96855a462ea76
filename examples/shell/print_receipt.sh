#!/usr/bin/env bash
# Print a fiscal receipt through the ORBANTIS automation server with busctl.
#
# Usage: print_receipt.sh DEVICE [BAUD]
#
# DEVICE is the printer's serial device (e.g. /dev/ttyUSB0, or the path that
# `orbantis-emulator --pty --link PATH` made); BAUD defaults to 115200.
#
# The script asks the server on the D-Bus session bus for an automation object,
# connects it to the printer, prints a receipt with two sales, then closes the
# connection and releases the object. It prints every result with the answers
# that came back, and the last error text after a negative result.
#
# busctl opens a new bus connection for every call and closes it when the call
# ends, so it cannot stay the object's event sink (ORBANTIS.Automation.Advise):
# the sink would leave the bus with that one call. Instead the script asks
# GetLastErrorMessage after a negative result, the text an ON_ERROR event
# carries. A program that keeps its connection (see ../python and ../cpp)
# receives the events.
#
# Exit status: 0 when every call succeeded, 1 when a call returned a negative
# result, 2 on a usage error or when the bus or the server failed.
set -uo pipefail

readonly BUS_NAME=ORBANTIS.KELMORA
readonly CLASS_PATH=/ORBANTIS/KELMORA
readonly CLASS_INTERFACE=ORBANTIS.KELMORA
readonly INTERFACE=ORBANTIS.IKELMORA
readonly AUTOMATION=ORBANTIS.Automation

if [[ $# -lt 1 || $# -gt 2 || $1 == -h || $1 == --help ]]; then
  sed -n '2,/^set /{/^set /d;s/^# \{0,1\}//;p}' "$0" >&2
  exit 2
fi
device=$1
baud=${2:-115200}
if [[ ! $baud =~ ^[0-9]+$ ]]; then
  echo "print_receipt.sh: BAUD must be a number, not '$baud'" >&2
  exit 2
fi

# Allow 120 s per call: a silent printer makes CONNECT_TO_PRINTER last about
# 20 s and a command about 6.5 s.
bus_call() { busctl --user --timeout=120 call "$@"; }

object=""
# Releases the object (which also closes its printer connection) on any way
# out of the script.
release() {
  if [[ -n $object ]]; then
    local path=$object
    object=""
    bus_call "$BUS_NAME" "$path" "$AUTOMATION" Release && echo "released"
  fi
}
trap release EXIT

trouble() {
  echo "print_receipt.sh: $1 failed (see the line above)" >&2
  exit 2
}

# busctl shows a reply as its signature followed by the values, each string
# in double quotes with C escapes: iss 0 "1" "1". parse_reply puts the values
# into the array VALUES, the strings unescaped.
parse_reply() {
  local rest=${1#* } quoted='^ *"(([^"\\]|\\.)*)"(.*)$' plain='^ *([^ "]+)(.*)$' text
  VALUES=()
  [[ $1 == *' '* ]] || return 0
  while [[ -n ${rest// /} ]]; do
    if [[ $rest =~ $quoted ]]; then
      text=${BASH_REMATCH[1]}
      rest=${BASH_REMATCH[3]}
      text=${text//\\\"/\"}
      VALUES+=("$(printf '%b' "$text")")
    elif [[ $rest =~ $plain ]]; then
      VALUES+=("${BASH_REMATCH[1]}")
      rest=${BASH_REMATCH[2]}
    else
      break
    fi
  done
}

show_failure() {
  local reply
  reply=$(bus_call "$BUS_NAME" "$object" "$INTERFACE" GetLastErrorMessage) || trouble GetLastErrorMessage
  parse_reply "$reply"
  echo "  error: ${VALUES[0]:-(no text)}"
}

# run_method NAME [SIGNATURE ARG...]: a method that returns only a result code.
run_method() {
  local name=$1 reply
  shift
  reply=$(bus_call "$BUS_NAME" "$object" "$INTERFACE" "$name" "$@") || trouble "$name"
  parse_reply "$reply"
  echo "$name -> ${VALUES[0]}"
  if ((VALUES[0] < 0)); then
    show_failure
    return 1
  fi
}

# run_command NAME "ANSWER..." VALUE...: a printer command. Its value
# parameters, then one in-out string per answer, all strings; the reply is the
# result, then the answers.
run_command() {
  local name=$1 reply signature="" i
  local -a answers args
  read -r -a answers <<<"$2"
  shift 2
  args=("$@")
  for ((i = 0; i < ${#answers[@]}; i++)); do args+=(""); done
  for ((i = 0; i < ${#args[@]}; i++)); do signature+=s; done
  reply=$(bus_call "$BUS_NAME" "$object" "$INTERFACE" "$name" "$signature" "${args[@]}") || trouble "$name"
  parse_reply "$reply"
  echo "$name -> ${VALUES[0]}"
  for ((i = 0; i < ${#answers[@]}; i++)); do echo "  ${answers[i]} = ${VALUES[i + 1]-}"; done
  if ((VALUES[0] < 0)); then
    show_failure
    return 1
  fi
}

# The object: CreateObject answers with its path, o "/ORBANTIS/KELMORA/1".
# A call that reached a server as it handed its name to a new one is answered
# ORBANTIS.Error.ServerEnding: the new one answers the second.
if ! reply=$(bus_call "$BUS_NAME" "$CLASS_PATH" "$CLASS_INTERFACE" CreateObject 2>&1); then
  [[ $reply == *ORBANTIS.Error.ServerEnding* ]] || { echo "$reply" >&2; trouble CreateObject; }
  reply=$(bus_call "$BUS_NAME" "$CLASS_PATH" "$CLASS_INTERFACE" CreateObject) || trouble CreateObject
fi
parse_reply "$reply"
if [[ ${VALUES[0]-} != "$CLASS_PATH"/* ]]; then
  echo "print_receipt.sh: CreateObject answered '$reply', not an object path" >&2
  exit 2
fi
object=${VALUES[0]}
echo "object $object"

status=0
if ! run_method initFiscalPrinterDevice sibb "$device" "$baud" true true; then
  status=1
elif ! run_method CONNECT_TO_PRINTER; then
  status=1
else
  # Stops at the first refused step: the rest of the receipt is not sent.
  run_command CMD_48_0_0 "RecCnt GlobRecCnt" 1 0000 1 &&                              # open: operator 1, password 0000, till 1
    run_command CMD_49_0_0 "" B 1.10 &&                                               # a sale in tax group B at 1.10
    run_command CMD_49_0_9 "" Espresso double A 2.40 2 cup &&                         # 2 cups at 2.40 in group A
    run_command CMD_51_0_0 "SubTotal TaxA TaxB TaxC TaxD TaxE TaxF" 1 0 &&            # subtotal, printed, not displayed
    run_command CMD_53_0_0 "PaidCode Amount_Out" P 10.00 &&                           # 10.00 paid in cash
    run_command CMD_56_0_0 "RecCnt GlobRecCnt" ||                                     # close the receipt
    status=1
  run_method CLOSE_CONNECTION || status=1
fi

release
exit "$status"
