// Sockets on POSIX.
#include "uCONNECTOR/Socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orbantis::sock {

int Resolve(const std::string& host, const std::string& service, bool numericOnly, addrinfo** result) {
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

std::string ResolveErrorText(int error) { return ::gai_strerror(error); }

Handle Open(const addrinfo* a) {
  const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
  return fd < 0 ? kInvalid : fd;
}

int StartConnect(Handle h, const addrinfo* a) {
  if (::connect(static_cast<int>(h), a->ai_addr, a->ai_addrlen) == 0) return 0;
  return errno == EINPROGRESS ? 1 : -1;
}

std::string ConnectError(Handle h) {
  int err = 0;
  socklen_t len = sizeof err;
  if (::getsockopt(static_cast<int>(h), SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
  return err == 0 ? std::string() : std::string(std::strerror(err));
}

int Poll(Handle h, Wait what, int ms) {
  pollfd p {static_cast<int>(h), static_cast<short>(what == Wait::Read ? POLLIN : POLLOUT), 0};
  while (true) {
    const int r = ::poll(&p, 1, ms);
    if (r < 0 && errno == EINTR) continue;
    return r < 0 ? -1 : (r == 0 ? 0 : 1);
  }
}

long Receive(Handle h, std::uint8_t* buffer, std::size_t size) {
  while (true) {
    const ssize_t n = ::recv(static_cast<int>(h), buffer, size, MSG_DONTWAIT);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    return (errno == EAGAIN || errno == EWOULDBLOCK) ? -1 : -2;
  }
}

long Send(Handle h, const std::uint8_t* buffer, std::size_t size) {
  while (true) {
    const ssize_t n = ::send(static_cast<int>(h), buffer, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    return (errno == EAGAIN || errno == EWOULDBLOCK) ? -1 : -2;
  }
}

std::size_t Pending(Handle h) {
  int pending = 0;
  if (::ioctl(static_cast<int>(h), FIONREAD, &pending) != 0 || pending < 0) return 0;
  return static_cast<std::size_t>(pending);
}

void SetNoDelay(Handle h, bool on) {
  const int value = on ? 1 : 0;
  ::setsockopt(static_cast<int>(h), IPPROTO_TCP, TCP_NODELAY, &value, sizeof value);
}

void Close(Handle h) {
  if (h != kInvalid) ::close(static_cast<int>(h));
}

std::string LastErrorText() { return std::strerror(errno); }

}  // namespace orbantis::sock
