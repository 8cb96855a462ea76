#!/usr/bin/env bash
# The demo: builds everything, then on a private session bus with its own
# temporary folders registers the server, starts the software printer, and
# prints a receipt through orbantis-cli with the server started by the bus,
# then a whole receipt from a JSON document sent twice (it prints once) and
# the receipt journal. It ends by showing the paper roll and leaves nothing
# behind.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ORBANTIS_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh" "$build"

work="$(mktemp -d /tmp/orbantis-demo-XXXXXX)"
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$work/data" "$work/config" "$work/home"

# Everything the server, the bus and Qt write goes below $work.
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
export XDG_RUNTIME_DIR="$work/runtime" && mkdir -m 700 -p "$XDG_RUNTIME_DIR"
export ORBANTIS_DEMO_BUILD="$build" ORBANTIS_DEMO_WORK="$work" ORBANTIS_DEMO_ROOT="$root"

dbus-run-session -- bash -euo pipefail -c '
  build="$ORBANTIS_DEMO_BUILD"; work="$ORBANTIS_DEMO_WORK"
  echo "== registering the server for this bus"
  "$build/src/uORBANTIS/orbantis" -regserverperuser
  echo "== starting the software printer"
  "$build/tools/emulator/orbantis-emulator" --pty --link "$work/printer" --paper "$work/paper.txt" \
      > "$work/emulator.out" 2>&1 &
  emulator=$!
  trap "kill $emulator 2>/dev/null || true" EXIT
  for _ in $(seq 50); do [ -e "$work/printer" ] && break; sleep 0.1; done
  echo "   $(head -n 1 "$work/emulator.out")"
  echo "== a receipt through orbantis-cli (the bus starts the server)"
  "$build/tools/cli/orbantis-cli" --device "$work/printer" \
      CMD_48_0_0 1 0000 1 \
      -- CMD_49_0_9 "Espresso" "double" A 2.40 2 cup \
      -- CMD_49_0_0 B 1.10 \
      -- CMD_54_0_0 "Thank you for your visit" \
      -- CMD_51_0_0 1 0 \
      -- CMD_53_0_0 P 10.00 \
      -- CMD_56_0_0
  echo "== a whole receipt from a JSON document, sent twice: it prints once"
  "$build/tools/cli/orbantis-cli" --device "$work/printer" receipt "$ORBANTIS_DEMO_ROOT/examples/receipts/receipt.json"
  "$build/tools/cli/orbantis-cli" --device "$work/printer" receipt "$ORBANTIS_DEMO_ROOT/examples/receipts/receipt.json"
  echo "== the receipt journal"
  "$build/tools/cli/orbantis-cli" journal
  sleep 0.3
  echo "== the paper roll"
  cat "$work/paper.txt"
'
