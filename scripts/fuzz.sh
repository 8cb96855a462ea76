#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang into build-fuzz/ and runs
# each for a number of seconds: $1, default 10. Prints the executions of each
# target; exits non-zero when a target finds a crash, a leak, a time-out or a
# broken invariant (or when nothing could be built).
#
# Environment:
#   ORBANTIS_FUZZ_BUILD_DIR  the build folder (default: build-fuzz in the repository)
#   ORBANTIS_FUZZ_TARGETS    space-separated subset of the targets to run
#
# The seeds in fuzz/corpus/<target>/ are read, never written: what a run
# finds goes to <build>/fuzz-corpus/<target>/, and a failing input to
# <build>/fuzz-artifacts/<target>/ (its log beside it in fuzz-logs/).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-10}"
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 [seconds per target, default 10]" >&2
  exit 2
fi
build="${ORBANTIS_FUZZ_BUILD_DIR:-$root/build-fuzz}"

if [ -x "$root/scripts/install-deps.sh" ]; then
  "$root/scripts/install-deps.sh"
fi
compiler="$(command -v clang++ || true)"
if [ -z "$compiler" ]; then
  echo "fuzz: clang++ is not installed (packages clang and libclang-rt-14-dev)" >&2
  exit 2
fi

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="$compiler" \
  -DORBANTIS_FUZZ=ON \
  -DORBANTIS_BUILD_TESTS=OFF \
  -DORBANTIS_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target orbantis_fuzz --parallel "$(nproc)"

list="$build/fuzz/targets.txt"
if [ ! -s "$list" ]; then
  echo "fuzz: no fuzz targets were configured (is add_subdirectory(fuzz) in CMakeLists.txt?)" >&2
  exit 2
fi

export QT_QPA_PLATFORM=offscreen
# Readable stacks in the logs (Debian installs the symbolizer with a version suffix).
if [ -z "${ASAN_SYMBOLIZER_PATH:-}" ]; then
  for s in llvm-symbolizer llvm-symbolizer-14 /usr/lib/llvm-14/bin/llvm-symbolizer; do
    if command -v "$s" >/dev/null 2>&1; then
      ASAN_SYMBOLIZER_PATH="$(command -v "$s")"
      export ASAN_SYMBOLIZER_PATH
      break
    fi
  done
fi
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:symbolize=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
# What Qt and the platform libraries keep for the life of the process (the
# logo target starts a QGuiApplication) is no leak of a run.
if [ -z "${LSAN_OPTIONS:-}" ] && [ -f "$root/scripts/lsan.supp" ]; then
  export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp"
fi

wanted=" ${ORBANTIS_FUZZ_TARGETS:-} "
failed=()
ran=0
while read -r name max_len; do
  [ -n "$name" ] || continue
  if [ -n "${ORBANTIS_FUZZ_TARGETS:-}" ] && [[ "$wanted" != *" $name "* ]]; then
    continue
  fi
  work="$build/fuzz-corpus/$name"
  artifacts="$build/fuzz-artifacts/$name"
  logs="$build/fuzz-logs"
  rm -rf "$artifacts"
  mkdir -p "$work" "$artifacts" "$logs"
  log="$logs/$name.log"
  seeds=()
  [ -d "$root/fuzz/corpus/$name" ] && seeds=("$root/fuzz/corpus/$name")

  rc=0
  "$build/fuzz/$name" \
    -max_total_time="$seconds" \
    -max_len="$max_len" \
    -timeout=25 \
    -rss_limit_mb=4096 \
    -print_final_stats=1 \
    -artifact_prefix="$artifacts/" \
    "$work" "${seeds[@]}" </dev/null >"$log" 2>&1 || rc=$?
  ran=$((ran + 1))

  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  if [ -z "$execs" ]; then
    # No final statistics after a crash: the last progress line tells.
    execs="$(sed -n 's/^#\([0-9][0-9]*\).*/\1/p' "$log" | tail -n 1)"
  fi
  per_second="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
  if [ "$rc" -eq 0 ]; then
    printf '%-20s %10s executions (%s/s)\n' "$name" "${execs:-?}" "${per_second:-?}"
  else
    printf '%-20s %10s executions: FAILED (exit %d), log %s\n' "$name" "${execs:-?}" "$rc" "$log"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*invariant broken|.*runtime error)' "$log" | head -n 5 || true
    find "$artifacts" -type f | head -n 3 | sed 's|^|  input: |'
    failed+=("$name")
  fi
done <"$list"

if [ "$ran" -eq 0 ]; then
  echo "fuzz: no target ran" >&2
  exit 2
fi
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: ${#failed[@]} of $ran targets failed: ${failed[*]}"
  exit 1
fi
echo "fuzz: $ran targets ran ${seconds}s each without a failure"
