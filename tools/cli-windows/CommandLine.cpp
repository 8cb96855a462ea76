#include "CommandLine.h"

#include <climits>

namespace orbantis::cli {
namespace {

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

bool parsePositive(const std::string& word, int* value) {
  int n = 0;
  if (!ParseInt(word, &n) || n <= 0) return false;
  *value = n;
  return true;
}

bool parseTcp(const std::string& value, Options* o, std::string* error) {
  std::string host;
  std::string port;
  if (startsWith(value, "[")) {  // [IPv6 address]:PORT
    const auto close = value.find("]:");
    if (close != std::string::npos && close > 1) {
      host = value.substr(1, close - 1);
      port = value.substr(close + 2);
    }
  } else {
    const auto colon = value.rfind(':');
    if (colon != std::string::npos && colon > 0) {
      host = value.substr(0, colon);
      port = value.substr(colon + 1);
    }
  }
  int number = 0;
  if (host.empty() || !parsePositive(port, &number) || number > 65535) {
    *error = "--tcp needs HOST:PORT with a port from 1 to 65535, e.g. --tcp 192.168.1.50:4999 (not \"" + value +
             "\").";
    return false;
  }
  o->tcpHost = host;
  o->tcpPort = std::to_string(number);
  return true;
}

bool setLink(Options* o, Link link, const std::string& option, std::string* error) {
  if (o->link != Link::None) {
    *error = option + ": give only one of --device, --com and --tcp.";
    return false;
  }
  o->link = link;
  return true;
}

// "\--", "\\--", ...: the word with one backslash fewer.
bool isEscapedSeparator(const std::string& word) {
  if (word.size() < 3 || word.compare(word.size() - 2, 2, "--") != 0) return false;
  for (std::size_t i = 0; i + 2 < word.size(); ++i)
    if (word[i] != '\\') return false;
  return true;
}

constexpr const char* kWhere = "say where the printer is with --com N, --device PATH or --tcp HOST:PORT";

}  // namespace

bool ParseInt(const std::string& word, int* value) {
  std::size_t from = 0;
  std::size_t to = word.size();
  while (from < to && (word[from] == ' ' || word[from] == '\t')) ++from;
  while (to > from && (word[to - 1] == ' ' || word[to - 1] == '\t')) --to;
  bool negative = false;
  if (from < to && (word[from] == '-' || word[from] == '+')) negative = word[from++] == '-';
  if (from == to) return false;
  long long n = 0;
  for (std::size_t i = from; i < to; ++i) {
    if (word[i] < '0' || word[i] > '9') return false;
    n = n * 10 + (word[i] - '0');
    if (n > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (negative) n = -n;
  if (n > INT_MAX || n < INT_MIN) return false;
  *value = static_cast<int>(n);
  return true;
}

bool ParseCommandLine(const std::vector<std::string>& words, Options* o, std::string* error) {
  *o = Options();
  std::size_t i = 0;
  for (; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word == "--") {  // the end of the options
      ++i;
      break;
    }
    if (word == "/?") {  // what Windows programs answer with their help
      o->help = true;
      return true;
    }
    if (!startsWith(word, "-") || word == "-") break;  // the first method

    std::string option = word;
    std::string inlineValue;
    bool hasInline = false;
    if (startsWith(word, "--")) {
      const auto eq = word.find('=');
      if (eq != std::string::npos && eq > 2) {
        option = word.substr(0, eq);
        inlineValue = word.substr(eq + 1);
        hasInline = true;
      }
    }
    std::string value;
    auto takeValue = [&]() {
      if (hasInline) {
        value = inlineValue;
        return true;
      }
      if (i + 1 >= words.size()) {
        *error = option + " needs a value.";
        return false;
      }
      value = words[++i];
      return true;
    };
    auto noValue = [&]() {
      if (!hasInline) return true;
      *error = option + " takes no value.";
      return false;
    };

    if (option == "-h" || option == "--help") {
      o->help = true;
      if (hasInline)
        o->helpFilter = inlineValue;
      else if (i + 1 < words.size() && !startsWith(words[i + 1], "-"))
        o->helpFilter = words[i + 1];
      return true;
    }
    if (option == "--version") {
      o->version = true;
      return true;
    }
    if (option == "--device") {
      if (!takeValue() || !setLink(o, Link::Device, option, error)) return false;
      if (value.empty()) {
        *error = "--device needs the name of the serial device, e.g. --device \\\\.\\COM12.";
        return false;
      }
      o->devicePath = value;
    } else if (option == "--com") {
      if (!takeValue() || !setLink(o, Link::ComPort, option, error)) return false;
      if (!parsePositive(value, &o->comPort)) {
        *error = "--com needs a port number from 1 up, e.g. --com 1 (not \"" + value + "\").";
        return false;
      }
    } else if (option == "--tcp") {
      if (!takeValue() || !setLink(o, Link::Tcp, option, error) || !parseTcp(value, o, error)) return false;
    } else if (option == "--baud") {
      if (!takeValue()) return false;
      if (!parsePositive(value, &o->baud)) {
        *error = "--baud needs a speed in bit/s, e.g. --baud 115200 (not \"" + value + "\").";
        return false;
      }
    } else if (option == "--code-page") {
      if (!takeValue()) return false;
      if (value != "1251" && value != "1252") {
        *error = "--code-page takes 1252 (Western) or 1251 (Cyrillic), not \"" + value + "\".";
        return false;
      }
      o->codePage = value == "1251" ? 1251 : 1252;
    } else if (option == "--replace-unmappable") {
      if (!noValue()) return false;
      o->replaceUnmappable = true;
    } else if (option == "--no-connect") {
      if (!noValue()) return false;
      o->connect = false;
    } else if (option == "--keep-open") {
      if (!noValue()) return false;
      o->keepOpen = true;
    } else if (option == "--keep-going") {
      if (!noValue()) return false;
      o->keepGoing = true;
    } else {
      *error = "unknown option " + option + ".";
      return false;
    }
  }

  // The Linux client's receipt and journal subcommands are not in this one
  // yet; the server's methods do the same work.
  if (i < words.size() && (words[i] == "receipt" || words[i] == "journal")) {
    *error = words[i] +
             " is not a subcommand of the Windows client: call the server's methods instead, printReceipt "
             "DOCUMENT \"\" to print a receipt document once under its key, getReceipt KEY \"\" to read what "
             "became of a key (see --help printReceipt).";
    return false;
  }
  if (i < words.size() && words[i] == "status") {
    o->task = Task::Status;
    if (i + 1 != words.size()) {
      *error = "status takes no arguments.";
      return false;
    }
    if (o->link == Link::None) {
      *error = std::string(kWhere) + " before status.";
      return false;
    }
    return true;
  }

  // The methods: NAME ARG... separated by "--".
  CallRequest call;
  for (; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word == "--") {
      if (!call.method.empty()) o->calls.push_back(call);
      call = CallRequest();
    } else if (call.method.empty()) {
      call.method = word;
    } else {
      call.args.push_back(isEscapedSeparator(word) ? word.substr(1) : word);
    }
  }
  if (!call.method.empty()) o->calls.push_back(call);

  if (o->link == Link::None && o->connect) {
    *error = words.empty() ? std::string("nothing to do.")
                           : std::string(kWhere) + ", or give --no-connect to call methods without connecting.";
    return false;
  }
  return true;
}

std::string HelpText() {
  return R"HELP(orbantis-cli - call the ORBANTIS fiscal printer driver from the command line

It asks COM for an ORBANTIS.KELMORA object (COM starts orbantis.exe, the
server, when it is not running), connects the object to the printer, calls
the methods you name in the order you name them, prints every result and
event, then closes the printer connection and releases the object.

USAGE
  orbantis-cli [OPTION...] [METHOD [ARG...]] [-- METHOD [ARG...]]...
  orbantis-cli [OPTION...] status
                                 every status bit the printer has set, with
                                 its text, and whether a receipt is open
  orbantis-cli --help [WORD]     this text; with WORD, only the methods whose
                                 name or description holds WORD (any case);
                                 --help METHOD shows that method whole
  orbantis-cli --version
  The receipt and journal subcommands of the Linux client are not in this
  one: call the methods printReceipt DOCUMENT "" and getReceipt KEY "".

EXAMPLES
  A receipt on the printer at COM1, command by command:
    orbantis-cli --com 1 CMD_48_0_0 1 0000 1 -- CMD_49_0_0 A 2.50 ^
                 -- CMD_53_0_0 P 10 -- CMD_56_0_0
  Only check that the printer answers:
    orbantis-cli --tcp 192.168.1.50:4999
  What the printer reports about itself:
    orbantis-cli --com 1 status
  A command by its number with its data text (CUSTOM_CMD reads INPUT_STR and
  answers in INPUT_STR and OUTPUT_STR):
    orbantis-cli --com 1 CUSTOM_CMD 90 ""

THE PRINTER (one of --com, --device, --tcp; options come before the methods)
  --com N           COM port N, the device \\.\COMN
                    (calls initFiscalPrinter N BAUD true true)
  --device PATH     the serial device by its name, e.g. \\.\COM12
                    (calls initFiscalPrinterDevice PATH BAUD true true)
  --tcp HOST:PORT   printer on the network, e.g. 192.168.1.50:4999 or
                    [fe80::1]:4999 (calls INIT_MY_FP2 HOST PORT)
  --baud N          serial speed in bit/s (default 115200; not used with --tcp)
  --code-page CP    the printer's code page: 1252 (Western, default) or 1251
                    (Cyrillic), for printers that print Cyrillic texts
  --replace-unmappable
                    print "?" for a character the code page cannot print
                    (sets replaceUnmappable); without it such a text is
                    refused (-3; CUSTOM_CMD false) and nothing is sent
  Then CONNECT_TO_PRINTER is called; when it fails, the methods do not run
  (unless --keep-going) and the last error text is printed.
  --no-connect      do not call CONNECT_TO_PRINTER; with none of the three
                    options above, no initialisation either. For methods that
                    need no printer, or to call INIT_... and CONNECT_TO_PRINTER
                    yourself as methods.

OTHER OPTIONS
  --keep-going      go on with the next methods after one failed. Without it,
                    the first failure stops the run, so that, for example, a
                    receipt is not paid and closed after one of its lines was
                    refused; the methods not run are listed as "skipped".
  --keep-open       do not call CLOSE_CONNECTION at the end (the server still
                    closes the port when the object is released).
  An option's value may also follow "=": --baud=9600.

METHODS AND THEIR ARGUMENTS
  Write the method name, then its arguments, separated by spaces. Put the word
  -- between one method and the next. From the first method name on, every
  word is an argument, so negative numbers and texts starting with "-" need
  nothing special; write \-- to pass the text "--" itself. Put a text with
  spaces, or an empty text, in double quotes: "Mineral water" "".
  Method names may be written in any case when that leaves no doubt.
  The list below shows the arguments in order. An argument is a text unless
  marked :int (a decimal whole number, e.g. -5) or :bool (true, false, 1, 0).
  [NAMES] are in-out parameters: leave them out and they start empty; the
  printer's answers come back in them and are printed. Give them only to a
  method that reads them, such as CUSTOM_CMD's INPUT_STR.
  A relative file name given to getLogoFromPrinter or saveLogoToPrinter is
  taken from the current folder.

OUTPUT (standard output, each line as it happens; UTF-8)
  CMD_48_0_0 -> 0           the result: a number, true/false, or "text"
    RecCnt = 12             every in-out parameter after the call
    error: <text>           after a negative result, or false from CUSTOM_CMD:
                            the last error text (GetLastErrorMessage)
  event ON_ERROR -5 "text"  events of the object as they come: ON_ERROR code
                            "text", OnStartProgress, OnEndProgress; the
                            OnProgress events of a transfer as one line
                            before OnEndProgress ("98 steps, the last 98
                            \"text\""), with a moving bar in a console
  skipped CMD_56_0_0        a method not run after a failure
  Control characters in texts are shown as \t, \n, \r and \xNN.

EXIT STATUS
  0  every call succeeded (a result >= 0, or true; the result of
     GetLastErrorCode and of the status-bit reads is a value, never a failure)
  1  a call failed: a negative result, false from CUSTOM_CMD, or a fault the
     server reported (printed as "-> fault" with its text)
  2  a usage error, or COM or the server failed; standard error says what
     happened and what to do

Each call may take up to 120 s; a silent printer makes CONNECT_TO_PRINTER take
about 20 s. Ctrl+C ends orbantis-cli; the server then closes the printer
connection and releases the object by itself once it finds the client gone.

THE SERVER
  COM starts orbantis.exe on demand once it is registered: the installer
  registers it, or by hand
    orbantis.exe /RegServer           for all users (as an administrator)
    orbantis.exe /RegServerPerUser    for you
  Logs: %APPDATA%\ORBANTIS\.)HELP";
}

}  // namespace orbantis::cli
