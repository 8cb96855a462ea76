// The emulator over its wires, driven by a scripted client: the protocol on the pty and on TCP,
// the SEQ memory, and every fault switch.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "Emulator.h"
#include "ScriptedClient.h"

namespace orbantis::emulator {
namespace {

using testing::ScriptedClient;
using Kind = ScriptedClient::Reply::Kind;
using namespace std::chrono_literals;

enum class Wire { pty, tcp };

class WireTest : public ::testing::TestWithParam<Wire> {
 protected:
  void SetUp() override {
    if (GetParam() == Wire::pty) {
      path_ = emu.startPty();
    } else {
      port_ = emu.startTcp(0);
    }
  }

  ScriptedClient connect() {
    return GetParam() == Wire::pty ? ScriptedClient::pty(path_) : ScriptedClient::tcp(port_);
  }

  // An exchange that must come back as a valid answer to the request.
  static Answer answerOf(ScriptedClient& client, std::uint8_t cmd, std::string_view data) {
    const auto reply = client.exchange(cmd, data);
    EXPECT_EQ(reply.kind, Kind::answer) << toHex(reply.raw);
    if (!reply.answer) {
      ADD_FAILURE() << "no valid answer frame: " << toHex(reply.raw);
      return {};
    }
    EXPECT_EQ(reply.answer->seq, client.lastRequest().seq);
    EXPECT_EQ(reply.answer->cmd, cmd);
    return *reply.answer;
  }

  Emulator emu;
  std::string path_;
  std::uint16_t port_ = 0;
};

TEST_P(WireTest, ScriptedReceiptSession) {
  auto client = connect();
  const auto status = answerOf(client, 74, "X");
  EXPECT_TRUE(status.data.empty());
  EXPECT_EQ(status.status[0], 0x80);  // no error, reserved bit set

  EXPECT_EQ(answerOf(client, 90, "1").data, "ORBANTIS FP-1,1.00 01-03-24,7E4A,00000000,OB00000001");
  const auto open = answerOf(client, 48, "1,0000,1");
  EXPECT_EQ(open.data, "1,1");
  EXPECT_EQ(open.status[2] & 0x08, 0x08);  // fiscal receipt open
  EXPECT_EQ(answerOf(client, 49, "Coffee\tA2.40*2").data, "");
  EXPECT_EQ(answerOf(client, 53, "P+5.00").data, "R0.20");
  const auto close = answerOf(client, 56, "");
  EXPECT_EQ(close.data, "1,1");
  EXPECT_EQ(close.status[2] & 0x08, 0);

  const auto unknown = answerOf(client, 0x03, "");
  EXPECT_EQ(unknown.status[0] & 0x22, 0x22);  // invalid command + general error

  EXPECT_NE(emu.paperText().find("Coffee"), std::string::npos);
  EXPECT_EQ(emu.inspect([](const Printer& p) { return p.day().turnover[0]; }), 480);
}

TEST_P(WireTest, RepeatedRequestIsAnsweredAgainButCountedOnce) {
  auto client = connect();
  answerOf(client, 48, "1,0000,1");
  const auto first = client.exchange(49, "\tA1.00");
  const auto again = client.repeat();
  ASSERT_EQ(again.kind, Kind::answer);
  EXPECT_EQ(again.raw, first.raw);
  EXPECT_EQ(emu.executions(49), 1u);
  EXPECT_EQ(emu.counters().repeats, 1u);
  answerOf(client, 56, "");
  EXPECT_EQ(emu.inspect([](const Printer& p) { return p.day().turnover[0]; }), 100);
}

// Switched off and on right after carrying a request out, the printer has
// forgotten it: the driver's repeat is new work, and the receipt it had
// opened is still open. A power cycle at any moment does the same.
TEST_P(WireTest, APowerCycleForgetsTheLastRequestButKeepsTheReceipt) {
  auto client = connect();
  answerOf(client, 48, "1,0000,1");
  emu.faults().setFrameFault(FrameFault::powerCycle, 1);
  EXPECT_EQ(client.exchange(49, "\tA1.00", 300ms).kind, Kind::silence);
  EXPECT_EQ(client.repeat().kind, Kind::answer) << "not cut off";
  EXPECT_EQ(emu.executions(49), 2u) << "the repeat was carried out again";
  EXPECT_EQ(emu.inspect([](const Printer& p) { return p.receipt().sales; }), 2);

  EXPECT_EQ(client.exchange(49, "\tA2.00").kind, Kind::answer);
  emu.powerCycle();
  const auto again = client.repeat();
  ASSERT_EQ(again.kind, Kind::answer);
  EXPECT_EQ(emu.executions(49), 4u);
  EXPECT_EQ(emu.counters().repeats, 0u);
  EXPECT_EQ(emu.inspect([](const Printer& p) { return p.receipt().kind; }), OpenReceipt::Kind::fiscal);
}

TEST_P(WireTest, SameSeqWithADifferentRequestIsNewWork) {
  // A driver that restarts counts from 20h again; its first request must not get a stale answer.
  {
    auto client = connect();
    answerOf(client, 74, "");
  }
  auto restarted = connect();
  const auto reply = restarted.exchange(90, "1");
  ASSERT_TRUE(reply.answer.has_value());
  EXPECT_EQ(reply.answer->cmd, 90);
  EXPECT_EQ(emu.executions(90), 1u);
}

TEST_P(WireTest, DamagedRequestsGetNak) {
  auto client = connect();
  Bytes bad = encodeRequest({0x20, 0x4A, ""});
  bad[bad.size() - 2] ^= 0x01;  // check sum
  client.sendRaw(bad);
  EXPECT_EQ(client.read().kind, Kind::nak);

  // A frame that stops halfway is given up after the inter-byte time-out.
  const Bytes whole = encodeRequest({0x21, 0x4A, ""});
  client.sendRaw(whole.substr(0, 5));
  EXPECT_EQ(client.read(3s).kind, Kind::nak);
  EXPECT_EQ(emu.executions(74), 0u);
  answerOf(client, 74, "");
}

struct AnswerFault {
  const char* name;
  void (Faults::*arm)(unsigned);
};

TEST_P(WireTest, EachAnswerFaultHitsOneAnswerAndTheRepeatHeals) {
  const AnswerFault kFaults[] = {
      {"bad check sum", &Faults::setBadChecksumAt},
      {"wrong SEQ", &Faults::setWrongSeqAt},
      {"wrong CMD", &Faults::setWrongCmdAt},
      {"truncated", &Faults::setTruncateAt},
  };
  auto client = connect();
  for (const auto& f : kFaults) {
    SCOPED_TRACE(f.name);
    const auto before = emu.executions(90);
    (emu.faults().*f.arm)(2);
    answerOf(client, 74, "");  // the first answer after arming is intact
    const auto hit = client.exchange(90, "1", 1500ms);
    const auto healed = client.repeat();
    ASSERT_TRUE(healed.answer.has_value());
    EXPECT_EQ(healed.answer->seq, client.lastRequest().seq);
    EXPECT_EQ(healed.answer->cmd, 90);
    EXPECT_EQ(emu.executions(90), before + 1);

    if (f.arm == &Faults::setBadChecksumAt) {
      EXPECT_EQ(hit.kind, Kind::answer);
      EXPECT_FALSE(hit.answer.has_value());
      EXPECT_EQ(hit.raw.size(), healed.raw.size());
    } else if (f.arm == &Faults::setWrongSeqAt) {
      ASSERT_TRUE(hit.answer.has_value());
      EXPECT_NE(hit.answer->seq, client.lastRequest().seq);
    } else if (f.arm == &Faults::setWrongCmdAt) {
      ASSERT_TRUE(hit.answer.has_value());
      EXPECT_NE(hit.answer->cmd, 90);
    } else {
      EXPECT_EQ(hit.kind, Kind::silence);
      EXPECT_EQ(hit.raw.size(), healed.raw.size() / 2);
    }
  }
}

TEST_P(WireTest, NakEveryNthRequestIsNotCarriedOut) {
  auto client = connect();
  emu.faults().setNakEvery(2);
  answerOf(client, 74, "");
  EXPECT_EQ(client.exchange(90, "1").kind, Kind::nak);
  EXPECT_EQ(emu.executions(90), 0u);
  EXPECT_EQ(client.repeat().kind, Kind::answer);
  EXPECT_EQ(emu.executions(90), 1u);
  EXPECT_EQ(client.exchange(74, "").kind, Kind::nak);
}

TEST_P(WireTest, SilenceAnswersNothingUntilSwitchedOff) {
  auto client = connect();
  emu.faults().setSilent(true);
  const auto quiet = client.exchange(74, "", 300ms);
  EXPECT_EQ(quiet.kind, Kind::silence);
  EXPECT_TRUE(quiet.raw.empty());
  EXPECT_EQ(emu.executions(74), 0u);
  emu.faults().setSilent(false);
  EXPECT_EQ(client.repeat().kind, Kind::answer);
}

TEST_P(WireTest, ForcedStatusBitsAppearExactlyAsGiven) {
  auto client = connect();
  emu.faults().forceBit(bits::noPaper, true);
  emu.faults().forceBit(StatusBit{0, 7}, false);
  const auto forced = answerOf(client, 74, "");
  EXPECT_EQ(forced.status[2], 0x81);
  EXPECT_EQ(forced.status[0], 0x00);  // no general-error bit added
  emu.faults().releaseBit(bits::noPaper);
  emu.faults().releaseBit(StatusBit{0, 7});
  const auto normal = answerOf(client, 74, "");
  EXPECT_EQ(normal.status[2], 0x80);
  EXPECT_EQ(normal.status[0], 0x80);
}

TEST_P(WireTest, PrintingCommandsSendSynWhileTheyPrint) {
  auto client = connect();
  emu.setPrintTime(200ms);
  const auto printing = client.exchange(48, "1,0000,1");
  EXPECT_EQ(printing.syns, 3);  // at 60, 120 and 180 ms; the answer at 200 ms
  ASSERT_TRUE(printing.answer.has_value());
  EXPECT_EQ(printing.answer->data, "1,1");
  EXPECT_EQ(client.exchange(74, "").syns, 0);  // nothing printed, no wait
}

TEST_P(WireTest, PacedBytesStillMakeWholeFrames) {
  auto client = connect();
  emu.setBaud(9600);
  EXPECT_EQ(answerOf(client, 90, "1").data.size(), 52u);
}

INSTANTIATE_TEST_SUITE_P(BothWires, WireTest, ::testing::Values(Wire::pty, Wire::tcp),
                         [](const auto& info) { return info.param == Wire::pty ? "pty" : "tcp"; });

TEST(TcpWire, DropAfterNAnswersAndTheRepeatOnTheNextConnectionIsNotExecutedTwice) {
  Emulator emu;
  const auto port = emu.startTcp(0);
  emu.faults().setDropAfter(2);
  auto first = ScriptedClient::tcp(port);
  ASSERT_EQ(first.exchange(48, "1,0000,1").kind, Kind::answer);
  ASSERT_EQ(first.exchange(49, "\tB4.00").kind, Kind::answer);
  EXPECT_EQ(first.read(1s).kind, Kind::closed);

  // The driver did not get (or did not trust) the last answer: it reconnects and repeats it.
  auto second = ScriptedClient::tcp(port);
  Bytes again = encodeRequest(first.lastRequest());
  second.sendRaw(again);
  const auto repeated = second.read();
  ASSERT_TRUE(repeated.answer.has_value());
  EXPECT_EQ(repeated.answer->seq, first.lastRequest().seq);
  EXPECT_EQ(emu.executions(49), 1u);
  EXPECT_EQ(emu.counters().connections, 2u);
}

TEST(TcpWire, ClientsAreServedOneAfterAnother) {
  Emulator emu;
  const auto port = emu.startTcp(0);
  for (int i = 0; i < 3; ++i) {
    auto client = ScriptedClient::tcp(port);
    EXPECT_EQ(client.exchange(74, "").kind, Kind::answer) << "client " << i;
  }
  EXPECT_EQ(emu.counters().connections, 3u);
}

TEST(PtyWire, LinkPointsAtTheDeviceWhileRunning) {
  const auto dir = std::filesystem::temp_directory_path() / ("orbantis-emu-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto link = dir / "printer";
  {
    Emulator emu;
    const auto device = emu.startPty(link.string());
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), device);
    auto client = ScriptedClient::pty(link.string());
    EXPECT_EQ(client.exchange(74, "").kind, Kind::answer);
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace orbantis::emulator
