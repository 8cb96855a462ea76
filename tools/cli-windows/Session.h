// One KELMORA object in the COM server, from its creation to its release.
//
// Calls go through IDispatch::Invoke by dispatch identifier, with in-out
// strings as VT_BYREF|VT_BSTR so that the answers come back. This thread is
// a single-threaded apartment: while a call waits for its answer, COM pumps
// its messages, so the object's events reach the sink before the answer.
//
// COM itself never gives up on a call. A watchdog does: when a call has had
// no answer for 120 s (a silent printer makes CONNECT_TO_PRINTER take about
// 20 s, a logo transfer is 96 exchanges), it reports the method and ends the
// program with status 2.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Methods.h"

namespace orbantis::cli {

inline constexpr int kCallTimeoutSeconds = 120;

// What a call gave: hr is S_OK with a result, DISP_E_EXCEPTION when the
// server reported a fault (its text in fault), any other failure when COM or
// the server failed.
struct CallOutcome {
  HRESULT hr = S_OK;
  std::string fault;
  Value result;
  std::vector<Value> values;  // the arguments after the call, answers in the in-out ones
};

class Session {
 public:
  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The object, in a local server (COM starts orbantis.exe when needed).
  HRESULT Create();
  // The server's dispatch identifier for name.
  HRESULT DispIdOf(const std::string& name, DISPID* id);
  // sink receives the object's events (IKELMORAEvents).
  HRESULT Advise(IDispatch* sink);
  // Sets a property of the interface table (codePage, replaceUnmappable).
  HRESULT SetProperty(const std::string& name, VARIANT value);
  // Calls method; the in-out values in args are replaced by the answers.
  CallOutcome Call(const Method& method, std::vector<Value>& args);
  // Calls the method of that name (it must be in the interface table).
  CallOutcome Call(const std::string& name, std::vector<Value> args = {});
  // Disconnects the sink and releases the object: the server closes the
  // printer connection and destroys it.
  void Release();

  // Runs (on the watchdog's thread) when a call had no answer in time, just
  // before the program ends; gets the method's name.
  std::function<void(const std::string&)> OnNoAnswer;

 private:
  void watch();
  void arm(const std::string& name);
  void disarm();

  IDispatch* FObject = nullptr;
  IConnectionPoint* FPoint = nullptr;
  DWORD FCookie = 0;

  std::mutex FLock;
  std::condition_variable FChanged;
  bool FArmed = false;
  bool FStopping = false;
  std::string FCalling;
  std::chrono::steady_clock::time_point FDeadline;
  std::thread FWatchdog;
};

// The system's words for hr, with its code: "Class not registered (0x80040154)".
std::string Describe(HRESULT hr);
// A paragraph for standard error about a failed COM call: what failed, the
// system's words and code, and what to do about it.
std::string Explain(HRESULT hr, const std::string& what);
// The same when a call had no answer in time.
std::string ExplainNoAnswer(const std::string& what);
// How to register the server (one paragraph).
std::string RegisterAdvice();

}  // namespace orbantis::cli
