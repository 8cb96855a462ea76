// The thread on which one automation object runs its printer calls.
//
// Calls on one object run one at a time in the order they arrived, so a
// second call never interleaves with the first one's exchange; calls on
// different objects run side by side, so a silent printer behind one object
// never delays another.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace orbantis::automation {

class ObjectWorker {
 public:
  ObjectWorker();
  // Runs what is queued, then ends the thread.
  ~ObjectWorker();
  ObjectWorker(const ObjectWorker&) = delete;
  ObjectWorker& operator=(const ObjectWorker&) = delete;

  void Post(std::function<void()> task);

 private:
  void run();

  std::mutex FLock;
  std::condition_variable FWake;
  std::deque<std::function<void()>> FTasks;
  bool FStopping = false;
  std::thread FThread;
};

}  // namespace orbantis::automation
