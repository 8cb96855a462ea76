// Work for a printer, as the API sees it: every call that talks to a printer
// is a task on that printer's queue. A caller either waits for it or gets its
// id at once (202) and asks GET /tasks/{id} later; a task that outlives its
// caller's wait goes on all the same, so a receipt is never abandoned
// halfway because a client gave up.
#pragma once

#include <chrono>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <functional>
#include <string>
#include <vector>

#include "http/Answer.h"

namespace orbantis::http {

class Task {
 public:
  Task(std::string id, std::string printer, std::string what)
      : FId(std::move(id)), FPrinter(std::move(printer)), FWhat(std::move(what)) {}

  const std::string& Id() const { return FId; }

  void Start();
  // value 0..100.
  void Progress(int value, const std::string& text);
  void Finish(Answer answer);

  // True once done; waits at most timeout for it.
  bool WaitDone(std::chrono::milliseconds timeout);
  bool Done() const;
  // Only once Done().
  Answer Result() const;
  // Calls done (on the thread that finishes the task, or at once when it is
  // done already) with no lock held.
  void OnDone(std::function<void()> done);
  // The task as GET /tasks/{id} shows it.
  nlohmann::json Describe() const;
  std::chrono::steady_clock::time_point FinishedAt() const;

 private:
  const std::string FId, FPrinter, FWhat;
  mutable std::mutex FLock;
  std::condition_variable FChanged;
  enum class State { Queued, Running, Done } FState = State::Queued;
  int FProgress = 0;
  std::string FProgressText = "waiting for the printer";
  Answer FAnswer;
  std::chrono::steady_clock::time_point FFinishedAt;
  std::vector<std::function<void()>> FWhenDone;
};

class TaskBoard {
 public:
  // A done task is kept this long for GET /tasks/{id}, and at most this many
  // tasks (the oldest done ones go first).
  static constexpr std::chrono::minutes kKeep{60};
  static constexpr std::size_t kMaxKept = 1024;

  // A new task with its id; nobody can find it yet.
  std::shared_ptr<Task> Create(const std::string& printer, const std::string& what);
  // Makes the task findable by its id: done when its id is handed to a
  // caller (202). A call answered in full is never looked up again, so its
  // task is not kept.
  void Publish(const std::shared_ptr<Task>& task);
  std::shared_ptr<Task> Find(const std::string& id);

 private:
  void prune();  // under FLock; at most once a minute

  std::mutex FLock;
  std::atomic<std::uint64_t> FNext{1};
  std::map<std::string, std::shared_ptr<Task>> FTasks;
  std::chrono::steady_clock::time_point FPruned;
};

}  // namespace orbantis::http
