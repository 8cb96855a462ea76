// The engine against the wire's limit, in one process:
//   RawPtyPingPong       the same request and answer bytes over a pseudo-terminal,
//                        a trivial peer answering at once (the limit)
//   EngineRoundTrip      CUSTOM_CMD_1 against the software printer on a
//                        pseudo-terminal
//   Command115200        one command at 115200 baud, the printer pacing every
//                        byte; counter wire_ms: the bytes' own time at 10 bits a byte
//   LogoUpload115200     the 96 logo rows at 115200 baud, same counter
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "Emulator.h"
#include "printer_model/TFP_ZORVIK.h"
#include "u_FP_BASE/Frame.h"

namespace {

using orbantis::AnsiString;
using orbantis::AnsiStrings;

std::vector<std::uint8_t> AnswerFrame(std::uint8_t seq, std::uint8_t cmd, const std::string& data) {
  std::vector<std::uint8_t> f;
  f.reserve(17 + data.size());
  for (const std::uint8_t b : {std::uint8_t {0x01}, static_cast<std::uint8_t>(0x2B + data.size()), seq, cmd})
    f.push_back(b);
  for (const char ch : data) f.push_back(static_cast<std::uint8_t>(ch));
  f.push_back(0x04);
  for (int i = 0; i < 6; ++i) f.push_back(0x80);
  f.push_back(0x05);
  unsigned sum = 0;
  for (std::size_t i = 1; i < f.size(); ++i) sum += f[i];
  for (int shift = 12; shift >= 0; shift -= 4) f.push_back(static_cast<std::uint8_t>(0x30 + ((sum >> shift) & 0xF)));
  f.push_back(0x03);
  return f;
}

bool ReadExactly(int fd, std::uint8_t* buf, std::size_t n) {
  std::size_t got = 0;
  while (got < n) {
    pollfd p {fd, POLLIN, 0};
    if (::poll(&p, 1, 2000) <= 0) return false;
    ssize_t r = ::read(fd, buf + got, n - got);
    if (r <= 0) return false;
    got += static_cast<std::size_t>(r);
  }
  return true;
}

std::unique_ptr<orbantis::TFP_ZORVIK> ModelOn(const std::string& device) {
  auto m = std::make_unique<orbantis::TFP_ZORVIK>(1, 115200);
  auto& c = *m->SERIAL_CONNECTION;
  c.DevicePath = device;
  c.Open();
  c.SET_FIRST_COMMAND(false);
  c.EXIT_BYTIMEVAR = 3000;
  return m;
}

void RawPtyPingPong(benchmark::State& state) {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ::grantpt(master);
  ::unlockpt(master);
  int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
  termios t {};
  ::tcgetattr(slave, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(slave, TCSANOW, &t);
  const auto request = orbantis::frame::BuildRequest(0x20, 0x4A, "X");
  const auto answer = AnswerFrame(0x20, 0x4A, "");
  std::atomic<bool> stop {false};
  std::thread peer([&] {
    std::vector<std::uint8_t> buf(request.size());
    while (!stop && ReadExactly(master, buf.data(), buf.size()))
      if (::write(master, answer.data(), answer.size()) < 0) break;
  });
  std::vector<std::uint8_t> in(answer.size());
  for (auto _ : state) {
    if (::write(slave, request.data(), request.size()) < 0) state.SkipWithError("write");
    if (!ReadExactly(slave, in.data(), in.size())) state.SkipWithError("read");
  }
  stop = true;
  ::close(slave);
  peer.join();
  ::close(master);
}
BENCHMARK(RawPtyPingPong)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The engine against the same trivial peer as the raw ping-pong: what the
// engine itself adds.
void EngineRoundTripTrivialPeer(benchmark::State& state) {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ::grantpt(master);
  ::unlockpt(master);
  const std::string device = ::ptsname(master);
  auto model = ModelOn(device);
  std::atomic<bool> stop {false};
  std::thread peer([&] {
    std::vector<std::uint8_t> buf(11);
    while (!stop && ReadExactly(master, buf.data(), buf.size())) {
      const auto answer = AnswerFrame(buf[2], buf[3], "");
      if (::write(master, answer.data(), answer.size()) < 0) break;
    }
  });
  AnsiString in = "X", out;
  for (auto _ : state)
    if (!model->CUSTOM_CMD_1(0x4A, in, out)) state.SkipWithError("exchange failed");
  stop = true;
  model.reset();
  peer.join();
  ::close(master);
}
BENCHMARK(EngineRoundTripTrivialPeer)->UseRealTime()->Unit(benchmark::kMicrosecond);

void EngineRoundTrip(benchmark::State& state) {
  orbantis::emulator::Emulator emu;
  auto model = ModelOn(emu.startPty());
  AnsiString in = "X", out;
  for (auto _ : state)
    if (!model->CUSTOM_CMD_1(0x4A, in, out)) state.SkipWithError("exchange failed");
}
BENCHMARK(EngineRoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);

void Command115200(benchmark::State& state) {
  orbantis::emulator::Emulator emu;
  emu.setBaud(115200);
  auto model = ModelOn(emu.startPty());
  AnsiString in = "X", out;
  std::size_t bytes = 0;
  for (auto _ : state) {
    if (!model->CUSTOM_CMD_1(0x4A, in, out)) state.SkipWithError("exchange failed");
    bytes = static_cast<std::size_t>(model->FMessagePos) + 17 + static_cast<std::size_t>(model->FAnswerPos);
  }
  state.counters["wire_ms"] = static_cast<double>(bytes) * 10.0 / 115200.0 * 1000.0;
}
BENCHMARK(Command115200)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same exchange with raw writes and reads: how close the software
// printer's pacing itself comes to the wire time.
void RawToPrinter115200(benchmark::State& state) {
  orbantis::emulator::Emulator emu;
  emu.setBaud(115200);
  const std::string device = emu.startPty();
  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
  termios t {};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
  std::uint8_t seq = 0x20;
  std::vector<std::uint8_t> in(17);
  for (auto _ : state) {
    const auto request = orbantis::frame::BuildRequest(seq, 0x4A, "X");
    seq = orbantis::frame::NextSeq(seq);
    if (::write(fd, request.data(), request.size()) < 0) state.SkipWithError("write");
    if (!ReadExactly(fd, in.data(), 2)) state.SkipWithError("read");
    const std::size_t rest = static_cast<std::uint8_t>(in[1] - 0x2B) + 15u;
    in.resize(2 + rest);
    if (!ReadExactly(fd, in.data() + 2, rest)) state.SkipWithError("read");
    state.counters["wire_ms"] = static_cast<double>(request.size() + in.size()) * 10.0 / 115200.0 * 1000.0;
  }
  ::close(fd);
}
BENCHMARK(RawToPrinter115200)->UseRealTime()->Unit(benchmark::kMillisecond);

void LogoUpload115200(benchmark::State& state) {
  orbantis::emulator::Emulator emu;
  emu.setBaud(115200);
  auto model = ModelOn(emu.startPty());
  const std::string row(144, 'a');
  std::size_t bytes = 0;
  for (auto _ : state) {
    bytes = 0;
    for (int r = 0; r < 96; ++r) {
      AnsiStrings out;
      if (model->Run("CMD_115_0", {std::to_string(r), row}, out) != 0) state.SkipWithError("row refused");
      bytes += static_cast<std::size_t>(model->FMessagePos) + 17 + static_cast<std::size_t>(model->FAnswerPos);
    }
  }
  state.counters["wire_ms"] = static_cast<double>(bytes) * 10.0 / 115200.0 * 1000.0;
}
BENCHMARK(LogoUpload115200)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
