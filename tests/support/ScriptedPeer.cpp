#include "support/ScriptedPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

namespace orbantis::test {
namespace {

void appendCheckSum(Bytes& frame) {
  unsigned sum = 0;
  for (std::size_t i = 1; i < frame.size(); ++i) sum += frame[i];
  sum &= 0xFFFF;
  for (int shift = 12; shift >= 0; shift -= 4) frame.push_back(static_cast<std::uint8_t>(0x30 + ((sum >> shift) & 0xF)));
  frame.push_back(0x03);
}

void writeAll(int fd, const Bytes& bytes) {
  std::size_t off = 0;
  while (off < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + off, bytes.size() - off);
    if (n <= 0) return;
    off += static_cast<std::size_t>(n);
  }
}

}  // namespace

Bytes AnswerFrame(std::uint8_t seq, std::uint8_t cmd, const std::string& data, const Status& status) {
  Bytes f {0x01, static_cast<std::uint8_t>(0x2B + data.size()), seq, cmd};
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(0x04);
  f.insert(f.end(), status.begin(), status.end());
  f.push_back(0x05);
  appendCheckSum(f);
  return f;
}

Bytes RequestFrame(std::uint8_t seq, std::uint8_t cmd, const std::string& data) {
  Bytes f {0x01, static_cast<std::uint8_t>(0x24 + data.size()), seq, cmd};
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(0x05);
  appendCheckSum(f);
  return f;
}

Script AnswerWith(const std::string& data, const Status& status) {
  return [data, status](const PeerRequest& r, int) { return Reply {{AnswerFrame(r.seq, r.cmd, data, status)}}; };
}

std::string Hex(const Bytes& bytes) {
  std::string s;
  char buf[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, i == 0 ? "%02X" : " %02X", bytes[i]);
    s += buf;
  }
  return s;
}

ScriptedPeer::ScriptedPeer(int fd, Script script) : FScript(std::move(script)) {
  FThread = std::thread([this, fd] { runPty(fd); });
}

ScriptedPeer::ScriptedPeer(Script script) : FScript(std::move(script)) {
  FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  ::setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(FListen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(FListen, 4) != 0)
    throw std::runtime_error("listen");
  socklen_t len = sizeof a;
  ::getsockname(FListen, reinterpret_cast<sockaddr*>(&a), &len);
  FPort = ntohs(a.sin_port);
  FThread = std::thread([this] { runTcp(); });
}

ScriptedPeer::~ScriptedPeer() {
  FStop = true;
  if (FThread.joinable()) FThread.join();
  if (FListen >= 0) ::close(FListen);
}

std::vector<PeerRequest> ScriptedPeer::Requests() {
  std::lock_guard<std::mutex> g(FLock);
  return FRequests;
}

Bytes ScriptedPeer::Received() {
  std::lock_guard<std::mutex> g(FLock);
  return FReceived;
}

bool ScriptedPeer::WaitForRequests(std::size_t n, int ms) {
  std::unique_lock<std::mutex> g(FLock);
  return FChanged.wait_for(g, std::chrono::milliseconds(ms), [&] { return FRequests.size() >= n; });
}

void ScriptedPeer::runPty(int fd) { serve(fd); }

void ScriptedPeer::runTcp() {
  while (!FStop) {
    pollfd p {FListen, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    int fd = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++FConnections;
    {
      std::lock_guard<std::mutex> g(FLock);
      FPending.clear();
    }
    serve(fd);
    ::close(fd);
  }
}

void ScriptedPeer::serve(int fd) {
  std::uint8_t buf[512];
  while (!FStop) {
    pollfd p {fd, POLLIN, 0};
    int r = ::poll(&p, 1, 50);
    if (r <= 0) continue;
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) {
      if (n == 0 || (p.revents & (POLLHUP | POLLERR))) {
        // TCP: the client left; pty: nobody has the slave open right now.
        if (FListen >= 0) return;
        ::usleep(10000);
      }
      continue;
    }
    bool drop = false;
    onBytes(fd, buf, static_cast<std::size_t>(n), drop);
    if (drop) return;
  }
}

void ScriptedPeer::onBytes(int fd, const std::uint8_t* p, std::size_t n, bool& drop) {
  std::vector<std::pair<PeerRequest, int>> complete;
  {
    std::lock_guard<std::mutex> g(FLock);
    FReceived.insert(FReceived.end(), p, p + n);
    FPending.insert(FPending.end(), p, p + n);
    while (true) {
      std::size_t start = 0;
      while (start < FPending.size() && FPending[start] != 0x01) ++start;
      FPending.erase(FPending.begin(), FPending.begin() + static_cast<long>(start));
      if (FPending.size() < 2) break;
      const std::size_t total = static_cast<std::uint8_t>(FPending[1] - 0x24) + 10u;
      if (FPending.size() < total) break;
      PeerRequest req;
      req.raw.assign(FPending.begin(), FPending.begin() + static_cast<long>(total));
      FPending.erase(FPending.begin(), FPending.begin() + static_cast<long>(total));
      req.seq = req.raw[2];
      req.cmd = req.raw[3];
      req.data.assign(req.raw.begin() + 4, req.raw.end() - 6);
      Bytes check(req.raw.begin(), req.raw.end() - 5);
      appendCheckSum(check);
      req.valid = check == req.raw && req.raw[total - 6] == 0x05;
      FRequests.push_back(req);
      complete.emplace_back(req, static_cast<int>(FRequests.size()) - 1);
    }
  }
  FChanged.notify_all();
  for (const auto& [req, index] : complete) {
    for (const auto& part : FScript(req, index)) {
      for (int waited = 0; waited < part.delayMs && !FStop; waited += 5) ::usleep(5000);
      writeAll(fd, part.bytes);
      if (part.dropAfter) {
        drop = true;
        return;
      }
    }
  }
}

}  // namespace orbantis::test
