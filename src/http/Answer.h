// What a call answers: an HTTP status and a JSON body, or bytes of another
// type (the logo as PNG). Errors are always { code, text, field }.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace orbantis::http {

struct Answer {
  int status = 200;
  nlohmann::json body = nlohmann::json::object();
  std::string contentType;  // empty: the body is JSON
  std::string bytes;        // the body when contentType is set

  // code: the driver's result code when the printer or driver answered, else
  // the HTTP status itself; field: the request field at fault, or empty.
  static Answer Error(int status, int code, const std::string& text, const std::string& field = {}) {
    Answer a;
    a.status = status;
    a.body = {{"code", code}, {"text", text}, {"field", field}};
    return a;
  }
  static Answer Refused(int status, const std::string& text, const std::string& field = {}) {
    return Error(status, status, text, field);
  }
  static Answer Json(nlohmann::json body, int status = 200) {
    Answer a;
    a.status = status;
    a.body = std::move(body);
    return a;
  }
};

}  // namespace orbantis::http
