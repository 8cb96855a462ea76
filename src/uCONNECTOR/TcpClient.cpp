#include "uCONNECTOR/TcpClient.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "foundation/Clock.h"
#include "foundation/Strings.h"
#include "uCONNECTOR/Socket.h"

namespace orbantis {
namespace {

int systemResolve(const std::string& host, const std::string& service, addrinfo** result) {
  return sock::Resolve(host, service, false, result);
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
  addrinfo* list = nullptr;
  if (sock::Resolve(Host, service, true, &list) == 0) return list;

  auto pending = std::make_shared<PendingLookup>();
  Resolver resolve = Resolve ? Resolve : Resolver(systemResolve);
  std::thread([pending, resolve, host = Host, service] {
    addrinfo* found = nullptr;
    const int error = resolve(host, service, &found);
    std::lock_guard<std::mutex> guard(pending->lock);
    if (pending->abandoned) {
      if (found != nullptr) sock::FreeAddresses(found);
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
    if (pending->list != nullptr) sock::FreeAddresses(pending->list);
    throw Exception("Cannot resolve " + Host + ": " + sock::ResolveErrorText(pending->error));
  }
  return pending->list;
}

TcpClient::~TcpClient() { Disconnect(); }

void TcpClient::Connect() {
  if (FSocket != sock::kInvalid) return;
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
  for (addrinfo* a = list; a != nullptr; a = sock::NextAddress(a)) {
    const sock::Handle h = sock::Open(a);
    if (h == sock::kInvalid) {
      lastError = "socket: " + sock::LastErrorText();
      continue;
    }
    std::string failure;
    const int started = sock::StartConnect(h, a);
    if (started < 0) {
      failure = sock::LastErrorText();
    } else if (started == 1) {
      long left = ConnectTimeout - static_cast<long>(GetTickCount64() - start);
      if (left < 0) left = 0;
      const int ready = sock::Poll(h, sock::Wait::Write, static_cast<int>(left));
      if (ready == 1)
        failure = sock::ConnectError(h);
      else if (ready == 0)
        failure = "Connection timed out";
      else
        failure = sock::LastErrorText();
    }
    if (failure.empty()) {
      sock::SetNoDelay(h, !UseNagle);
      FSocket = h;
      FInput.clear();
      FInputPos = 0;
      sock::FreeAddresses(list);
      return;
    }
    lastError = "Cannot connect to " + Host + ":" + service + ": " + failure;
    sock::Close(h);
  }
  sock::FreeAddresses(list);
  LastError = lastError;
  throw Exception(lastError);
}

void TcpClient::Disconnect() {
  if (FSocket != sock::kInvalid) {
    sock::Close(FSocket);
    FSocket = sock::kInvalid;
  }
  FInput.clear();
  FInputPos = 0;
}

bool TcpClient::fill(int ms) {
  if (FSocket == sock::kInvalid) return false;
  if (ms > 0 && sock::Poll(FSocket, sock::Wait::Read, ms) <= 0) return true;
  std::uint8_t chunk[4096];
  while (buffered() < kMaxBufferedInput) {
    if (FInputPos == FInput.size()) {
      FInput.clear();
      FInputPos = 0;
    }
    const std::size_t room = std::min(sizeof chunk, kMaxBufferedInput - buffered());
    const long n = sock::Receive(FSocket, chunk, room);
    if (n > 0) {
      FInput.insert(FInput.end(), chunk, chunk + n);
      if (static_cast<std::size_t>(n) < room) return true;
      continue;
    }
    return n == -1;  // nothing more yet; 0 (closed) and -2 (error) end the connection
  }
  return true;  // full: the rest waits in the socket
}

bool TcpClient::Connected() {
  if (FSocket == sock::kInvalid) return false;
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
    if (FSocket == sock::kInvalid) throw Exception("Not connected.");
    if (buffered() > 0) {
      std::size_t take = std::min(count - got, buffered());
      std::memcpy(buffer + got, FInput.data() + FInputPos, take);
      FInputPos += take;
      got += take;
      continue;
    }
    int r = sock::Poll(FSocket, sock::Wait::Read, ReadTimeout < 0 ? -1 : ReadTimeout);
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
    if (FSocket == sock::kInvalid) throw Exception("Not connected.");
    const long n = sock::Send(FSocket, buffer + sent, count - sent);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n == -1) {
      if (sock::Poll(FSocket, sock::Wait::Write, ReadTimeout < 0 ? -1 : ReadTimeout) <= 0)
        throw Exception("Write timed out.");
      continue;
    }
    std::string text = "Write failed: " + sock::LastErrorText();
    Disconnect();
    throw Exception(text);
  }
}

bool TcpClient::InputBufferIsEmpty() {
  if (buffered() > 0) return false;
  if (FSocket == sock::kInvalid) return true;
  return sock::Pending(FSocket) == 0;
}

void TcpClient::DiscardInput() {
  FInput.clear();
  FInputPos = 0;
  if (FSocket == sock::kInvalid) return;
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
  if (FSocket == sock::kInvalid) return false;
  fill(ms);
  return buffered() > 0;
}

}  // namespace orbantis
