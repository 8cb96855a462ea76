// The receipt checker: seeded random schedules of shop life on one network
// printer, each judged from the paper roll.
//
// Four tills send whole receipts: with and without payments, with a buyer,
// with a line of an item the printer does not have (refused, so the receipt
// is cancelled). Tills 1 and 2 belong to one program (one journal
// connection, one receipt service, a printer connection each); till 3 sends
// its receipts to orbantis-http's service (its own journal connection on the
// same journal file, its own serial line), as a web till does; till 4 calls
// printReceipt on an object of the bus server, a process of its own on a
// private bus. A till of
// another program rings its own receipts with the command rows on its own
// serial line, or (one receipt in three) as bare frames through
// orbantis-http's raw route, and sometimes leaves one open for a while.
//
// The schedule arms a fault at a random frame of a call (the request lost,
// the answer lost after the printer carried it out, the link dropped, the
// printer restarting right after it carried a frame out, so that the
// driver's repeat is carried out again); restarts a program (its objects and
// its journal connection; the journal file stays); switches the printer off
// and starts it again from its state file, with every program; blocks the
// journal for a call as a full disk would; and (as root, who may reopen a
// serial line a killed driver left exclusive) runs a till's call in a driver
// process of its own that shares the journal, killed with SIGKILL at a
// random frame; till 4's fault is the bus server killed with SIGKILL at a
// random frame of its call (it starts again with the next one). Then the
// faults stop: the other till finishes its receipt, and each till sends its
// key until the answer is final.
//
// The oracle reads the paper roll and the answers:
//   - each key fiscalised at most once, and no receipt holding two tills' lines;
//   - a key answered "printed" is on exactly one fiscal receipt, with its
//     lines, its total and the number the answer gave;
//   - a key answered cancelled or failed is on no fiscal receipt;
//   - no receipt of the other till cancelled or closed by the driver;
//   - no receipt opened through orbantis-http while a key of the journal was
//     unsettled on the printer;
//   - nothing left open, and every key settled once the faults stopped.
//
// ORBANTIS_CHECKER_HISTORY=1 prints what happened in every schedule;
// ORBANTIS_SERVER_EXE and ORBANTIS_RECEIPT_RUNNER run other copies of the
// bus server and the driver process than the build's.
// ORBANTIS_CHECKER_SCHEDULES sets how many schedules run (default 40),
// ORBANTIS_CHECKER_SEED the first seed (default 1); a failing schedule
// prints its seed, and that seed with ORBANTIS_CHECKER_SCHEDULES=1 replays
// it. scripts/soak-receipts.sh runs many.
//
// The other till never leaves an empty receipt open: an empty open receipt
// while a key's open never answered is the one case the printer's reads
// cannot tell apart, and the driver cancels it (docs/receipts.md).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <thread>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>

#include "BusFixture.h"
#include "ReceiptFixture.h"
#include "http/HttpServer.h"
#include "http/Service.h"
#include "support/ScopedEnv.h"
#include "tests/http/HttpClient.h"
#include "uORBANTIS/TKELMORA.h"

extern char** environ;

namespace orbantis {
namespace {

using emulator::FrameFault;
using nlohmann::json;
using namespace receipts;

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
  const char* v = std::getenv(name);
  if (v == nullptr || *v == '\0') return fallback;
  return std::strtoull(v, nullptr, 10);
}

std::string Money(std::int64_t cents) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld.%02lld", static_cast<long long>(cents / 100),
                static_cast<long long>(cents % 100));
  return buf;
}

// Half away from zero, as the printer rounds to the cent.
std::int64_t RoundDiv(std::int64_t a, std::int64_t b) { return (a + b / 2) / b; }

// One key of a till: its document and what the printer must show for it.
struct Key {
  std::string key, tag, document;
  std::vector<std::string> lines;  // the item texts as printed
  std::int64_t total = 0;          // cents; 0 when a line is refused
  bool refusedLine = false;
  int lastCode = 1;  // none yet
  json lastAnswer;
  bool final = false;
};

// The other program's receipt.
struct Foreign {
  std::string tag;
  bool raw = false;  // rung through orbantis-http's raw route
  bool opened = false, paid = false, closed = false, cancelled = false, lost = false;
};

struct Block {
  bool fiscal = false, cancelled = false;
  std::set<std::string> tags;
  std::int64_t total = -1;
  std::string number;  // the global number of a fiscal receipt
  std::string text;
};

std::vector<Block> PaperBlocks(const std::string& paper) {
  std::vector<Block> blocks;
  Block current;
  std::istringstream in(paper);
  static const std::regex tag(R"(^([KF]\d+)(\.\d+)?( |$))");
  static const std::regex number(R"(^RECEIPT (\d+)/(\d+) )");
  static const std::regex total(R"(^TOTAL +(-?\d+\.\d\d)$)");
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.find_first_not_of('=') == std::string::npos) {
      blocks.push_back(current);
      current = Block {};
      continue;
    }
    current.text += line + "\n";
    std::smatch m;
    if (std::regex_search(line, m, tag)) current.tags.insert(m[1]);
    if (std::regex_search(line, m, number)) {
      current.fiscal = true;
      current.number = m[2];
    }
    if (std::regex_search(line, m, total)) {
      const std::string t = m[1];
      current.total = std::stoll(t.substr(0, t.size() - 3)) * 100 + std::stoll(t.substr(t.size() - 2));
    }
    if (line.find("*** RECEIPT CANCELLED ***") != std::string::npos) current.cancelled = true;
  }
  return blocks;
}

class Schedule {
 public:
  explicit Schedule(std::uint64_t seed) : FSeed(seed), FRandom(seed) {
    // Where the bus server finds the journal by itself.
    FJournalPath = FDir.Path() + "state/ORBANTIS/journal.sqlite";
    startPrinter();
    start();
    startHttp();
  }
  ~Schedule() {
    stopHttp();
    stopBusServer(SIGTERM);
  }

  // Runs the schedule and the settling after it; the violations found.
  std::vector<std::string> Run() {
    const int steps = pick(10, 24);
    for (int s = 0; s < steps; ++s) {
      const int roll = pick(1, 100);
      if (roll <= 58) tillCall(pick(0, FTillCount - 1), /*faultsOn=*/true);
      else if (roll <= 76) foreignStep();
      else if (roll <= 84) {
        const int which = pick(1, 7);
        if (which <= 2) restart();
        else if (which <= 4) restartHttp();
        else if (which <= 6) stopBusServer(SIGTERM);  // it starts again with the next call
        else restartPrinter();
      } else if (roll <= 90) {
        FBlockNext = true;
        tillCall(pick(0, 2), true);
      } else if (roll <= 96 && ::geteuid() == 0) {
        killedCall(pick(0, 1));
      }
    }
    // The faults stop: the other till finishes its receipt, each key is sent
    // until its answer is final.
    FEmu->faults().restore();
    finishForeign();
    for (int round = 0; round < 8; ++round)
      for (int t = 0; t < FTillCount; ++t) {
        if (FCurrent[t] < 0 || FKeys[static_cast<std::size_t>(FCurrent[t])].final) continue;
        personActs(FKeys[static_cast<std::size_t>(FCurrent[t])]);
        tillCall(t, false);
      }
    judge();
    return FViolations;
  }

  int Faults() const { return FFaults; }
  int Calls() const { return FCalls; }
  // How the keys ended: printed, cancelled, failed, attention.
  std::map<std::string, int> Endings() const {
    std::map<std::string, int> endings;
    for (const Key& k : FKeys)
      if (k.final) ++endings[k.lastAnswer.is_object() ? k.lastAnswer.value("state", "?") : "?"];
    return endings;
  }

 private:
  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(FRandom); }

  // wire 0: the network; 1 and 2: a serial line each.
  std::unique_ptr<TFP_ZORVIK> connect(int wire) {
    return wire == 0 ? test::ModelAt({}, FPort, 100) : test::ModelAt(FDevices[static_cast<std::size_t>(wire - 1)], 0, 100);
  }

  // The printer keeps its memory in a file, and its serial lines keep their
  // names (links), so that it can be switched off and started again as the
  // same device.
  void startPrinter() {
    emulator::EmulatorOptions options;
    options.stateFile = FDir.Path() + "printer.json";
    FEmu = std::make_unique<emulator::Emulator>(options);
    // A new port each start: the old one may be another program's by now.
    FPort = FEmu->startTcp(0);
    for (std::size_t i = 0; i < FDevices.size(); ++i) {
      FDevices[i] = FDir.Path() + "line" + std::to_string(i);
      FEmu->startPty(FDevices[i]);
    }
  }

  // The program starts: its journal, its service, an object per till.
  void start() {
    FJournal = std::make_unique<journal::Journal>(FJournalPath);
    FService = std::make_unique<ReceiptService>(*FJournal);
    FTills[0] = connect(0);
    FTills[1] = connect(1);
    if (!FForeignTill) FForeignTill = connect(2);
  }

  void restart() {
    FHistory << "  the program of tills 1 and 2 starts again\n";
    FEmu->faults().restore();
    for (auto& t : FTills) t.reset();
    FService.reset();
    FJournal.reset();
    start();
  }

  // orbantis-http, the other ORBANTIS program on this machine: its own
  // journal connection and receipt service on the same journal file, its
  // printer p1 on a serial line of its own. Till 3 sends its receipts to it,
  // and the other program's till at times rings through its raw route.
  void startHttp() {
    FHttpJournal = std::make_unique<journal::Journal>(FJournalPath);
    TKELMORA::SetReceipts(std::make_shared<ReceiptService>(*FHttpJournal));
    http::PrinterConfig printer;
    printer.id = "p1";
    printer.device = FDevices[3];
    http::ServiceOptions options;
    options.printers = {printer};
    options.page = "<!doctype html><title>ORBANTIS</title>";
    options.openapi = "{}";
    // The waits of the other tills: a lost answer costs a fraction of a second.
    options.preparePrinter = [](TKELMORA& p) { p.SetAnswerWait(std::chrono::milliseconds(100)); };
    FHttp = std::make_unique<http::Service>(options);
    FHttpServer = std::make_unique<http::HttpServer>(
        http::ServerLimits {}, [this](const http::Request& r) { return FHttp->Handle(r); }, &http::Service::ErrorResponse);
    FHttpServer->Listen("127.0.0.1", 0);
    FHttpPort = FHttpServer->Port();
    FHttpThread = std::thread([this] { FHttpServer->Run(); });
  }

  void stopHttp() {
    if (FHttpServer && FHttp) http::StopGracefully(*FHttpServer, *FHttp);
    if (FHttpThread.joinable()) FHttpThread.join();
    FHttpServer.reset();
    FHttp.reset();
    TKELMORA::SetReceipts(nullptr);
    FHttpJournal.reset();
  }

  void restartHttp() {
    FHistory << "  orbantis-http starts again\n";
    FEmu->faults().restore();
    stopHttp();
    startHttp();
  }

  // The bus server, the program of till 4: started on a private bus with the
  // first call to it, its object connected to the printer's fifth line.
  // Returns false when it cannot be reached.
  bool ensureBusServer() {
    if (!FBus) {
      FBus = std::make_unique<test::ServerWorld>();
      if (const char* exe = std::getenv("ORBANTIS_SERVER_EXE")) FBus->serverExe = exe;
      FBus->env.push_back("XDG_STATE_HOME=" + FDir.Path() + "state");
      FBusClient = std::make_unique<QDBusConnection>(FBus->Client());
    }
    if (FBus->server <= 0) {
      FHistory << "  the bus server starts\n";
      if (!FBus->StartServer()) return false;
    }
    if (FBusObject.isEmpty()) {
      const QDBusMessage made = test::Call(*FBusClient, QStringLiteral("/ORBANTIS/KELMORA"),
                                           QStringLiteral("ORBANTIS.KELMORA"), QStringLiteral("CreateObject"));
      if (made.type() != QDBusMessage::ReplyMessage) return false;
      FBusObject = made.arguments().value(0).value<QDBusObjectPath>().path();
      const QDBusMessage init =
          busMethod("initFiscalPrinterDevice", {QString::fromStdString(FDevices[4]), 115200, true, true});
      const QDBusMessage connected = busMethod("CONNECT_TO_PRINTER");
      auto ok = [](const QDBusMessage& m) {
        return m.type() == QDBusMessage::ReplyMessage && m.arguments().value(0).toInt() == 0;
      };
      if (!ok(init) || !ok(connected)) {
        FHistory << "    the bus object did not connect\n";
        test::Call(*FBusClient, FBusObject, QStringLiteral("ORBANTIS.Automation"), QStringLiteral("Release"));
        FBusObject.clear();
        return false;
      }
    }
    return true;
  }

  QDBusMessage busMethod(const char* method, const QVariantList& args = {}) {
    return test::Call(*FBusClient, FBusObject, QStringLiteral("ORBANTIS.IKELMORA"), QString::fromLatin1(method), args);
  }

  void stopBusServer(int signal) {
    if (!FBus || FBus->server <= 0) return;
    if (signal == SIGTERM) FHistory << "  the bus server stops\n";
    ::kill(FBus->server, signal);
    if (test::WaitExit(FBus->server, 10000) < 0) {
      // A server that does not end would keep the bus name from the next.
      ::kill(FBus->server, SIGKILL);
      test::WaitExit(FBus->server, 10000);
    }
    FBus->server = -1;
    FBusObject.clear();
  }

  // Till 4's call: printReceipt on its bus object. killAt > 0 kills the
  // server with SIGKILL as the printer receives that frame of the call.
  Outcome busCall(const std::string& document, int killAt) {
    if (!ensureBusServer()) return {1, "the bus server could not be reached"};
    // The hook holds what it uses: the emulator may run a copy of it as it is
    // taken away.
    const auto seen = std::make_shared<std::atomic<int>>(0);
    const pid_t server = FBus->server;
    if (killAt > 0)
      FEmu->setRequestHook([seen, killAt, server](std::uint8_t) {
        if (++*seen == killAt) ::kill(server, SIGKILL);
      });
    const QDBusMessage reply = busMethod("printReceipt", {QString::fromStdString(document), QString()});
    FEmu->setRequestHook(nullptr);
    if (killAt > 0 && *seen >= killAt) {
      FHistory << "    the bus server killed at frame " << killAt << "\n";
      ++FFaults;
      ::waitpid(server, nullptr, 0);
      FBus->server = -1;
      FBusObject.clear();
    }
    if (reply.type() != QDBusMessage::ReplyMessage) return {1, reply.errorMessage().toStdString()};
    return {reply.arguments().value(0).toInt(), reply.arguments().value(1).toString().toStdString()};
  }

  // The shop's power goes: the printer comes back from its memory, every
  // program starts again, and the other program's till connects anew.
  void restartPrinter() {
    FHistory << "  the printer and every program start again\n";
    stopBusServer(SIGTERM);
    stopHttp();
    for (auto& t : FTills) t.reset();
    FForeignTill.reset();
    FService.reset();
    FJournal.reset();
    FPaper += FEmu->paperText();
    FEmu.reset();
    startPrinter();
    start();
    startHttp();
    ++FFaults;
  }

  Key newKey(int till) {
    Key k;
    const int n = ++FKeyCount;
    k.key = "till" + std::to_string(till + 1) + "-" + std::to_string(FSeed) + "-" + std::to_string(n);
    k.tag = "K" + std::to_string(n);
    json doc = {{"key", k.key}, {"operator", {{"code", till + 1}, {"password", "0000"}, {"till", till + 1}}}};
    if (pick(1, 6) == 1)
      doc["buyer"] = {{"lines", {"Buyer Ltd", "1 Main St", "Town"}}, {"tin", "123456789"}, {"vrn", "987654321"}};
    json items = json::array();
    const int lines = pick(1, 4);
    for (int i = 0; i < lines; ++i) {
      const std::string text = k.tag + (i == 0 ? "" : "." + std::to_string(i));
      json item = {{"text", text}, {"taxGroup", pick(0, 1) ? "A" : "B"}, {"unit", "pc"}};
      const std::int64_t price = pick(10, 2000);
      item["price"] = Money(price);
      std::int64_t quantity = 1000;  // thousandths
      if (pick(1, 3) == 1) {
        quantity = std::vector<std::int64_t> {1500, 2000, 333, 3000}[static_cast<std::size_t>(pick(0, 3))];
        char q[48];
        std::snprintf(q, sizeof q, "%lld.%03lld", static_cast<long long>(quantity / 1000),
                      static_cast<long long>(quantity % 1000));
        item["quantity"] = q;
      }
      std::int64_t amount = RoundDiv(price * quantity, 1000);
      const int adjust = pick(1, 6);
      if (adjust == 1) {
        item["discountPercent"] = "10";
        amount -= RoundDiv(amount * 1000, 10000);
      } else if (adjust == 2 && amount > 60) {
        item["discountAmount"] = "0.50";
        amount -= 50;
      }
      k.lines.push_back(text);
      k.total += amount;
      items.push_back(item);
    }
    if (pick(1, 10) == 1) {
      items.push_back({{"plu", 7}});  // the printer has no item 7
      k.refusedLine = true;
    }
    if (pick(1, 4) == 1) items.push_back({{"comment", "Thank you"}});
    doc["items"] = items;
    const int pay = pick(1, 4);
    if (pay == 2) doc["payments"] = {{{"mode", "P"}, {"amount", Money((k.total / 100 + 1) * 100)}}};
    if (pay == 3) doc["payments"] = {{{"mode", "D"}, {"amount", Money(k.total)}}};
    if (pay == 4 && k.total > 100)
      doc["payments"] = {{{"mode", "D"}, {"amount", "1.00"}}, {{"mode", "P"}, {"amount", Money(k.total)}}};
    k.document = doc.dump();
    return k;
  }

  // Till t sends its key again, or a new one once the last is final.
  void tillCall(int t, bool faultsOn) {
    if (FCurrent[t] < 0 || FKeys[static_cast<std::size_t>(FCurrent[t])].final) {
      if (!faultsOn) return;
      FKeys.push_back(newKey(t));
      FCurrent[t] = static_cast<int>(FKeys.size()) - 1;
    }
    Key& k = FKeys[static_cast<std::size_t>(FCurrent[t])];
    const bool fault = faultsOn && pick(1, 100) <= 40;
    // The bus server waits the driver's full time for a lost answer; its
    // fault is the server killed at a frame of the call (as root, who may
    // reopen the line the killed server held exclusive).
    int killAt = 0;
    if (fault && t == 3) {
      if (::geteuid() == 0) killAt = pick(1, 12);
    } else if (fault) {
      static const FrameFault kinds[] = {FrameFault::loseRequest, FrameFault::loseAnswer, FrameFault::dropLink,
                                         FrameFault::powerCycle};
      FEmu->faults().setFrameFault(kinds[pick(0, 3)], static_cast<unsigned>(pick(1, 12)));
      ++FFaults;
    }
    journal::Journal& journal = t == 2 ? *FHttpJournal : *FJournal;
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> blocker(nullptr, sqlite3_close);
    if (FBlockNext) {
      // A second writer holding the journal stands in for a full disk.
      sqlite3* db = nullptr;
      sqlite3_open(FJournalPath.c_str(), &db);
      blocker.reset(db);
      sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
      journal.SetBusyTimeout(30);
      FBlockNext = false;
      ++FFaults;
    }
    const Outcome o = t == 3   ? busCall(k.document, killAt)
                      : t == 2 ? httpCall(k.document)
                               : FService->Print(*FTills[static_cast<std::size_t>(t)], test::kSerial, k.document);
    ++FCalls;
    if (blocker) {
      sqlite3_exec(blocker.get(), "ROLLBACK", nullptr, nullptr, nullptr);
      blocker.reset();
      journal.SetBusyTimeout(5000);
    }
    FEmu->faults().restore();
    k.lastCode = o.code;
    k.lastAnswer = json::parse(o.json, nullptr, false);
    const std::string state = k.lastAnswer.is_object() ? k.lastAnswer.value("state", "") : "";
    const std::string journalState = k.lastAnswer.is_object() ? k.lastAnswer.value("journalState", "") : "";
    // A final answer, or an attention settled in the journal, ends the key;
    // a till rings a cancelled or failed sale again under the same key now
    // and then.
    k.final = o.code == RECEIPT_PRINTED || o.code == RECEIPT_CANCELLED || o.code == RECEIPT_FAILED ||
              (o.code == RECEIPT_ATTENTION && journalState == "attention") ||
              (o.code == RECEIPT_JOURNAL && state == "failed");
    if (k.final && (o.code == RECEIPT_CANCELLED || o.code == RECEIPT_FAILED) && !k.refusedLine && faultsOn &&
        pick(1, 3) == 1)
      k.final = false;  // sent again later: a new attempt
    FHistory << "  till" << t + 1 << " " << k.key << (fault ? " (fault)" : "") << " -> " << o.code << " " << state
             << "\n";
  }

  // Till 3's call: POST /printers/p1/receipt, as a web till sends it. An
  // answer of the service itself (the printer could not be reached, the
  // queue is full) carries no receipt state and ends nothing.
  Outcome httpCall(const std::string& document) {
    const test::Reply reply = test::Call(FHttpPort, "POST", "/printers/p1/receipt", document);
    const json body = reply.Json();
    if (!body.is_object() || !body.contains("state")) {
      FHistory << "    orbantis-http answered " << reply.status << " " << reply.body << "\n";
      return {1, reply.body};
    }
    return {body.value("code", 1), reply.body};
  }

  // Till t's call runs in a driver process of its own on the journal this
  // program uses, killed with SIGKILL as the printer receives frame k of it.
  void killedCall(int t) {
    if (FCurrent[t] < 0 || FKeys[static_cast<std::size_t>(FCurrent[t])].final) {
      FKeys.push_back(newKey(t));
      FCurrent[t] = static_cast<int>(FKeys.size()) - 1;
    }
    Key& k = FKeys[static_cast<std::size_t>(FCurrent[t])];
    const std::string document = FDir.Path() + "document.json", out = FDir.Path() + "answer.json";
    std::ofstream(document) << k.document;
    const int frame = pick(1, 14);
    // Shared with the hook, which the emulator may still run as it is taken away.
    const auto child = std::make_shared<std::atomic<pid_t>>(-1);
    const auto seen = std::make_shared<std::atomic<int>>(0);
    bool killedNow = false;
    FEmu->setRequestHook([child, seen, frame](std::uint8_t) {
      // Frames count once the process is known: it is killed at its own kth.
      if (child->load() > 0 && ++*seen == frame) ::kill(child->load(), SIGKILL);
    });
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const char* runner = std::getenv("ORBANTIS_RECEIPT_RUNNER");
    if (runner == nullptr) runner = ORBANTIS_RECEIPT_RUNNER;
    const char* argv[] = {runner, FDevices[2].c_str(), FJournalPath.c_str(), document.c_str(),
                          nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ) == 0) {
      *child = pid;
      bool ended = false;
      int status = 0;
      for (int i = 0; i < 3000 && !ended; ++i) {
        ended = ::waitpid(pid, &status, WNOHANG) == pid;
        if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        violation("the driver process for " + k.key + " did not end in 30 s");
      }
      killedNow = ended && WIFSIGNALED(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    FEmu->setRequestHook(nullptr);
    ++FCalls;
    const bool killed = killedNow;
    if (killed) ++FFaults;
    const json answer = json::parse(test::ReadFile(out), nullptr, false);
    FHistory << "  till" << t + 1 << " " << k.key << " in a driver process"
             << (killed ? " killed at frame " + std::to_string(frame) : std::string()) << " -> "
             << (answer.is_object() ? answer.dump() : std::string("no answer")) << "\n";
    if (!answer.is_object()) return;  // killed: the till sends the key again later
    k.lastCode = answer.value("code", 1);
    k.lastAnswer = answer;
    k.final = k.lastCode == RECEIPT_PRINTED || k.lastCode == RECEIPT_CANCELLED || k.lastCode == RECEIPT_FAILED ||
              (k.lastCode == RECEIPT_ATTENTION && answer.value("journalState", "") == "attention");
  }

  // An attention that is not settled asks a person to finish the key's
  // receipt by hand when the printer holds it (the other till's own receipt
  // is finished by that till): the person pays the rest in cash and closes.
  void personActs(const Key& k) {
    if (k.lastCode != RECEIPT_ATTENTION) return;
    const bool open = FEmu->inspect([](const emulator::Printer& p) {
      return p.receipt().kind == emulator::OpenReceipt::Kind::fiscal;
    });
    const bool theOthers = !FForeign.empty() && FForeign.back().opened && !FForeign.back().closed &&
                           !FForeign.back().cancelled && !FForeign.back().lost;
    if (!open || theOthers) return;
    FHistory << "  a person finishes the receipt open for " << k.key << " by hand\n";
    AnsiStrings out;
    FForeignTill->Run("CMD_53_0_1", {}, out);
    FForeignTill->Run("CMD_56_0_0", {}, out);
  }

  // One command of the other program's till: a command row on its own
  // serial line, or (a receipt in three) the bare frame through
  // orbantis-http's raw route, which is ORBANTIS's own path to the printer.
  bool foreignRun(const Foreign& f, const char* row, const AnsiStrings& values, int command, const std::string& data) {
    bool ok = false;
    if (f.raw) {
      const test::Reply reply =
          test::Call(FHttpPort, "POST", "/printers/p1/raw", json {{"command", command}, {"data", data}}.dump());
      const json body = reply.Json();
      ok = reply.status == 200 && body.is_object() && body.value("ok", false);
      FHistory << "  other till " << row << " through orbantis-http" << (ok ? "" : " refused: " + reply.body) << "\n";
    } else {
      AnsiStrings answers;
      ok = FForeignTill->Run(row, values, answers) == 0;
      FHistory << "  other till " << row << (ok ? "" : " refused") << "\n";
    }
    return ok;
  }

  // The other program's till: opens and sells, takes part of the payment,
  // finishes or cancels; at times it rings a whole receipt at once.
  void foreignStep() {
    if (FForeign.empty() || !FForeign.back().opened || FForeign.back().closed || FForeign.back().cancelled ||
        FForeign.back().lost) {
      Foreign f;
      f.tag = "F" + std::to_string(FForeign.size() + 1);
      f.raw = pick(1, 3) == 1;
      if (!foreignRun(f, "CMD_48_0_0", {"3", "0000", "3"}, 48, "3,0000,3")) return;  // a receipt is open: try later
      f.opened = true;
      // No path of ORBANTIS opens a receipt while a key of its journal is
      // unsettled on the printer.
      if (f.raw)
        for (const auto& e : FJournal->Unfinished(test::kSerial))
          violation("orbantis-http opened " + f.tag + " while " + e.key + " was " + journal::StateName(e.state));
      // Open and first sale go together: it never leaves an empty receipt.
      const std::string price = Money(pick(100, 900));
      if (!foreignRun(f, "CMD_49_0_11", {f.tag, "A", price, "1", "pc"}, 49, f.tag + "\tA" + price + "*1#pc"))
        f.lost = true;
      FForeign.push_back(f);
      if (pick(1, 3) != 1) finishForeign();  // a whole receipt; else left open for a while
      return;
    }
    Foreign& f = FForeign.back();
    const int what = pick(1, 3);
    if (what == 1 && !f.paid) {
      f.paid = foreignRun(f, "CMD_53_0_0", {"N", "0.50"}, 53, "N+0.50");
      if (!f.paid) f.lost = true;
    } else if (what == 2 && !f.paid) {
      f.cancelled = foreignRun(f, "CMD_60_0_0", {}, 60, "");
      if (!f.cancelled) f.lost = true;
    } else {
      finishForeign();
    }
  }

  void finishForeign() {
    if (FForeign.empty()) return;
    Foreign& f = FForeign.back();
    if (!f.opened || f.closed || f.cancelled || f.lost) return;
    if (!foreignRun(f, "CMD_53_0_1", {}, 53, "")) {
      f.lost = true;
      return;
    }
    f.paid = true;
    f.closed = foreignRun(f, "CMD_56_0_0", {}, 56, "");
    if (!f.closed) f.lost = true;
  }

  void violation(const std::string& what) { FViolations.push_back(what); }

  void judge() {
    const std::vector<Block> blocks = PaperBlocks(FPaper + FEmu->paperText());
    std::map<std::string, int> fiscalByTag;
    std::map<std::string, const Block*> fiscalBlock, cancelledBlock;
    std::set<std::string> numbers;
    for (const Block& b : blocks) {
      if (b.tags.size() > 1) violation("a receipt holds the lines of several tills:\n" + b.text);
      for (const auto& tag : b.tags) {
        if (b.fiscal) {
          ++fiscalByTag[tag];
          fiscalBlock[tag] = &b;
        }
        if (b.cancelled) cancelledBlock[tag] = &b;
      }
    }
    for (const Key& k : FKeys) {
      const int fiscal = fiscalByTag.count(k.tag) ? fiscalByTag[k.tag] : 0;
      if (fiscal > 1) violation(k.key + " fiscalised " + std::to_string(fiscal) + " times");
      if (!k.final) violation(k.key + " not settled once the faults stopped: " + k.lastAnswer.dump());
      if (k.lastCode == RECEIPT_PRINTED) {
        if (fiscal != 1) {
          violation(k.key + " answered printed but is on " + std::to_string(fiscal) + " fiscal receipts");
          continue;
        }
        const Block& b = *fiscalBlock[k.tag];
        if (b.total != k.total)
          violation(k.key + " printed with total " + Money(b.total) + ", its lines make " + Money(k.total));
        for (const auto& line : k.lines) {
          // The line's text at the start of a paper line, followed by a
          // space or the line's end, exactly once.
          const std::regex exact("(^|\n)" + std::regex_replace(line, std::regex(R"([.])"), R"(\.)") + "( |\n)");
          const auto n = std::distance(std::sregex_iterator(b.text.begin(), b.text.end(), exact),
                                       std::sregex_iterator());
          if (n != 1) violation(k.key + " printed with its line " + line + " " + std::to_string(n) + " times");
        }
        const std::string answered = k.lastAnswer.value("globalNumber", "");
        if (answered != b.number)
          violation(k.key + " answered receipt " + answered + " but was printed as " + b.number);
        if (!numbers.insert(answered).second) violation("receipt " + answered + " answered for two keys");
      }
      const bool notFiscalised = k.lastCode == RECEIPT_CANCELLED || k.lastCode == RECEIPT_FAILED ||
                                 (k.lastCode == RECEIPT_JOURNAL && k.lastAnswer.value("state", "") == "failed");
      if (notFiscalised && fiscal != 0)
        violation(k.key + " answered " + std::to_string(k.lastCode) + " but was fiscalised");
      // Settled as attention: if the key is on a fiscal receipt, it is the
      // one the answer names for a person to look up.
      if (k.lastCode == RECEIPT_ATTENTION && k.final && fiscal == 1 && k.lastAnswer.contains("receiptToCheck") &&
          k.lastAnswer["receiptToCheck"] != fiscalBlock[k.tag]->number)
        violation(k.key + " names receipt " + k.lastAnswer["receiptToCheck"].dump() + " to check, but was printed as " +
                  fiscalBlock[k.tag]->number);
    }
    for (const Foreign& f : FForeign) {
      if (fiscalByTag.count(f.tag) && !f.closed) violation("the other till's receipt " + f.tag + " was closed by the driver");
      if (cancelledBlock.count(f.tag) && !f.cancelled)
        violation("the other till's receipt " + f.tag + " was cancelled by the driver");
      if (f.closed && !fiscalByTag.count(f.tag)) violation("the other till closed " + f.tag + " but it is not on the paper");
    }
    const bool open = FEmu->inspect([](const emulator::Printer& p) {
      return p.receipt().kind == emulator::OpenReceipt::Kind::fiscal;
    });
    if (open) violation("a receipt was left open");
  }

 public:
  std::string History() const { return FHistory.str(); }

 private:
  std::uint64_t FSeed;
  std::mt19937_64 FRandom;
  // 1 and 2 of one program, 3 through orbantis-http, 4 through the bus server.
  static constexpr int kTills = 4;
  // ORBANTIS_CHECKER_TILLS=3 leaves out the bus server's till (ThreadSanitizer
  // cannot see the hand-offs inside Qt's bus threads, which are not built
  // with it, and reports them as races).
  const int FTillCount = static_cast<int>(std::clamp<std::uint64_t>(EnvNumber("ORBANTIS_CHECKER_TILLS", kTills), 1, kTills));
  test::TempDir FDir;
  test::ScopedEnv FStateHome {"XDG_STATE_HOME", FDir.Path() + "state"};
  test::ScopedEnv FConfigHome {"XDG_CONFIG_HOME", FDir.Path() + "config"};
  test::ScopedEnv FDataHome {"XDG_DATA_HOME", FDir.Path() + "data"};  // the driver's log
  std::unique_ptr<emulator::Emulator> FEmu;
  std::string FPaper;  // what the printer printed before it was last switched off
  std::uint16_t FPort = 0;
  // Links to the printer's serial lines: till 2, the other program, the
  // driver process, orbantis-http, the bus server.
  std::array<std::string, 5> FDevices;
  std::string FJournalPath;
  std::unique_ptr<journal::Journal> FJournal;
  std::unique_ptr<ReceiptService> FService;
  std::array<std::unique_ptr<TFP_ZORVIK>, 2> FTills;
  std::unique_ptr<TFP_ZORVIK> FForeignTill;
  std::unique_ptr<journal::Journal> FHttpJournal;
  std::unique_ptr<http::Service> FHttp;
  std::unique_ptr<http::HttpServer> FHttpServer;
  std::thread FHttpThread;
  std::uint16_t FHttpPort = 0;
  std::unique_ptr<test::ServerWorld> FBus;
  std::unique_ptr<QDBusConnection> FBusClient;
  QString FBusObject;
  std::vector<Key> FKeys;
  std::array<int, kTills> FCurrent {-1, -1, -1, -1};
  std::vector<Foreign> FForeign;
  int FKeyCount = 0, FFaults = 0, FCalls = 0;
  bool FBlockNext = false;
  std::vector<std::string> FViolations;
  std::ostringstream FHistory;
};

TEST(ReceiptChecker, RandomSchedulesOfTillsFaultsAndRestartsHoldFromThePaperRoll) {
  const std::uint64_t first = EnvNumber("ORBANTIS_CHECKER_SEED", 1);
  const std::uint64_t count = EnvNumber("ORBANTIS_CHECKER_SCHEDULES", 40);
  const bool showAll = EnvNumber("ORBANTIS_CHECKER_HISTORY", 0) != 0;
  int faults = 0, calls = 0, failing = 0, violations = 0;
  std::map<std::string, int> endings;
  for (std::uint64_t seed = first; seed < first + count; ++seed) {
    Schedule schedule(seed);
    const auto found = schedule.Run();
    faults += schedule.Faults();
    calls += schedule.Calls();
    for (const auto& [state, n] : schedule.Endings()) endings[state] += n;
    if (showAll) std::cout << "schedule " << seed << ":\n" << schedule.History();
    if (found.empty()) continue;
    ++failing;
    violations += static_cast<int>(found.size());
    std::string text;
    for (const auto& v : found) text += "  " + v + "\n";
    ADD_FAILURE() << "schedule " << seed << " (replay: ORBANTIS_CHECKER_SEED=" << seed
                  << " ORBANTIS_CHECKER_SCHEDULES=1):\n"
                  << text << "what happened:\n"
                  << schedule.History();
  }
  std::cout << "receipt checker: " << count << " schedules from seed " << first << ", " << calls << " calls, "
            << faults << " faults, " << violations << " violations in " << failing << " schedules; keys ended";
  for (const auto& [state, n] : endings) std::cout << " " << state << " " << n;
  std::cout << "\n";
}

}  // namespace
}  // namespace orbantis

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);  // the bus client's calls
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
