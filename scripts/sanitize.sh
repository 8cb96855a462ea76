#!/usr/bin/env bash
# The tests again under the sanitizers, each in a build folder of its own:
#   build-asan  every test with AddressSanitizer and UndefinedBehaviorSanitizer
#   build-tsan  the tests that run the engine, the objects and their workers,
#               the receipt service and the HTTP service, on several threads, with
#               ThreadSanitizer
# Any report fails the run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"

configure() {
  cmake -S "$root" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORBANTIS_BUILD_BENCHMARKS=OFF \
    -DCMAKE_CXX_FLAGS="$2" -DCMAKE_EXE_LINKER_FLAGS="$2" >/dev/null
}

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
configure "$root/build-asan" "-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake --build "$root/build-asan" --parallel "$jobs"
(cd "$root/build-asan" &&
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$root/scripts/lsan.supp" \
  ctest --output-on-failure --parallel "$jobs" --timeout 600)

echo "== ThreadSanitizer"
configure "$root/build-tsan" "-fsanitize=thread -fno-omit-frame-pointer"
cmake --build "$root/build-tsan" --parallel "$jobs" --target test_u_FP_BASE test_automation test_integration test_uCONNECTOR test_receipts test_http
(cd "$root/build-tsan" &&
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions="$root/scripts/tsan.supp" \
  ctest --output-on-failure --parallel "$jobs" --timeout 600 -R "Exchange|Object|OnEmulator|TcpConnector|SerialConnector|ExactlyOnce|ReceiptOwnership|Http(Routes|Errors|Auth|Printers|Limits|Detection|ExactlyOnce|Safety)")
