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
  // True when the calling thread holds the gate, or holds it in its
  // holder's stead (the gate is lent: see LentGate).
  bool HeldHere() {
    std::lock_guard<std::mutex> guard(FLock);
    return FTaken && (FOwner == std::this_thread::get_id() || FLent);
  }
  void Lend(bool lent) {
    std::lock_guard<std::mutex> guard(FLock);
    FLent = lent;
  }

 private:
  std::mutex FLock;
  std::condition_variable FFree;
  bool FTaken = false;
  bool FLent = false;
  std::thread::id FOwner;
};

// While the holder waits for work it handed to another thread (the logo
// form's transfers run on a thread of the form's), that thread's events open
// the gate as the holder's own would: a client calling back from its handler
// is served, and the work goes on only once that call is done.
class LentGate {
 public:
  LentGate(ObjectGate& gate, bool lend) : FGate(gate), FLend(lend) {
    if (FLend) FGate.Lend(true);
  }
  ~LentGate() {
    if (FLend) FGate.Lend(false);
  }
  LentGate(const LentGate&) = delete;
  LentGate& operator=(const LentGate&) = delete;

 private:
  ObjectGate& FGate;
  bool FLend;
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
