// The emulator's wires: a pseudo-terminal that a driver opens like a serial port, and a TCP
// listener on 127.0.0.1. POSIX only. Every wait can be cut short by a Waker, so stopping never
// hangs on a silent peer.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace orbantis::emulator {

// A self-pipe: notify() wakes every wait that includes it.
class Waker {
 public:
  Waker();
  ~Waker();
  Waker(const Waker&) = delete;
  Waker& operator=(const Waker&) = delete;
  void notify();
  bool notified() const;
  int fd() const { return pipe_[0]; }
  // Sleeps until the deadline; false when woken first.
  bool sleepUntil(std::chrono::steady_clock::time_point deadline) const;

 private:
  int pipe_[2] = {-1, -1};
};

// One open byte stream: a pty master or a TCP connection.
struct Link {
  int fd = -1;
  bool socket = false;
};

enum class ReadResult { data, timeout, closed };

// Waits up to `timeout` for bytes; `got` is how many arrived.
ReadResult readSome(const Link& link, char* buffer, std::size_t size, std::size_t& got,
                    std::chrono::milliseconds timeout, const Waker& waker);

// Writes all bytes; false when the peer is gone, the wait was cut short, or a full pty input
// queue would not take them within a second (a pty has no peer to tell us it is gone).
bool writeAll(const Link& link, std::string_view bytes, const Waker& waker);

class PtyPort {
 public:
  // Opens a pseudo-terminal in raw mode; with a link path, also a symlink to its device.
  // Throws std::system_error.
  explicit PtyPort(const std::string& linkPath = {});
  ~PtyPort();
  PtyPort(const PtyPort&) = delete;
  PtyPort& operator=(const PtyPort&) = delete;

  const std::string& devicePath() const { return path_; }
  Link link() const { return {master_, false}; }

 private:
  int master_ = -1;
  int slave_ = -1;  // held open so the master never sees a hang-up between two clients
  std::string path_;
  std::string linkPath_;
};

class TcpListener {
 public:
  // Listens on 127.0.0.1:port; port 0 picks a free one. Throws std::system_error.
  explicit TcpListener(std::uint16_t port);
  ~TcpListener();
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  std::uint16_t port() const { return port_; }
  // Waits for the next client; -1 on time-out or wake-up.
  int accept(std::chrono::milliseconds timeout, const Waker& waker);

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace orbantis::emulator
