// A minimal driver-side peer for the emulator's tests: opens the pty or a TCP connection, sends
// request frames and reads whatever comes back (answer, NAK, SYN, silence) within a time limit.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "Frame.h"

namespace orbantis::emulator::testing {

using namespace std::chrono_literals;

class ScriptedClient {
 public:
  static ScriptedClient pty(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot open " + path);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    ::tcflush(fd, TCIOFLUSH);
    return ScriptedClient(fd);
  }

  static ScriptedClient tcp(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(fd);
      throw std::runtime_error("cannot connect to port " + std::to_string(port));
    }
    return ScriptedClient(fd);
  }

  ScriptedClient(ScriptedClient&& other) noexcept : fd_(other.fd_), seq_(other.seq_) { other.fd_ = -1; }
  ScriptedClient(const ScriptedClient&) = delete;
  ScriptedClient& operator=(const ScriptedClient&) = delete;
  ~ScriptedClient() {
    if (fd_ >= 0) ::close(fd_);
  }

  struct Reply {
    enum class Kind { answer, nak, silence, closed } kind = Kind::silence;
    std::optional<Answer> answer;  // set when a whole frame arrived and decoded
    Bytes raw;                     // every byte received, SYN and partial frames included
    int syns = 0;
  };

  void sendRaw(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      const ssize_t m = n < 0 && errno == ENOTSOCK ? ::write(fd_, bytes.data(), bytes.size()) : n;
      if (m <= 0) throw std::runtime_error("write failed");
      bytes.remove_prefix(static_cast<std::size_t>(m));
    }
  }

  // Reads one reply: up to a whole answer frame or a NAK, else whatever came before the limit.
  Reply read(std::chrono::milliseconds limit = 3000ms) {
    Reply reply;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::size_t frameStart = std::string::npos;
    std::size_t expected = 0;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return reply;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return reply;
      char c = 0;
      if (::read(fd_, &c, 1) != 1) {
        reply.kind = Reply::Kind::closed;
        return reply;
      }
      reply.raw.push_back(c);
      const auto b = static_cast<std::uint8_t>(c);
      if (frameStart == std::string::npos) {
        if (b == ctl::kSyn) ++reply.syns;
        if (b == ctl::kNak) {
          reply.kind = Reply::Kind::nak;
          return reply;
        }
        if (b == ctl::kPreamble) frameStart = reply.raw.size() - 1;
        continue;
      }
      const std::size_t have = reply.raw.size() - frameStart;
      if (have == 2) expected = static_cast<std::uint8_t>(b - kAnswerLengthBase) + 17u;
      if (have >= 2 && have == expected) {
        reply.kind = Reply::Kind::answer;
        reply.answer = decodeAnswer(std::string_view(reply.raw).substr(frameStart));
        return reply;
      }
    }
  }

  // One exchange with the next SEQ (20h..7Fh, as a driver counts).
  Reply exchange(std::uint8_t cmd, std::string_view data, std::chrono::milliseconds limit = 3000ms) {
    last_ = Request{seq_, cmd, std::string(data)};
    seq_ = seq_ == kLastSeq ? kFirstSeq : static_cast<std::uint8_t>(seq_ + 1);
    return repeat(limit);
  }

  // Sends the previous request again, same SEQ: a driver's second attempt.
  Reply repeat(std::chrono::milliseconds limit = 3000ms) {
    sendRaw(encodeRequest(last_));
    return read(limit);
  }

  const Request& lastRequest() const { return last_; }

 private:
  explicit ScriptedClient(int fd) : fd_(fd) {}
  int fd_ = -1;
  std::uint8_t seq_ = kFirstSeq;
  Request last_;
};

}  // namespace orbantis::emulator::testing
