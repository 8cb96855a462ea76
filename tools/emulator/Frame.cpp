#include "Frame.h"

#include <stdexcept>

namespace orbantis::emulator {

namespace {

std::uint8_t byteAt(std::string_view s, std::size_t i) { return static_cast<std::uint8_t>(s[i]); }

void appendByte(Bytes& out, std::uint8_t b) { out.push_back(static_cast<char>(b)); }

// Appends the check sum over everything after the preamble, then the terminator.
void finishFrame(Bytes& frame) {
  for (std::uint8_t digit : checksumDigits(std::string_view(frame).substr(1))) {
    appendByte(frame, digit);
  }
  appendByte(frame, ctl::kTerminator);
}

bool validSeq(std::uint8_t seq) { return seq >= kFirstSeq && seq <= kLastSeq; }

}  // namespace

std::array<std::uint8_t, 4> checksumDigits(std::string_view summedBytes) {
  std::uint16_t sum = 0;
  for (char c : summedBytes) {
    sum = static_cast<std::uint16_t>(sum + static_cast<std::uint8_t>(c));
  }
  return {static_cast<std::uint8_t>(0x30 + ((sum >> 12) & 0xF)),
          static_cast<std::uint8_t>(0x30 + ((sum >> 8) & 0xF)),
          static_cast<std::uint8_t>(0x30 + ((sum >> 4) & 0xF)),
          static_cast<std::uint8_t>(0x30 + (sum & 0xF))};
}

Bytes encodeRequest(const Request& request) {
  if (request.data.size() > kMaxRequestData) {
    throw std::length_error("request data longer than 219 bytes");
  }
  Bytes frame;
  appendByte(frame, ctl::kPreamble);
  appendByte(frame, static_cast<std::uint8_t>(kRequestLengthBase + request.data.size()));
  appendByte(frame, request.seq);
  appendByte(frame, request.cmd);
  frame += request.data;
  appendByte(frame, ctl::kPostamble);
  finishFrame(frame);
  return frame;
}

Bytes encodeAnswer(const Answer& answer) {
  if (answer.data.size() > kMaxAnswerData) {
    throw std::length_error("answer data longer than 212 bytes");
  }
  Bytes frame;
  appendByte(frame, ctl::kPreamble);
  appendByte(frame, static_cast<std::uint8_t>(kAnswerLengthBase + answer.data.size()));
  appendByte(frame, answer.seq);
  appendByte(frame, answer.cmd);
  frame += answer.data;
  appendByte(frame, ctl::kSeparator);
  for (std::uint8_t s : answer.status) {
    appendByte(frame, s);
  }
  appendByte(frame, ctl::kPostamble);
  finishFrame(frame);
  return frame;
}

std::optional<Request> decodeRequest(std::string_view frame) {
  RequestReader reader;
  for (std::size_t i = 0; i < frame.size(); ++i) {
    switch (reader.feed(byteAt(frame, i))) {
      case RequestReader::Outcome::pending:
        break;
      case RequestReader::Outcome::bad:
        return std::nullopt;
      case RequestReader::Outcome::complete:
        if (i + 1 != frame.size() || byteAt(frame, 0) != ctl::kPreamble) {
          return std::nullopt;
        }
        return reader.request();
    }
  }
  return std::nullopt;
}

std::optional<Answer> decodeAnswer(std::string_view frame) {
  constexpr std::size_t kOverhead = 17;  // every byte of an answer frame but the data
  if (frame.size() < kOverhead || byteAt(frame, 0) != ctl::kPreamble) {
    return std::nullopt;
  }
  const std::size_t n = frame.size() - kOverhead;
  if (byteAt(frame, 1) != static_cast<std::uint8_t>(kAnswerLengthBase + n) ||
      byteAt(frame, 4 + n) != ctl::kSeparator || byteAt(frame, 11 + n) != ctl::kPostamble ||
      byteAt(frame, 16 + n) != ctl::kTerminator) {
    return std::nullopt;
  }
  const auto digits = checksumDigits(frame.substr(1, 11 + n));
  for (std::size_t i = 0; i < 4; ++i) {
    if (byteAt(frame, 12 + n + i) != digits[i]) {
      return std::nullopt;
    }
  }
  Answer answer;
  answer.seq = byteAt(frame, 2);
  answer.cmd = byteAt(frame, 3);
  answer.data = std::string(frame.substr(4, n));
  for (std::size_t i = 0; i < 6; ++i) {
    answer.status[i] = byteAt(frame, 5 + n + i);
  }
  return answer;
}

RequestReader::Outcome RequestReader::fail() {
  state_ = State::idle;
  return Outcome::bad;
}

bool RequestReader::abandon() {
  const bool had = inFrame();
  state_ = State::idle;
  return had;
}

RequestReader::Outcome RequestReader::feed(std::uint8_t byte) {
  if (state_ != State::idle) {
    ++frameSize_;
  }
  switch (state_) {
    case State::idle:
      if (byte == ctl::kPreamble) {
        state_ = State::length;
        summed_.clear();
        request_ = Request{};
        frameSize_ = 1;
      }
      return Outcome::pending;
    case State::length:
      if (byte < kRequestLengthBase) {
        return fail();
      }
      summed_.push_back(static_cast<char>(byte));
      dataLeft_ = byte - kRequestLengthBase;
      state_ = State::seq;
      return Outcome::pending;
    case State::seq:
      if (!validSeq(byte)) {
        return fail();
      }
      summed_.push_back(static_cast<char>(byte));
      request_.seq = byte;
      state_ = State::cmd;
      return Outcome::pending;
    case State::cmd:
      summed_.push_back(static_cast<char>(byte));
      request_.cmd = byte;
      state_ = dataLeft_ > 0 ? State::data : State::postamble;
      return Outcome::pending;
    case State::data:
      summed_.push_back(static_cast<char>(byte));
      request_.data.push_back(static_cast<char>(byte));
      if (--dataLeft_ == 0) {
        state_ = State::postamble;
      }
      return Outcome::pending;
    case State::postamble:
      if (byte != ctl::kPostamble) {
        return fail();
      }
      summed_.push_back(static_cast<char>(byte));
      digitCount_ = 0;
      state_ = State::checksum;
      return Outcome::pending;
    case State::checksum:
      digits_[digitCount_++] = byte;
      if (digitCount_ == 4) {
        if (digits_ != checksumDigits(summed_)) {
          return fail();
        }
        state_ = State::terminator;
      }
      return Outcome::pending;
    case State::terminator:
      state_ = State::idle;
      return byte == ctl::kTerminator ? Outcome::complete : Outcome::bad;
  }
  return Outcome::pending;
}

std::string toHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    if (!out.empty()) {
      out.push_back(' ');
    }
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0xF]);
  }
  return out;
}

}  // namespace orbantis::emulator
