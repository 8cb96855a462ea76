#!/usr/bin/env bash
# Runs the receipt checker's random schedules at length:
#   scripts/soak-receipts.sh N [FIRST_SEED] [JOBS]
# (after ./scripts/build.sh). Each schedule is judged from the software
# printer's paper roll; a failing one prints its seed, and
#   ORBANTIS_CHECKER_SEED=S ORBANTIS_CHECKER_SCHEDULES=1 build/tests/test_receipt_checker
# replays it. The test command runs 40 of them.
#
# A schedule mostly waits for the printer, so JOBS (default 1) runs that many
# seed ranges side by side; the last line adds their figures up.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ORBANTIS_BUILD_DIR:-$root/build}"
count="${1:?usage: soak-receipts.sh SCHEDULES [FIRST_SEED] [JOBS]}"
first="${2:-$(( $(date +%s) % 1000000 * 1000 ))}"
jobs="${3:-1}"
out="$(mktemp -d)"
trap 'jobs -p | xargs -r kill 2>/dev/null; rm -rf "$out"' EXIT
# The soak runs copies of the programs, so that a build meanwhile does not
# change them under it (a program being linked cannot be started).
mkdir "$out/bin"
cp "$build/tests/test_receipt_checker" "$build/tests/orbantis-test-receipt-runner" "$build/src/uORBANTIS/orbantis" \
  "$out/bin/"
export ORBANTIS_SERVER_EXE="$out/bin/orbantis" ORBANTIS_RECEIPT_RUNNER="$out/bin/orbantis-test-receipt-runner"

# One seed range, in slices so that a long soak reports as it goes.
range() {
  local seed=$1 left=$2 log=$3 n
  while (( left > 0 )); do
    n=$(( left < 500 ? left : 500 ))
    ORBANTIS_CHECKER_SEED=$seed ORBANTIS_CHECKER_SCHEDULES=$n \
      "$out/bin/test_receipt_checker" --gtest_brief=1 >"$log.slice" 2>&1 || true
    grep -E "receipt checker|schedule [0-9]+ \(replay|^  " "$log.slice" | tee -a "$log" || true
    # A slice that ended without its figures (a crash, an exception) says how.
    if ! grep -q "^receipt checker:" "$log.slice"; then
      echo "slice from seed $seed ended without its figures:"
      tail -n 20 "$log.slice"
    fi
    seed=$(( seed + n ))
    left=$(( left - n ))
  done
}

per=$(( (count + jobs - 1) / jobs ))
seed=$first
left=$count
for (( j = 0; j < jobs && left > 0; ++j )); do
  n=$(( left < per ? left : per ))
  range "$seed" "$n" "$out/$j.log" &
  seed=$(( seed + n ))
  left=$(( left - n ))
done
wait

# "receipt checker: N schedules from seed S, C calls, F faults, V violations in X schedules; keys ended a 1 b 2"
cat "$out"/*.log | awk '
  /^receipt checker:/ {
    schedules += $3; calls += $8; faults += $10; violations += $12; failing += $15
    for (i = 19; i < NF; i += 2) ended[$i] += $(i + 1)
  }
  END {
    printf "soak: %d schedules from seed '"$first"', %d calls, %d faults, %d violations in %d schedules; keys ended",
      schedules, calls, faults, violations, failing
    for (k in ended) printf " %s %d", k, ended[k]
    printf "\n"
    exit (violations > 0 || schedules != '"$count"')
  }'
