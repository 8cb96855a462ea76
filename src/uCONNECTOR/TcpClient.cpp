#include "uCONNECTOR/TcpClient.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "foundation/Clock.h"
#include "foundation/Strings.h"

namespace orbantis {
namespace {

int pollOne(int fd, short events, int ms) {
  pollfd p {fd, events, 0};
  while (true) {
    int r = ::poll(&p, 1, ms);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return r;
    return 1;
  }
}

std::string errnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

int systemResolve(const std::string& host, const std::string& service, addrinfo** result) {
  addrinfo hints {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  return ::getaddrinfo(host.c_str(), service.c_str(), &hints, result);
}

// A lookup that may outlive the Connect that started it: whoever comes last
// frees the result.
struct PendingLookup {
  std::mutex lock;
  std::condition_variable done;
  bool finished = false;
  bool abandoned = false;
  int error = 0;
  addrinfo* list = nullptr;
};

}  // namespace

addrinfo* TcpClient::lookup(const std::string& service, int ms) {
  // A numeric address needs no resolver and never waits.
  addrinfo hints {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST;
  addrinfo* list = nullptr;
  if (::getaddrinfo(Host.c_str(), service.c_str(), &hints, &list) == 0) return list;

  auto pending = std::make_shared<PendingLookup>();
  Resolver resolve = Resolve ? Resolve : Resolver(systemResolve);
  std::thread([pending, resolve, host = Host, service] {
    addrinfo* found = nullptr;
    const int error = resolve(host, service, &found);
    std::lock_guard<std::mutex> guard(pending->lock);
    if (pending->abandoned) {
      if (found != nullptr) ::freeaddrinfo(found);
      return;
    }
    pending->error = error;
    pending->list = found;
    pending->finished = true;
    pending->done.notify_all();
  }).detach();

  std::unique_lock<std::mutex> guard(pending->lock);
  if (!pending->done.wait_for(guard, std::chrono::milliseconds(std::max(0, ms)), [&] { return pending->finished; })) {
    pending->abandoned = true;
    throw Exception("Name lookup of " + Host + " did not finish within " + std::to_string(ms) + " ms.");
  }
  if (pending->error != 0) {
    if (pending->list != nullptr) ::freeaddrinfo(pending->list);
    throw Exception("Cannot resolve " + Host + ": " + ::gai_strerror(pending->error));
  }
  return pending->list;
}

TcpClient::~TcpClient() { Disconnect(); }

void TcpClient::Connect() {
  if (FSocket >= 0) return;
  const std::string service = std::to_string(Port);
  const std::uint64_t start = GetTickCount64();
  LastError.clear();
  addrinfo* list = nullptr;
  try {
    list = lookup(service, ConnectTimeout);
  } catch (const Exception& e) {
    LastError = e.Message;
    throw;
  }

  std::string lastError = "Cannot connect to " + Host + ":" + service;
  for (addrinfo* a = list; a != nullptr; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
    if (fd < 0) {
      lastError = errnoText("socket");
      continue;
    }
    int r = ::connect(fd, a->ai_addr, a->ai_addrlen);
    if (r != 0 && errno == EINPROGRESS) {
      long left = ConnectTimeout - static_cast<long>(GetTickCount64() - start);
      if (left < 0) left = 0;
      if (pollOne(fd, POLLOUT, static_cast<int>(left)) == 1) {
        int err = 0;
        socklen_t len = sizeof err;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        r = err == 0 ? 0 : -1;
        errno = err;
      } else {
        r = -1;
        errno = ETIMEDOUT;
      }
    }
    if (r == 0) {
      int noDelay = UseNagle ? 0 : 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
      FSocket = fd;
      FInput.clear();
      FInputPos = 0;
      ::freeaddrinfo(list);
      return;
    }
    lastError = errnoText("Cannot connect to " + Host + ":" + service);
    ::close(fd);
  }
  ::freeaddrinfo(list);
  LastError = lastError;
  throw Exception(lastError);
}

void TcpClient::Disconnect() {
  if (FSocket >= 0) {
    ::close(FSocket);
    FSocket = -1;
  }
  FInput.clear();
  FInputPos = 0;
}

bool TcpClient::fill(int ms) {
  if (FSocket < 0) return false;
  if (ms > 0 && pollOne(FSocket, POLLIN, ms) <= 0) return true;
  std::uint8_t chunk[4096];
  while (buffered() < kMaxBufferedInput) {
    if (FInputPos == FInput.size()) {
      FInput.clear();
      FInputPos = 0;
    }
    const std::size_t room = std::min(sizeof chunk, kMaxBufferedInput - buffered());
    ssize_t n = ::recv(FSocket, chunk, room, MSG_DONTWAIT);
    if (n > 0) {
      FInput.insert(FInput.end(), chunk, chunk + n);
      if (static_cast<std::size_t>(n) < room) return true;
      continue;
    }
    if (n == 0) return false;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
    return false;
  }
  return true;  // full: the rest waits in the socket
}

bool TcpClient::Connected() {
  if (FSocket < 0) return false;
  if (buffered() > 0) return true;
  if (!fill(0)) {
    if (buffered() > 0) return true;
    Disconnect();
    return false;
  }
  return true;
}

std::uint8_t TcpClient::ReadByte() {
  std::uint8_t b = 0;
  ReadBytes(&b, 1);
  return b;
}

void TcpClient::ReadBytes(std::uint8_t* buffer, std::size_t count) {
  std::size_t got = 0;
  while (got < count) {
    if (FSocket < 0) throw Exception("Not connected.");
    if (buffered() > 0) {
      std::size_t take = std::min(count - got, buffered());
      std::memcpy(buffer + got, FInput.data() + FInputPos, take);
      FInputPos += take;
      got += take;
      continue;
    }
    int r = pollOne(FSocket, POLLIN, ReadTimeout < 0 ? -1 : ReadTimeout);
    if (r == 0) throw Exception("Read timed out.");
    if (r < 0 || !fill(0)) {
      Disconnect();
      throw Exception("Connection closed gracefully.");
    }
  }
}

void TcpClient::Write(const std::uint8_t* buffer, std::size_t count) {
  std::size_t sent = 0;
  while (sent < count) {
    if (FSocket < 0) throw Exception("Not connected.");
    ssize_t n = ::send(FSocket, buffer + sent, count - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (pollOne(FSocket, POLLOUT, ReadTimeout < 0 ? -1 : ReadTimeout) <= 0) throw Exception("Write timed out.");
      continue;
    }
    std::string text = errnoText("Write failed");
    Disconnect();
    throw Exception(text);
  }
}

bool TcpClient::InputBufferIsEmpty() {
  if (buffered() > 0) return false;
  if (FSocket < 0) return true;
  int pending = 0;
  if (::ioctl(FSocket, FIONREAD, &pending) == 0 && pending > 0) return false;
  return true;
}

void TcpClient::DiscardInput() {
  FInput.clear();
  FInputPos = 0;
  if (FSocket < 0) return;
  // Stale bytes already in the socket (the rest of an answer given up on)
  // must not be taken for the next answer. A printer sends a few hundred
  // bytes; a peer that keeps a full buffer coming is not a printer talking,
  // and the exchange is given up rather than the worker held.
  const std::uint64_t start = GetTickCount64();
  std::size_t dropped = 0;
  while (true) {
    const bool open = fill(0);
    const std::size_t got = buffered();
    dropped += got;
    FInput.clear();
    FInputPos = 0;
    if (!open || got < kMaxBufferedInput) return;
    if (dropped >= kMaxDiscardBytes || GetTickCount64() - start >= static_cast<std::uint64_t>(kMaxDiscardMs))
      throw Exception("The peer at " + Host + ":" + std::to_string(Port) + " sends without pause (" +
                      std::to_string(dropped) + " bytes discarded); the exchange was given up.");
  }
}

bool TcpClient::CheckForDataOnSource(int ms) {
  if (buffered() > 0) return true;
  if (FSocket < 0) return false;
  fill(ms);
  return buffered() > 0;
}

}  // namespace orbantis
