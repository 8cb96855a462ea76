// orbantis-cli.exe: a command-line client of the ORBANTIS COM server.
//
// It creates a KELMORA object in the server (COM starts orbantis.exe when
// needed), becomes its event sink, connects it to the printer, calls the
// methods named on the command line in order and prints each result, its
// in-out values and the events, then closes the printer connection and
// releases the object. The syntax is in CommandLine.h and in the --help
// text; the output and the exit status are those of orbantis-cli on Linux.
#include <windows.h>
#include <objbase.h>

#include <set>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "EventSink.h"
#include "Methods.h"
#include "Session.h"
#include "Text.h"

#ifndef ORBANTIS_VERSION
#define ORBANTIS_VERSION ""
#endif

using namespace orbantis::cli;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitTrouble = 2;

int usageError(const std::string& text) {
  Err("orbantis-cli: " + text);
  Err("Run `orbantis-cli --help` for the syntax and the list of methods.");
  return kExitTrouble;
}

Value Int(int n) {
  Value v;
  v.type = ArgType::Int;
  v.number = n;
  return v;
}

Value Flag(bool b) {
  Value v;
  v.type = ArgType::Bool;
  v.flag = b;
  return v;
}

Value Text(const std::string& s) {
  Value v;
  v.type = ArgType::String;
  v.text = s;
  return v;
}

// ---------------------------------------------------------------- --help

int showHelp(const std::string& filter) {
  if (filter.empty()) Out(HelpText());
  // --help METHOD: that method's whole entry.
  if (!filter.empty()) {
    for (const Method& m : Methods()) {
      if (SameIgnoringCase(m.name, filter)) {
        Out(Reference(m));
        return kExitOk;
      }
    }
  }
  Out("");
  if (filter.empty())
    Out("THE METHODS of ORBANTIS.IKELMORA (as the server of the same build has them)");
  else
    Out("THE METHODS whose name or description holds \"" + filter + "\"; --help METHOD shows one whole");
  int shown = 0;
  for (const Method& m : Methods()) {
    // --help WORD finds a method by its name or by what it does: "discount", "card", "report".
    if (!filter.empty() && !ContainsIgnoringCase(m.name, filter) && !ContainsIgnoringCase(m.doc, filter)) continue;
    Out("  " + Synopsis(m));
    if (!filter.empty() && !m.doc.empty()) Out("      " + FirstSentence(m.doc));
    ++shown;
  }
  if (shown == 0) Out("  No method's name or description holds \"" + filter + "\".");
  return kExitOk;
}

// ---------------------------------------------------------------- calls

enum class Outcome { Ok, Failed, Trouble };

struct PreparedCall {
  const Method* method;
  std::vector<Value> args;
};

// A negative number is a failure, except from GetLastErrorCode, whose result
// is the last error's code; false only from CUSTOM_CMD (the other booleans are
// status bits).
bool isFailure(const Method& m, const Value& result) {
  if (result.type == ArgType::Int) return result.number < 0 && m.name != "GetLastErrorCode";
  if (result.type == ArgType::Bool) return m.name == "CUSTOM_CMD" && !result.flag;
  return false;
}

// The text split at its CR LF pairs, without the empty lines at its end.
std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
    out.push_back(text.substr(from, at - from));
  out.push_back(text.substr(from));
  while (out.size() > 1 && out.back().empty()) out.pop_back();
  return out;
}

// Calls the method and prints its result, its in-out values and, when it
// failed, the last error text.
Outcome callAndShow(Session& session, PreparedCall& call) {
  const Method& m = *call.method;
  const CallOutcome done = session.Call(m, call.args);
  if (done.hr == DISP_E_EXCEPTION) {
    // A fault that no handler of the method turned into a result code.
    Out(m.name + " -> fault");
    Out("  error: " + Shown(done.fault));
    return Outcome::Failed;
  }
  if (FAILED(done.hr)) {
    Err(Explain(done.hr, m.name));
    return Outcome::Trouble;
  }
  bool failed = false;
  if (m.result) {
    Out(m.name + " -> " + ShownValue(done.result, true));
    failed = isFailure(m, done.result);
  } else {
    Out(m.name + " -> done");
  }
  for (std::size_t i = 0; i < m.params.size() && i < call.args.size(); ++i)
    if (m.params[i].inOut) Out("  " + m.params[i].name + " = " + ShownValue(call.args[i], false));
  if (!failed) return Outcome::Ok;

  const CallOutcome text = session.Call("GetLastErrorMessage");
  if (FAILED(text.hr)) {
    Err(Explain(text.hr, "GetLastErrorMessage"));
    return Outcome::Trouble;
  }
  // The text's own line breaks, as lines: the status texts come one per line.
  const std::vector<std::string> message = lines(text.result.text);
  Out("  error: " + (text.result.text.empty() ? std::string("(no text)") : Shown(message.front())));
  for (std::size_t i = 1; i < message.size(); ++i) Out("         " + Shown(message[i]));
  // A command that failed while the printer holds a fiscal receipt open
  // (status byte 2, bit 3): say so, and how to get out of it.
  if (m.name.rfind("CMD_", 0) == 0 && m.name != "CMD_60_0_0") {
    const CallOutcome open = session.Call("GET_BIT_STATE", {Int(2), Int(3)});
    if (SUCCEEDED(open.hr) && open.result.flag)
      Out("  note: a fiscal receipt is still open on the printer: finish it (CMD_53_0_0 to pay, CMD_56_0_0 to "
          "close) or cancel it with CMD_60_0_0.");
  }
  if (m.name == "CONNECT_TO_PRINTER") {
    // Why the port or address could not be opened, and what to do.
    const CallOutcome detail = session.Call("GetLastErrorDetail");
    if (SUCCEEDED(detail.hr) && !detail.result.text.empty()) Out("  detail: " + detail.result.text);
  }
  return Outcome::Failed;
}

// The initialisation call for --device, --com or --tcp.
PreparedCall prepareInit(const Options& o) {
  switch (o.link) {
    case Link::Device:
      return {FindMethod("initFiscalPrinterDevice"), {Text(o.devicePath), Int(o.baud), Flag(true), Flag(true)}};
    case Link::ComPort:
      return {FindMethod("initFiscalPrinter"), {Int(o.comPort), Int(o.baud), Flag(true), Flag(true)}};
    case Link::Tcp:
      return {FindMethod("INIT_MY_FP2"), {Text(o.tcpHost), Text(o.tcpPort)}};
    case Link::None:
      break;
  }
  return {nullptr, {}};
}

// The server's working folder is not the user's: a file name is made whole
// here, against this program's current folder.
std::string fullPath(const std::string& name) {
  const std::wstring wide = Utf16(name);
  const DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return name;
  std::wstring full(n, L'\0');
  const DWORD written = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
  if (written == 0 || written >= n) return name;
  full.resize(written);
  return Utf8(full);
}

// The status subcommand after the connection: a fresh status read, then
// every bit it set, with its text.
int showStatus(Session& session) {
  const CallOutcome read = session.Call("CMD_74_0_1");
  if (FAILED(read.hr) || read.result.number != 0) {
    Out("status: the printer's status could not be read");
    return kExitFailed;
  }
  std::string bytes;
  for (const Value& v : read.values) bytes += (bytes.empty() ? "" : " ") + v.text;
  Out("status bytes: " + bytes);
  int set = 0;
  for (int byte = 0; byte < 6; ++byte) {
    for (int bit = 0; bit < 7; ++bit) {  // bit 7 of every byte is reserved
      const CallOutcome state = session.Call("getBitState", {Int(byte), Int(bit)});
      if (FAILED(state.hr) || !state.result.flag) continue;
      const std::string text = session.Call("getStatusDescription", {Int(byte), Int(bit)}).result.text;
      if (text.empty()) continue;  // a bit without a meaning
      Out("  byte " + std::to_string(byte) + " bit " + std::to_string(bit) + ": " + text);
      ++set;
    }
  }
  if (set == 0) Out("  no status bit set");
  const bool open = session.Call("getBitState", {Int(2), Int(3)}).result.flag;
  Out(open ? "a fiscal receipt is open (finish it with CMD_53_0_0 and CMD_56_0_0, or cancel it with CMD_60_0_0)"
           : "no fiscal receipt is open");
  return kExitOk;
}

int run(const std::vector<std::string>& words) {
  Options options;
  std::string error;
  if (!ParseCommandLine(words, &options, &error)) return usageError(error);
  if (options.version) {
    const std::string version = ORBANTIS_VERSION;
    Out("orbantis-cli " + (version.empty() ? std::string("(version unknown)") : version));
    return kExitOk;
  }
  if (options.help) return showHelp(options.helpFilter);

  // Every call is checked before the server is asked for anything.
  std::vector<PreparedCall> plan;
  if (options.link != Link::None) plan.push_back(prepareInit(options));
  if (options.connect) plan.push_back({FindMethod("CONNECT_TO_PRINTER"), {}});
  for (const CallRequest& request : options.calls) {
    const Method* m = FindMethod(request.method);
    if (m == nullptr) {
      std::string text = "unknown method \"" + request.method + "\".";
      if (request.method.rfind('-', 0) == 0) text += " Options go before the first method.";
      const std::vector<std::string> similar = SimilarMethods(request.method);
      for (std::size_t k = 0; k < similar.size(); ++k)
        text += (k == 0 ? " Did you mean: " : ", ") + similar[k] + (k + 1 == similar.size() ? "?" : "");
      return usageError(text);
    }
    PreparedCall call {m, {}};
    if (!BuildArguments(*m, request.args, &call.args, &error)) return usageError(error);
    if ((m->name == "getLogoFromPrinter" || m->name == "saveLogoToPrinter") && !call.args.empty() &&
        !call.args[0].text.empty())
      call.args[0].text = fullPath(call.args[0].text);
    plan.push_back(std::move(call));
  }
  const Method* close = options.keepOpen ? nullptr : FindMethod("CLOSE_CONNECTION");

  Session session;
  session.OnNoAnswer = [](const std::string& name) { Err(ExplainNoAnswer(name)); };
  HRESULT hr = session.Create();
  if (FAILED(hr)) {
    Err(Explain(hr, "creating the ORBANTIS.KELMORA object"));
    return kExitTrouble;
  }

  // The server must know every method by the identifier this program
  // calls it with: one of another build may not.
  std::set<std::string> used {"GetLastErrorMessage", "GET_BIT_STATE", "GetLastErrorDetail"};
  for (const PreparedCall& call : plan) used.insert(call.method->name);
  if (close != nullptr) used.insert(close->name);
  if (options.task == Task::Status) used.insert({"CMD_74_0_1", "getBitState", "getStatusDescription"});
  for (const std::string& name : used) {
    const Method* known = FindMethod(name);
    DISPID id = DISPID_UNKNOWN;
    hr = session.DispIdOf(name, &id);
    if (hr == DISP_E_UNKNOWNNAME || (SUCCEEDED(hr) && id != known->dispId)) {
      Err("orbantis-cli: the server has no method " + name + " as orbantis-cli knows it" +
          (SUCCEEDED(hr) ? " (its dispatch id is " + std::to_string(id) + ", not " + std::to_string(known->dispId) +
                               ")"
                         : std::string()) +
          "; it is from another build. Install both from the same build.");
      return kExitTrouble;
    }
    if (FAILED(hr)) {
      Err(Explain(hr, "asking the server for " + name));
      return kExitTrouble;
    }
  }

  static EventSink events;
  hr = session.Advise(&events);
  if (FAILED(hr))
    Err("orbantis-cli: warning: Advise failed (" + Describe(hr) + "); the object's events are not shown.");
  if (options.codePage != 0) {
    VARIANT value;
    ::VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = options.codePage;
    hr = session.SetProperty("codePage", value);
    if (FAILED(hr)) {
      Err(Explain(hr, "setting codePage"));
      return kExitTrouble;
    }
  }
  if (options.replaceUnmappable) {
    VARIANT value;
    ::VariantInit(&value);
    value.vt = VT_BOOL;
    value.boolVal = VARIANT_TRUE;
    hr = session.SetProperty("replaceUnmappable", value);
    if (FAILED(hr)) {
      Err(Explain(hr, "setting replaceUnmappable"));
      return kExitTrouble;
    }
  }

  // The run: initialisation, connection, the user's methods.
  int status = kExitOk;
  std::size_t done = 0;
  for (; done < plan.size(); ++done) {
    const Outcome outcome = callAndShow(session, plan[done]);
    if (outcome == Outcome::Trouble) {
      for (std::size_t k = done + 1; k < plan.size(); ++k) Out("skipped " + plan[k].method->name);
      return kExitTrouble;
    }
    if (outcome == Outcome::Failed) {
      status = kExitFailed;
      if (!options.keepGoing) {
        ++done;
        break;
      }
    }
  }
  if (done < plan.size()) {
    for (std::size_t k = done; k < plan.size(); ++k) Out("skipped " + plan[k].method->name);
    Err("orbantis-cli: stopped after the failed call (--keep-going runs the rest anyway).");
  } else if (options.task == Task::Status) {
    if (showStatus(session) != kExitOk) status = kExitFailed;
  }

  // The end: close the printer connection and release the object.
  if (close != nullptr) {
    PreparedCall closing {close, {}};
    const Outcome outcome = callAndShow(session, closing);
    if (outcome == Outcome::Trouble) return kExitTrouble;
    if (outcome == Outcome::Failed) status = kExitFailed;
  }
  session.Release();
  return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  SetUpConsole();
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) words.push_back(Utf8(argv[i]));
  // Calls from this thread wait in COM's message loop, which delivers the
  // object's events to the sink meanwhile.
  const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(init)) {
    Err("orbantis-cli: COM cannot be used: " + Describe(init));
    RestoreConsole();
    return kExitTrouble;
  }
  const int status = run(words);
  ::CoUninitialize();
  RestoreConsole();
  return status;
}
