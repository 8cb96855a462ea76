// A command whose exchange fails must leave only its own state behind: its
// own code, the link text, and empty answer values; never what the previous
// command left in the engine.
#include <gtest/gtest.h>

#include <unistd.h>

#include "foundation/CodePage.h"
#include "printer_model/TFP_ZORVIK.h"
#include "support/ScriptedPeer.h"

namespace orbantis {
namespace {

using test::AnswerFrame;
using test::PeerRequest;
using test::Reply;

const AnsiString kLinkText = "Unsuccessful command execution.\r\nPlease check the link with this fiscal!";
const WideString kLinkTextBg =
    u"Неуспешно изпълнение на командата.\r\nМоля проверете връзката с фискалното устройство!";

std::unique_ptr<TFP_ZORVIK> ModelOverTcp(int port) {
  auto m = std::make_unique<TFP_ZORVIK>(1, 115200);
  auto& c = *m->SERIAL_CONNECTION;
  c.COMUNICATION_TYPE = ct_TCPIP;
  c.CREATE_TCP("127.0.0.1", port);
  c.FP_TCP->TCP_Client->ReadTimeout = 150;
  c.FP_TCP->TCP_Client->ConnectTimeout = 2000;
  c.EXIT_BYTIMEVAR = 100;
  c.SET_FIRST_COMMAND(false);
  c.WITH_OUTPCHECK = true;
  return m;
}

void ExpectLinkFailure(TFP_ZORVIK& m, std::int32_t result, std::int32_t code, const AnsiStrings& answers) {
  EXPECT_EQ(result, code);
  EXPECT_EQ(m.FLastErrorCode, code);
  EXPECT_EQ(m.FLastErrorMessage, kLinkText);
  EXPECT_EQ(DecodeCodePage(m.FLastErrorMessage_BG, CP_CYRILLIC), kLinkTextBg);
  for (const auto& a : answers) EXPECT_EQ(a, "") << "no answer value of another command";
}

// The printer answers, then closes the connection. The next command cannot
// be written: it fails with the link text and empty values, not with the
// previous command's "Unknown error." nested into a status text and its
// TIN/VRN.
TEST(FailedExchangeState, WriteFailureAfterADroppedLinkLeavesNothingOfThePreviousCommand) {
  test::ScriptedPeer peer([](const PeerRequest& r, int) {
    return Reply {{AnswerFrame(r.seq, r.cmd, "100200300,40012345A"), 0, /*dropAfter=*/true}};
  });
  auto m = ModelOverTcp(peer.Port());
  ASSERT_EQ(m->SERIAL_CONNECTION->Open(), 0);
  AnsiString tin, vrn;
  ASSERT_EQ(m->CMD_99_0_0(tin, vrn), 0);
  ASSERT_EQ(tin, "100200300");
  ASSERT_TRUE(peer.WaitForRequests(1, 1000));
  usleep(100000);  // let the close arrive

  const std::int32_t result = m->CMD_99_0_0(tin, vrn);
  ExpectLinkFailure(*m, result, -5, {tin, vrn});
  EXPECT_EQ(peer.Requests().size(), 1u) << "the failed command was never written";
}

// A port that is not open (the connect failed): every command fails the
// same way, and the text does not grow from one call to the next.
TEST(FailedExchangeState, PortNotOpenGivesTheSameTextOnEveryCall) {
  TFP_ZORVIK m(1, 115200);
  m.SERIAL_CONNECTION->DevicePath = "/nonexistent/orbantis-test-port";
  ASSERT_LT(m.SERIAL_CONNECTION->Open(), 0);
  m.SERIAL_CONNECTION->EXIT_BYTIMEVAR = 50;
  m.SERIAL_CONNECTION->SET_FIRST_COMMAND(false);

  AnsiString recCnt, globRecCnt;
  for (int call = 0; call < 3; ++call) {
    SCOPED_TRACE(call);
    ExpectLinkFailure(m, m.CMD_48_0_0("1", "0000", "1", recCnt, globRecCnt), -5, {recCnt, globRecCnt});
    ExpectLinkFailure(m, m.CMD_60_0_0(), -4, {});
  }
}

// CUSTOM_CMD hands its answer out also after a failure: after a write
// failure that is nothing, not the previous exchange's answer.
TEST(FailedExchangeState, CustomCommandAfterAWriteFailureHandsOutNoOldAnswer) {
  test::ScriptedPeer peer([](const PeerRequest& r, int) {
    return Reply {{AnswerFrame(r.seq, r.cmd, "old answer"), 0, /*dropAfter=*/true}};
  });
  auto m = ModelOverTcp(peer.Port());
  ASSERT_EQ(m->SERIAL_CONNECTION->Open(), 0);
  AnsiString in, out;
  ASSERT_TRUE(m->CUSTOM_CMD(0x21, in, out));
  ASSERT_EQ(out, "old answer");
  ASSERT_TRUE(peer.WaitForRequests(1, 1000));
  usleep(100000);
  EXPECT_FALSE(m->CUSTOM_CMD(0x21, in, out));
  EXPECT_EQ(DecodeCodePage(out, CP_WESTERN), u"");
  EXPECT_EQ(m->FLastErrorMessage, "");
}

}  // namespace
}  // namespace orbantis
