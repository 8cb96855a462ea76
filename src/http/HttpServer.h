// The HTTP side of the service: connections, requests and their limits.
//
// Built on Boost.Beast (Debian's libboost-dev) for the HTTP/1.1 parser and
// serialiser and Boost.Asio for the sockets. The limits are the reason for
// the choice: every read of a request runs under one deadline for the whole
// request, so a client that sends a byte a second is answered 408 and cut
// off instead of holding a thread; a body over the limit stops at the limit
// (413); connections beyond the bound are answered 503 at once.
//
// Requests are read and answers written on a few I/O threads; the handler,
// which may wait for a printer, runs on a pool of its own so that a slow
// printer never stalls the reading of other requests.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orbantis::http {

struct Request {
  std::string method;  // "GET", ...
  std::string target;  // path and query as sent
  std::string path;    // decoded path (for texts and logs)
  std::vector<std::string> segments;  // the path's segments, each decoded on its own (a %2F stays in its segment)
  std::map<std::string, std::string> query;    // decoded
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  std::string remote;  // address:port of the client

  std::string Header(const std::string& lowerName) const {
    const auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
  }
};

struct Response;
// Hands an answer back to its connection; callable from any thread, once.
using Reply = std::function<void(Response)>;

struct Response {
  int status = 200;
  std::string contentType = "application/json";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;

  // An answer that is not ready yet (a printer is working on it). The
  // connection waits for it without holding a thread: later is called once
  // with a Reply; if it has not replied within waitAtMost, timedOut gives the
  // answer instead (and a late reply is dropped).
  std::function<void(Reply)> later;
  std::chrono::milliseconds waitAtMost{0};
  std::function<Response()> timedOut;
};

struct ServerLimits {
  std::size_t bodyBytes = 1 << 20;
  std::size_t headerBytes = 16 * 1024;
  // A request must arrive whole within this, counted from its first byte
  // (or, on a kept-alive connection, from the previous answer).
  std::chrono::milliseconds requestTime{10000};
  // Writing an answer may take at most this.
  std::chrono::milliseconds writeTime{5000};
  // Open connections; beyond this a new one is answered 503, and beyond
  // twice this it is closed at once.
  std::size_t connections = 128;
  // Requests handled at once (a handler never waits for a printer: it
  // answers later instead); the others wait their turn.
  std::size_t handlers = 8;
  std::size_t ioThreads = 2;
};

class HttpServer {
 public:
  using Handler = std::function<Response(const Request&)>;
  // An answer for a request the server refuses itself (408, 413, 400, 503),
  // in the API's error form.
  using ErrorBody = std::function<Response(int status, const std::string& text)>;

  HttpServer(ServerLimits limits, Handler handler, ErrorBody errorBody);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds host:port (port 0 picks a free one). Raises std::runtime_error
  // with the system's reason.
  void Listen(const std::string& host, std::uint16_t port);
  std::uint16_t Port() const;
  // Serves until Stop; returns when every thread has ended.
  void Run();
  // The first step of stopping: no new connection, no new request started.
  // Answers already under way (those waiting for a printer included) are
  // still written while Run goes on.
  void StopAccepting();
  std::size_t OpenConnections() const;
  // Stops the I/O threads: Run returns; connections are dropped.
  void Stop();

  struct Impl;  // the sockets and threads; HttpServer.cpp only

 private:
  std::unique_ptr<Impl> FImpl;
};

// %XX and (in queries) "+" decoded; false for a broken escape.
bool UrlDecode(const std::string& in, std::string& out, bool query);
// The raw path cut at "/", then each segment decoded; false for a broken escape.
bool PathSegments(const std::string& rawPath, std::vector<std::string>& out);

}  // namespace orbantis::http
