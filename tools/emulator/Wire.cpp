#include "Wire.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace orbantis::emulator {

namespace {

[[noreturn]] void fail(const std::string& what) { throw std::system_error(errno, std::generic_category(), what); }

int remainingMs(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

void setNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

}  // namespace

Waker::Waker() {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) fail("pipe");
}

Waker::~Waker() {
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

void Waker::notify() {
  const char c = 1;
  [[maybe_unused]] auto n = ::write(pipe_[1], &c, 1);
}

bool Waker::notified() const {
  pollfd p{pipe_[0], POLLIN, 0};
  return ::poll(&p, 1, 0) > 0;
}

bool Waker::sleepUntil(std::chrono::steady_clock::time_point deadline) const {
  // Nanosecond waits: at 115200 baud a byte lasts 87 us, and a wait rounded
  // up to whole milliseconds would stretch every answer far past its wire time.
  for (;;) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::nanoseconds(0)) return true;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    pollfd p{pipe_[0], POLLIN, 0};
    const int r = ::ppoll(&p, 1, &ts, nullptr);
    if (r > 0) return false;
    if (r == 0) return true;
    if (errno != EINTR) return false;
  }
}

ReadResult readSome(const Link& link, char* buffer, std::size_t size, std::size_t& got,
                    std::chrono::milliseconds timeout, const Waker& waker) {
  got = 0;
  pollfd fds[2] = {{link.fd, POLLIN, 0}, {waker.fd(), POLLIN, 0}};
  const int r = ::poll(fds, 2, static_cast<int>(timeout.count()));
  if (r < 0) return errno == EINTR ? ReadResult::timeout : ReadResult::closed;
  if (fds[1].revents != 0) return ReadResult::closed;
  if (r == 0) return ReadResult::timeout;
  const ssize_t n = ::read(link.fd, buffer, size);
  if (n > 0) {
    got = static_cast<std::size_t>(n);
    return ReadResult::data;
  }
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return ReadResult::timeout;
  return ReadResult::closed;
}

bool writeAll(const Link& link, std::string_view bytes, const Waker& waker) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (!bytes.empty()) {
    const ssize_t n = link.socket ? ::send(link.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL)
                                  : ::write(link.fd, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;
    pollfd fds[2] = {{link.fd, POLLOUT, 0}, {waker.fd(), POLLIN, 0}};
    if (::poll(fds, 2, remainingMs(deadline)) <= 0 || fds[1].revents != 0) return false;
  }
  return true;
}

PtyPort::PtyPort(const std::string& linkPath) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) fail("posix_openpt");
  char name[128];
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || ::ptsname_r(master_, name, sizeof name) != 0) {
    const int e = errno;
    ::close(master_);
    errno = e;
    fail("pseudo-terminal set-up");
  }
  path_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) {
    const int e = errno;
    ::close(master_);
    errno = e;
    fail("open " + path_);
  }
  // Raw bytes both ways: no echo, no line editing, no CR/LF translation, 8 data bits.
  termios t{};
  ::tcgetattr(slave_, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(slave_, TCSANOW, &t);
  setNonBlocking(master_);

  if (!linkPath.empty()) {
    struct stat st{};
    if (::lstat(linkPath.c_str(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        ::close(slave_);
        ::close(master_);
        errno = EEXIST;
        fail("link path exists and is not a symlink: " + linkPath);
      }
      ::unlink(linkPath.c_str());
    }
    if (::symlink(path_.c_str(), linkPath.c_str()) != 0) {
      const int e = errno;
      ::close(slave_);
      ::close(master_);
      errno = e;
      fail("symlink " + linkPath);
    }
    linkPath_ = linkPath;
  }
}

PtyPort::~PtyPort() {
  if (!linkPath_.empty()) {
    // Only our own link is removed; another emulator may have taken the path since.
    char target[256];
    const ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == path_) ::unlink(linkPath_.c_str());
  }
  ::close(slave_);
  ::close(master_);
}

TcpListener::TcpListener(std::uint16_t port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) fail("socket");
  const int one = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd_, 8) != 0) {
    const int e = errno;
    ::close(fd_);
    errno = e;
    fail("listen on 127.0.0.1:" + std::to_string(port));
  }
  socklen_t len = sizeof addr;
  ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
}

TcpListener::~TcpListener() { ::close(fd_); }

int TcpListener::accept(std::chrono::milliseconds timeout, const Waker& waker) {
  pollfd fds[2] = {{fd_, POLLIN, 0}, {waker.fd(), POLLIN, 0}};
  if (::poll(fds, 2, static_cast<int>(timeout.count())) <= 0 || fds[1].revents != 0) return -1;
  const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
  if (client < 0) return -1;
  // Answers are small and a driver waits for each one: send them at once.
  const int one = 1;
  ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return client;
}

}  // namespace orbantis::emulator
