// Sockets on Windows (Winsock 2).
#include "uCONNECTOR/Socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "foundation/Win32Text.h"

namespace orbantis::sock {
namespace {

// Winsock is started once, on first use, and left to the end of the process.
bool started() {
  static const bool ok = [] {
    WSADATA data {};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ok;
}

SOCKET native(Handle h) { return static_cast<SOCKET>(h); }

}  // namespace

int Resolve(const std::string& host, const std::string& service, bool numericOnly, addrinfo** result) {
  if (!started()) return EAI_FAIL;
  addrinfo hints {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  if (numericOnly) hints.ai_flags = AI_NUMERICHOST;
  return ::getaddrinfo(host.c_str(), service.c_str(), &hints, result);
}

void FreeAddresses(addrinfo* list) {
  if (list != nullptr) ::freeaddrinfo(list);
}

addrinfo* NextAddress(const addrinfo* a) { return a->ai_next; }

std::string ResolveErrorText(int error) { return win32::ErrorText(static_cast<DWORD>(error)); }

Handle Open(const addrinfo* a) {
  if (!started()) return kInvalid;
  SOCKET s = ::WSASocketW(a->ai_family, a->ai_socktype, a->ai_protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return kInvalid;
  u_long nonBlocking = 1;
  if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    ::closesocket(s);
    return kInvalid;
  }
  return static_cast<Handle>(s);
}

int StartConnect(Handle h, const addrinfo* a) {
  if (::connect(native(h), a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0) return 0;
  const int error = ::WSAGetLastError();
  return (error == WSAEWOULDBLOCK || error == WSAEINPROGRESS) ? 1 : -1;
}

std::string ConnectError(Handle h) {
  int err = 0;
  int len = sizeof err;
  if (::getsockopt(native(h), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0)
    err = ::WSAGetLastError();
  return err == 0 ? std::string() : win32::ErrorText(static_cast<DWORD>(err));
}

int Poll(Handle h, Wait what, int ms) {
  // A failed connect shows in the exception set, not the write set.
  fd_set readable, writable, failed;
  FD_ZERO(&readable);
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  if (what == Wait::Read)
    FD_SET(native(h), &readable);
  else
    FD_SET(native(h), &writable);
  FD_SET(native(h), &failed);
  timeval limit {ms / 1000, (ms % 1000) * 1000};
  const int r = ::select(0, &readable, &writable, &failed, ms < 0 ? nullptr : &limit);
  return r == SOCKET_ERROR ? -1 : (r == 0 ? 0 : 1);
}

long Receive(Handle h, std::uint8_t* buffer, std::size_t size) {
  const int n = ::recv(native(h), reinterpret_cast<char*>(buffer), static_cast<int>(size), 0);
  if (n >= 0) return n;
  return ::WSAGetLastError() == WSAEWOULDBLOCK ? -1 : -2;
}

long Send(Handle h, const std::uint8_t* buffer, std::size_t size) {
  const int n = ::send(native(h), reinterpret_cast<const char*>(buffer), static_cast<int>(size), 0);
  if (n >= 0) return n;
  return ::WSAGetLastError() == WSAEWOULDBLOCK ? -1 : -2;
}

std::size_t Pending(Handle h) {
  u_long pending = 0;
  if (::ioctlsocket(native(h), FIONREAD, &pending) != 0) return 0;
  return pending;
}

void SetNoDelay(Handle h, bool on) {
  const BOOL value = on ? TRUE : FALSE;
  ::setsockopt(native(h), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&value), sizeof value);
}

void Close(Handle h) {
  if (h != kInvalid) ::closesocket(native(h));
}

std::string LastErrorText() { return win32::ErrorText(static_cast<DWORD>(::WSAGetLastError())); }

}  // namespace orbantis::sock
