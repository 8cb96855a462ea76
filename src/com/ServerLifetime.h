// When the COM server ends.
//
// Started by COM (-Embedding), it ends when its last object is released (2 s
// later, unless a new object comes in the meantime), and
// 30 s after start when no object was ever made. Windows releases the objects
// of a client that died (its COM ping); Wine has no ping, so there the server
// also ends when every object has been idle, with no call under way, for the
// idle time (HKCU\Software\ORBANTIS\IdleMinutes, default 60).
// Started by hand, it runs until Exit in the tray menu.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace orbantis::com {

class ServerLifetime {
 public:
  static ServerLifetime& Instance();

  // quit: ends the server's message loop (any thread).
  void Start(bool startedByCom, std::function<void()> quit);
  void Stop();

  // An object was made / released (CoAddRefServerProcess and its pair).
  void ObjectCreated();
  void ObjectReleased();
  void LockServer(bool lock);

  // Around every call, for the idle rule.
  void CallStarted();
  void CallEnded();

  std::int32_t Objects() const { return FObjects.load(); }
  // The server has decided to end: new objects are refused.
  bool Quitting() const { return FQuitting.load(); }
  // Waits until no call runs (each ends within its printer's time-outs), at
  // most ms; false when one still runs.
  bool WaitForCalls(int ms) const;
  bool StartedByCom() const { return FStartedByCom; }

  // True under Wine (no COM ping).
  static bool ComHasNoPing();
  // Minutes of idleness after which the server ends when COM has no ping.
  static std::uint32_t IdleMinutes();

 private:
  void quitOnce();
  void watch();
  void lastReferenceGone();

  bool FStartedByCom = false;
  std::function<void()> FQuit;
  std::atomic<std::int32_t> FObjects {0};
  std::atomic<std::int32_t> FLocks {0};  // LockServer(TRUE) not yet undone
  std::atomic<bool> FEverCreated {false};
  std::atomic<std::int32_t> FCallsUnderWay {0};
  std::atomic<std::uint64_t> FLastCallEnd {0};
  std::atomic<bool> FQuitting {false};
  std::atomic<std::uint64_t> FEndAt {0};  // when the server ends; 0: not planned
  std::mutex FLock;
  std::condition_variable FWake;
  bool FStopping = false;
  std::thread FWatchdog;
};

// Counts a call for the idle rule while it runs.
class CallScope {
 public:
  CallScope() { ServerLifetime::Instance().CallStarted(); }
  ~CallScope() { ServerLifetime::Instance().CallEnded(); }
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;
};

}  // namespace orbantis::com
