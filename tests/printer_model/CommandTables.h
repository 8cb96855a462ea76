// Table runners for the command tests. Each test file lists its calls as
// rows; the runners below make every call on its own engine and scripted
// printer and check it the same way in every file:
//   ExpectDataFields        row -> command byte and data field on the wire,
//   ExpectInputChecks       row -> code of the input checks, nothing sent
//                           when a check fails,
//   ExpectAnswers           printer's answer -> answer values and code,
//   ExpectSilentPrinterCodes row -> code when the printer never answers.
// Every row runs under a SCOPED_TRACE naming its position, the method and
// its inputs, so a failure points at one row.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "support/EngineFixture.h"

namespace orbantis::test {

// ---------------------------------------------------------------- switches

// The connector's switches as flags, and the sets the tests use.
enum class Switches : unsigned {
  None = 0,
  Autocut = 1u << 0,       // AUTOCUT_ON
  InputCheck = 1u << 1,    // WITH_INPCHECK
  OutputCheck = 1u << 2,   // WITH_OUTPCHECK
  AlwaysOutput = 1u << 3,  // ALWAYS_GET_OUTPUT

  // As the server sets them when it connects.
  Server = Autocut | OutputCheck | AlwaysOutput,
  // The server's switches with the input checks on as well.
  Checked = Server | InputCheck,
  // The server's switches without AUTOCUT_ON.
  Uncut = OutputCheck | AlwaysOutput,
  // The server's switches with the input checks on and the answer checks
  // off, so that the code tells about the inputs only.
  InputOnly = Autocut | InputCheck | AlwaysOutput,
};

constexpr Switches operator|(Switches a, Switches b) {
  return static_cast<Switches>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}

// True when every flag of flags is set in set.
constexpr bool Has(Switches set, Switches flags) {
  return (static_cast<unsigned>(set) & static_cast<unsigned>(flags)) == static_cast<unsigned>(flags);
}

inline void ApplySwitches(TConnector& c, Switches s) {
  c.WITH_INPCHECK = Has(s, Switches::InputCheck);
  c.WITH_OUTPCHECK = Has(s, Switches::OutputCheck);
  c.ALWAYS_GET_OUTPUT = Has(s, Switches::AlwaysOutput);
  c.AUTOCUT_ON = Has(s, Switches::Autocut);
}

// The switches the server sets when it connects.
inline void ServerSwitches(TConnector& c) { ApplySwitches(c, Switches::Server); }

// A printer that reads every request and never answers.
inline Script SilentPrinter() {
  return [](const PeerRequest&, int) { return Reply {}; };
}

// ---------------------------------------------------------------- traces

// text in quotes, with control characters written as escapes.
inline std::string Quoted(std::string_view text) {
  std::string s = "\"";
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    if (ch == '\t') {
      s += "\\t";
    } else if (ch == '\n') {
      s += "\\n";
    } else if (ch == '\r') {
      s += "\\r";
    } else if (ch == '"' || ch == '\\') {
      s += '\\';
      s += ch;
    } else if (byte < 0x20 || byte == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      s += hex;
    } else {
      s += ch;
    }
  }
  return s + "\"";
}

// "row 3: CMD_49_0_0("A", "1")"
inline std::string RowCall(std::size_t row, std::string_view method, const AnsiStrings& in) {
  std::string s = "row " + std::to_string(row) + ": " + std::string(method) + "(";
  for (std::size_t i = 0; i < in.size(); ++i) s += (i ? ", " : "") + Quoted(in[i]);
  return s + ")";
}

// ---------------------------------------------------------------- (a) wire

struct WireCase {
  const char* method;
  AnsiStrings in;
  Switches switches;
  std::uint8_t cmd;  // the command byte the printer sees
  std::string data;  // the data field the printer sees
};

// One call under the row's switches sends exactly one request, with the
// row's command byte and data field. The printer answers every request with
// answer.
inline void ExpectDataField(std::size_t row, const WireCase& c, const std::string& answer) {
  SCOPED_TRACE(RowCall(row, c.method, c.in) + " -> " + Quoted(c.data));
  EngineOnPty e(AnswerWith(answer));
  ApplySwitches(e.connector(), c.switches);
  AnsiStrings out;
  e.engine->Run(c.method, c.in, out);
  const auto requests = e.peer->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].cmd, c.cmd);
  EXPECT_EQ(requests[0].data, c.data);
}

inline void ExpectDataFields(std::span<const WireCase> cases, const std::string& answer = "") {
  for (std::size_t i = 0; i < cases.size(); ++i) ExpectDataField(i, cases[i], answer);
}

// ---------------------------------------------------------------- (b) inputs

// A call and the code it ends with. For the input checks, 0 means the call
// passes them and is sent.
struct CodeCase {
  const char* method;
  AnsiStrings in;
  std::int32_t code;
};

struct InputRun {
  // What the printer answers a call that passes the checks.
  std::string answer = "";
  Switches switches = Switches::Checked;
  // FLastErrorCode must hold the code as well.
  bool lastErrorCode = true;
  // Above 0: after a refused call, wait this long for a request that must
  // not come.
  int quietMs = 0;
  // A refused call leaves every answer value empty.
  bool emptyOutWhenRefused = false;
};

inline void ExpectInputCheck(std::size_t row, const CodeCase& c, const InputRun& run) {
  SCOPED_TRACE(RowCall(row, c.method, c.in) + " expecting " + std::to_string(c.code));
  EngineOnPty e(AnswerWith(run.answer));
  ApplySwitches(e.connector(), run.switches);
  AnsiStrings out;
  EXPECT_EQ(e.engine->Run(c.method, c.in, out), c.code);
  if (run.lastErrorCode) {
    EXPECT_EQ(e.engine->FLastErrorCode, c.code);
  }
  // Run returns only after the printer's answer, so a sent request is on record by now.
  EXPECT_EQ(e.peer->Requests().size(), c.code == 0 ? 1u : 0u);
  if (c.code != 0) {
    if (run.quietMs > 0) {
      EXPECT_FALSE(e.peer->WaitForRequests(1, run.quietMs)) << "a failed check sends nothing";
    }
    if (run.emptyOutWhenRefused) {
      EXPECT_EQ(out, AnsiStrings(out.size())) << "a refused call leaves the answer values empty";
    }
  }
}

inline void ExpectInputChecks(std::span<const CodeCase> cases, const InputRun& run) {
  for (std::size_t i = 0; i < cases.size(); ++i) ExpectInputCheck(i, cases[i], run);
}

// ---------------------------------------------------------------- (c) answers

struct AnswerCase {
  const char* method;
  AnsiStrings in;
  std::string answer;     // the printer's data field
  AnsiStrings expected;   // the answer values
  std::int32_t code;      // the code of the call
};

struct AnswerRun {
  Switches switches = Switches::Server;
  // FLastErrorCode must hold the code as well.
  bool lastErrorCode = true;
};

inline void ExpectAnswer(std::size_t row, const AnswerCase& c, const AnswerRun& run) {
  SCOPED_TRACE(RowCall(row, c.method, c.in) + " <- " + Quoted(c.answer));
  EngineOnPty e(AnswerWith(c.answer));
  ApplySwitches(e.connector(), run.switches);
  AnsiStrings out;
  EXPECT_EQ(e.engine->Run(c.method, c.in, out), c.code);
  EXPECT_EQ(out, c.expected);
  if (run.lastErrorCode) {
    EXPECT_EQ(e.engine->FLastErrorCode, c.code);
  }
}

inline void ExpectAnswers(std::span<const AnswerCase> cases, const AnswerRun& run = {}) {
  for (std::size_t i = 0; i < cases.size(); ++i) ExpectAnswer(i, cases[i], run);
}

// ---------------------------------------------------------------- (d) silence

struct SilentRun {
  Switches switches = Switches::Server;
  // FLastErrorCode must hold the code as well.
  bool lastErrorCode = true;
  // The English error text asks to check the link.
  bool linkMessage = false;
};

inline constexpr const char* kCheckTheLink =
    "Unsuccessful command execution.\r\nPlease check the link with this fiscal!";

inline void ExpectSilentPrinterCode(std::size_t row, const CodeCase& c, const SilentRun& run) {
  SCOPED_TRACE(RowCall(row, c.method, c.in) + " to a silent printer, expecting " + std::to_string(c.code));
  EngineOnPty e(SilentPrinter());
  ApplySwitches(e.connector(), run.switches);
  AnsiStrings out;
  EXPECT_EQ(e.engine->Run(c.method, c.in, out), c.code);
  if (run.lastErrorCode) {
    EXPECT_EQ(e.engine->FLastErrorCode, c.code);
  }
  if (run.linkMessage) {
    EXPECT_EQ(e.engine->FLastErrorMessage, kCheckTheLink);
  }
}

inline void ExpectSilentPrinterCodes(std::span<const CodeCase> cases, const SilentRun& run = {}) {
  for (std::size_t i = 0; i < cases.size(); ++i) ExpectSilentPrinterCode(i, cases[i], run);
}

}  // namespace orbantis::test
