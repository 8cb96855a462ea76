// The TCP side of the connector, against a scripted printer on loopback.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "printer_model/TFP_ZORVIK.h"
#include "support/ScriptedPeer.h"

namespace orbantis {
namespace {

using test::AnswerFrame;
using test::PeerRequest;
using test::Reply;

// A loopback port nobody listens on.
int UnusedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

std::unique_ptr<TFP_ZORVIK> EngineOverTcp(int port) {
  auto e = std::make_unique<TFP_ZORVIK>(1, 115200);
  auto& c = *e->SERIAL_CONNECTION;
  c.COMUNICATION_TYPE = ct_TCPIP;
  c.CREATE_TCP("127.0.0.1", port);
  c.FP_TCP->TCP_Client->UseNagle = false;
  c.FP_TCP->TCP_Client->ReadTimeout = 150;
  c.FP_TCP->TCP_Client->ConnectTimeout = 2000;
  c.EXIT_BYTIMEVAR = 100;
  c.SET_FIRST_COMMAND(false);
  return e;
}

TEST(TcpConnector, RefusedConnectionGivesMinus46) {
  auto e = EngineOverTcp(UnusedPort());
  EXPECT_EQ(e->SERIAL_CONNECTION->Open(), -46);
  EXPECT_FALSE(e->SERIAL_CONNECTION->Active());
}

TEST(TcpConnector, OpenWithoutAClientIsAnError) {
  TConnector c(1, 9600, 0, 0, 8);
  c.COMUNICATION_TYPE = ct_TCPIP;
  EXPECT_EQ(c.Open(), -100);
}

TEST(TcpConnector, ExchangesRunOverTheStreamAndOpenDoesNotReconnect) {
  test::ScriptedPeer peer(test::AnswerWith("12,345"));
  auto e = EngineOverTcp(peer.Port());
  auto& c = *e->SERIAL_CONNECTION;
  ASSERT_EQ(c.Open(), 0);
  EXPECT_TRUE(c.Active());
  EXPECT_EQ(c.Open(), 0);
  c.Clear();  // nothing buffered: nothing happens
  AnsiString in = "1,0,1", out;
  EXPECT_TRUE(e->CUSTOM_CMD_1(48, in, out));
  EXPECT_EQ(out, "12,345");
  EXPECT_TRUE(e->CUSTOM_CMD_1(48, in, out));
  EXPECT_EQ(peer.Connections(), 1);
  c.Close();
  EXPECT_FALSE(c.Active());
}

// The connection drops while the printer works on a request: the engine
// connects again and the next attempt resends the same frame.
TEST(TcpConnector, DropInsideAnExchangeIsReconnectedForTheNextAttempt) {
  test::ScriptedPeer peer([](const PeerRequest& r, int index) {
    if (index == 0) return Reply {{{}, 0, /*dropAfter=*/true}};
    return Reply {{AnswerFrame(r.seq, r.cmd, "second try")}};
  });
  auto e = EngineOverTcp(peer.Port());
  ASSERT_EQ(e->SERIAL_CONNECTION->Open(), 0);
  AnsiString in = "X", out;
  EXPECT_TRUE(e->CUSTOM_CMD_1(0x21, in, out));
  EXPECT_EQ(out, "second try");
  const auto requests = peer.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].raw, requests[1].raw);
  EXPECT_EQ(peer.Connections(), 2);
}

// The printer closes the connection after an answer. The next exchange finds
// the connection gone and fails without sending; the connection is made
// again at once, so the exchange after it works.
TEST(TcpConnector, DropBetweenExchangesCostsOneExchangeNotTheConnection) {
  test::ScriptedPeer peer([](const PeerRequest& r, int index) {
    return Reply {{AnswerFrame(r.seq, r.cmd, "n" + std::to_string(index)), 0, /*dropAfter=*/index == 0}};
  });
  auto e = EngineOverTcp(peer.Port());
  ASSERT_EQ(e->SERIAL_CONNECTION->Open(), 0);
  AnsiString in, out;
  ASSERT_TRUE(e->CUSTOM_CMD_1(0x21, in, out));
  EXPECT_EQ(out, "n0");
  ASSERT_TRUE(peer.WaitForRequests(1, 1000));
  usleep(100000);  // let the close arrive
  EXPECT_FALSE(e->CUSTOM_CMD_1(0x21, in, out));
  EXPECT_TRUE(e->CUSTOM_CMD_1(0x21, in, out));
  EXPECT_EQ(out, "n1");
  EXPECT_EQ(peer.Requests().size(), 2u) << "the failed exchange sent nothing";
}

TEST(TcpConnector, CreateTcpTwiceReplacesTheClient) {
  test::ScriptedPeer first(test::AnswerWith("first"));
  test::ScriptedPeer second(test::AnswerWith("second"));
  auto e = EngineOverTcp(first.Port());
  auto& c = *e->SERIAL_CONNECTION;
  ASSERT_EQ(c.Open(), 0);
  c.CREATE_TCP("127.0.0.1", second.Port());
  EXPECT_FALSE(c.Active()) << "the old client was disconnected";
  c.FP_TCP->TCP_Client->ReadTimeout = 150;
  ASSERT_EQ(c.Open(), 0);
  AnsiString in, out;
  EXPECT_TRUE(e->CUSTOM_CMD_1(0x21, in, out));
  EXPECT_EQ(out, "second");
}

TEST(TcpConnector, SilentPrinterFailsBothAttempts) {
  test::ScriptedPeer peer([](const PeerRequest&, int) { return Reply {}; });
  auto e = EngineOverTcp(peer.Port());
  ASSERT_EQ(e->SERIAL_CONNECTION->Open(), 0);
  AnsiString in, out;
  EXPECT_FALSE(e->CUSTOM_CMD_1(0x21, in, out));
  EXPECT_EQ(peer.Requests().size(), 2u);
  EXPECT_EQ(peer.Connections(), 1) << "a silent but connected printer is not reconnected";
}

TEST(TcpConnector, StaleBytesAreDiscardedBeforeTheNextAttempt) {
  test::ScriptedPeer peer([](const PeerRequest& r, int index) {
    if (index == 0) return Reply {{AnswerFrame(r.seq, r.cmd, "old")}, {AnswerFrame(r.seq, r.cmd, "extra")}};
    return Reply {{AnswerFrame(r.seq, r.cmd, "new")}};
  });
  auto e = EngineOverTcp(peer.Port());
  ASSERT_EQ(e->SERIAL_CONNECTION->Open(), 0);
  AnsiString in, out;
  ASSERT_TRUE(e->CUSTOM_CMD_1(0x21, in, out));
  usleep(50000);
  ASSERT_TRUE(e->CUSTOM_CMD_1(0x21, in, out));
  EXPECT_EQ(out, "new") << "the stray second frame was not taken for the answer";
}

}  // namespace
}  // namespace orbantis
