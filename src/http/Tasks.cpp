#include "http/Tasks.h"

#include <sys/random.h>

#include <algorithm>
#include <cstdio>

namespace orbantis::http {

using nlohmann::json;

void Task::Start() {
  std::lock_guard lock(FLock);
  FState = State::Running;
  FProgressText = "running";
  FChanged.notify_all();
}

void Task::Progress(int value, const std::string& text) {
  std::lock_guard lock(FLock);
  FProgress = std::clamp(value, 0, 100);
  FProgressText = text;
}

void Task::Finish(Answer answer) {
  std::vector<std::function<void()>> callbacks;
  {
    std::lock_guard lock(FLock);
    FAnswer = std::move(answer);
    FState = State::Done;
    FProgress = 100;
    FProgressText = "done";
    FFinishedAt = std::chrono::steady_clock::now();
    callbacks.swap(FWhenDone);
    FChanged.notify_all();
  }
  for (auto& done : callbacks) done();
}

void Task::OnDone(std::function<void()> done) {
  {
    std::lock_guard lock(FLock);
    if (FState != State::Done) {
      FWhenDone.push_back(std::move(done));
      return;
    }
  }
  done();
}

bool Task::WaitDone(std::chrono::milliseconds timeout) {
  std::unique_lock lock(FLock);
  return FChanged.wait_for(lock, timeout, [this] { return FState == State::Done; });
}

bool Task::Done() const {
  std::lock_guard lock(FLock);
  return FState == State::Done;
}

Answer Task::Result() const {
  std::lock_guard lock(FLock);
  return FAnswer;
}

std::chrono::steady_clock::time_point Task::FinishedAt() const {
  std::lock_guard lock(FLock);
  return FFinishedAt;
}

namespace {

// A picture or other bytes inside a task's JSON result.
std::string Base64(const std::string& bytes) {
  static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 | (unsigned char)bytes[i + 2];
    out += {digits[v >> 18], digits[(v >> 12) & 63], digits[(v >> 6) & 63], digits[v & 63]};
  }
  if (i + 1 == bytes.size()) {
    const unsigned v = (unsigned char)bytes[i] << 16;
    out += {digits[v >> 18], digits[(v >> 12) & 63], '=', '='};
  } else if (i + 2 == bytes.size()) {
    const unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8;
    out += {digits[v >> 18], digits[(v >> 12) & 63], digits[(v >> 6) & 63], '='};
  }
  return out;
}

}  // namespace

json Task::Describe() const {
  std::lock_guard lock(FLock);
  static const char* names[] = {"queued", "running", "done"};
  json j = {{"id", FId},
            {"printer", FPrinter},
            {"what", FWhat},
            {"state", names[static_cast<int>(FState)]},
            {"progress", {{"value", FProgress}, {"text", FProgressText}}},
            {"status", nullptr},
            {"result", nullptr}};
  if (FState == State::Done) {
    j["status"] = FAnswer.status;
    if (FAnswer.contentType.empty()) j["result"] = FAnswer.body;
    else j["result"] = {{"contentType", FAnswer.contentType}, {"base64", Base64(FAnswer.bytes)}};
  }
  return j;
}

std::shared_ptr<Task> TaskBoard::Create(const std::string& printer, const std::string& what) {
  // Ids are not guessable from one another: a task's result may hold a
  // receipt, and ids are handed to whoever started the task. 128 bits from
  // the kernel's generator for each.
  unsigned char bytes[16] = {};
  std::size_t got = 0;
  while (got < sizeof bytes) {
    const auto n = ::getrandom(bytes + got, sizeof bytes - got, 0);
    if (n > 0) got += static_cast<std::size_t>(n);
  }
  std::string id = "t" + std::to_string(FNext.fetch_add(1)) + "-";
  static const char* hex = "0123456789abcdef";
  for (unsigned char b : bytes) id += {hex[b >> 4], hex[b & 15]};
  return std::make_shared<Task>(id, printer, what);
}

void TaskBoard::Publish(const std::shared_ptr<Task>& task) {
  std::lock_guard lock(FLock);
  prune();
  FTasks[task->Id()] = task;
}

std::shared_ptr<Task> TaskBoard::Find(const std::string& id) {
  std::lock_guard lock(FLock);
  prune();
  const auto it = FTasks.find(id);
  return it == FTasks.end() ? nullptr : it->second;
}

void TaskBoard::prune() {
  const auto now = std::chrono::steady_clock::now();
  if (now - FPruned < std::chrono::minutes(1) && FTasks.size() < kMaxKept) return;
  FPruned = now;
  for (auto it = FTasks.begin(); it != FTasks.end();) {
    if (it->second->Done() && now - it->second->FinishedAt() > kKeep) it = FTasks.erase(it);
    else ++it;
  }
  // Still too many: the done ones that finished first go.
  while (FTasks.size() >= kMaxKept) {
    auto oldest = FTasks.end();
    for (auto it = FTasks.begin(); it != FTasks.end(); ++it)
      if (it->second->Done() && (oldest == FTasks.end() || it->second->FinishedAt() < oldest->second->FinishedAt()))
        oldest = it;
    if (oldest == FTasks.end()) break;  // all still running: each printer's queue bounds them
    FTasks.erase(oldest);
  }
}

}  // namespace orbantis::http
