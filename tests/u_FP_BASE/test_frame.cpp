// Request frames byte for byte, and the SEQ bookkeeping.
#include <gtest/gtest.h>

#include "support/EngineFixture.h"
#include "u_FP_BASE/Frame.h"

namespace orbantis {
namespace {

using test::Bytes;

struct GoldenRequest {
  const char* name;
  std::uint8_t seq;
  std::uint8_t cmd;
  std::string data;
  Bytes expected;
};

TEST(Frame, GoldenRequests) {
  const GoldenRequest cases[] = {
      {"status X", 0x20, 0x4A, "X", {0x01, 0x25, 0x20, 0x4A, 0x58, 0x05, 0x30, 0x30, 0x3E, 0x3C, 0x03}},
      {"no data", 0x20, 0x21, "", {0x01, 0x24, 0x20, 0x21, 0x05, 0x30, 0x30, 0x36, 0x3A, 0x03}},
      // 27h, 7Fh, 30h, "1,2" and 05h sum to 016Ah; each digit is 30h + nibble.
      {"open receipt", 0x7F, 0x30, "1,2", {0x01, 0x27, 0x7F, 0x30, 0x31, 0x2C, 0x32, 0x05, 0x30, 0x31, 0x36, 0x3A, 0x03}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(test::Hex(frame::BuildRequest(c.seq, c.cmd, c.data)), test::Hex(c.expected));
    EXPECT_EQ(test::Hex(test::RequestFrame(c.seq, c.cmd, c.data)), test::Hex(c.expected)) << "test peer disagrees";
  }
}

TEST(Frame, CheckSumDigitsUseThirtyToQuestionMark) {
  EXPECT_EQ(frame::EncodeCheckSum(0xFFFF), (std::array<std::uint8_t, 4> {0x3F, 0x3F, 0x3F, 0x3F}));
  EXPECT_EQ(frame::EncodeCheckSum(0x0000), (std::array<std::uint8_t, 4> {0x30, 0x30, 0x30, 0x30}));
  EXPECT_EQ(frame::DecodeCheckSum({0x31, 0x32, 0x3A, 0x3F}), 0x12AFu);
  // A digit below 30h wraps to a large nibble and can never match a sum.
  EXPECT_GT(frame::DecodeCheckSum({0x2F, 0x30, 0x30, 0x30}), 0xFFFFu);
}

TEST(Frame, SeqWrapsFrom7FTo20) {
  EXPECT_EQ(frame::NextSeq(0x20), 0x21);
  EXPECT_EQ(frame::NextSeq(0x7F), 0x20);
  EXPECT_EQ(frame::PreviousSeq(0x20), 0x7F);
  EXPECT_EQ(frame::PreviousSeq(0x21), 0x20);
}

// The 96th exchange after creation (the FIRST_COMMAND status request counts)
// goes out with SEQ 7Fh and is answered with 7Fh; the 97th uses 20h again.
TEST(Frame, SeqOfTheNinetySixthAndNinetySeventhExchange) {
  test::EngineOnPty e(test::AnswerWith("OK"), /*firstCommand=*/true);
  ASSERT_EQ(e.openResult, 0);
  AnsiString in = "A", out;
  for (int i = 0; i < 96; ++i) ASSERT_TRUE(e.engine->CUSTOM_CMD_1(0x21, in, out)) << "exchange " << i + 2;
  const auto requests = e.peer->Requests();
  ASSERT_EQ(requests.size(), 97u);
  EXPECT_EQ(requests[0].cmd, 0x4A) << "the first command is preceded by a status request";
  EXPECT_EQ(requests[0].seq, 0x20);
  EXPECT_EQ(requests[95].seq, 0x7F);
  EXPECT_EQ(requests[96].seq, 0x20);
  EXPECT_EQ(out, "OK");
}

TEST(Frame, DataLongerThanAFrameCarriesIsRefusedAndNothingIsSent) {
  test::TempDir dir;
  test::EngineOnPty e(test::AnswerWith("OK"));
  ASSERT_EQ(e.engine->SET_LOG_FOLDER(dir.Path()), 0);
  AnsiString longest(219, 'x'), tooLong(220, 'x'), out;
  EXPECT_TRUE(e.engine->CUSTOM_CMD_1(0x21, longest, out));
  EXPECT_FALSE(e.engine->CUSTOM_CMD_1(0x21, tooLong, out));
  EXPECT_EQ(out, "");
  ASSERT_TRUE(e.peer->WaitForRequests(1, 1000));
  const auto requests = e.peer->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].raw[1], 0xFF) << "219 bytes is the longest length byte that does not wrap";
  EXPECT_NE(test::ReadFile(dir.Path() + "orbantis_LOG.txt").find("220 bytes"), std::string::npos);
}

}  // namespace
}  // namespace orbantis
