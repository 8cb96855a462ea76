// orbantis-http's API: the printers of the shop, their routes, the tasks
// they run, the token and the origins allowed. HttpServer hands every request
// to Handle; nothing here knows about sockets.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "http/Answer.h"
#include "http/Detection.h"
#include "http/HttpServer.h"
#include "http/PrinterConfig.h"
#include "http/PrinterWorker.h"
#include "http/Tasks.h"

namespace orbantis::http {

struct ServiceOptions {
  std::vector<PrinterConfig> printers;
  std::string token;  // empty: no token asked for
  std::vector<std::string> origins;
  DetectionOptions detection;
  std::string page;     // the HTML of GET /
  std::string openapi;  // the JSON of GET /openapi.json
  std::string receiptSchema;  // the JSON of GET /receipt.schema.json
  std::function<void(const std::string&)> log;
  // Called on a printer's thread before each connect (tests shorten the
  // printer's waits with it; the service itself sets none).
  std::function<void(TKELMORA&)> preparePrinter;
};

// One row of the route table.
struct Route {
  const char* method;
  const char* pattern;  // {name} matches one path segment
  const char* what;     // for the log and the task list
  bool printer;         // may make a printer work (reads included)
};
const std::vector<Route>& Routes();

// What a route gives: an answer now, or a task whose answer the caller
// waits for (at most waitSeconds, then it gets the task).
struct Routed {
  Routed() = default;
  Routed(Answer a) : answer(std::move(a)) {}  // NOLINT: every plain answer is a Routed
  Answer answer;
  std::shared_ptr<Task> pending;
  int waitSeconds = 0;
};

struct Meta;

class Service {
 public:
  explicit Service(ServiceOptions options);
  ~Service();

  // Never waits for a printer: such an answer comes later (Response::later).
  Response Handle(const Request& request);
  // Stops the printers' workers (calls still queued are answered 503); the
  // HTTP server must be stopped first.
  void Shutdown();
  // The answer for a request refused before it reached the API.
  static Response ErrorResponse(int status, const std::string& text);

  // Runs detection on a thread of its own and adds the printers found; the
  // task answers what it found (the running one's task, when a detection
  // runs already).
  std::shared_ptr<Task> StartDetection();

 private:
  nlohmann::json detect();
  Routed route(const Request& request, const Route& route, const std::map<std::string, std::string>& params);
  Response finish(const Meta& meta, Answer answer) const;
  std::shared_ptr<PrinterWorker> printer(const std::string& id);
  // Runs job on the printer's queue and waits as the request asks (?async,
  // ?timeout); an error answer for a bad query.
  Routed runTask(const Request& request, PrinterWorker& printer, const std::string& what, PrinterWorker::Job job);
  bool authorised(const Request& request) const;
  void log(const std::string& line) const;

  ServiceOptions FOptions;
  TaskBoard FTasks;
  std::mutex FLock;
  std::map<std::string, std::shared_ptr<PrinterWorker>> FPrinters;
  // One detection at a time: a second request while one runs gets its task.
  std::atomic<bool> FStopping{false};
  std::mutex FDetectionLock;
  std::shared_ptr<Task> FDetectionTask;
  std::thread FDetectionThread;  // joined before the printers go
};

// Stops in the order that loses no answer: no new connection or request,
// the printers' queues answered and their running calls ended while the
// connections still carry the answers (at most a second more), then the I/O.
void StopGracefully(HttpServer& server, Service& service);

}  // namespace orbantis::http
