// A small blocking TCP client with time-outs and a buffered input side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orbantis {

class TcpClient {
 public:
  TcpClient() = default;
  ~TcpClient();
  TcpClient(const TcpClient&) = delete;
  TcpClient& operator=(const TcpClient&) = delete;

  std::string Host;
  int Port = 0;
  int ConnectTimeout = 10000;  // ms
  int ReadTimeout = 10000;     // ms; also bounds a write that cannot proceed
  bool UseNagle = true;

  // Raises Exception when the host cannot be reached in ConnectTimeout.
  void Connect();
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
  void DiscardInput();
  // Waits up to ms for input to arrive; true when some is there.
  bool CheckForDataOnSource(int ms);

 private:
  // Moves what the socket holds into the buffer, waiting up to ms (0: do not
  // wait). Returns false when the peer closed the connection.
  bool fill(int ms);
  std::size_t buffered() const { return FInput.size() - FInputPos; }

  int FSocket = -1;
  std::vector<std::uint8_t> FInput;
  std::size_t FInputPos = 0;
};

}  // namespace orbantis
