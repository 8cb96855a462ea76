// Every status and information read against the software printer.
#include <gtest/gtest.h>

#include "EmulatorFixture.h"

namespace orbantis {
namespace {

struct ReadCase {
  const char* method;
  AnsiStrings in;
};

TEST(ReadsOnEmulator, EveryReadSucceedsAndPassesItsAnswerChecks) {
  test::ModelOnEmulator e;
  ASSERT_EQ(e.openResult, 0);
  const ReadCase cases[] = {
      {"CMD_74_0_0", {"X"}}, {"CMD_74_0_0", {"W"}}, {"CMD_74_0_1", {}}, {"CMD_90_0_0", {}},
      {"CMD_62_0_0", {}},    {"CMD_62_0_1", {}},    {"CMD_86_0_0", {}}, {"CMD_86_0_1", {}},
      {"CMD_64_0_0", {"0"}}, {"CMD_64_0_0", {"1"}}, {"CMD_65_0_0", {"0"}}, {"CMD_65_0_0", {"1"}},
      {"CMD_68_0_0", {}},    {"CMD_76_0_0", {""}},  {"CMD_76_0_0", {"T"}}, {"CMD_89_0_0", {}},
      {"CMD_89_0_1", {}},    {"CMD_93_0_0", {}},    {"CMD_97_0_0", {}},  {"CMD_99_0_0", {}},
      {"CMD_103_0_0", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + (c.in.empty() ? "" : " " + c.in[0]));
    AnsiStrings out;
    EXPECT_EQ(e.model->Run(c.method, c.in, out), 0) << e.model->FLastErrorMessage;
    for (const auto& v : out) EXPECT_FALSE(v.empty());
  }
}

TEST(ReadsOnEmulator, ValuesAreThePrintersOwn) {
  test::ModelOnEmulator e;
  AnsiString tin, vrn;
  ASSERT_EQ(e.model->CMD_99_0_0(tin, vrn), 0);
  EXPECT_EQ(tin, "100200300");
  EXPECT_EQ(vrn, "40012345A");

  AnsiString name, rev, chk, sw, serial;
  ASSERT_EQ(e.model->CMD_90_0_0(name, rev, chk, sw, serial), 0);
  EXPECT_EQ(serial, "OB00000001");

  AnsiString dd, mm, yy, hh, mi, ss;
  ASSERT_EQ(e.model->CMD_62_0_1(dd, mm, yy, hh, mi, ss), 0);
  EXPECT_EQ(dd.size(), 2u);
  EXPECT_EQ(ss.size(), 2u);

  AnsiString s[6];
  ASSERT_EQ(e.model->CMD_74_0_0("X", s[0], s[1], s[2], s[3], s[4], s[5]), 0);
  EXPECT_FALSE(e.model->GET_BIT_STATE(2, 3)) << "no receipt is open";
}

TEST(ReadsOnEmulator, AnOpenReceiptShowsInTheStatus) {
  test::ModelOnEmulator e;
  AnsiString rec, glob;
  ASSERT_EQ(e.model->CMD_48_0_0("1", "0000", "1", rec, glob), 0) << e.model->FLastErrorMessage;
  AnsiString s[6];
  ASSERT_EQ(e.model->CMD_74_0_1(s[0], s[1], s[2], s[3], s[4], s[5]), 0);
  EXPECT_TRUE(e.model->GET_BIT_STATE(2, 3));
  EXPECT_EQ(e.model->getStatusDescription(2, 3, 1), u"A fiscal receipt has been opened");
}

}  // namespace
}  // namespace orbantis
