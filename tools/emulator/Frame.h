// Frames of the printer's wire protocol, seen from the printer: requests come in, answers go out.
// Pure encode and decode, no I/O, so every byte can be checked in a test.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orbantis::emulator {

using Bytes = std::string;  // raw bytes; std::string keeps them printable in test failures

namespace ctl {
inline constexpr std::uint8_t kPreamble = 0x01;
inline constexpr std::uint8_t kTerminator = 0x03;
inline constexpr std::uint8_t kSeparator = 0x04;
inline constexpr std::uint8_t kPostamble = 0x05;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kSyn = 0x16;
}  // namespace ctl

// The length byte of a request counts itself, SEQ, CMD, the data and the postamble, plus 20h;
// an answer's also counts the separator and the six status bytes.
inline constexpr std::uint8_t kRequestLengthBase = 0x24;
inline constexpr std::uint8_t kAnswerLengthBase = 0x2B;
// The largest data fields whose length byte still fits in one byte.
inline constexpr std::size_t kMaxRequestData = 0xFF - kRequestLengthBase;  // 219
inline constexpr std::size_t kMaxAnswerData = 0xFF - kAnswerLengthBase;    // 212
inline constexpr std::uint8_t kFirstSeq = 0x20;
inline constexpr std::uint8_t kLastSeq = 0x7F;

using StatusBytes = std::array<std::uint8_t, 6>;

struct Request {
  std::uint8_t seq = kFirstSeq;
  std::uint8_t cmd = 0;
  Bytes data;
  bool operator==(const Request&) const = default;
};

struct Answer {
  std::uint8_t seq = kFirstSeq;
  std::uint8_t cmd = 0;
  Bytes data;
  StatusBytes status{};
  bool operator==(const Answer&) const = default;
};

// The four check-sum bytes: the 16-bit sum, most significant nibble first, each as 30h + nibble.
std::array<std::uint8_t, 4> checksumDigits(std::string_view summedBytes);

// Whole frames. Data longer than the length byte can express is refused with std::length_error:
// a frame with a wrapped length byte would be read wrongly by every peer.
Bytes encodeRequest(const Request& request);
Bytes encodeAnswer(const Answer& answer);

// Decoding of a complete frame (preamble first, nothing after the terminator); nullopt when any
// field is wrong. Answers are decoded here for the tests and the scripted client.
std::optional<Request> decodeRequest(std::string_view frame);
std::optional<Answer> decodeAnswer(std::string_view frame);

// Reads a byte stream from the wire and cuts it into request frames. Bytes before a preamble are
// skipped; a frame whose length, postamble, check sum or terminator is wrong is reported as bad
// (the printer answers it with NAK) and reading resumes at the next preamble.
class RequestReader {
 public:
  enum class Outcome { pending, complete, bad };

  Outcome feed(std::uint8_t byte);
  // The request of the last `complete` outcome.
  const Request& request() const { return request_; }
  // Bytes of the frame that ended with the last outcome (for wire-time pacing).
  std::size_t frameSize() const { return frameSize_; }
  // True while a frame has started and is not finished.
  bool inFrame() const { return state_ != State::idle; }
  // Forget a partial frame; returns true if there was one (the caller answers NAK).
  bool abandon();

 private:
  enum class State { idle, length, seq, cmd, data, postamble, checksum, terminator };
  Outcome fail();

  State state_ = State::idle;
  Request request_;
  Bytes summed_;  // bytes from the length byte through the postamble
  std::size_t dataLeft_ = 0;
  std::array<std::uint8_t, 4> digits_{};
  std::size_t digitCount_ = 0;
  std::size_t frameSize_ = 0;
};

// Hex dump "01 25 20 4A ..." for messages and test failures.
std::string toHex(std::string_view bytes);

}  // namespace orbantis::emulator
