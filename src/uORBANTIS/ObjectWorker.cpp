#include "uORBANTIS/ObjectWorker.h"

namespace orbantis::automation {

ObjectWorker::ObjectWorker() : FThread([this] { run(); }) {}

ObjectWorker::~ObjectWorker() {
  {
    std::lock_guard<std::mutex> guard(FLock);
    FStopping = true;
  }
  FWake.notify_all();
  if (FThread.joinable()) FThread.join();
}

void ObjectWorker::Post(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> guard(FLock);
    FTasks.push_back(std::move(task));
  }
  FWake.notify_one();
}

void ObjectWorker::run() {
  while (true) {
    std::function<void()> task;
    {
      std::unique_lock<std::mutex> lock(FLock);
      FWake.wait(lock, [this] { return FStopping || !FTasks.empty(); });
      if (FTasks.empty()) return;
      task = std::move(FTasks.front());
      FTasks.pop_front();
    }
    try {
      task();
    } catch (...) {
      // A task reports its own failures; the worker goes on with the next.
    }
  }
}

}  // namespace orbantis::automation
