// The frame exchange against a scripted printer on a pseudo-terminal.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "support/EngineFixture.h"

namespace orbantis {
namespace {

using test::AnswerFrame;
using test::AnswerWith;
using test::Bytes;
using test::EngineOnPty;
using test::PeerRequest;
using test::Reply;

Reply Silence() { return {}; }

// Status bits that are no error (bit 7, battery low, paper near end, switches)
// leave the command successful.
TEST(Exchange, AnswerDataComesBackAndStatusBytesAreKept) {
  EngineOnPty e(AnswerWith("12,345", {0x80, 0x08, 0x02, 0x03, 0x06, 0xDE}));
  ASSERT_EQ(e.openResult, 0);
  AnsiString in = "1,0000,1", out = "stale";
  EXPECT_TRUE(e.engine->CUSTOM_CMD_1(48, in, out));
  EXPECT_EQ(out, "12,345");
  EXPECT_EQ(e.engine->F_S0, 0x80);
  EXPECT_EQ(e.engine->F_S1, 0x08);
  EXPECT_EQ(e.engine->F_S5, 0xDE);
  const auto requests = e.peer->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(requests[0].valid);
  EXPECT_EQ(requests[0].data, "1,0000,1");
}

TEST(Exchange, EmptyAnswerGivesTheSingleZeroByte) {
  EngineOnPty e(AnswerWith(""));
  AnsiString in, out;
  EXPECT_TRUE(e.engine->CUSTOM_CMD_1(0x21, in, out));
  EXPECT_EQ(out, AnsiString(1, '\0'));
}

TEST(Exchange, RepeatedAttemptSendsTheIdenticalFrame) {
  EngineOnPty e([](const PeerRequest& r, int index) {
    if (index == 0) return Silence();
    return Reply {{AnswerFrame(r.seq, r.cmd, "done")}};
  });
  AnsiString in = "X", out;
  EXPECT_TRUE(e.engine->CUSTOM_CMD_1(0x31, in, out));
  EXPECT_EQ(out, "done");
  const auto requests = e.peer->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(test::Hex(requests[0].raw), test::Hex(requests[1].raw)) << "same SEQ, same check sum";
  EXPECT_EQ(e.engine->FSeqNumber, 0x21) << "SEQ advances per exchange, not per attempt";
}

TEST(Exchange, SilentPrinterIsAskedRepeatCountTimesAndTraced) {
  EngineOnPty e([](const PeerRequest&, int) { return Silence(); });
  AnsiString in, out;
  EXPECT_FALSE(e.engine->CUSTOM_CMD_1(0x21, in, out));
  EXPECT_EQ(e.peer->Requests().size(), 2u);
  const std::string& trace = e.connector().HEX_INPUT;
  const auto split = trace.find("\r\n");
  ASSERT_NE(split, std::string::npos);
  EXPECT_NE(trace.find("[1]["), std::string::npos);
  EXPECT_NE(trace.find("[2][", split), std::string::npos);
  EXPECT_NE(trace.find("] Request : 01 24 20 21 05 30 30 36 3A "), std::string::npos);
  EXPECT_EQ(e.connector().TIMEOUT_ERROR, -10525);
  for (const auto& sw : e.engine->ERROR_SWITCHES) EXPECT_FALSE(sw.SW_VAL);
}

TEST(Exchange, RepeatCountZeroSendsNothingAndFails) {
  EngineOnPty e(AnswerWith("x"));
  e.connector().SET_REPEAT_COUNT(0);
  AnsiString in, out;
  EXPECT_FALSE(e.engine->CUSTOM_CMD_1(0x21, in, out));
  EXPECT_FALSE(e.peer->WaitForRequests(1, 200));
}

// NAK ends an attempt at once. The limits below are far longer than the
// test's patience, so an engine that ignored NAK would be caught waiting.
TEST(Exchange, NakFailsTheAttemptAtOnce) {
  EngineOnPty e([](const PeerRequest& r, int index) {
    if (index == 0) return Reply {{{0x15}}};
    return Reply {{AnswerFrame(r.seq, r.cmd, "after nak")}};
  });
  e.connector().EXIT_BYTIMEVAR = 60000;
  e.connector().FCommTimeouts.ReadTotalTimeoutConstant = 60000;
  AnsiString in, out;
  auto call = std::async(std::launch::async, [&] { return e.engine->CUSTOM_CMD_1(0x21, in, out); });
  ASSERT_TRUE(e.peer->WaitForRequests(2, 10000)) << "the second attempt did not follow the NAK";
  EXPECT_TRUE(call.get());
  EXPECT_EQ(out, "after nak");
}

TEST(Exchange, SynBytesDoNotExtendTheWaitForTheAnswer) {
  EngineOnPty e([](const PeerRequest& r, int) {
    Reply reply;
    for (int i = 0; i < 20; ++i) reply.push_back({{0x16}, 25});  // 500 ms of SYN
    reply.push_back({AnswerFrame(r.seq, r.cmd, "late")});
    return reply;
  });
  e.connector().EXIT_BYTIMEVAR = 200;
  e.connector().SET_REPEAT_COUNT(1);
  AnsiString in, out;
  EXPECT_FALSE(e.engine->CUSTOM_CMD_1(0x21, in, out));
}

TEST(Exchange, SynAndGarbageBeforeThePreambleAreSkipped) {
  EngineOnPty e([](const PeerRequest& r, int) {
    Bytes noise {0x16, 0x16, 0x41, 0x03, 0x16};
    return Reply {{noise}, {AnswerFrame(r.seq, r.cmd, "ok")}};
  });
  AnsiString in, out;
  EXPECT_TRUE(e.engine->CUSTOM_CMD_1(0x21, in, out));
  EXPECT_EQ(out, "ok");
  EXPECT_EQ(e.connector().tmpHEX_ANSWER.rfind("16 16 41 03 16 01 ", 0), 0u);
}

struct Corruption {
  const char* name;
  std::function<void(Bytes&)> apply;
};

// Each corruption of an otherwise valid answer fails the attempt; the next
// attempt gets a good answer, so the exchange succeeds on the second try.
TEST(Exchange, EveryAnswerFieldIsChecked) {
  const Corruption cases[] = {
      {"length", [](Bytes& f) { f[1] += 1; }},
      {"seq", [](Bytes& f) { f[2] += 1; }},
      {"cmd", [](Bytes& f) { f[3] += 1; }},
      {"separator", [](Bytes& f) { f[4 + 2] = 0x06; }},
      {"postamble", [](Bytes& f) { f[f.size() - 6] = 0x06; }},
      {"check sum", [](Bytes& f) { f[f.size() - 2] ^= 0x01; }},
      {"terminator", [](Bytes& f) { f.back() = 0x02; }},
      {"truncated", [](Bytes& f) { f.resize(f.size() - 3); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EngineOnPty e([&c](const PeerRequest& r, int index) {
      Bytes f = AnswerFrame(r.seq, r.cmd, "ab");
      if (index == 0) c.apply(f);
      return Reply {{f}};
    });
    AnsiString in, out;
    EXPECT_TRUE(e.engine->CUSTOM_CMD_1(0x21, in, out));
    EXPECT_EQ(e.peer->Requests().size(), 2u);
    EXPECT_EQ(out, "ab");
  }
}

TEST(Exchange, FirstCommandIsPrecededByOneStatusRequestEvenWhenThatFails) {
  EngineOnPty e(
      [](const PeerRequest& r, int) {
        if (r.cmd == 0x4A) return Silence();
        return Reply {{AnswerFrame(r.seq, r.cmd, "x")}};
      },
      /*firstCommand=*/true);
  AnsiString in, out;
  EXPECT_TRUE(e.engine->CUSTOM_CMD_1(0x21, in, out));
  EXPECT_TRUE(e.engine->CUSTOM_CMD_1(0x21, in, out));
  const auto requests = e.peer->Requests();
  ASSERT_EQ(requests.size(), 4u);  // two attempts of the status request, then two commands
  EXPECT_EQ(requests[0].cmd, 0x4A);
  EXPECT_EQ(requests[1].cmd, 0x4A);
  EXPECT_EQ(requests[2].cmd, 0x21);
  EXPECT_EQ(requests[3].cmd, 0x21);
  EXPECT_EQ(requests[2].seq, 0x21);
}

TEST(Exchange, UnpluggedPrinterFailsTheExchangeWithoutHanging) {
  auto e = std::make_unique<EngineOnPty>([](const PeerRequest&, int) { return Silence(); });
  e->peer.reset();
  e->pty.CloseMaster();
  AnsiString in, out;
  EXPECT_FALSE(e->engine->CUSTOM_CMD_1(0x21, in, out));
}

// Two callers on one engine: their frames never interleave on the wire and
// each gets the answer to its own request.
TEST(Exchange, ConcurrentCallsAreSerialised) {
  EngineOnPty e([](const PeerRequest& r, int) {
    Bytes f = AnswerFrame(r.seq, r.cmd, "echo:" + r.data);
    return Reply {{Bytes(f.begin(), f.begin() + 3), 5}, {Bytes(f.begin() + 3, f.end()), 5}};
  });
  e.connector().EXIT_BYTIMEVAR = 2000;
  auto worker = [&](char tag) {
    int good = 0;
    for (int i = 0; i < 20; ++i) {
      AnsiString in = std::string(1, tag) + std::to_string(i), out;
      if (e.engine->CUSTOM_CMD_1(0x21, in, out) && out == "echo:" + in) ++good;
    }
    return good;
  };
  auto a = std::async(std::launch::async, worker, 'a');
  auto b = std::async(std::launch::async, worker, 'b');
  EXPECT_EQ(a.get(), 20);
  EXPECT_EQ(b.get(), 20);
  const auto requests = e.peer->Requests();
  EXPECT_EQ(requests.size(), 40u);
  for (const auto& r : requests) EXPECT_TRUE(r.valid) << test::Hex(r.raw);
}

TEST(Exchange, TraceFileIsWrittenOnlyInDebugMode) {
  test::TempDir dir;
  EngineOnPty e(AnswerWith("ab"));
  e.connector().DEBUG_FOLDER = dir.Path();
  AnsiString in = "X", out;
  ASSERT_TRUE(e.engine->CUSTOM_CMD_1(0x4A, in, out));
  EXPECT_FALSE(test::FileExists(dir.Path() + "orbantis_LOG.txt"));

  e.connector().DEBUGMODE = true;
  e.connector().HEX_ID = "ID";
  ASSERT_TRUE(e.engine->CUSTOM_CMD_1(0x4A, in, out));
  const std::string trace = test::ReadFile(dir.Path() + "orbantis_LOG.txt");
  EXPECT_NE(trace.find("ID[1]["), std::string::npos);
  EXPECT_NE(trace.find("] Request : 01 25 21 4A 58 05 "), std::string::npos);
  EXPECT_NE(trace.find("] Answer  : 01 2D 21 4A 61 62 04 "), std::string::npos);
  EXPECT_NE(trace.find("] Answer  : ab"), std::string::npos) << "the answer as text follows its hex";
}

TEST(Exchange, UnwritableDebugFolderDoesNotFailTheCommand) {
  EngineOnPty e(AnswerWith("ab"));
  e.connector().DEBUGMODE = true;
  e.connector().DEBUG_FOLDER = "/proc/no-such-folder/";
  AnsiString in, out;
  EXPECT_TRUE(e.engine->CUSTOM_CMD_1(0x21, in, out));
  EXPECT_EQ(e.peer->Requests().size(), 1u);
}

}  // namespace
}  // namespace orbantis
