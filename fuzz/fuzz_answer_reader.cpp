// Fuzz target: the engine's answer reader, fed by a fake printer.
//
// The input is everything the "printer" sends back after one request. Each
// run makes a fresh pseudo-terminal pair; the engine (TFP_ZORVIK, so the
// status bits and Check_Status run too) opens the slave side as its serial
// port, and a responder thread on the master side waits for the whole request
// frame and then writes the input. The engine runs one CUSTOM_CMD_1 with
// millisecond time-outs, one attempt and no first status command.
//
// The input cannot simply be written to the master before the exchange: the
// engine purges the line (tcflush) right before it sends a request, so bytes
// that are already waiting are dropped and the reader would never see them.
//
// Time-outs: a byte read waits 1 ms (ReadTotalTimeoutConstant) and a byte
// wait ends after 2 ms (EXIT_BYTIMEVAR). The engine compares whole
// milliseconds of a monotonic clock, so a limit of 1 ms can end a wait a few
// microseconds after it started (at the next tick); 2 ms leaves the responder
// a full millisecond to deliver the first byte. An answer that stops short
// costs one such wait, so a run takes about 3 ms.
//
// Invariants: no crash; OUTPUT_STR holds 1 to 1001 bytes and is FAnswer up
// to its first 00h; FAnswerPos is within 0..255; every status bit the engine
// reports is the bit of the status byte it kept; a successful exchange ended
// on a byte that arrived (no time-out recorded).
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <thread>

#include "FuzzSupport.h"
#include "printer_model/TFP_ZORVIK.h"
#include "u_FP_BASE/Frame.h"

namespace {

using namespace orbantis;

// The command of the exchange: not the status read, so the status bits can
// fail it. Its request carries no data: 10 bytes.
constexpr std::int32_t kCommand = 0x5A;
constexpr std::size_t kRequestSize = 10;

// Longer inputs are cut: an answer frame is at most 272 bytes, and what
// follows a complete frame is never read.
constexpr std::size_t kMaxInput = 1024;

constexpr std::uint32_t kByteReadMs = 1;
constexpr std::uint32_t kByteWaitMs = 2;

// How long the responder waits for the request before it gives up (the
// engine failed to send it; that is reported by the run itself).
constexpr auto kRequestWait = std::chrono::milliseconds(500);

// Plays the printer: reads the request frame from the master side, then
// writes the answer bytes. Returns early when stop is set.
void Respond(int master, const std::uint8_t* answer, std::size_t size, const std::atomic<bool>& stop) {
  const auto deadline = std::chrono::steady_clock::now() + kRequestWait;
  std::size_t received = 0;
  std::uint8_t buffer[256];
  while (received < kRequestSize) {
    if (stop.load() || std::chrono::steady_clock::now() >= deadline) return;
    pollfd p {master, POLLIN, 0};
    const int r = ::poll(&p, 1, 5);
    if (r < 0 && errno != EINTR) return;
    if (r <= 0) continue;
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n > 0) {
      received += static_cast<std::size_t>(n);
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      return;
    }
  }
  std::size_t sent = 0;
  while (sent < size && !stop.load()) {
    const ssize_t n = ::write(master, answer + sent, size - sent);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return;
    pollfd p {master, POLLOUT, 0};
    ::poll(&p, 1, 5);
  }
}

struct Master {
  int fd = -1;
  ~Master() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInput) size = kMaxInput;

  Master master;
  master.fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  char slave[128] = {};
  if (master.fd < 0 || ::grantpt(master.fd) != 0 || ::unlockpt(master.fd) != 0 ||
      ::ptsname_r(master.fd, slave, sizeof slave) != 0) {
    std::perror("pseudo-terminal");
    std::abort();
  }

  auto engine = std::make_unique<TFP_ZORVIK>(1, 115200);
  TConnector& c = *engine->SERIAL_CONNECTION;
  c.DevicePath = slave;
  c.FCommTimeouts = {0, 0, kByteReadMs, 0, 1000};
  c.EXIT_BYTIMEVAR = kByteWaitMs;
  c.WITH_SLEEP = false;
  c.byteSleepInterval = 1;
  c.SET_FIRST_COMMAND(false);
  c.SET_REPEAT_COUNT(1);
  if (const int opened = c.Open(); opened != 0) {
    std::fprintf(stderr, "the engine could not open %s: %d\n", slave, opened);
    std::abort();
  }

  std::atomic<bool> stop {false};
  std::thread printer(Respond, master.fd, data, size, std::cref(stop));

  AnsiString input;
  AnsiString output = "stale";
  const bool ok = engine->CUSTOM_CMD_1(kCommand, input, output);

  stop.store(true);
  printer.join();

  FUZZ_CHECK(!engine->FLastExchangeRefused);
  FUZZ_CHECK(engine->FAnswerPos >= 0 && engine->FAnswerPos <= 255);
  FUZZ_CHECK(!output.empty() && output.size() <= MAX_ANSWER_TEXT);
  FUZZ_CHECK(static_cast<std::uint8_t>(output[0]) == engine->FAnswer[0]);
  for (std::size_t i = 1; i < output.size(); ++i) {
    FUZZ_CHECK(output[i] != '\0');
    FUZZ_CHECK(static_cast<std::uint8_t>(output[i]) == engine->FAnswer[i]);
  }
  if (output.size() < MAX_ANSWER_TEXT) FUZZ_CHECK(engine->FAnswer[output.size()] == 0);
  for (int b = 0; b < 6; ++b)
    for (int k = 0; k < 8; ++k)
      FUZZ_CHECK(engine->GET_BIT_STATE(b, k) == (((engine->StatusByte(b) >> k) & 1) != 0));
  if (ok) {
    FUZZ_CHECK(c.TIMEOUT_ERROR == 0);
    FUZZ_CHECK(size >= 17);  // the shortest answer frame
  }

  engine.reset();  // closes the slave before the master goes
  return 0;
}
