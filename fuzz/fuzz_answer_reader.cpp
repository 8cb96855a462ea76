// Fuzz target: the engine's answer reader, fed by a fake printer.
//
// The input is everything the "printer" sends back after a request. Each run
// makes a fresh pseudo-terminal pair; the engine (TFP_ZORVIK, so the status
// bits and Check_Status run too) opens the slave side as its serial port, and
// a responder thread plays the printer on the master side: for each request
// frame it has read in full, it writes the next answer. The engine runs two
// CUSTOM_CMD_1 exchanges with millisecond time-outs, one attempt each and no
// first status command:
//   1. a fixed, valid answer with 255 data bytes (none of them 00h), so that
//      the engine's buffers hold a long answer before the one under test;
//   2. the fuzz input (a valid answer carries SEQ 21h, the seeds do).
// When the fixed exchange does not succeed (a machine too busy to deliver it
// within the time-outs) the run is skipped.
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
// to its first 00h; FAnswerPos is within 0..255 and FAnswer is all 00h beyond
// it (nothing of the longer answer before survives); every status bit the
// engine reports is the bit of the status byte it kept; a successful exchange
// ended on a byte that arrived (no time-out recorded).
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FuzzSupport.h"
#include "printer_model/TFP_ZORVIK.h"

namespace {

using namespace orbantis;

// The command of both exchanges: not the status read, so the status bits can
// fail it. Its request carries no data: 10 bytes.
constexpr std::int32_t kCommand = 0x5A;
constexpr std::size_t kRequestSize = 10;

// Longer inputs are cut: an answer frame is at most 272 bytes, and what
// follows a complete frame is never read.
constexpr std::size_t kMaxInput = 1024;

constexpr std::uint32_t kByteReadMs = 1;
constexpr std::uint32_t kByteWaitMs = 2;

// How long the responder waits for a request before it gives up (the engine
// failed to send it; that is reported by the run itself).
constexpr auto kRequestWait = std::chrono::milliseconds(500);

// An answer frame, built here and not with the engine's frame code:
// 01 | 2Bh+n | SEQ | CMD | data | 04 | S0..S5 | 05 | 4 check-sum digits | 03,
// the check sum being the 16-bit sum from the length byte to the 05, sent as
// four digits 30h + nibble, most significant first.
std::vector<std::uint8_t> AnswerFrame(std::uint8_t seq, std::uint8_t cmd, const std::string& data,
                                      const std::uint8_t (&status)[6]) {
  std::vector<std::uint8_t> f {0x01, static_cast<std::uint8_t>(0x2B + data.size()), seq, cmd};
  for (char c : data) f.push_back(static_cast<std::uint8_t>(c));
  f.push_back(0x04);
  for (std::uint8_t s : status) f.push_back(s);
  f.push_back(0x05);
  unsigned sum = 0;
  for (std::size_t i = 1; i < f.size(); ++i) sum += f[i];
  for (int shift = 12; shift >= 0; shift -= 4) f.push_back(static_cast<std::uint8_t>(0x30 + ((sum >> shift) & 0x0F)));
  f.push_back(0x03);
  return f;
}

// The data of the fixed first answer: 255 letters.
std::string LongData() {
  std::string data;
  for (int i = 0; i < 255; ++i) data.push_back(static_cast<char>('A' + i % 26));
  return data;
}

const std::vector<std::uint8_t>& FirstAnswer() {
  // Status bits that are no error, so the exchange succeeds and leaves bits
  // set that the answer under test must clear.
  static const std::uint8_t status[6] = {0x80, 0x08, 0x02, 0x03, 0x06, 0xDE};
  static const std::vector<std::uint8_t> frame = AnswerFrame(0x20, kCommand, LongData(), status);
  return frame;
}

struct Answer {
  const std::uint8_t* bytes;
  std::size_t size;
};

// Plays the printer: for each answer, reads one request frame from the
// master side, then writes the answer. Returns early when stop is set.
void Respond(int master, std::vector<Answer> answers, const std::atomic<bool>& stop) {
  std::uint8_t buffer[256];
  for (const Answer& answer : answers) {
    const auto deadline = std::chrono::steady_clock::now() + kRequestWait;
    std::size_t received = 0;
    while (received < kRequestSize) {
      if (stop.load() || std::chrono::steady_clock::now() >= deadline) return;
      pollfd p {master, POLLIN, 0};
      const int r = ::poll(&p, 1, 5);
      if (r < 0 && errno != EINTR) return;
      if (r <= 0) continue;
      const ssize_t n = ::read(master, buffer, std::min(sizeof buffer, kRequestSize - received));
      if (n > 0) {
        received += static_cast<std::size_t>(n);
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        return;
      }
    }
    std::size_t sent = 0;
    while (sent < answer.size && !stop.load()) {
      const ssize_t n = ::write(master, answer.bytes + sent, answer.size - sent);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) return;
      pollfd p {master, POLLOUT, 0};
      ::poll(&p, 1, 5);
    }
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

  const auto& first = FirstAnswer();
  std::atomic<bool> stop {false};
  std::thread printer(Respond, master.fd, std::vector<Answer> {{first.data(), first.size()}, {data, size}},
                      std::cref(stop));

  AnsiString input;
  AnsiString output;
  const bool firstOk = engine->CUSTOM_CMD_1(kCommand, input, output);
  bool ok = false;
  if (firstOk) {
    FUZZ_CHECK(output == LongData());
    FUZZ_CHECK(engine->FAnswerPos == 255);
    output = "stale";
    ok = engine->CUSTOM_CMD_1(kCommand, input, output);
  }

  stop.store(true);
  printer.join();
  if (!firstOk) return 0;

  FUZZ_CHECK(!engine->FLastExchangeRefused);
  FUZZ_CHECK(engine->FAnswerPos >= 0 && engine->FAnswerPos <= 255);
  const auto beyond = engine->FAnswer.begin() + engine->FAnswerPos;
  FUZZ_CHECK(std::find_if(beyond, engine->FAnswer.end(), [](std::uint8_t b) { return b != 0; }) ==
             engine->FAnswer.end());
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
