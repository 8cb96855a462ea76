#!/usr/bin/env bash
# Runs every example against the software printer and checks what it printed.
#
# Usage: examples/run_all.sh [BUILD]
#
# BUILD is the build folder (default: build/ at the top of the repository). It
# needs BUILD/src/uORBANTIS/orbantis, BUILD/tools/emulator/orbantis-emulator
# and, for the C++ example, BUILD/examples/cpp/print_receipt (or the program
# named by $ORBANTIS_EXAMPLE_CPP).
#
# On a private session bus whose folders (XDG_DATA_HOME, XDG_CONFIG_HOME,
# HOME, XDG_RUNTIME_DIR) are temporary, it registers the server for that bus,
# then for each example starts a fresh orbantis-emulator --pty --link with its
# own paper roll, runs the example against it (the bus starts the server), and
# checks the exit status and the receipt's lines on the paper roll. Nothing is
# left behind. The last line is "N passed, M failed"; the exit status is 0
# only when every example passed.
#
# The Python example needs Debian's python3-dbus and python3-gi; $PYTHON names
# the interpreter, otherwise /usr/bin/python3 (which those packages serve) is
# used when it has them.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"

if [[ -z ${ORBANTIS_EXAMPLES_INSIDE:-} ]]; then
  root="$(cd "$here/.." && pwd)"
  build="${1:-$root/build}"
  if ! build="$(cd "$build" 2>/dev/null && pwd)"; then
    echo "run_all.sh: no build folder ${1:-$root/build}" >&2
    echo "0 passed, 1 failed"
    exit 1
  fi
  if ! command -v dbus-run-session >/dev/null; then
    echo "run_all.sh: dbus-run-session is missing (Debian package dbus-daemon)" >&2
    echo "0 passed, 1 failed"
    exit 1
  fi
  work="$(mktemp -d /tmp/orbantis-examples-XXXXXX)"
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/data" "$work/config" "$work/home"
  mkdir -m 700 "$work/runtime"
  # Everything the server, the bus and Qt write goes below $work.
  export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
  export ORBANTIS_EXAMPLES_INSIDE=1 ORBANTIS_EXAMPLES_BUILD="$build" ORBANTIS_EXAMPLES_WORK="$work"
  dbus-run-session -- bash "$here/run_all.sh"
  exit $?
fi

# ---------------------------------------------------------------- on the private bus

build="$ORBANTIS_EXAMPLES_BUILD"
work="$ORBANTIS_EXAMPLES_WORK"
server="$build/src/uORBANTIS/orbantis"
emulator="$build/tools/emulator/orbantis-emulator"
cpp_example="${ORBANTIS_EXAMPLE_CPP:-$build/examples/cpp/print_receipt}"

passed=0
failed=0
pass() { echo "PASS $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1: $2"; failed=$((failed + 1)); }

# The interpreter that has python3-dbus and python3-gi.
python=""
for candidate in ${PYTHON:-} /usr/bin/python3 python3; do
  if command -v "$candidate" >/dev/null && "$candidate" -c 'import dbus, dbus.mainloop.glib; from gi.repository import GLib' 2>/dev/null; then
    python="$(command -v "$candidate")"
    break
  fi
done

# The lines the receipt leaves on the paper roll (42 columns), as patterns
# for grep -E.
expected=(
  '^OP 1 .* TILL 1$'
  '^ +1\.10 +1\.10 B$'
  '^Espresso$'
  '^double$'
  '^ +2\.000 cup x 2\.40 +4\.80 A$'
  '^SUBTOTAL +5\.90$'
  '^TOTAL +5\.90$'
  '^CASH +10\.00$'
  '^CHANGE +4\.10$'
  '^RECEIPT 1/1 '
  '^ +FISCAL RECEIPT$'
)

emulator_pid=""
stop_emulator() {
  if [[ -n $emulator_pid ]]; then
    kill "$emulator_pid" 2>/dev/null
    wait "$emulator_pid" 2>/dev/null
    emulator_pid=""
  fi
}
trap stop_emulator EXIT

# check NAME PROGRAM ARG...: runs one example (its last argument is the
# printer's device) against a fresh software printer.
check() {
  local name=$1
  shift
  local dir="$work/$name"
  mkdir -p "$dir"
  "$emulator" --pty --link "$dir/printer" --paper "$dir/paper.txt" >"$dir/emulator.out" 2>&1 &
  emulator_pid=$!
  local i
  for ((i = 0; i < 50; i++)); do
    [[ -e $dir/printer ]] && break
    sleep 0.1
  done
  if [[ ! -e $dir/printer ]]; then
    fail "$name" "the software printer did not start:"
    sed 's/^/    /' "$dir/emulator.out"
    stop_emulator
    return
  fi

  local status=0
  timeout 600 "$@" "$dir/printer" >"$dir/output.txt" 2>&1 || status=$?
  sleep 0.3  # the last lines reach the paper file
  stop_emulator

  local missing=()
  local pattern
  for pattern in "${expected[@]}"; do
    grep -Eq -- "$pattern" "$dir/paper.txt" 2>/dev/null || missing+=("$pattern")
  done
  if ((status != 0)); then
    fail "$name" "exit status $status"
  elif ((${#missing[@]} > 0)); then
    fail "$name" "the paper roll lacks: ${missing[*]}"
  else
    pass "$name"
    return
  fi
  echo "  --- its output:"
  sed 's/^/    /' "$dir/output.txt"
  echo "  --- the paper roll:"
  sed 's/^/    /' "$dir/paper.txt" 2>/dev/null
}

if [[ ! -x $server || ! -x $emulator ]]; then
  fail "setup" "$server or $emulator is missing: build the project first"
  echo "$passed passed, $failed failed"
  exit 1
fi

echo "== registering the server for this bus"
if ! "$server" -regserverperuser; then
  fail "setup" "orbantis -regserverperuser failed"
  echo "$passed passed, $failed failed"
  exit 1
fi

echo "== python (python3-dbus)"
if [[ -n $python ]]; then
  check python "$python" "$here/python/print_receipt.py"
else
  fail python "no python3 with the dbus and gi modules: apt-get install python3-dbus python3-gi"
fi

echo "== shell (busctl)"
if command -v busctl >/dev/null; then
  check shell bash "$here/shell/print_receipt.sh"
else
  fail shell "busctl is missing (Debian package systemd)"
fi

echo "== C++ (Qt D-Bus)"
if [[ -x $cpp_example ]]; then
  check cpp "$cpp_example"
else
  fail cpp "$cpp_example is not built: build examples/cpp (add_subdirectory(examples/cpp) in the top CMakeLists.txt)"
fi

echo "== a whole receipt document, sent twice (orbantis-cli receipt)"
expected=(
  '^Espresso$'
  '^ +2\.000 cup x 2\.40 +4\.80 A$'
  '^ +DISCOUNT -10\.00% +-0\.48$'
  '^TOTAL +8\.62$'
  '^CHANGE +6\.38$'
  '^RECEIPT 1/1 '
)
ORBANTIS_CLI="$build/tools/cli/orbantis-cli" check receipt-document bash "$here/receipts/print_twice.sh"
if [[ -f $work/receipt-document/paper.txt ]] && (($(grep -c 'FISCAL RECEIPT' "$work/receipt-document/paper.txt") != 1)); then
  fail "receipt-document" "the document sent twice was printed $(grep -c 'FISCAL RECEIPT' "$work/receipt-document/paper.txt") times"
fi

echo "$passed passed, $failed failed"
((failed == 0))
