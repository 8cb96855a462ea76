// Golden frames both ways, and the printer-side reader that cuts a byte stream into requests.
#include <gtest/gtest.h>

#include <sstream>

#include "Frame.h"

namespace orbantis::emulator {
namespace {

Bytes hex(std::string_view text) {
  std::istringstream in{std::string(text)};
  Bytes out;
  unsigned value = 0;
  while (in >> std::hex >> value) out.push_back(static_cast<char>(value));
  return out;
}

struct RequestCase {
  const char* name;
  Request request;
  const char* frame;
};

// Check sums worked out by hand: the 16-bit sum of length..postamble, one nibble per byte + 30h.
const RequestCase kRequests[] = {
    {"status with option X", {0x20, 0x4A, "X"}, "01 25 20 4A 58 05 30 30 3E 3C 03"},
    {"no data", {0x20, 0x21, ""}, "01 24 20 21 05 30 30 36 3A 03"},
    {"sale, last SEQ", {0x7F, 0x31, "\tA1.00*2"}, "01 2C 7F 31 09 41 31 2E 30 30 2A 32 05 30 32 34 36 03"},
    {"control bytes inside data", {0x2A, 0x36, "\x01\x03\x05"}, "01 27 2A 36 01 03 05 05 30 30 39 35 03"},
};

TEST(FrameGolden, RequestsEncodeAndDecodeByteForByte) {
  for (const auto& c : kRequests) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(toHex(encodeRequest(c.request)), c.frame);
    const auto decoded = decodeRequest(hex(c.frame));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, c.request);
  }
}

struct AnswerCase {
  const char* name;
  Answer answer;
  const char* frame;
};

const AnswerCase kAnswers[] = {
    {"empty data", {0x20, 0x4A, "", {0x80, 0x80, 0x80, 0x80, 0x86, 0x9A}},
     "01 2B 20 4A 04 80 80 80 80 86 9A 05 30 33 3B 3E 03"},
    {"receipt counters, receipt open", {0x21, 0x30, "1,1", {0x80, 0x80, 0x88, 0x80, 0x86, 0x9A}},
     "01 2E 21 30 31 2C 31 04 80 80 88 80 86 9A 05 30 34 33 3E 03"},
};

TEST(FrameGolden, AnswersEncodeAndDecodeByteForByte) {
  for (const auto& c : kAnswers) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(toHex(encodeAnswer(c.answer)), c.frame);
    const auto decoded = decodeAnswer(hex(c.frame));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, c.answer);
  }
}

TEST(FrameGolden, DataTooLongForTheLengthByteIsRefused) {
  EXPECT_NO_THROW(encodeRequest({0x20, 0x31, Bytes(kMaxRequestData, 'x')}));
  EXPECT_THROW(encodeRequest({0x20, 0x31, Bytes(kMaxRequestData + 1, 'x')}), std::length_error);
  EXPECT_NO_THROW(encodeAnswer({0x20, 0x31, Bytes(kMaxAnswerData, 'x'), {}}));
  EXPECT_THROW(encodeAnswer({0x20, 0x31, Bytes(kMaxAnswerData + 1, 'x'), {}}), std::length_error);
}

// Feeds a stream and records every outcome that is not `pending`.
std::vector<std::string> outcomes(std::string_view stream, std::vector<Request>* requests = nullptr) {
  RequestReader reader;
  std::vector<std::string> seen;
  for (char c : stream) {
    switch (reader.feed(static_cast<std::uint8_t>(c))) {
      case RequestReader::Outcome::pending:
        break;
      case RequestReader::Outcome::bad:
        seen.push_back("bad");
        break;
      case RequestReader::Outcome::complete:
        seen.push_back("ok");
        if (requests) requests->push_back(reader.request());
        break;
    }
  }
  return seen;
}

TEST(RequestReader, SkipsNoiseAndReadsBackToBackFrames) {
  const Bytes a = encodeRequest({0x20, 0x4A, "X"});
  const Bytes b = encodeRequest({0x21, 0x30, "1,0000,1"});
  std::vector<Request> got;
  EXPECT_EQ(outcomes("\x16\x15zz" + a + "\x03" + b, &got), (std::vector<std::string>{"ok", "ok"}));
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1].data, "1,0000,1");
}

struct DamageCase {
  const char* name;
  std::size_t offset;  // byte of the good frame to replace
  char with;
};

TEST(RequestReader, ReportsEachKindOfDamageAsBad) {
  // Good frame: 01 25 20 4A 58 05 30 30 3E 3C 03
  const DamageCase kCases[] = {
      {"length below the minimum", 1, 0x23},
      {"length one too long: postamble missing", 1, 0x26},
      {"SEQ below 20h", 2, 0x1F},
      {"postamble", 5, 0x06},
      {"check sum", 9, 0x3D},
      {"terminator", 10, 0x04},
  };
  const Bytes good = encodeRequest({0x20, 0x4A, "X"});
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Bytes frame = good;
    frame[c.offset] = c.with;
    // Whatever the damage, the reader says "bad" once and then reads the next frame cleanly.
    const auto seen = outcomes(frame + good + good);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), "bad");
    EXPECT_EQ(seen.back(), "ok");
    EXPECT_FALSE(decodeRequest(frame).has_value());
  }
}

TEST(AnswerDecode, RefusesDamagedAnswers) {
  const Bytes good = encodeAnswer({0x20, 0x4A, "P", {0x80, 0x80, 0x80, 0x80, 0x86, 0x9A}});
  for (std::size_t i : {std::size_t{1}, std::size_t{5}, std::size_t{7}, std::size_t{12}, good.size() - 2, good.size() - 1}) {
    Bytes frame = good;
    frame[i] = static_cast<char>(frame[i] ^ 0x01);
    EXPECT_FALSE(decodeAnswer(frame).has_value()) << "byte " << i;
  }
  EXPECT_FALSE(decodeAnswer(good.substr(0, good.size() - 1)).has_value());
}

}  // namespace
}  // namespace orbantis::emulator
