// A small HTTP/1.1 client for the tests and the bench: one kept-alive
// connection, requests one after another (Boost.Beast, as the service).
#pragma once

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

namespace orbantis::test {

struct Reply {
  int status = 0;  // 0: no answer (the connection failed)
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  nlohmann::json Json() const { return nlohmann::json::parse(body, nullptr, false); }
  std::string Header(const std::string& lower) const {
    const auto it = headers.find(lower);
    return it == headers.end() ? std::string() : it->second;
  }
};

class HttpClient {
 public:
  explicit HttpClient(std::uint16_t port) : FPort(port), FSocket(FIo) {}

  Reply Call(const std::string& method, const std::string& target, const std::string& body = {},
             const std::map<std::string, std::string>& headers = {}) {
    namespace http = boost::beast::http;
    Reply reply;
    for (int attempt = 0; attempt < 2; ++attempt) {
      try {
        if (!FSocket.is_open()) {
          FSocket.connect({boost::asio::ip::make_address("127.0.0.1"), FPort});
          ++FConnections;
          // A request may leave in two segments (head, body): without this
          // the second waits for the server's delayed acknowledgement.
          FSocket.set_option(boost::asio::ip::tcp::no_delay(true));
        }
        http::request<http::string_body> req{http::string_to_verb(method), target, 11};
        req.set(http::field::host, "127.0.0.1");
        if (!body.empty()) req.set(http::field::content_type, "application/json");
        for (const auto& [k, v] : headers) req.set(k, v);
        req.body() = body;
        req.keep_alive(true);
        req.prepare_payload();
        http::write(FSocket, req);
        boost::beast::flat_buffer buffer;
        http::response_parser<http::string_body> parser;
        parser.body_limit(64 << 20);
        http::read(FSocket, buffer, parser);
        auto& res = parser.get();
        reply.status = static_cast<int>(res.result_int());
        for (const auto& f : res) {
          std::string name(f.name_string());
          for (auto& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
          reply.headers[name] = std::string(f.value());
        }
        reply.body = res.body();
        if (!res.keep_alive()) Close();
        return reply;
      } catch (const std::exception&) {
        // A kept-alive connection the server closed meanwhile: once more on a new one.
        Close();
      }
    }
    return reply;
  }

  void Close() {
    boost::system::error_code ec;
    FSocket.close(ec);
  }
  // How many connections the calls so far took (1 while one was kept alive).
  int Connections() const { return FConnections; }

 private:
  int FConnections = 0;
  std::uint16_t FPort;
  boost::asio::io_context FIo;
  boost::asio::ip::tcp::socket FSocket;
};

// One request on a connection of its own.
inline Reply Call(std::uint16_t port, const std::string& method, const std::string& target,
                  const std::string& body = {}, const std::map<std::string, std::string>& headers = {}) {
  HttpClient client(port);
  return client.Call(method, target, body, headers);
}

}  // namespace orbantis::test
