// A small blocking TCP client with time-outs and a buffered input side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct addrinfo;

namespace orbantis {

class TcpClient {
 public:
  // A printer's answer is a few hundred bytes: input is buffered up to this
  // much, and a peer that keeps the buffer full is not read further.
  static constexpr std::size_t kMaxBufferedInput = 64 * 1024;
  // Discarding stale input stops after this much, or this long: a peer that
  // sends without pause must not hold the worker or grow its memory.
  static constexpr std::size_t kMaxDiscardBytes = 1024 * 1024;
  static constexpr int kMaxDiscardMs = 250;

  // Name lookup: getaddrinfo's contract. It runs on a thread of its own so
  // that a slow resolver cannot hold Connect past ConnectTimeout; tests put
  // a slow one here.
  using Resolver = std::function<int(const std::string& host, const std::string& service, addrinfo** result)>;
  Resolver Resolve;

  TcpClient() = default;
  ~TcpClient();
  TcpClient(const TcpClient&) = delete;
  TcpClient& operator=(const TcpClient&) = delete;

  std::string Host;
  int Port = 0;
  int ConnectTimeout = 10000;  // ms
  int ReadTimeout = 10000;     // ms; also bounds a write that cannot proceed
  bool UseNagle = true;

  // Raises Exception when the host cannot be reached in ConnectTimeout; the
  // name lookup counts against it too. LastError keeps the reason.
  void Connect();
  std::string LastError;
  void Disconnect();
  // False once the peer closed or reset the connection (checked without
  // blocking), unless input it sent before is still buffered.
  bool Connected();

  // One byte, waiting up to ReadTimeout. Raises on time-out or a dropped
  // connection.
  std::uint8_t ReadByte();
  // Exactly count bytes, each wait bounded by ReadTimeout. Raises.
  void ReadBytes(std::uint8_t* buffer, std::size_t count);
  // Raises when the connection is gone or the data cannot leave in time.
  void Write(const std::uint8_t* buffer, std::size_t count);

  // Input received but not read yet (here or in the socket).
  bool InputBufferIsEmpty();
  // Drops what was received and not read. Raises when the peer keeps
  // sending past kMaxDiscardBytes or kMaxDiscardMs.
  void DiscardInput();
  // Bytes held in the input buffer now.
  std::size_t BufferedInput() const { return buffered(); }
  // Waits up to ms for input to arrive; true when some is there.
  bool CheckForDataOnSource(int ms);

 private:
  // Moves what the socket holds into the buffer, waiting up to ms (0: do not
  // wait), until the buffer holds kMaxBufferedInput. Returns false when the
  // peer closed the connection.
  bool fill(int ms);
  // The addresses of Host:Port within ms; raises on failure or time-out.
  addrinfo* lookup(const std::string& service, int ms);
  std::size_t buffered() const { return FInput.size() - FInputPos; }

  std::intptr_t FSocket = -1;  // a sock::Handle
  std::vector<std::uint8_t> FInput;
  std::size_t FInputPos = 0;
};

}  // namespace orbantis
