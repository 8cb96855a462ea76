#include "com/ServerLifetime.h"

#include <objbase.h>
#include <windows.h>

#include "foundation/Clock.h"
#include "uErrLog/uErrLog.h"

namespace orbantis::com {

namespace {
constexpr std::uint64_t kNoObjectMs = 30000;
// After the last object, the server lingers this long before it ends. Wine
// keeps handing new requests to a server that is ending (it cannot suspend
// the class), and a till that releases its object and makes a new one at
// once would get an error; this way it gets the running server.
constexpr std::uint64_t kLingerMs = 2000;
}

ServerLifetime& ServerLifetime::Instance() {
  static ServerLifetime lifetime;
  return lifetime;
}

bool ServerLifetime::ComHasNoPing() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::uint32_t ServerLifetime::IdleMinutes() {
  DWORD value = 0, size = sizeof value;
  if (::RegGetValueW(HKEY_CURRENT_USER, L"Software\\ORBANTIS", L"IdleMinutes", RRF_RT_REG_DWORD, nullptr, &value,
                     &size) == ERROR_SUCCESS &&
      value > 0)
    return value;
  return 60;
}

void ServerLifetime::Start(bool startedByCom, std::function<void()> quit) {
  FStartedByCom = startedByCom;
  FQuit = std::move(quit);
  FLastCallEnd = GetTickCount64();
  if (FStartedByCom) FWatchdog = std::thread([this] { watch(); });
}

void ServerLifetime::Stop() {
  {
    std::lock_guard<std::mutex> guard(FLock);
    FStopping = true;
  }
  FWake.notify_all();
  if (FWatchdog.joinable()) FWatchdog.join();
}

void ServerLifetime::quitOnce() {
  if (FQuitting.exchange(true)) return;
  // The class object stops taking new requests at once: a client that asks
  // now gets a new server rather than this ending one.
  ::CoSuspendClassObjects();
  if (FQuit) FQuit();
}

void ServerLifetime::ObjectCreated() {
  ::CoAddRefServerProcess();
  FEndAt = 0;
  FEverCreated = true;
  ++FObjects;
}

void ServerLifetime::ObjectReleased() {
  --FObjects;
  if (::CoReleaseServerProcess() == 0) lastReferenceGone();
}

void ServerLifetime::LockServer(bool lock) {
  if (lock) {
    ::CoAddRefServerProcess();
    ++FLocks;
    FEverCreated = true;  // a client that locks the server means to use it
    FEndAt = 0;
  } else {
    --FLocks;
    if (::CoReleaseServerProcess() == 0) lastReferenceGone();
  }
}

bool ServerLifetime::WaitForCalls(int ms) const {
  for (int waited = 0; FCallsUnderWay > 0 && waited < ms; waited += 50) ::Sleep(50);
  return FCallsUnderWay == 0;
}

void ServerLifetime::lastReferenceGone() {
  if (!FStartedByCom) return;
  FEndAt = GetTickCount64() + kLingerMs;
  FWake.notify_all();
}

void ServerLifetime::CallStarted() { ++FCallsUnderWay; }

void ServerLifetime::CallEnded() {
  FLastCallEnd = GetTickCount64();
  --FCallsUnderWay;
}

void ServerLifetime::watch() {
  const std::uint64_t start = GetTickCount64();
  const bool noPing = ComHasNoPing();
  const std::uint64_t idleMs = static_cast<std::uint64_t>(IdleMinutes()) * 60000u;
  std::unique_lock<std::mutex> guard(FLock);
  while (!FStopping) {
    FWake.wait_for(guard, std::chrono::milliseconds(250));
    if (FStopping || FQuitting) return;
    const std::uint64_t now = GetTickCount64();
    const std::uint64_t endAt = FEndAt;
    if (endAt != 0 && now >= endAt && FObjects == 0 && FLocks == 0) {
      try {
        WRITE_EXE_LOG("The last object was released: the server ends.");
      } catch (...) {
      }
      guard.unlock();
      quitOnce();
      return;
    }
    if (!FEverCreated && now - start >= kNoObjectMs) {
      try {
        WRITE_EXE_LOG("No object was asked for within 30 s of the start: the server ends.");
      } catch (...) {
      }
      guard.unlock();
      quitOnce();
      return;
    }
    const std::uint64_t lastCall = FLastCallEnd;
    if (noPing && FObjects > 0 && FCallsUnderWay == 0 && lastCall <= now && now - lastCall >= idleMs) {
      try {
        WRITE_EXE_LOG("No call for " + std::to_string(idleMs / 60000u) +
                      " minutes and no COM ping to tell whether the clients live: the server ends.");
      } catch (...) {
      }
      guard.unlock();
      quitOnce();
      return;
    }
  }
}

}  // namespace orbantis::com
