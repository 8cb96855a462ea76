#!/usr/bin/env bash
# A whole receipt from a JSON document, sent twice under the same key: the
# printer prints it once, and the second answer is the stored one. Then the
# journal is read back.
#
# Usage: print_twice.sh DEVICE      (e.g. /dev/ttyUSB0, or the software
#                                    printer's /tmp/printer)
# orbantis-cli comes from $ORBANTIS_CLI, else from PATH.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cli="${ORBANTIS_CLI:-orbantis-cli}"
device="$1"

"$cli" --device "$device" receipt "$here/receipt.json"
# The till did not get the answer and sends the same document again:
"$cli" --device "$device" receipt "$here/receipt.json"
"$cli" journal --key till7-20261210-000123
