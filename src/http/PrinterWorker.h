// One printer of the shop: its own thread and queue, and the automation
// object that drives it. The calls for one printer run one after another in
// the order they arrived; printers never wait for each other.
//
// The worker opens the printer on its first call and keeps it open, a serial
// port exclusively, so that no other program interleaves frames with ours.
// After a call that found the printer silent it connects again on the next.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "http/Answer.h"
#include "http/PrinterConfig.h"
#include "http/Tasks.h"
#include "uORBANTIS/TKELMORA.h"

namespace orbantis::http {

class PrinterWorker {
 public:
  using Job = std::function<Answer(TKELMORA& printer, Task& task)>;
  // Calls waiting for one printer; beyond this a call is refused (503).
  static constexpr std::size_t kMaxQueued = 64;

  // prepare: called on the worker's thread before each connect (may be empty).
  PrinterWorker(PrinterConfig config, TaskBoard& tasks, std::function<void(TKELMORA&)> prepare = {});
  ~PrinterWorker();  // Close("The service is stopping ..."), then closes the printer
  // Answers every queued call 503 with reason and takes no more; the running
  // call finishes. Returns at once; the thread ends with the object.
  void Close(const std::string& reason);
  PrinterWorker(const PrinterWorker&) = delete;
  PrinterWorker& operator=(const PrinterWorker&) = delete;

  const PrinterConfig& Config() const { return FConfig; }

  // Queues job; it runs on this printer's thread once the printer is
  // connected (a failed connect answers the task instead). With the queue
  // full the task comes back done, refused with 503.
  std::shared_ptr<Task> Submit(const std::string& what, Job job);

  // The printer as GET /printers lists it.
  nlohmann::json Describe();
  // The serial number, once a connect read it.
  std::string Serial();

 private:
  void run();
  // Connects when not connected; an error answer when that fails.
  std::optional<Answer> connect();

  const PrinterConfig FConfig;
  TaskBoard& FTasks;
  const std::function<void(TKELMORA&)> FPrepare;
  std::unique_ptr<TKELMORA> FPrinter;  // used on the worker thread only
  bool FConnected = false;             // worker thread only

  std::mutex FLock;
  std::condition_variable FWake;
  std::deque<std::pair<std::shared_ptr<Task>, Job>> FQueue;
  bool FBusy = false;
  bool FStop = false;
  std::string FSerial;
  std::optional<Answer> FLastError;  // the last call's error, null after a success
  std::thread FThread;
};

// The answer for a command that did not succeed, from the object's last
// error: 504 when the printer did not answer (the worker then connects again
// on the next call), else 422 (the printer refused; its status says why).
Answer PrinterError(TKELMORA& printer, std::int32_t code);
// True when the object's last error is the printer not answering.
bool PrinterSilent(TKELMORA& printer);

}  // namespace orbantis::http
