// Status bytes, the 48 error switches and the status check.
#include <gtest/gtest.h>

#include "printer_model/StatusBits.h"
#include "support/EngineFixture.h"

namespace orbantis {
namespace {

using test::AnswerWith;
using test::EngineOnPty;
using test::Status;

TEST(StatusBits, TextsAreStoredExactly) {
  TFP_ZORVIK model(1, 9600);
  const auto& sw = model.ERROR_SWITCHES;
  EXPECT_EQ(sw[0].ERR_MEN, u"# Incoming data has syntax error");
  EXPECT_EQ(sw[6].ERR_MEN, u"Cover is open");
  EXPECT_EQ(sw[16].ERR_MEN, u"# No paper.");
  EXPECT_EQ(sw[37].ERR_MEN, u"OR of all mistakes marked by \u2018*\u2019 from bytes 4 and 5");
  EXPECT_EQ(sw[45].ERR_MEN, u"Error reading fiscal memory");
  for (const auto& s : sw) {
    EXPECT_FALSE(s.SW_VAL);
    EXPECT_TRUE(s.ERR_MSG.empty());
    EXPECT_FALSE(s.ERR_MEN.empty());
  }
}

struct StatusCase {
  const char* name;
  Status status;
  bool fails;
  std::string english;  // the language-1 text Check_Status leaves
};

TEST(StatusBits, ErrorBitsFailACommandAndListTheirTextsInCheckOrder) {
  const StatusCase cases[] = {
      {"syntax error", {0x21, 0, 0, 0, 0, 0}, true,
       "General error - OR of all errors marked with #\r\n# Incoming data has syntax error\r\n"},
      {"no paper", {0, 0, 0x01, 0, 0, 0}, true, "# No paper.\r\n"},
      {"paper near end is no error", {0, 0, 0x02, 0, 0, 0}, false, ""},
      {"cover open and switches are no error", {0x40, 0, 0, 0xFF, 0x0E, 0x1E}, false, ""},
      {"fiscal memory", {0, 0, 0, 0, 0x21, 0x21}, true,
       "OR of all mistakes marked by \x91*\x92 from bytes 4 and 5\r\n"
       "* When there is an error during entry in the fiscal memory\r\n"
       "Error reading fiscal memory\r\n"
       "* If the fiscal memory is in read-only mode\r\n"},
      {"every error bit",
       {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       true,
       "General error - OR of all errors marked with #\r\n"
       "Failure in printing mechanism\r\n"
       "The clock needs setting\r\n"
       "# Code of incoming command is invalid\r\n"
       "# Incoming data has syntax error\r\n"
       "# RAM failure after power ON\r\n"
       "# Operational memory was cleared\r\n"
       "# If command cannot be performed in the current fiscal mode\r\n"
       "# If during command some of the fields for sums overflow.\r\n"
       "# No paper.\r\n"
       "OR of all mistakes marked by \x91*\x92 from bytes 4 and 5\r\n"
       "* Fiscal memory is fully engaged.\r\n"
       "* When there is an error during entry in the fiscal memory\r\n"
       "Error reading fiscal memory\r\n"
       "* If the fiscal memory is in read-only mode\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EngineOnPty e(AnswerWith("1", c.status));
    AnsiString in, out;
    EXPECT_EQ(e.engine->CUSTOM_CMD_1(0x30, in, out), !c.fails);
    EXPECT_EQ(e.peer->Requests().size(), 1u) << "a status error is never repeated";
    EXPECT_EQ(e.engine->FLastErrorMessage, c.english);
    // One empty line per error bit in the language-0 text.
    std::size_t lines = 0;
    for (std::size_t p = 0; (p = c.english.find("\r\n", p)) != std::string::npos; p += 2) ++lines;
    std::string expectedBg;
    for (std::size_t i = 0; i < lines; ++i) expectedBg += "\r\n";
    EXPECT_EQ(e.engine->FLastErrorMessage_BG, expectedBg);
    EXPECT_EQ(out, "1") << "the answer data comes back even when the status fails the command";
    for (int i = 0; i < 48; ++i)
      EXPECT_EQ(e.engine->ERROR_SWITCHES[i].SW_VAL, ((c.status[i / 8] >> (i % 8)) & 1) != 0) << "bit " << i;
  }
}

TEST(StatusBits, TheStatusCommandIsNeverFailedByItsStatus) {
  EngineOnPty e(AnswerWith("", {0x21, 0, 0x01, 0, 0, 0}));
  AnsiString in = "X", out;
  EXPECT_TRUE(e.engine->CUSTOM_CMD_1(0x4A, in, out));
  EXPECT_TRUE(e.engine->ERROR_SWITCHES[5].SW_VAL);
  EXPECT_TRUE(e.engine->ERROR_SWITCHES[16].SW_VAL);
  EXPECT_EQ(e.engine->FLastErrorMessage, "");
}

TEST(StatusBits, SwitchesFollowTheLastAttempt) {
  int call = 0;
  EngineOnPty e([&call](const test::PeerRequest& r, int) {
    ++call;
    if (call == 1) return test::Reply {{test::AnswerFrame(r.seq, r.cmd, "", {0, 0, 0x02, 0, 0, 0})}};
    return test::Reply {};  // silence
  });
  AnsiString in, out;
  ASSERT_TRUE(e.engine->CUSTOM_CMD_1(0x21, in, out));
  EXPECT_TRUE(e.engine->ERROR_SWITCHES[17].SW_VAL);
  EXPECT_FALSE(e.engine->CUSTOM_CMD_1(0x21, in, out));
  EXPECT_FALSE(e.engine->ERROR_SWITCHES[17].SW_VAL) << "a timed-out attempt leaves no bit set";
}

}  // namespace
}  // namespace orbantis
