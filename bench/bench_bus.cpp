// The server as its clients meet it, over a private bus, against the software
// printer:
//   TrivialCall          GetLastErrorCode on an object (no printer work)
//   CommandCall          CMD_33_0_0 through the server to the software printer
//   IsolatedCall         CMD_33_0_0 while another object's printer is silent
//                        and that object's connect keeps timing out
//   Load8Clients         8 clients on 8 printers, 2000 calls each; every answer
//                        checked against its request (counter: calls/s)
//   OneClient            the same calls from one client (counter: calls/s)
//   ServerMemory         resident memory of the idle server and with 8
//                        connected objects (counters, KiB)
//   ActivationStart      CreateObject answered by a server the bus must start
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <fstream>
#include <memory>
#include <thread>

#include "BusFixture.h"
#include "Emulator.h"
#include "support/TempDir.h"

namespace {

using namespace orbantis;

const QString kIface = QStringLiteral("ORBANTIS.IKELMORA");

// A server on a private bus, and objects on it connected to printers.
struct World : test::ServerWorld {
  QString Object(QDBusConnection& c, const std::string& device) {
    const QString path = test::Call(c, "/ORBANTIS/KELMORA", "ORBANTIS.KELMORA", "CreateObject")
                             .arguments()
                             .value(0)
                             .value<QDBusObjectPath>()
                             .path();
    if (!device.empty()) {
      test::Call(c, path, kIface, "initFiscalPrinterDevice", {QString::fromStdString(device), 115200, true, true});
      test::Call(c, path, kIface, "CONNECT_TO_PRINTER");
    }
    return path;
  }
};

void TrivialCall(benchmark::State& state) {
  World w;
  w.StartServer();
  QDBusConnection c = w.Client();
  const QString path = w.Object(c, "");
  for (auto _ : state) test::Call(c, path, kIface, "GetLastErrorCode");
}
BENCHMARK(TrivialCall)->UseRealTime()->Unit(benchmark::kMicrosecond);

void CommandCall(benchmark::State& state) {
  World w;
  w.StartServer();
  emulator::Emulator emu;
  QDBusConnection c = w.Client();
  const QString path = w.Object(c, emu.startPty());
  for (auto _ : state)
    if (test::Call(c, path, kIface, "CMD_33_0_0").arguments().value(0).toInt() != 0) state.SkipWithError("failed");
}
BENCHMARK(CommandCall)->UseRealTime()->Unit(benchmark::kMicrosecond);

void IsolatedCall(benchmark::State& state) {
  World w;
  w.StartServer();
  emulator::Emulator emu, silent;
  silent.faults().setSilent(true);
  QDBusConnection c = w.Client();
  QDBusConnection other = w.Client();
  const QString path = w.Object(c, emu.startPty());
  const QString blocked = w.Object(other, "");
  test::Call(other, blocked, kIface, "initFiscalPrinterDevice",
             {QString::fromStdString(silent.startPty()), 115200, true, true});
  // The silent printer's connect keeps its object's worker waiting.
  QDBusPendingCall pending =
      other.asyncCall(QDBusMessage::createMethodCall("ORBANTIS.KELMORA", blocked, kIface, "CONNECT_TO_PRINTER"), 120000);
  for (auto _ : state)
    if (test::Call(c, path, kIface, "CMD_33_0_0").arguments().value(0).toInt() != 0) state.SkipWithError("failed");
  state.counters["other_still_waiting"] = pending.isFinished() ? 0 : 1;
}
BENCHMARK(IsolatedCall)->UseRealTime()->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void Load(benchmark::State& state, int clients, int calls) {
  World w;
  w.StartServer();
  std::vector<std::unique_ptr<emulator::Emulator>> printers;
  std::vector<std::string> devices;
  for (int i = 0; i < clients; ++i) {
    printers.push_back(std::make_unique<emulator::Emulator>());
    devices.push_back(printers.back()->startPty());
  }
  std::atomic<long> wrong {0};
  for (auto _ : state) {
    std::vector<std::thread> threads;
    for (int i = 0; i < clients; ++i) {
      threads.emplace_back([&, i] {
        QDBusConnection c = w.Client();
        const QString path = w.Object(c, devices[i]);
        // Each printer gets a serial number of its own; every answer must
        // carry the serial of the printer this client talks to.
        const QString serial = QStringLiteral("OB%1").arg(i + 1, 8, 10, QLatin1Char('0'));
        // The serial-number command (99h) is not on the interface: a raw command sets it.
        const auto set = test::Call(c, path, kIface, "CUSTOM_CMD", {0x99, serial, QString()});
        if (!set.arguments().value(0).toBool())
          std::fprintf(stderr, "client %d: serial not set: %s %s\n", i, qPrintable(set.errorMessage()),
                       qPrintable(test::Call(c, path, kIface, "GetLastErrorMessage").arguments().value(0).toString()));
        for (int k = 0; k < calls; ++k) {
          const auto r = test::Call(c, path, kIface, "CMD_90_0_0", {"", "", "", "", ""});
          if (r.arguments().value(0).toInt() != 0 || r.arguments().value(5).toString() != serial) {
            if (wrong++ == 0)
              std::fprintf(stderr, "client %d call %d: %s\n", i, k, qPrintable(r.errorMessage()));
          }
        }
        test::Call(c, path, "ORBANTIS.Automation", "Release");
      });
    }
    for (auto& t : threads) t.join();
  }
  state.counters["calls_per_s"] =
      benchmark::Counter(static_cast<double>(clients) * calls, benchmark::Counter::kIsRate);
  state.counters["wrong_answers"] = static_cast<double>(wrong);
}
void Load8Clients(benchmark::State& state) { Load(state, 8, 2000); }
void OneClient(benchmark::State& state) { Load(state, 1, 2000); }
BENCHMARK(Load8Clients)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(OneClient)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

void ServerMemory(benchmark::State& state) {
  World w;
  w.StartServer();
  std::vector<std::unique_ptr<emulator::Emulator>> printers;
  std::vector<QDBusConnection> clients;
  long idle = 0, busy = 0;
  for (auto _ : state) {
    QThread::msleep(200);
    idle = w.ServerRssKiB();
    for (int i = 0; i < 8; ++i) {
      printers.push_back(std::make_unique<emulator::Emulator>());
      clients.push_back(w.Client());
      w.Object(clients.back(), printers.back()->startPty());
    }
    busy = w.ServerRssKiB();
  }
  state.counters["idle_KiB"] = static_cast<double>(idle);
  state.counters["per_object_KiB"] = static_cast<double>(busy - idle) / 8.0;
}
BENCHMARK(ServerMemory)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

void ActivationStart(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    World w;
    test::WaitExit(test::Spawn({ORBANTIS_SERVER_EXE, "-regserverperuser"}, w.env, w.dir.Path() + "reg.log"), 10000);
    QDBusConnection c = w.Client();
    state.ResumeTiming();
    const QString path = w.Object(c, "");
    state.PauseTiming();
    test::Call(c, path, "ORBANTIS.Automation", "Release");
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000 && c.interface()->isServiceRegistered("ORBANTIS.KELMORA")) QThread::msleep(10);
    state.ResumeTiming();
  }
}
BENCHMARK(ActivationStart)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
