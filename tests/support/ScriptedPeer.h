// A scripted printer for transport and engine tests.
//
// It plays the printer's side of a pseudo-terminal or of a loopback TCP
// connection: every request frame it reads is handed to the script, and the
// script's reply (bytes, pauses, a dropped connection) goes back on the wire.
// Its frame code is written independently of the engine's, so a mistake the
// two would share cannot hide.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orbantis::test {

using Bytes = std::vector<std::uint8_t>;

struct PeerRequest {
  std::uint8_t seq = 0;
  std::uint8_t cmd = 0;
  std::string data;
  Bytes raw;           // the whole frame as received
  bool valid = false;  // length, postamble, check sum and terminator are right
};

struct ReplyPart {
  Bytes bytes;
  int delayMs = 0;           // pause before these bytes
  bool dropAfter = false;    // TCP: close the connection after these bytes
};
using Reply = std::vector<ReplyPart>;

// index counts the requests from 0.
using Script = std::function<Reply(const PeerRequest& request, int index)>;

using Status = std::array<std::uint8_t, 6>;

// An answer frame for request: 01, 2Bh+n, SEQ, CMD, data, 04, status, 05,
// check sum, 03.
Bytes AnswerFrame(std::uint8_t seq, std::uint8_t cmd, const std::string& data, const Status& status = {});
Bytes RequestFrame(std::uint8_t seq, std::uint8_t cmd, const std::string& data);
// The script most tests start from: answer every request with data.
Script AnswerWith(const std::string& data, const Status& status = {});

std::string Hex(const Bytes& bytes);

class ScriptedPeer {
 public:
  // Plays the printer on fd (the master side of a pseudo-terminal).
  ScriptedPeer(int fd, Script script);
  // Listens on 127.0.0.1 (Port() tells where) and serves one connection
  // after another.
  explicit ScriptedPeer(Script script);
  ~ScriptedPeer();
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  int Port() const { return FPort; }
  std::vector<PeerRequest> Requests();
  // Every byte received, request frames and anything else.
  Bytes Received();
  int Connections() const { return FConnections; }
  // Waits until n requests arrived or ms passed.
  bool WaitForRequests(std::size_t n, int ms);

 private:
  void serve(int fd);
  void runPty(int fd);
  void runTcp();
  void onBytes(int fd, const std::uint8_t* p, std::size_t n, bool& drop);

  Script FScript;
  std::atomic<bool> FStop {false};
  int FListen = -1;
  int FPort = 0;
  std::atomic<int> FConnections {0};
  std::mutex FLock;
  std::condition_variable FChanged;
  std::vector<PeerRequest> FRequests;
  Bytes FReceived;
  Bytes FPending;
  std::thread FThread;
};

}  // namespace orbantis::test
