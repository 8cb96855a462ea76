#include "http/Service.h"

#include <limits.h>
#include <stdlib.h>

#include <chrono>
#include <regex>
#include <set>
#include <thread>

#include "foundation/CodePage.h"
#include "http/PrinterCalls.h"
#include "receipts/ReceiptService.h"

namespace orbantis::http {

using nlohmann::json;

const std::vector<Route>& Routes() {
  static const std::vector<Route> routes = {
      {"GET", "/", "page"},
      {"GET", "/openapi.json", "API description"},
      {"GET", "/receipt.schema.json", "receipt schema"},
      {"GET", "/printers", "printers"},
      {"POST", "/printers/detect", "detection"},
      {"GET", "/printers/{id}", "identity"},
      {"GET", "/printers/{id}/status", "status"},
      {"POST", "/printers/{id}/receipt", "receipt"},
      {"GET", "/printers/{id}/receipts", "day's receipts"},
      {"GET", "/printers/{id}/receipts/{key}", "receipt from the journal"},
      {"POST", "/printers/{id}/xreport", "X report"},
      {"POST", "/printers/{id}/zreport", "Z report"},
      {"POST", "/printers/{id}/cash", "cash in or out"},
      {"GET", "/printers/{id}/datetime", "clock"},
      {"PUT", "/printers/{id}/datetime", "set clock"},
      {"POST", "/printers/{id}/raw", "raw command"},
      {"GET", "/printers/{id}/logo", "logo"},
      {"PUT", "/printers/{id}/logo", "write logo"},
      {"GET", "/tasks/{id}", "task"},
  };
  return routes;
}

namespace {

std::vector<std::string> Segments(const std::string& path) {
  std::vector<std::string> out;
  std::size_t start = 1;
  if (path.empty() || path[0] != '/') return {"\x01"};  // matches nothing
  while (start <= path.size()) {
    const auto slash = path.find('/', start);
    out.push_back(path.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  if (out.size() == 1 && out[0].empty()) out.clear();  // "/"
  return out;
}

bool Match(const Route& route, const std::vector<std::string>& segments, std::map<std::string, std::string>& params) {
  const auto pattern = Segments(route.pattern);
  if (pattern.size() != segments.size()) return false;
  params.clear();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const auto& p = pattern[i];
    if (p.size() > 2 && p.front() == '{' && p.back() == '}') {
      if (segments[i].empty()) return false;
      params[p.substr(1, p.size() - 2)] = segments[i];
    } else if (p != segments[i]) {
      return false;
    }
  }
  return true;
}

// Compares without stopping at the first difference, so the time a wrong
// token takes says nothing about how much of it was right.
bool SameSecret(const std::string& given, const std::string& secret) {
  unsigned char diff = given.size() == secret.size() ? 0 : 1;
  for (std::size_t i = 0; i < given.size(); ++i)
    diff |= static_cast<unsigned char>(given[i] ^ secret[secret.empty() ? 0 : i % secret.size()]);
  return diff == 0 && !secret.empty();
}

// The body as a JSON object, or the answer that refuses it.
std::optional<Answer> ParseBody(const Request& r, json& out, bool required = true) {
  const std::string type = r.Header("content-type");
  if (r.body.empty()) {
    if (!required) {
      out = json::object();
      return std::nullopt;
    }
    return Answer::Refused(400, "The body is empty; send a JSON object.", "body");
  }
  if (!type.empty() && type.rfind("application/json", 0) != 0)
    return Answer::Refused(415, "The body must be JSON (Content-Type: application/json), not " + type + ".", "body");
  try {
    out = json::parse(r.body);
  } catch (const json::parse_error& e) {
    std::string what = e.what();
    const auto close = what.find("] ");
    if (close != std::string::npos) what = what.substr(close + 2);
    return Answer::Refused(400, "The body is not valid JSON: " + what, "body");
  }
  if (!out.is_object()) return Answer::Refused(400, "The body must be a JSON object.", "body");
  return std::nullopt;
}

std::string RealPath(const std::string& path) {
  char buf[PATH_MAX];
  return realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

std::string Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y-%m-%d", &local);
  return buf;
}

std::shared_ptr<receipts::ReceiptService> Journal(std::string& error) { return TKELMORA::Receipts(true, &error); }

}  // namespace

Service::Service(ServiceOptions options) : FOptions(std::move(options)) {
  for (const auto& p : FOptions.printers) FPrinters[p.id] = std::make_unique<PrinterWorker>(p, FTasks);
}

Service::~Service() {
  {
    std::lock_guard detection(FDetectionLock);
    if (FDetectionThread.joinable()) FDetectionThread.join();
  }
  std::lock_guard lock(FLock);
  FPrinters.clear();
}

void Service::log(const std::string& line) const {
  if (FOptions.log) FOptions.log(line);
}

Response Service::ErrorResponse(int status, const std::string& text) {
  Response r;
  r.status = status;
  r.body = json({{"code", status}, {"text", text}, {"field", ""}}).dump();
  return r;
}

bool Service::authorised(const Request& request) const {
  if (FOptions.token.empty()) return true;
  const std::string h = request.Header("authorization");
  const std::string prefix = "Bearer ";
  if (h.size() <= prefix.size() || h.compare(0, prefix.size(), prefix) != 0) return false;
  return SameSecret(h.substr(prefix.size()), FOptions.token);
}

void Service::cors(const Request& request, Response& response) const {
  const std::string origin = request.Header("origin");
  if (origin.empty()) return;
  for (const auto& allowed : FOptions.origins) {
    if (allowed == origin) {
      response.headers.emplace_back("Access-Control-Allow-Origin", origin);
      response.headers.emplace_back("Vary", "Origin");
      response.headers.emplace_back("Access-Control-Expose-Headers", "Location");
      return;
    }
  }
}

PrinterWorker* Service::printer(const std::string& id) {
  std::lock_guard lock(FLock);
  const auto it = FPrinters.find(id);
  return it == FPrinters.end() ? nullptr : it->second.get();
}

Response Service::Handle(const Request& request) {
  const auto started = std::chrono::steady_clock::now();
  Response response;
  const auto segments = Segments(request.path);
  const Route* matched = nullptr;
  std::map<std::string, std::string> params;
  std::set<std::string> allowed;
  for (const auto& r : Routes()) {
    std::map<std::string, std::string> p;
    if (!Match(r, segments, p)) continue;
    allowed.insert(r.method);
    if (!matched && request.method == r.method) {
      matched = &r;
      params = std::move(p);
    }
  }

  Answer answer;
  if (request.method == "OPTIONS") {
    // A browser's preflight: answered only for the origins allowed.
    const std::string origin = request.Header("origin");
    bool known = false;
    for (const auto& o : FOptions.origins) known = known || o == origin;
    if (!known) {
      answer = Answer::Refused(403, "Requests from " + (origin.empty() ? std::string("this page") : origin) +
                                        " are not allowed; start the service with --allow-origin " +
                                        (origin.empty() ? std::string("ORIGIN") : origin) + ".");
    } else {
      answer.status = 204;
      response.headers.emplace_back("Access-Control-Allow-Methods", "GET, POST, PUT, OPTIONS");
      response.headers.emplace_back("Access-Control-Allow-Headers", "Authorization, Content-Type, Idempotency-Key");
      response.headers.emplace_back("Access-Control-Max-Age", "600");
    }
  } else if (allowed.empty()) {
    answer = Answer::Refused(404, "There is no " + request.path + " in this API; see /openapi.json.");
  } else if (!matched) {
    std::string list;
    for (const auto& m : allowed) list += (list.empty() ? "" : ", ") + m;
    answer = Answer::Refused(405, request.method + " is not used on " + request.path + "; use " + list + ".");
    response.headers.emplace_back("Allow", list);
  } else if (std::string(matched->pattern) != "/" && std::string(matched->pattern) != "/openapi.json" &&
             std::string(matched->pattern) != "/receipt.schema.json" && !authorised(request)) {
    // The page and the API's description hold no shop data; everything
    // else needs the token when one is set.
    answer = Answer::Refused(401, request.Header("authorization").empty()
                                      ? "This service needs a token: send Authorization: Bearer <token>."
                                      : "The token is not right.",
                             "Authorization");
    response.headers.emplace_back("WWW-Authenticate", "Bearer");
  } else {
    try {
      answer = route(request, *matched, params);
    } catch (const std::exception& e) {
      answer = Answer::Refused(500, std::string("The service failed: ") + e.what());
    }
  }

  response.status = answer.status;
  if (answer.status == 204) {
    response.contentType.clear();
  } else if (!answer.contentType.empty()) {
    response.contentType = answer.contentType;
    response.body = std::move(answer.bytes);
  } else {
    response.body = answer.body.dump();
  }
  if (answer.status == 202 && answer.body.contains("href"))
    response.headers.emplace_back("Location", answer.body["href"].get<std::string>());
  response.headers.emplace_back("Cache-Control", "no-store");
  cors(request, response);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
  log(request.method + " " + request.path + " " + std::to_string(response.status) + " " + std::to_string(ms.count()) +
      " ms from " + request.remote);
  return response;
}

Answer Service::runTask(const Request& request, PrinterWorker& p, const std::string& what, PrinterWorker::Job job) {
  bool async = false;
  if (auto it = request.query.find("async"); it != request.query.end()) {
    if (it->second == "1" || it->second == "true") async = true;
    else if (it->second != "0" && it->second != "false" && !it->second.empty())
      return Answer::Refused(400, "async must be 1 or 0.", "async");
  }
  int timeout = 120;
  if (auto it = request.query.find("timeout"); it != request.query.end()) {
    const auto n = std::atoi(it->second.c_str());
    if (std::to_string(n) != it->second || n < 1 || n > 600)
      return Answer::Refused(400, "timeout must be a number of seconds from 1 to 600.", "timeout");
    timeout = n;
  }
  auto task = p.Submit(what, std::move(job));
  if (!async && task->WaitDone(std::chrono::seconds(timeout))) return task->Result();
  // Still running: the caller gets the task and may ask for it; the work
  // goes on (a receipt is never abandoned halfway).
  FTasks.Publish(task);
  return Answer::Json({{"task", task->Id()}, {"href", "/tasks/" + task->Id()}}, 202);
}

json Service::detect() {
  DetectionOptions options = FOptions.detection;
  options.log = FOptions.log;
  {
    std::lock_guard lock(FLock);
    for (const auto& [id, w] : FPrinters)
      if (!w->Config().IsTcp()) {
        const std::string real = RealPath(w->Config().SerialPath());
        if (!real.empty()) options.exclude.insert(real);
      }
  }
  const DetectionResult result = DetectPrinters(options);
  json j = result.ToJson();
  std::lock_guard lock(FLock);
  for (std::size_t i = 0; i < result.found.size(); ++i) {
    const auto& f = result.found[i];
    PrinterConfig c;
    c.id = f.serial;
    for (auto& ch : c.id)
      if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '-' && ch != '_' && ch != '.') ch = '_';
    if (c.id.size() > 64) c.id.resize(64);
    j["found"][i]["id"] = c.id;
    if (FPrinters.count(c.id)) continue;  // found before
    c.device = f.device;
    c.baud = f.baud;
    c.detected = true;
    FPrinters[c.id] = std::make_unique<PrinterWorker>(c, FTasks);
    log("detect: added printer " + c.id + " (" + f.device + ", " + std::to_string(f.baud) + " baud)");
  }
  return j;
}

std::shared_ptr<Task> Service::StartDetection() {
  std::lock_guard detection(FDetectionLock);
  if (FDetectionTask && !FDetectionTask->Done()) return FDetectionTask;
  if (FDetectionThread.joinable()) FDetectionThread.join();
  auto task = FTasks.Create("", "detection");
  FDetectionTask = task;
  FDetectionThread = std::thread([this, task] {
    task->Start();
    try {
      task->Finish(Answer::Json(detect()));
    } catch (const std::exception& e) {
      task->Finish(Answer::Refused(500, std::string("Detection failed: ") + e.what()));
    }
  });
  return task;
}

Answer Service::route(const Request& request, const Route& r, const std::map<std::string, std::string>& params) {
  const std::string pattern = r.pattern;
  if (pattern == "/") {
    Answer a;
    a.contentType = "text/html; charset=utf-8";
    a.bytes = FOptions.page;
    return a;
  }
  if (pattern == "/openapi.json" || pattern == "/receipt.schema.json") {
    Answer a;
    a.contentType = "application/json";
    a.bytes = pattern == "/openapi.json" ? FOptions.openapi : FOptions.receiptSchema;
    return a;
  }
  if (pattern == "/printers") {
    json list = json::array();
    std::lock_guard lock(FLock);
    for (const auto& [id, w] : FPrinters) list.push_back(w->Describe());
    return Answer::Json({{"printers", list}});
  }
  if (pattern == "/tasks/{id}") {
    auto task = FTasks.Find(params.at("id"));
    if (!task) return Answer::Refused(404, "There is no task " + params.at("id") + " (a task is kept an hour after it is done).", "id");
    return Answer::Json(task->Describe());
  }
  if (pattern == "/printers/detect") {
    // Detection is not a printer's work: it runs on a thread of its own,
    // and the caller waits for it or follows it as a task.
    auto task = StartDetection();
    const bool async = request.query.count("async") && (request.query.at("async") == "1" || request.query.at("async") == "true");
    if (!async && task->WaitDone(std::chrono::seconds(120))) return task->Result();
    FTasks.Publish(task);
    return Answer::Json({{"task", task->Id()}, {"href", "/tasks/" + task->Id()}}, 202);
  }

  const std::string id = params.at("id");
  PrinterWorker* p = printer(id);
  if (!p) return Answer::Refused(404, "There is no printer " + id + "; GET /printers lists them.", "id");

  if (pattern == "/printers/{id}")
    return runTask(request, *p, r.what, [id](TKELMORA& t, Task&) { return calls::Identity(t, id); });
  if (pattern == "/printers/{id}/status")
    return runTask(request, *p, r.what, [id](TKELMORA& t, Task&) { return calls::Status(t, id); });

  if (pattern == "/printers/{id}/receipt") {
    json doc;
    if (auto refused = ParseBody(request, doc)) return *refused;
    const std::string header = request.Header("idempotency-key");
    if (!header.empty()) {
      if (doc.contains("key") && (!doc["key"].is_string() || doc["key"].get<std::string>() != header))
        return Answer::Refused(400, "The body's key and the Idempotency-Key header differ; send one, or the same.", "/key");
      doc["key"] = header;
    }
    const std::string document = doc.dump();
    return runTask(request, *p, r.what, [document](TKELMORA& t, Task&) { return calls::Receipt(t, document); });
  }

  if (pattern == "/printers/{id}/receipts/{key}" || pattern == "/printers/{id}/receipts") {
    // The journal only: nothing goes to the printer.
    std::string error;
    auto service = Journal(error);
    if (!service) return Answer::Refused(500, "The receipt journal cannot be opened: " + error);
    const std::string serial = p->Serial();
    if (pattern == "/printers/{id}/receipts") {
      std::string day = request.query.count("day") ? request.query.at("day") : Today();
      if (!std::regex_match(day, std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}")))
        return Answer::Refused(400, "day must be YYYY-MM-DD, e.g. " + Today() + ".", "day");
      json all = json::parse(service->Day(day));
      json mine = json::array();
      for (auto& e : all["receipts"])
        if (serial.empty() || e.value("printer", serial) == serial) mine.push_back(e);
      all["receipts"] = mine;
      return Answer::Json(all);
    }
    const auto outcome = service->Get(params.at("key"));
    json body = json::parse(outcome.json, nullptr, false);
    if (!body.is_object()) body = json::object();
    if (outcome.code == receipts::RECEIPT_NOT_FOUND ||
        (!serial.empty() && body.contains("printer") && body["printer"] != serial)) {
      return Answer::Error(404, receipts::RECEIPT_NOT_FOUND,
                           "There is no receipt under the key " + params.at("key") + " for printer " + id + ".",
                           "key");
    }
    return Answer::Json(body);
  }

  if (pattern == "/printers/{id}/xreport" || pattern == "/printers/{id}/zreport") {
    const bool z = pattern == "/printers/{id}/zreport";
    return runTask(request, *p, r.what, [z](TKELMORA& t, Task&) { return calls::DailyReport(t, z); });
  }

  if (pattern == "/printers/{id}/cash") {
    json body;
    if (auto refused = ParseBody(request, body)) return *refused;
    if (!body.contains("direction") || !body["direction"].is_string() ||
        (body["direction"] != "in" && body["direction"] != "out"))
      return Answer::Refused(400, "direction must be \"in\" or \"out\".", "/direction");
    if (!body.contains("amount") || !body["amount"].is_string() ||
        !std::regex_match(body["amount"].get<std::string>(), std::regex("[0-9]{1,7}(\\.[0-9]{1,2})?")))
      return Answer::Refused(400, "amount must be a text like \"12.50\": up to 7 digits and 2 decimals.", "/amount");
    const bool in = body["direction"] == "in";
    const std::string amount = body["amount"].get<std::string>();
    return runTask(request, *p, r.what, [in, amount](TKELMORA& t, Task&) { return calls::Cash(t, in, amount); });
  }

  if (pattern == "/printers/{id}/datetime" && request.method == "GET")
    return runTask(request, *p, r.what, [](TKELMORA& t, Task&) { return calls::GetDateTime(t); });
  if (pattern == "/printers/{id}/datetime") {
    json body;
    if (auto refused = ParseBody(request, body)) return *refused;
    static const std::regex form("(20[0-9]{2})-(0[1-9]|1[0-2])-(0[1-9]|[12][0-9]|3[01])T([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]");
    if (!body.contains("datetime") || !body["datetime"].is_string() ||
        !std::regex_match(body["datetime"].get<std::string>(), form))
      return Answer::Refused(400, "datetime must be YYYY-MM-DDTHH:MM:SS, e.g. 2026-12-10T16:30:00 (years 2000 to 2099).",
                             "/datetime");
    const std::string dt = body["datetime"].get<std::string>();
    return runTask(request, *p, r.what, [dt](TKELMORA& t, Task&) { return calls::SetDateTime(t, dt); });
  }

  if (pattern == "/printers/{id}/raw") {
    json body;
    if (auto refused = ParseBody(request, body)) return *refused;
    if (!body.contains("command") || !body["command"].is_number_integer() || body["command"].get<long long>() < 0 ||
        body["command"].get<long long>() > 255)
      return Answer::Refused(400, "command must be a command code, a whole number from 0 to 255.", "/command");
    if (body.contains("data") && !body["data"].is_string())
      return Answer::Refused(400, "data must be a text (the command's data field).", "/data");
    const int command = body["command"].get<int>();
    const std::string data = body.value("data", std::string());
    return runTask(request, *p, r.what, [command, data](TKELMORA& t, Task&) { return calls::Raw(t, command, data); });
  }

  if (pattern == "/printers/{id}/logo" && request.method == "GET")
    return runTask(request, *p, r.what, [](TKELMORA& t, Task& task) { return calls::GetLogo(t, task); });
  if (pattern == "/printers/{id}/logo") {
    const std::string type = request.Header("content-type");
    static const std::set<std::string> pictures = {"image/png", "image/bmp", "image/x-ms-bmp", "image/jpeg",
                                                   "application/octet-stream", ""};
    if (!pictures.count(type.substr(0, type.find(';'))))
      return Answer::Refused(415, "The logo must be a BMP, PNG or JPEG picture (Content-Type image/bmp, image/png or image/jpeg), not " + type + ".", "body");
    if (request.body.empty()) return Answer::Refused(400, "The body is empty; send the picture.", "body");
    const std::string picture = request.body;
    return runTask(request, *p, r.what,
                   [picture](TKELMORA& t, Task& task) { return calls::PutLogo(t, picture, task); });
  }
  return Answer::Refused(404, "There is no " + request.path + " in this API.");
}

}  // namespace orbantis::http
