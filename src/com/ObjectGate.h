// One call at a time on an automation object, as its worker does on Linux:
// the calls of one client wait for each other, never for another object's
// printer. While the object fires an event, the gate opens: a client that
// calls back from its event handler (GetLastErrorMessage inside ON_ERROR,
// as tills do) must not wait for the call that is waiting for it.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace orbantis::com {

class ObjectGate {
 public:
  void Enter() {
    std::unique_lock<std::mutex> guard(FLock);
    FFree.wait(guard, [&] { return !FTaken; });
    FTaken = true;
    FOwner = std::this_thread::get_id();
  }
  void Leave() {
    {
      std::lock_guard<std::mutex> guard(FLock);
      FTaken = false;
      FOwner = {};
    }
    FFree.notify_one();
  }
  // True when the calling thread holds the gate.
  bool HeldHere() {
    std::lock_guard<std::mutex> guard(FLock);
    return FTaken && FOwner == std::this_thread::get_id();
  }

 private:
  std::mutex FLock;
  std::condition_variable FFree;
  bool FTaken = false;
  std::thread::id FOwner;
};

class GateScope {
 public:
  explicit GateScope(ObjectGate& gate) : FGate(gate) { FGate.Enter(); }
  ~GateScope() { FGate.Leave(); }
  GateScope(const GateScope&) = delete;
  GateScope& operator=(const GateScope&) = delete;

 private:
  ObjectGate& FGate;
};

// Opens the gate for the length of an event, when this thread holds it.
class GateOpenedForEvent {
 public:
  explicit GateOpenedForEvent(ObjectGate& gate) : FGate(gate), FWasHeld(gate.HeldHere()) {
    if (FWasHeld) FGate.Leave();
  }
  ~GateOpenedForEvent() {
    if (FWasHeld) FGate.Enter();
  }
  GateOpenedForEvent(const GateOpenedForEvent&) = delete;
  GateOpenedForEvent& operator=(const GateOpenedForEvent&) = delete;

 private:
  ObjectGate& FGate;
  bool FWasHeld;
};

}  // namespace orbantis::com
