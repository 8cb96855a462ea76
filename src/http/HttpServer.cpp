#include "http/HttpServer.h"

#include <array>
#include <atomic>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/bind_executor.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

namespace orbantis::http {

namespace beast = boost::beast;
namespace bhttp = boost::beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

bool UrlDecode(const std::string& in, std::string& out, bool query) {
  out.clear();
  for (std::size_t i = 0; i < in.size(); ++i) {
    const char c = in[i];
    if (c == '%') {
      if (i + 2 >= in.size() || !std::isxdigit(static_cast<unsigned char>(in[i + 1])) ||
          !std::isxdigit(static_cast<unsigned char>(in[i + 2])))
        return false;
      out += static_cast<char>(std::stoi(in.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else if (c == '+' && query) {
      out += ' ';
    } else {
      out += c;
    }
  }
  return true;
}

bool PathSegments(const std::string& rawPath, std::vector<std::string>& out) {
  out.clear();
  if (rawPath.empty() || rawPath[0] != '/') return false;
  if (rawPath == "/") return true;
  std::size_t start = 1;
  for (;;) {
    const auto slash = rawPath.find('/', start);
    std::string segment;
    if (!UrlDecode(rawPath.substr(start, slash == std::string::npos ? std::string::npos : slash - start), segment,
                   false))
      return false;
    out.push_back(std::move(segment));
    if (slash == std::string::npos) return true;
    start = slash + 1;
  }
}

namespace {

// A fixed pool for the handlers. They never wait for a printer (an answer
// that takes long comes later), so a few threads serve every printer.
class HandlerPool {
 public:
  explicit HandlerPool(std::size_t threads) {
    for (std::size_t i = 0; i < threads; ++i) FThreads.emplace_back([this] { run(); });
  }
  ~HandlerPool() {
    {
      std::lock_guard lock(FLock);
      FStop = true;
      // Requests not started when the service stops are not started at all:
      // their connections are gone with the server.
      FJobs.clear();
    }
    FWake.notify_all();
    for (auto& t : FThreads) t.join();
  }
  void Post(std::function<void()> job) {
    {
      std::lock_guard lock(FLock);
      if (FClosed) return;  // stopping: the request is not started
      FJobs.push_back(std::move(job));
    }
    FWake.notify_one();
  }
  // Takes no new job and drops those not started; the running ones finish.
  void Close() {
    std::lock_guard lock(FLock);
    FClosed = true;
    FJobs.clear();
  }

 private:
  void run() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock lock(FLock);
        FWake.wait(lock, [this] { return FStop || !FJobs.empty(); });
        if (FJobs.empty()) return;
        job = std::move(FJobs.front());
        FJobs.pop_front();
      }
      job();
    }
  }
  std::mutex FLock;
  std::condition_variable FWake;
  std::deque<std::function<void()>> FJobs;
  bool FStop = false;
  bool FClosed = false;
  std::vector<std::thread> FThreads;
};

Request ToRequest(const bhttp::request<bhttp::string_body>& m, const std::string& remote, bool& ok) {
  Request r;
  r.method = std::string(m.method_string());
  r.target = std::string(m.target());
  const auto q = r.target.find('?');
  ok = UrlDecode(r.target.substr(0, q), r.path, false) && PathSegments(r.target.substr(0, q), r.segments);
  if (q != std::string::npos) {
    std::string rest = r.target.substr(q + 1);
    std::size_t start = 0;
    while (start <= rest.size()) {
      const auto amp = rest.find('&', start);
      const std::string pair = rest.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
      if (!pair.empty()) {
        const auto eq = pair.find('=');
        std::string k, v;
        ok = UrlDecode(pair.substr(0, eq), k, true) && ok;
        if (eq != std::string::npos) ok = UrlDecode(pair.substr(eq + 1), v, true) && ok;
        r.query[k] = v;
      }
      if (amp == std::string::npos) break;
      start = amp + 1;
    }
  }
  for (const auto& f : m) {
    std::string name(f.name_string());
    for (auto& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    r.headers[name] = std::string(f.value());
  }
  r.body = m.body();
  r.remote = remote;
  return r;
}

}  // namespace

struct HttpServer::Impl {
  Impl(ServerLimits l, Handler h, ErrorBody e)
      : limits(l),
        handler(std::move(h)),
        errorBody(std::move(e)),
        acceptStrand(net::make_strand(io)),
        acceptor(acceptStrand),
        retry(acceptStrand),
        pool(l.handlers) {}

  ServerLimits limits;
  Handler handler;
  ErrorBody errorBody;
  // Before io: sessions that io destroys count themselves out of these.
  std::atomic<std::size_t> open{0};
  std::atomic<std::size_t> refused{0};
  net::io_context io;
  // The listening socket and its retry timer are used on this strand only:
  // accepting and stopping run on different I/O threads otherwise.
  net::strand<net::io_context::executor_type> acceptStrand;
  tcp::acceptor acceptor;
  net::steady_timer retry;  // after a failed accept (no file descriptors left)
  HandlerPool pool;

  void accept();
};

namespace {

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, HttpServer::Impl& server, bool overloaded)
      : FStream(std::move(socket)),
        FDeadline(FStream.get_executor()),
        FLater(FStream.get_executor()),
        FServer(server),
        FOverloaded(overloaded) {
    beast::error_code ec;
    const auto ep = FStream.socket().remote_endpoint(ec);
    if (!ec) FRemote = ep.address().to_string() + ":" + std::to_string(ep.port());
  }
  ~Session() {
    if (FOverloaded) --FServer.refused;
    else --FServer.open;
  }

  void Start() {
    net::dispatch(FStream.get_executor(), [self = shared_from_this()] { self->read(); });
  }

 private:
  void read() {
    // Nothing of the previous request carries over to a refusal of this one.
    FHead = false;
    FVersion = 11;
    FParser.emplace();
    FParser->body_limit(FServer.limits.bodyBytes);
    FParser->header_limit(static_cast<std::uint32_t>(FServer.limits.headerBytes));
    // One deadline for the whole request: a client trickling bytes does not
    // renew it. When it passes, the read is cancelled but the socket stays
    // open, so that the client still hears why (the stream's own time-out
    // would close the socket).
    FTimedOut = false;
    FDeadline.expires_after(FOverloaded ? std::chrono::milliseconds(2000) : FServer.limits.requestTime);
    FDeadline.async_wait([self = shared_from_this()](beast::error_code ec) {
      if (ec) return;  // the read finished first
      self->FTimedOut = true;
      beast::error_code ignored;
      self->FStream.socket().cancel(ignored);
    });
    bhttp::async_read(FStream, FBuffer, *FParser,
                      [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onRead(ec); });
  }

  void onRead(beast::error_code ec) {
    FDeadline.cancel();
    if (FTimedOut && (ec == net::error::operation_aborted || !ec)) ec = beast::error::timeout;
    if (ec == bhttp::error::end_of_stream || ec == net::error::connection_reset || ec == net::error::eof)
      return close();
    if (ec == beast::error::timeout) {
      // Nothing of a next request arrived: an idle kept-alive connection
      // just ends. Part of one arrived too slowly: say so.
      if (!FParser->got_some()) return close();
      return refuse(408, "The request did not arrive within " +
                             std::to_string(FServer.limits.requestTime.count() / 1000) + " s; send it faster.");
    }
    if (ec == bhttp::error::body_limit)
      return refuse(413, "The body is over " + std::to_string(FServer.limits.bodyBytes) + " bytes.");
    if (ec == bhttp::error::header_limit)
      return refuse(431, "The request's headers are over " + std::to_string(FServer.limits.headerBytes) + " bytes.");
    if (ec) return refuse(400, "The request is not valid HTTP/1.1: " + ec.message() + ".");
    auto message = FParser->release();
    FKeepAlive = message.keep_alive();
    if (FOverloaded) {
      FKeepAlive = false;
      return refuse(503, "Too many connections at once; try again in a moment.");
    }
    bool ok = true;
    Request request = ToRequest(message, FRemote, ok);
    if (!ok) return refuse(400, "The request's path or query holds a broken %-escape.");
    FVersion = message.version();
    // The handler may wait for a printer: it runs on the handler pool, and
    // the answer is written back on this connection's strand.
    FHead = request.method == "HEAD";
    FServer.pool.Post([self = shared_from_this(), request = std::move(request)] {
      Response response;
      try {
        response = self->FServer.handler(request);
      } catch (const std::exception& e) {
        response = self->FServer.errorBody(500, std::string("The service failed: ") + e.what());
      }
      net::post(self->FStream.get_executor(),
                [self, response = std::move(response)]() mutable { self->answer(std::move(response)); });
    });
  }

  // On the strand: writes the answer, or waits for one that comes later.
  void answer(Response r) {
    if (!r.later) return write(std::move(r));
    const auto id = ++FWaiting;
    auto timedOut = std::move(r.timedOut);
    FLater.expires_after(r.waitAtMost);
    FLater.async_wait([self = shared_from_this(), id, timedOut](beast::error_code ec) {
      if (ec || self->FWaiting != id) return;
      ++self->FWaiting;  // a late reply finds another id and is dropped
      self->write(timedOut ? timedOut() : self->FServer.errorBody(504, "No answer in time."));
    });
    // The task keeps only a weak hold: a client that got its 202 and left
    // must not stay counted as a connection until the printer is done.
    // While the wait runs, the timer's handler keeps the session.
    std::weak_ptr<Session> weak = shared_from_this();
    auto executor = FStream.get_executor();
    r.later([weak, executor, id](Response late) {
      net::post(executor, [weak, id, late = std::move(late)]() mutable {
        auto self = weak.lock();
        if (!self || self->FWaiting != id) return;
        ++self->FWaiting;
        self->FLater.cancel();
        self->answer(std::move(late));
      });
    });
  }

  void refuse(int status, const std::string& text) {
    FKeepAlive = false;
    // The client may still be sending (a body over the limit): what it sends
    // is read and dropped after the answer, so that its stack does not
    // answer our close with a reset that would destroy the answer.
    FDrain = true;
    Response r = FServer.errorBody(status, text);
    if (status == 503) r.headers.emplace_back("Retry-After", "1");
    write(std::move(r));
  }

  void write(Response r) {
    auto res = std::make_shared<bhttp::response<bhttp::string_body>>();
    res->version(FVersion);
    res->result(static_cast<unsigned>(r.status));
    res->set(bhttp::field::server, "orbantis-http");
    if (!r.body.empty() || r.status != 204) res->set(bhttp::field::content_type, r.contentType);
    for (const auto& [k, v] : r.headers) res->set(k, v);
    res->body() = std::move(r.body);
    res->keep_alive(FKeepAlive);
    res->prepare_payload();
    // An answer to HEAD carries the headers only.
    if (FHead) res->body().clear();
    FStream.expires_after(FServer.limits.writeTime);
    bhttp::async_write(FStream, *res, [self = shared_from_this(), res](beast::error_code ec, std::size_t) {
      // The write's time limit must not run on into the next read.
      self->FStream.expires_never();
      if (!ec && self->FDrain) return self->drain();
      if (ec || !self->FKeepAlive) return self->close();
      self->read();
    });
  }

  // Half-closes, then reads and drops what still comes for at most 2 s.
  void drain() {
    if (!FDraining) {
      // One bound for the whole drain, however the client trickles.
      FDraining = true;
      beast::error_code ec;
      FStream.socket().shutdown(tcp::socket::shutdown_send, ec);
      FStream.expires_after(std::chrono::seconds(2));
    }
    FStream.async_read_some(net::buffer(FSink), [self = shared_from_this()](beast::error_code e, std::size_t) {
      if (e) return self->close();
      self->drain();
    });
  }

  void close() {
    beast::error_code ec;
    FStream.socket().shutdown(tcp::socket::shutdown_send, ec);
    FStream.socket().close(ec);
  }

  beast::tcp_stream FStream;
  net::steady_timer FDeadline;
  bool FTimedOut = false;
  net::steady_timer FLater;      // the wait for an answer that comes later
  std::uint64_t FWaiting = 0;    // which wait is current; strand only
  bool FHead = false;
  HttpServer::Impl& FServer;
  const bool FOverloaded;
  beast::flat_buffer FBuffer;
  std::optional<bhttp::request_parser<bhttp::string_body>> FParser;
  bool FKeepAlive = false;
  bool FDrain = false;
  bool FDraining = false;
  std::array<char, 16384> FSink;
  unsigned FVersion = 11;
  std::string FRemote;
};

}  // namespace

void HttpServer::Impl::accept() {
  acceptor.async_accept(net::make_strand(io), net::bind_executor(acceptStrand, [this](beast::error_code ec, tcp::socket socket) {
    if (!acceptor.is_open()) return;
    if (ec) {
      // Out of file descriptors, say: try again shortly instead of spinning.
      retry.expires_after(std::chrono::milliseconds(100));
      retry.async_wait(net::bind_executor(acceptStrand, [this](beast::error_code e) {
        if (!e) accept();
      }));
      return;
    }
    socket.set_option(tcp::no_delay(true), ec);
    if (open.load() < limits.connections) {
      ++open;
      std::make_shared<Session>(std::move(socket), *this, false)->Start();
    } else if (refused.load() < limits.connections) {
      // Beyond the bound the request is still read (at most 2 s), so that
      // the client gets a clear 503 instead of a reset.
      ++refused;
      std::make_shared<Session>(std::move(socket), *this, true)->Start();
    } else {
      socket.close(ec);  // far beyond it: no resources spent at all
    }
    accept();
  }));
}

HttpServer::HttpServer(ServerLimits limits, Handler handler, ErrorBody errorBody)
    : FImpl(std::make_unique<Impl>(limits, std::move(handler), std::move(errorBody))) {}

HttpServer::~HttpServer() { Stop(); }

void HttpServer::Listen(const std::string& host, std::uint16_t port) {
  beast::error_code ec;
  const auto address = net::ip::make_address(host, ec);
  if (ec) throw std::runtime_error("not an IP address: " + host);
  const tcp::endpoint endpoint(address, port);
  auto& a = FImpl->acceptor;
  a.open(endpoint.protocol(), ec);
  if (!ec) a.set_option(net::socket_base::reuse_address(true), ec);
  if (!ec) a.bind(endpoint, ec);
  if (!ec) a.listen(net::socket_base::max_listen_connections, ec);
  if (ec) throw std::runtime_error("cannot listen on " + host + ":" + std::to_string(port) + ": " + ec.message());
}

std::uint16_t HttpServer::Port() const {
  beast::error_code ec;
  return FImpl->acceptor.local_endpoint(ec).port();
}

void HttpServer::Run() {
  net::post(FImpl->acceptStrand, [this] { FImpl->accept(); });
  std::vector<std::thread> threads;
  for (std::size_t i = 1; i < FImpl->limits.ioThreads; ++i) threads.emplace_back([this] { FImpl->io.run(); });
  FImpl->io.run();
  for (auto& t : threads) t.join();
}

void HttpServer::StopAccepting() {
  FImpl->pool.Close();
  net::post(FImpl->acceptStrand, [this] {
    beast::error_code ec;
    FImpl->acceptor.close(ec);
    FImpl->retry.cancel();
  });
}

std::size_t HttpServer::OpenConnections() const { return FImpl->open.load(); }

void HttpServer::Stop() {
  StopAccepting();
  net::post(FImpl->io, [this] { FImpl->io.stop(); });
}

}  // namespace orbantis::http
