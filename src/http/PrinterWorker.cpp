#include "http/PrinterWorker.h"

#include <cerrno>

#include "foundation/CodePage.h"

namespace orbantis::http {

using nlohmann::json;

namespace {

std::string Utf8(const WideString& s) { return WideToUtf8(s); }

}  // namespace

bool PrinterSilent(TKELMORA& printer) { return printer.LastExchangeUnanswered(); }

Answer PrinterError(TKELMORA& printer, std::int32_t code) {
  const std::string text = Utf8(printer.GetLastErrorMessage());
  // The status read leaves the error text alone: its -4 with no text is a
  // printer that gave no valid answer at all.
  if (text.empty() && code == -4)
    return Answer::Error(504, code, "The printer gave no valid answer. Please check the link with this fiscal!");
  return Answer::Error(PrinterSilent(printer) ? 504 : 422, code, text.empty() ? "The printer refused the command." : text);
}

PrinterWorker::PrinterWorker(PrinterConfig config, TaskBoard& tasks, std::function<void(TKELMORA&)> prepare)
    : FConfig(std::move(config)), FTasks(tasks), FPrepare(std::move(prepare)), FThread([this] { run(); }) {}

PrinterWorker::~PrinterWorker() {
  Close("The service is stopping; the call was not run. Send it again once the service is back.");
  FThread.join();
}

void PrinterWorker::Close(const std::string& reason) {
  std::deque<std::pair<std::shared_ptr<Task>, Job>> dropped;
  {
    std::lock_guard lock(FLock);
    FStop = true;
    dropped.swap(FQueue);
  }
  FWake.notify_all();
  // Answered outside the lock: an answer goes straight on to its caller.
  for (auto& entry : dropped) entry.first->Finish(Answer::Refused(503, reason));
}

std::shared_ptr<Task> PrinterWorker::Submit(const std::string& what, Job job) {
  auto task = FTasks.Create(FConfig.id, what);
  {
    std::lock_guard lock(FLock);
    if (FStop) {
      task->Finish(Answer::Refused(503, "The service is stopping; the call was not run."));
      return task;
    }
    if (FQueue.size() >= kMaxQueued) {
      task->Finish(Answer::Refused(503, "Printer " + FConfig.id + " has " + std::to_string(kMaxQueued) +
                                            " calls waiting already; try again when they are done."));
      return task;
    }
    FQueue.emplace_back(task, std::move(job));
  }
  FWake.notify_one();
  return task;
}

json PrinterWorker::Describe() {
  std::lock_guard lock(FLock);
  json j = {{"id", FConfig.id},
            {"source", FConfig.detected ? "detected" : "config"},
            {"connection", FConfig.Connection()},
            {"codePage", FConfig.codePage},
            {"replaceUnmappable", FConfig.replaceUnmappable},
            {"serial", FSerial.empty() ? json(nullptr) : json(FSerial)},
            {"state", FBusy || !FQueue.empty() ? "busy" : (FLastError && FLastError->status >= 500 ? "offline" : "idle")},
            {"queued", FQueue.size()},
            {"lastError", FLastError ? FLastError->body : json(nullptr)}};
  return j;
}

std::string PrinterWorker::Serial() {
  std::lock_guard lock(FLock);
  return FSerial;
}

std::optional<Answer> PrinterWorker::connect() {
  if (FConnected) return std::nullopt;
  if (!FPrinter) FPrinter = std::make_unique<TKELMORA>();
  TKELMORA& p = *FPrinter;
  p.set_codePage(FConfig.codePage);
  p.set_replaceUnmappable(FConfig.replaceUnmappable);
  if (FPrepare) FPrepare(p);
  std::int32_t code;
  if (FConfig.IsTcp())
    code = p.INIT_MY_FP2(Utf8ToWide(FConfig.host), Utf8ToWide(std::to_string(FConfig.port)));
  else
    code = p.initFiscalPrinterDevice(Utf8ToWide(FConfig.SerialPath()), FConfig.baud, false, false);
  if (code == 0) code = p.CONNECT_TO_PRINTER();
  if (code == 0) {
    FConnected = true;
    std::lock_guard lock(FLock);
    FSerial = p.printerSerial();
    return std::nullopt;
  }
  std::string text = Utf8(p.GetLastErrorMessage());
  const std::string detail = Utf8(p.GetLastErrorDetail());
  if (!detail.empty()) text += " " + detail;
  const bool held = p.printer() && p.printer()->SERIAL_CONNECTION->OpenErrno == EBUSY;
  // Held by another program: a conflict the user resolves; a port that does
  // not open for another reason is a fault of the way there; a printer that
  // does not answer is a time-out.
  const int status = held ? 409 : (PrinterSilent(p) ? 504 : 502);
  p.CLOSE_CONNECTION();
  return Answer::Error(status, code, text);
}

void PrinterWorker::run() {
  for (;;) {
    std::shared_ptr<Task> task;
    Job job;
    {
      std::unique_lock lock(FLock);
      FWake.wait(lock, [this] { return FStop || !FQueue.empty(); });
      if (FStop) break;
      task = std::move(FQueue.front().first);
      job = std::move(FQueue.front().second);
      FQueue.pop_front();
      FBusy = true;
    }
    task->Start();
    Answer answer;
    try {
      task->Progress(0, "connecting");
      if (auto failed = connect()) {
        answer = std::move(*failed);
      } else {
        task->Progress(0, "running");
        answer = job(*FPrinter, *task);
        // A printer that stopped answering is connected again on the next
        // call: its link may have been cut, or it was switched off and on.
        // (A receipt pending for another reason keeps the connection.)
        if (answer.status == 504 && PrinterSilent(*FPrinter)) {
          FPrinter->CLOSE_CONNECTION();
          FConnected = false;
        }
      }
    } catch (const std::exception& e) {
      answer = Answer::Refused(500, std::string("The call failed inside the service: ") + e.what());
    }
    {
      std::lock_guard lock(FLock);
      FBusy = false;
      // What the printer or its link said; a request refused for its own
      // content (400, 415) says nothing about the printer.
      if (answer.status == 409 || answer.status == 422 || answer.status >= 500)
        FLastError = Answer::Error(answer.status, answer.body.value("code", answer.status),
                                   answer.body.value("text", std::string()), answer.body.value("field", std::string()));
      else if (answer.status < 300)
        FLastError.reset();
    }
    task->Finish(std::move(answer));
  }
  if (FPrinter) FPrinter->ReleaseConnection();
}

}  // namespace orbantis::http
