#include "http/Service.h"

#include <stdlib.h>

#include <chrono>
#include <regex>
#include <set>
#include <thread>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include "foundation/CodePage.h"
#include "http/PrinterCalls.h"
#include "receipts/ReceiptService.h"

namespace orbantis::http {

using nlohmann::json;

const std::vector<Route>& Routes() {
  static const std::vector<Route> routes = {
      {"GET", "/", "page", false},
      {"GET", "/openapi.json", "API description", false},
      {"GET", "/receipt.schema.json", "receipt schema", false},
      {"GET", "/printers", "printers", false},
      {"POST", "/printers/detect", "detection", true},
      {"GET", "/printers/{id}", "identity", true},
      {"GET", "/printers/{id}/status", "status", true},
      {"POST", "/printers/{id}/receipt", "receipt", true},
      {"GET", "/printers/{id}/receipts", "day's receipts", true},
      {"GET", "/printers/{id}/receipts/{key}", "receipt from the journal", true},
      {"POST", "/printers/{id}/xreport", "X report", true},
      {"POST", "/printers/{id}/zreport", "Z report", true},
      {"POST", "/printers/{id}/cash", "cash in or out", true},
      {"GET", "/printers/{id}/datetime", "clock", true},
      {"PUT", "/printers/{id}/datetime", "set clock", true},
      {"POST", "/printers/{id}/raw", "raw command", true},
      {"GET", "/printers/{id}/logo", "logo", true},
      {"PUT", "/printers/{id}/logo", "write logo", true},
      {"GET", "/tasks/{id}", "task", false},
  };
  return routes;
}

namespace {

bool Match(const Route& route, const std::vector<std::string>& segments, std::map<std::string, std::string>& params) {
  std::vector<std::string> pattern;
  PathSegments(route.pattern, pattern);
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
  // Required: a browser posts a body without a Content-Type to any site
  // without asking first, and so could any page the cashier opens.
  if (type.rfind("application/json", 0) != 0)
    return Answer::Refused(415, "The body must be JSON, sent with Content-Type: application/json" +
                                    (type.empty() ? std::string(".") : ", not " + type + "."), "body");
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

std::string Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y-%m-%d", &local);
  return buf;
}

std::shared_ptr<receipts::ReceiptService> Journal(std::string& error) { return TKELMORA::Receipts(true, &error); }

bool IsUtf8(const std::string& text) {
  try {
    (void)json(text).dump();
    return true;
  } catch (const json::type_error&) {
    return false;
  }
}

// The journal's answer for printer id (serial number serial): the day's
// receipts when key is empty, else the receipt under key.
Answer JournalAnswer(const std::string& id, const std::string& serial, const std::string& day, const std::string& key) {
  std::string error;
  auto service = Journal(error);
  if (!service) return Answer::Refused(500, "The receipt journal cannot be opened: " + error);
  if (key.empty()) {
    json all = json::parse(service->Day(day));
    json mine = json::array();
    for (auto& e : all["receipts"])
      if (e.value("printer", serial) == serial) mine.push_back(e);
    all["receipts"] = mine;
    return Answer::Json(all);
  }
  const auto outcome = service->Get(key);
  json body = json::parse(outcome.json, nullptr, false);
  if (!body.is_object()) body = json::object();
  if (outcome.code == receipts::RECEIPT_NOT_FOUND || (body.contains("printer") && body["printer"] != serial))
    return Answer::Error(404, receipts::RECEIPT_NOT_FOUND,
                         "There is no receipt under the key " + key + " for printer " + id + ".", "key");
  return Answer::Json(body);
}

bool IsLogoPicture(const std::string& bytes) {
  QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  const QByteArray format = reader.format();
  return (format == "bmp" || format == "png" || format == "jpeg") && reader.canRead();
}

}  // namespace

Service::Service(ServiceOptions options) : FOptions(std::move(options)) {
  for (const auto& p : FOptions.printers) FPrinters[p.id] = std::make_shared<PrinterWorker>(p, FTasks, FOptions.preparePrinter);
}

Service::~Service() { Shutdown(); }

void Service::Shutdown() {
  FStopping = true;
  {
    std::lock_guard detection(FDetectionLock);
    if (FDetectionThread.joinable()) FDetectionThread.join();
  }
  std::map<std::string, std::shared_ptr<PrinterWorker>> printers;
  {
    std::lock_guard lock(FLock);
    printers.swap(FPrinters);
  }
  // Every worker answers its queue at once, then finishes its running call.
  for (auto& [id, worker] : printers)
    worker->Close("The service is stopping; the call was not run. Send it again once the service is back.");
  printers.clear();
}

void StopGracefully(HttpServer& server, Service& service) {
  server.StopAccepting();
  // The printers' calls end and are answered while the connections can
  // still carry the answers: a cash movement or a Z report carried out must
  // not look like a call that never arrived.
  service.Shutdown();
  for (int i = 0; i < 40 && server.OpenConnections() > 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  server.Stop();
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
  const std::string prefix = "bearer ";
  if (h.size() <= prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)  // the scheme's name in any letter case
    if (std::tolower(static_cast<unsigned char>(h[i])) != prefix[i]) return false;
  return SameSecret(h.substr(prefix.size()), FOptions.token);
}

std::shared_ptr<PrinterWorker> Service::printer(const std::string& id) {
  std::lock_guard lock(FLock);
  const auto it = FPrinters.find(id);
  return it == FPrinters.end() ? nullptr : it->second;
}

// What a finished answer needs of its request.
struct Meta {
  std::string method, path, origin, remote;
  std::chrono::steady_clock::time_point started;
  std::vector<std::pair<std::string, std::string>> headers;
};

namespace {

bool LoopbackHost(const std::string& host) {
  std::string name = host;
  if (!name.empty() && name[0] == '[') {
    name = name.substr(0, name.find(']') + 1);
  } else {
    name = name.substr(0, name.find(':'));
  }
  for (auto& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name.rfind("127.", 0) == 0 || name == "localhost" || name == "[::1]";
}

}  // namespace

Response Service::finish(const Meta& meta, Answer answer) const {
  Response response;
  response.headers = meta.headers;
  response.status = answer.status;
  if (answer.status == 204) {
    response.contentType.clear();
  } else if (!answer.contentType.empty()) {
    response.contentType = answer.contentType;
    response.body = std::move(answer.bytes);
  } else {
    // A text from a printer or a client that is not UTF-8 must not turn an
    // answer into a failure.
    response.body = answer.body.dump(-1, ' ', false, json::error_handler_t::replace);
  }
  if (answer.status == 202 && answer.body.contains("href"))
    response.headers.emplace_back("Location", answer.body["href"].get<std::string>());
  response.headers.emplace_back("Cache-Control", "no-store");
  for (const auto& allowed : FOptions.origins) {
    if (!meta.origin.empty() && allowed == meta.origin) {
      response.headers.emplace_back("Access-Control-Allow-Origin", meta.origin);
      response.headers.emplace_back("Vary", "Origin");
      response.headers.emplace_back("Access-Control-Expose-Headers", "Location");
      break;
    }
  }
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - meta.started);
  log(meta.method + " " + meta.path + " " + std::to_string(response.status) + " " + std::to_string(ms.count()) +
      " ms from " + meta.remote);
  return response;
}

Response Service::Handle(const Request& request) {
  Meta meta{request.method, request.path, request.Header("origin"), request.remote,
            std::chrono::steady_clock::now(), {}};
  const Route* matched = nullptr;
  std::map<std::string, std::string> params;
  std::set<std::string> allowed;
  for (const auto& r : Routes()) {
    std::map<std::string, std::string> p;
    if (!Match(r, request.segments, p)) continue;
    allowed.insert(r.method);
    // HEAD where GET only reads what the service holds (the server sends
    // the headers alone); on a printer's routes it would make the printer work.
    const bool head = request.method == "HEAD" && std::string(r.method) == "GET" && !r.printer;
    if (!matched && (request.method == r.method || head)) {
      matched = &r;
      params = std::move(p);
    }
  }
  const bool publicRoute = matched && (std::string(matched->pattern) == "/" ||
                                       std::string(matched->pattern) == "/openapi.json" ||
                                       std::string(matched->pattern) == "/receipt.schema.json");
  bool knownOrigin = false;
  for (const auto& o : FOptions.origins) knownOrigin = knownOrigin || o == meta.origin;
  const std::string host = request.Header("host");
  // The service's own page sends its own origin.
  const bool sameOrigin = !host.empty() && meta.origin == "http://" + host;

  Routed routed;
  if (FStopping) {
    routed = Answer::Refused(503, "The service is stopping; send the call again once it is back.");
  } else if (request.method == "OPTIONS") {
    // A browser's preflight: answered only for the origins allowed.
    if (!knownOrigin) {
      routed = Answer::Refused(403, "Requests from " + (meta.origin.empty() ? std::string("this page") : meta.origin) +
                                        " are not allowed; start the service with --allow-origin " +
                                        (meta.origin.empty() ? std::string("ORIGIN") : meta.origin) + ".");
    } else {
      routed.answer.status = 204;
      meta.headers.emplace_back("Access-Control-Allow-Methods", "GET, POST, PUT, OPTIONS");
      meta.headers.emplace_back("Access-Control-Allow-Headers", "Authorization, Content-Type, Idempotency-Key");
      meta.headers.emplace_back("Access-Control-Max-Age", "600");
    }
  } else if (FOptions.token.empty() && !host.empty() && !LoopbackHost(host)) {
    // Without a token the service is for this machine only. A page whose
    // name was made to point at 127.0.0.1 (DNS rebinding) still sends its
    // own name as Host.
    routed = Answer::Refused(403, "This service answers only for 127.0.0.1, localhost or [::1], not " + host +
                                      "; to reach it from elsewhere, start it with --token-file.", "Host");
  } else if (!meta.origin.empty() && !knownOrigin && !sameOrigin && !publicRoute) {
    // Any page the cashier opens could otherwise make the browser post a
    // receipt or a Z report here: browsers send such simple requests without
    // asking first, but always say where they come from.
    routed = Answer::Refused(403, "Requests from pages of " + meta.origin + " are not allowed; start the service with "
                                      "--allow-origin " + meta.origin + " if that page is your till.", "Origin");
  } else if (allowed.empty()) {
    routed = Answer::Refused(404, "There is no " + request.path + " in this API; see /openapi.json.");
  } else if (!matched) {
    std::string list;
    for (const auto& m : allowed) list += (list.empty() ? "" : ", ") + m;
    routed = Answer::Refused(405, request.method + " is not used on " + request.path + "; use " + list + ".");
    meta.headers.emplace_back("Allow", list);
  } else if (!publicRoute && !authorised(request)) {
    // The page and the API's descriptions hold no shop data; everything
    // else needs the token when one is set.
    routed = Answer::Refused(401, request.Header("authorization").empty()
                                      ? "This service needs a token: send Authorization: Bearer <token>."
                                      : "The token is not right.",
                             "Authorization");
    meta.headers.emplace_back("WWW-Authenticate", "Bearer");
  } else {
    try {
      routed = route(request, *matched, params);
    } catch (const std::exception& e) {
      routed = Answer::Refused(500, std::string("The service failed: ") + e.what());
    }
  }

  if (!routed.pending) return finish(meta, std::move(routed.answer));
  // The printer works on it: the connection waits without holding a thread.
  Response later;
  auto task = routed.pending;
  later.waitAtMost = std::chrono::seconds(routed.waitSeconds);
  later.later = [this, meta, task](Reply reply) {
    task->OnDone([this, meta, task, reply] { reply(finish(meta, task->Result())); });
  };
  // The wait ran out first: the caller gets the task; the work goes on (a
  // receipt is never abandoned halfway).
  later.timedOut = [this, meta, task] {
    FTasks.Publish(task);
    return finish(meta, Answer::Json({{"task", task->Id()}, {"href", "/tasks/" + task->Id()}}, 202));
  };
  return later;
}

Routed Service::runTask(const Request& request, PrinterWorker& p, const std::string& what, PrinterWorker::Job job) {
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
  // Asked for a task, the caller gets one, however soon the work ends: a
  // quick printer must not turn the answer into the result's own.
  if (async) {
    FTasks.Publish(task);
    return Answer::Json({{"task", task->Id()}, {"href", "/tasks/" + task->Id()}}, 202);
  }
  Routed routed;
  routed.pending = task;
  routed.waitSeconds = timeout;
  return routed;
}

json Service::detect() {
  DetectionOptions options = FOptions.detection;
  options.log = FOptions.log;
  {
    std::lock_guard lock(FLock);
    for (const auto& [id, w] : FPrinters)
      if (!w->Config().IsTcp()) {
        const std::string real = RealDevicePath(w->Config().SerialPath());
        if (!real.empty()) options.exclude.insert(real);
      }
  }
  const DetectionResult result = DetectPrinters(options);
  json j = result.ToJson();
  // Workers replaced below end here, after the lock is released: ending one
  // waits for its running call.
  std::vector<std::shared_ptr<PrinterWorker>> retired;
  std::lock_guard lock(FLock);
  for (std::size_t i = 0; i < result.found.size(); ++i) {
    const auto& f = result.found[i];
    PrinterConfig c;
    c.id = f.serial;
    for (auto& ch : c.id)
      if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '-' && ch != '_' && ch != '.') ch = '_';
    if (c.id.size() > 60) c.id.resize(60);
    c.device = f.device;
    c.baud = f.baud;
    c.detected = true;
    auto it = FPrinters.find(c.id);
    // A printer of the config file that happens to have the same name keeps
    // it; the one found gets a name of its own.
    for (int n = 2; it != FPrinters.end() && !it->second->Config().detected; ++n) {
      c.id = f.serial.substr(0, 60) + "-" + std::to_string(n);
      it = FPrinters.find(c.id);
    }
    j["found"][i]["id"] = c.id;
    if (it != FPrinters.end()) {
      const auto& old = it->second->Config();
      if (old.device == c.device && old.baud == c.baud) continue;  // found before, where it was
      // Found again on another port or at another rate (unplugged and
      // plugged in elsewhere): its worker starts over there.
      log("detect: printer " + c.id + " moved to " + c.device + ", " + std::to_string(c.baud) + " baud");
      it->second->Close("Printer " + c.id + " was found on another port (" + c.device + "); send the call again.");
      retired.push_back(std::exchange(it->second, std::make_shared<PrinterWorker>(c, FTasks, FOptions.preparePrinter)));
      continue;
    }
    FPrinters[c.id] = std::make_shared<PrinterWorker>(c, FTasks, FOptions.preparePrinter);
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

Routed Service::route(const Request& request, const Route& r, const std::map<std::string, std::string>& params) {
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
    if (async) {
      FTasks.Publish(task);
      return Answer::Json({{"task", task->Id()}, {"href", "/tasks/" + task->Id()}}, 202);
    }
    Routed routed;
    routed.pending = task;
    routed.waitSeconds = 120;
    return routed;
  }

  const std::string id = params.at("id");
  const std::shared_ptr<PrinterWorker> p = printer(id);
  if (!p) return Answer::Refused(404, "There is no printer " + id + "; GET /printers lists them.", "id");

  if (pattern == "/printers/{id}")
    return runTask(request, *p, r.what, [id](TKELMORA& t, Task&) { return calls::Identity(t, id); });
  if (pattern == "/printers/{id}/status")
    return runTask(request, *p, r.what, [id](TKELMORA& t, Task&) { return calls::Status(t, id); });

  if (pattern == "/printers/{id}/receipt") {
    json doc;
    if (auto refused = ParseBody(request, doc)) return *refused;
    const std::string header = request.Header("idempotency-key");
    if (!IsUtf8(header)) return Answer::Refused(400, "The Idempotency-Key header must be UTF-8 text.", "Idempotency-Key");
    if (!header.empty()) {
      if (doc.contains("key") && (!doc["key"].is_string() || doc["key"].get<std::string>() != header))
        return Answer::Refused(400, "The body's key and the Idempotency-Key header differ; send one, or the same.", "/key");
      doc["key"] = header;
    }
    const std::string document = doc.dump();
    return runTask(request, *p, r.what, [document](TKELMORA& t, Task&) { return calls::Receipt(t, document); });
  }

  if (pattern == "/printers/{id}/receipts/{key}" || pattern == "/printers/{id}/receipts") {
    // The journal only. It keeps receipts by the printer's serial number; a
    // printer that has not answered since the service started is connected
    // first to learn it, and a connect settles the receipts it left
    // unfinished (as every first call does).
    std::string day;
    if (pattern == "/printers/{id}/receipts") {
      day = request.query.count("day") ? request.query.at("day") : Today();
      if (!std::regex_match(day, std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}")))
        return Answer::Refused(400, "day must be YYYY-MM-DD, e.g. " + Today() + ".", "day");
    }
    const std::string key = params.count("key") ? params.at("key") : std::string();
    auto read = [id, day, key](const std::string& serial) { return JournalAnswer(id, serial, day, key); };
    const std::string serial = p->Serial();
    if (!serial.empty()) return read(serial);
    return runTask(request, *p, r.what, [read](TKELMORA& t, Task&) { return read(t.printerSerial()); });
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
                                                   "application/octet-stream"};
    if (!pictures.count(type.substr(0, type.find(';'))))
      return Answer::Refused(415, "The logo must be a BMP, PNG or JPEG picture (Content-Type image/bmp, image/png or image/jpeg)" +
                                      (type.empty() ? std::string(".") : ", not " + type + "."), "body");
    if (request.body.empty()) return Answer::Refused(400, "The body is empty; send the picture.", "body");
    // Checked before it waits for the printer: a file that is no picture
    // is the caller's to mend, whatever the printer is doing.
    if (!IsLogoPicture(request.body))
      return Answer::Refused(415, "The body is not a BMP, PNG or JPEG picture.", "body");
    const std::string picture = request.body;
    return runTask(request, *p, r.what,
                   [picture](TKELMORA& t, Task& task) { return calls::PutLogo(t, picture, task); });
  }
  return Answer::Refused(404, "There is no " + request.path + " in this API.");
}

}  // namespace orbantis::http
