// Text types of the core.
//
// Two kinds of text cross this system and they must never be mixed up:
//   AnsiString  - 8-bit text: bytes in a Windows code page (1252 for everything
//                 exchanged with clients and the printer, 1251 for the Bulgarian
//                 texts). This is what goes on the wire.
//   WideString  - Unicode text (UTF-16), what clients see.
// They are distinct types, so passing one where the other is expected does not
// compile: every crossing goes through AnsiStringToWideString /
// WideStringToAnsiString with an explicit code page.
//
// File paths and log lines are plain std::string in the platform's encoding
// (UTF-8 on Linux); they are never Unicode text of a client.
#pragma once

#include <string>
#include <vector>

namespace orbantis {

using AnsiString = std::string;
using WideString = std::u16string;

using AnsiStrings = std::vector<AnsiString>;
using WideStrings = std::vector<WideString>;

// s without the spaces at its two ends (the printer pads its fields with them).
inline std::string TrimSpaces(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  const auto e = s.find_last_not_of(' ');
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// A general failure with a text, the counterpart of an ordinary Delphi
// "Exception": raised by the transport (with RAISEMODE) and the helpers, caught
// by the engine and the command methods, which turn it into result codes.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }
  std::string Message;
};

}  // namespace orbantis
