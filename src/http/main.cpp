// orbantis-http: the printers of a shop over HTTP/JSON.
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "http/HttpServer.h"
#include "http/Service.h"

namespace orbantis::embedded {
extern const std::string_view kPage;
extern const std::string_view kOpenApi;
extern const std::string_view kReceiptSchema;
}  // namespace orbantis::embedded

using namespace orbantis::http;

namespace {

constexpr const char* kHelp = R"(orbantis-http - the printers of a shop over HTTP/JSON

USAGE
  orbantis-http [--listen 127.0.0.1:8001] [--config FILE] [--detect]
                [--token-file FILE] [--allow-origin ORIGIN ...]

  --listen ADDR:PORT   Where to listen (default 127.0.0.1:8001). An address
                       other than loopback needs --token-file.
  --config FILE        The printers (default $XDG_CONFIG_HOME/ORBANTIS/printers.json).
  --detect             Also probe the serial ports for printers at start.
  --probe GLOB         Probe these devices instead of /dev/ttyS*, /dev/ttyUSB*,
                       /dev/ttyACM* (repeatable); the COM links are always probed.
  --detect-seconds N   Bound of one detection (default 30).
  --token-file FILE    Every request must carry "Authorization: Bearer <token>",
                       the first line of FILE (at least 16 characters; the file
                       must not be readable by others).
  --allow-origin ORIGIN
                       Let pages from ORIGIN (e.g. https://till.example) call the
                       API from a browser (CORS); repeatable.
  --list-routes        Print the routes and exit.
  --help, --version

The page for the till is at http://ADDR:PORT/, the API's description at
/openapi.json. See man orbantis-http.
)";

bool IsLoopback(const std::string& host) {
  return host == "::1" || host.rfind("127.", 0) == 0;
}

[[noreturn]] void Fail(const std::string& text) {
  std::cerr << "orbantis-http: " << text << "\n";
  std::exit(2);
}

std::string ReadToken(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) Fail("cannot read the token file " + path + ".");
  if (st.st_mode & 077)
    Fail("the token file " + path + " is readable by others; make it private: chmod 600 " + path);
  std::ifstream file(path);
  std::string token;
  std::getline(file, token);
  while (!token.empty() && (token.back() == '\r' || token.back() == ' ')) token.pop_back();
  if (token.size() < 16) Fail("the token in " + path + " is shorter than 16 characters.");
  return token;
}

}  // namespace

int main(int argc, char** argv) {
  std::string listen = "127.0.0.1:8001", configPath, tokenFile;
  bool configGiven = false, detect = false;
  std::vector<std::string> origins, probes;
  int detectSeconds = 30;
  const std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) Fail(a + " needs a value; see --help.");
      return args[++i];
    };
    if (a == "--help" || a == "-h") {
      std::cout << kHelp;
      return 0;
    } else if (a == "--version") {
      std::cout << "orbantis-http " << ORBANTIS_VERSION << "\n";
      return 0;
    } else if (a == "--list-routes") {
      for (const auto& r : Routes()) std::cout << r.method << " " << r.pattern << "\n";
      return 0;
    } else if (a == "--listen") {
      listen = value();
    } else if (a == "--config") {
      configPath = value();
      configGiven = true;
    } else if (a == "--detect") {
      detect = true;
    } else if (a == "--probe") {
      probes.push_back(value());
    } else if (a == "--detect-seconds") {
      detectSeconds = std::atoi(value().c_str());
      if (detectSeconds < 1 || detectSeconds > 600) Fail("--detect-seconds must be 1 to 600.");
    } else if (a == "--token-file") {
      tokenFile = value();
    } else if (a == "--allow-origin") {
      origins.push_back(value());
    } else {
      Fail("unknown option " + a + "; see --help.");
    }
  }

  const auto colon = listen.rfind(':');
  if (colon == std::string::npos) Fail("--listen wants ADDRESS:PORT, e.g. 127.0.0.1:8001.");
  std::string host = listen.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (host == "localhost") host = "127.0.0.1";
  const int port = std::atoi(listen.substr(colon + 1).c_str());
  if (port < 0 || port > 65535 || listen.substr(colon + 1).empty()) Fail("the port in --listen must be 0 to 65535.");

  ServiceOptions options;
  if (!tokenFile.empty()) options.token = ReadToken(tokenFile);
  if (!IsLoopback(host) && options.token.empty())
    Fail("will not listen on " + host + " without --token-file: anyone on that network could print and read "
         "receipts. Give a token file, or listen on 127.0.0.1.");
  options.origins = origins;
  try {
    options.printers = LoadPrinters(configGiven ? configPath : DefaultConfigPath(), configGiven);
  } catch (const std::exception& e) {
    Fail(e.what());
  }
  if (!probes.empty()) options.detection.patterns = probes;
  options.detection.limit = std::chrono::seconds(detectSeconds);
  options.page = std::string(orbantis::embedded::kPage);
  options.openapi = std::string(orbantis::embedded::kOpenApi);
  options.receiptSchema = std::string(orbantis::embedded::kReceiptSchema);
  static std::mutex logLock;
  options.log = [](const std::string& line) {
    std::lock_guard lock(logLock);
    std::cerr << line << std::endl;
  };

  // Signals go to one thread, which stops the server; every other thread
  // (started below) inherits the blocked mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR2);  // from main itself, when Run ended without a signal
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  Service service(options);
  HttpServer server(ServerLimits{}, [&service](const Request& r) { return service.Handle(r); },
                    &Service::ErrorResponse);
  try {
    server.Listen(host, static_cast<std::uint16_t>(port));
  } catch (const std::exception& e) {
    Fail(e.what());
  }
  options.log("orbantis-http " ORBANTIS_VERSION " listening on http://" + (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" +
              std::to_string(server.Port()) + "/ with " + std::to_string(options.printers.size()) +
              " printer(s) from the config" + (options.token.empty() ? "" : ", token required"));
  if (detect) service.StartDetection();
  std::thread stopper([&server, &service, &options, signals] {
    int sig = 0;
    sigwait(&signals, &sig);
    if (sig == SIGUSR2) return;  // the server ended on its own
    options.log("orbantis-http stopping");
    StopGracefully(server, service);
  });
  server.Run();
  pthread_kill(stopper.native_handle(), SIGUSR2);
  stopper.join();
  service.Shutdown();
  return 0;
}
