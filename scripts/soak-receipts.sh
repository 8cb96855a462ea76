#!/usr/bin/env bash
# Runs the receipt checker's random schedules at length: scripts/soak-receipts.sh N [FIRST_SEED]
# (after ./scripts/build.sh). Each schedule is judged from the software
# printer's paper roll; a failing one prints its seed, and
#   ORBANTIS_CHECKER_SEED=S ORBANTIS_CHECKER_SCHEDULES=1 build/tests/test_receipts --gtest_filter='ReceiptChecker.*'
# replays it. The test command runs 40 of them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ORBANTIS_BUILD_DIR:-$root/build}"
count="${1:?usage: soak-receipts.sh SCHEDULES [FIRST_SEED]}"
first="${2:-$(( $(date +%s) % 1000000 * 1000 ))}"
# Runs in slices so that a long soak reports as it goes.
slice=500
seed=$first
left=$count
status=0
while (( left > 0 )); do
  n=$(( left < slice ? left : slice ))
  ORBANTIS_CHECKER_SEED=$seed ORBANTIS_CHECKER_SCHEDULES=$n \
    "$build/tests/test_receipts" --gtest_filter='ReceiptChecker.*' --gtest_brief=1 | grep -E "receipt checker|schedule [0-9]+ \(replay|^  " || status=1
  seed=$(( seed + n ))
  left=$(( left - n ))
done
exit $status
