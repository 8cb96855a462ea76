// The TCP side of the connector, against a scripted printer on loopback.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "printer_model/TFP_ZORVIK.h"
#include "support/FreePort.h"
#include "support/ScriptedPeer.h"
#include "uCONNECTOR/TcpClient.h"

namespace orbantis {
namespace {

using test::AnswerFrame;
using test::PeerRequest;
using test::Reply;


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
  auto e = EngineOverTcp(test::FreePort());
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

// A peer that sends without pause, bounded in bytes and time so that it
// always stops by itself. It counts what it managed to send.
class FloodingPeer {
 public:
  static constexpr std::size_t kLimit = 256u * 1024 * 1024;

  FloodingPeer() {
    FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(FListen, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(FListen, 1);
    socklen_t len = sizeof a;
    ::getsockname(FListen, reinterpret_cast<sockaddr*>(&a), &len);
    FPort = ntohs(a.sin_port);
    FThread = std::thread([this] { run(); });
  }
  ~FloodingPeer() {
    if (FThread.joinable()) FThread.join();
    ::close(FListen);
  }
  int Port() const { return FPort; }
  // Waits for the peer to stop; the bytes it sent.
  std::size_t Sent() {
    if (FThread.joinable()) FThread.join();
    return FSent;
  }

 private:
  void run() {
    const int fd = ::accept(FListen, nullptr, nullptr);
    if (fd < 0) return;
    timeval wait {0, 200000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    std::vector<char> chunk(64 * 1024, 0x16);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (FSent < kLimit && std::chrono::steady_clock::now() < end) {
      const ssize_t n = ::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL);
      if (n > 0) FSent += static_cast<std::size_t>(n);
      else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) break;  // the client closed
    }
    ::close(fd);
  }
  int FListen = -1;
  int FPort = 0;
  std::size_t FSent = 0;
  std::thread FThread;
};

// Discarding stale input is bounded: a peer that streams without pause
// fails the exchange (the caller's text then asks to check the link)
// instead of holding the worker and growing its memory for as long as the
// stream lasts.
TEST(TcpConnector, APeerThatSendsWithoutPauseFailsTheExchangeAndIsNotReadOn) {
  FloodingPeer peer;
  {
    auto e = EngineOverTcp(peer.Port());
    ASSERT_EQ(e->SERIAL_CONNECTION->Open(), 0);
    AnsiString in, out;
    EXPECT_FALSE(e->CUSTOM_CMD_1(0x21, in, out));
    EXPECT_EQ(e->FLastErrorMessage, "") << "no status text: the link is what failed";
    EXPECT_LE(e->SERIAL_CONNECTION->FP_TCP->TCP_Client->BufferedInput(), TcpClient::kMaxBufferedInput);
  }
  // What the driver read, plus what the two socket buffers held, is far
  // below what the peer would have sent to a reader that never stops.
  EXPECT_LT(peer.Sent(), 64u * 1024 * 1024);
}

// The name lookup counts against the connect time-out.
TEST(TcpConnector, ASlowNameLookupEndsWithinTheConnectTimeOut) {
  TcpClient client;
  client.Host = "printer.invalid";
  client.Port = 4999;
  client.ConnectTimeout = 200;
  client.Resolve = [](const std::string&, const std::string&, addrinfo**) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    return EAI_AGAIN;
  };
  try {
    client.Connect();
    ADD_FAILURE() << "connected";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Name lookup of printer.invalid did not finish within 200 ms.");
  }
  EXPECT_FALSE(client.Connected());

  // A lookup that fails at once says so, as before.
  client.Resolve = [](const std::string&, const std::string&, addrinfo**) { return EAI_NONAME; };
  try {
    client.Connect();
    ADD_FAILURE() << "connected";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message.rfind("Cannot resolve printer.invalid: ", 0), 0u) << e.Message;
  }
}

}  // namespace
}  // namespace orbantis
