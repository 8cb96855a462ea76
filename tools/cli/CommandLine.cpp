#include "CommandLine.h"

#include <QRegularExpression>

namespace orbantis::cli {
namespace {

bool parsePositive(const QString& word, int* value) {
  bool ok = false;
  const int n = word.trimmed().toInt(&ok, 10);
  if (!ok || n <= 0) return false;
  *value = n;
  return true;
}

bool parseTcp(const QString& value, Options* o, QString* error) {
  QString host;
  QString port;
  if (value.startsWith(QLatin1Char('['))) {  // [IPv6 address]:PORT
    const int close = value.indexOf(QLatin1String("]:"));
    if (close > 1) {
      host = value.mid(1, close - 1);
      port = value.mid(close + 2);
    }
  } else {
    const int colon = value.lastIndexOf(QLatin1Char(':'));
    if (colon > 0) {
      host = value.left(colon);
      port = value.mid(colon + 1);
    }
  }
  int number = 0;
  if (host.isEmpty() || !parsePositive(port, &number) || number > 65535) {
    *error = QStringLiteral(
                 "--tcp needs HOST:PORT with a port from 1 to 65535, e.g. --tcp 192.168.1.50:4999 "
                 "(not \"%1\").")
                 .arg(value);
    return false;
  }
  o->tcpHost = host;
  o->tcpPort = QString::number(number);
  return true;
}

bool setLink(Options* o, Link link, const QString& option, QString* error) {
  if (o->link != Link::None) {
    *error = QStringLiteral("%1: give only one of --device, --com and --tcp.").arg(option);
    return false;
  }
  o->link = link;
  return true;
}

}  // namespace

bool ParseCommandLine(const QStringList& words, Options* o, QString* error) {
  *o = Options();
  int i = 0;
  for (; i < words.size(); ++i) {
    const QString word = words[i];
    if (word == QLatin1String("--")) {  // the end of the options
      ++i;
      break;
    }
    if (!word.startsWith(QLatin1Char('-')) || word == QLatin1String("-")) break;  // the first method

    QString option = word;
    QString inlineValue;
    bool hasInline = false;
    if (word.startsWith(QLatin1String("--"))) {
      const int eq = word.indexOf(QLatin1Char('='));
      if (eq > 2) {
        option = word.left(eq);
        inlineValue = word.mid(eq + 1);
        hasInline = true;
      }
    }
    QString value;
    auto takeValue = [&]() {
      if (hasInline) {
        value = inlineValue;
        return true;
      }
      if (i + 1 >= words.size()) {
        *error = QStringLiteral("%1 needs a value.").arg(option);
        return false;
      }
      value = words[++i];
      return true;
    };
    auto noValue = [&]() {
      if (!hasInline) return true;
      *error = QStringLiteral("%1 takes no value.").arg(option);
      return false;
    };

    if (option == QLatin1String("-h") || option == QLatin1String("--help")) {
      o->help = true;
      if (hasInline)
        o->helpFilter = inlineValue;
      else if (i + 1 < words.size() && !words[i + 1].startsWith(QLatin1Char('-')))
        o->helpFilter = words[i + 1];
      return true;
    }
    if (option == QLatin1String("--version")) {
      o->version = true;
      return true;
    }
    if (option == QLatin1String("--device")) {
      if (!takeValue() || !setLink(o, Link::Device, option, error)) return false;
      if (value.isEmpty()) {
        *error = QStringLiteral("--device needs the path of the serial device, e.g. --device /dev/ttyUSB0.");
        return false;
      }
      o->devicePath = value;
    } else if (option == QLatin1String("--com")) {
      if (!takeValue() || !setLink(o, Link::ComPort, option, error)) return false;
      if (!parsePositive(value, &o->comPort)) {
        *error = QStringLiteral("--com needs a port number from 1 up, e.g. --com 1 (not \"%1\").").arg(value);
        return false;
      }
    } else if (option == QLatin1String("--tcp")) {
      if (!takeValue() || !setLink(o, Link::Tcp, option, error) || !parseTcp(value, o, error)) return false;
    } else if (option == QLatin1String("--baud")) {
      if (!takeValue()) return false;
      if (!parsePositive(value, &o->baud)) {
        *error = QStringLiteral("--baud needs a speed in bit/s, e.g. --baud 115200 (not \"%1\").").arg(value);
        return false;
      }
    } else if (option == QLatin1String("--code-page")) {
      if (!takeValue()) return false;
      if (value != QLatin1String("1251") && value != QLatin1String("1252")) {
        *error = QStringLiteral("--code-page takes 1252 (Western) or 1251 (Cyrillic), not \"%1\".").arg(value);
        return false;
      }
      o->codePage = value.toInt();
    } else if (option == QLatin1String("--replace-unmappable")) {
      if (!noValue()) return false;
      o->replaceUnmappable = true;
    } else if (option == QLatin1String("--no-connect")) {
      if (!noValue()) return false;
      o->connect = false;
    } else if (option == QLatin1String("--keep-open")) {
      if (!noValue()) return false;
      o->keepOpen = true;
    } else if (option == QLatin1String("--keep-going")) {
      if (!noValue()) return false;
      o->keepGoing = true;
    } else {
      *error = QStringLiteral("unknown option %1.").arg(option);
      return false;
    }
  }

  // The tasks of their own: a receipt document, the journal.
  if (i < words.size() && words[i] == QLatin1String("receipt")) {
    o->task = Task::Receipt;
    if (i + 2 != words.size()) {
      *error = QStringLiteral("receipt takes one FILE.json, or - for standard input.");
      return false;
    }
    o->receiptFile = words[i + 1];
    if (o->link == Link::None) {
      *error = QStringLiteral("say where the printer is with --device PATH, --com N or --tcp HOST:PORT before receipt.");
      return false;
    }
    return true;
  }
  if (i < words.size() && words[i] == QLatin1String("status")) {
    o->task = Task::Status;
    if (i + 1 != words.size()) {
      *error = QStringLiteral("status takes no arguments.");
      return false;
    }
    if (o->link == Link::None) {
      *error = QStringLiteral("say where the printer is with --device PATH, --com N or --tcp HOST:PORT before status.");
      return false;
    }
    return true;
  }
  if (i < words.size() && words[i] == QLatin1String("journal")) {
    o->task = Task::Journal;
    o->connect = false;
    static const QRegularExpression day(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    for (++i; i < words.size(); ++i) {
      if (words[i] == QLatin1String("--key") && i + 1 < words.size()) {
        o->journalKey = words[++i];
      } else if (words[i] == QLatin1String("--day") && i + 1 < words.size() && day.match(words[i + 1]).hasMatch()) {
        o->journalDay = words[++i];
      } else {
        *error = QStringLiteral("journal takes --key KEY or --day YYYY-MM-DD (not \"%1\").").arg(words[i]);
        return false;
      }
    }
    return true;
  }

  // The methods: NAME ARG... separated by "--".
  static const QRegularExpression escapedSeparator(QStringLiteral("^\\\\+--$"));
  CallRequest call;
  for (; i < words.size(); ++i) {
    const QString word = words[i];
    if (word == QLatin1String("--")) {
      if (!call.method.isEmpty()) o->calls.push_back(call);
      call = CallRequest();
    } else if (call.method.isEmpty()) {
      call.method = word;
    } else {
      call.args << (escapedSeparator.match(word).hasMatch() ? word.mid(1) : word);
    }
  }
  if (!call.method.isEmpty()) o->calls.push_back(call);

  if (o->link == Link::None && o->connect) {
    *error = words.isEmpty() ? QStringLiteral("nothing to do.")
                             : QStringLiteral(
                                   "say where the printer is with --device PATH, --com N or --tcp HOST:PORT, or give "
                                   "--no-connect to call methods without connecting.");
    return false;
  }
  return true;
}

QString HelpText() {
  return QStringLiteral(R"HELP(orbantis-cli - call the ORBANTIS fiscal printer driver from the command line

It asks the ORBANTIS server on the D-Bus session bus for an automation object
(the bus starts the server when it is registered), connects the object to the
printer, calls the methods you name in the order you name them, prints every
result and event, then closes the printer connection and releases the object.

USAGE
  orbantis-cli [OPTION...] [METHOD [ARG...]] [-- METHOD [ARG...]]...
  orbantis-cli [OPTION...] receipt FILE.json
                                 print a whole receipt document (- reads it
                                 from standard input); printed exactly once
  orbantis-cli [OPTION...] status
                                 every status bit the printer has set, with
                                 its text, and whether a receipt is open
  orbantis-cli journal [--key KEY | --day YYYY-MM-DD]
                                 the receipt journal: one receipt, or a day's
                                 receipts with their state (default: today)
  orbantis-cli --help [WORD]     this text; with WORD, only the methods whose
                                 name contains WORD (any case)
  orbantis-cli --version

EXAMPLES
  A whole receipt from a JSON document (its "key" makes it print once, however
  often it is sent; see docs/receipts.md):
    orbantis-cli --device /dev/ttyUSB0 receipt receipt.json
  A receipt on the printer at /dev/ttyUSB0, command by command:
    orbantis-cli --device /dev/ttyUSB0 CMD_48_0_0 1 0000 1 -- CMD_49_0_0 A 2.50 \
                 -- CMD_53_0_0 P 10 -- CMD_56_0_0
  Only check that the printer answers:
    orbantis-cli --tcp 192.168.1.50:4999
  A command by its number with its data text, on COM port 1 (CUSTOM_CMD reads
  INPUT_STR and answers in INPUT_STR and OUTPUT_STR):
    orbantis-cli --com 1 CUSTOM_CMD 74 "$DATA"

THE PRINTER (one of --device, --com, --tcp; options come before the methods)
  --device PATH     serial device, e.g. /dev/ttyUSB0 or /dev/pts/3
                    (calls initFiscalPrinterDevice PATH BAUD true true)
  --com N           COM port N: the link $XDG_CONFIG_HOME/ORBANTIS/ports/COM<N>
                    when it exists, otherwise /dev/ttyS<N-1>
                    (calls initFiscalPrinter N BAUD true true)
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
  nothing special; write \-- to pass the text "--" itself. Quote for the shell
  a text with spaces, or an empty text: "Mineral water" "".
  Method names may be written in any case when that leaves no doubt.
  The list below shows the arguments in order. An argument is a text unless
  marked :int (a decimal whole number, e.g. -5) or :bool (true, false, 1, 0).
  [NAMES] are in-out parameters: leave them out and they start empty; the
  printer's answers come back in them and are printed. Give them only to a
  method that reads them, such as CUSTOM_CMD's INPUT_STR.

OUTPUT (standard output, each line as it happens)
  CMD_48_0_0 -> 0           the result: a number, true/false, or "text"
    RecCnt = 12             every in-out parameter after the call
    error: <text>           after a negative result, or false from CUSTOM_CMD:
                            the last error text (GetLastErrorMessage)
  event ON_ERROR -5 "text"  events of the object as they come: ON_ERROR code
                            "text", OnStartProgress, OnEndProgress; the
                            OnProgress events of a transfer as one line
                            before OnEndProgress ("98 steps, the last 98
                            \"text\""), with a moving bar on a terminal
  skipped CMD_56_0_0        a method not run after a failure
  Control characters in texts are shown as \t, \n, \r and \xNN.

EXIT STATUS
  0  every call succeeded (a result >= 0, or true; the result of
     GetLastErrorCode and of the status-bit reads is a value, never a failure)
  1  a call failed: a negative result, false from CUSTOM_CMD, or a fault the
     server reported (printed as "-> fault" with its text)
  2  a usage error, or the bus or the server failed; standard error says what
     happened and what to do

Each call may take up to 120 s; a silent printer makes CONNECT_TO_PRINTER take
about 20 s. Ctrl+C ends orbantis-cli; the server then closes the printer
connection and releases the object by itself.

THE SERVER
  The bus starts the server on demand once it is registered:
    orbantis -regserverperuser       for you
    sudo orbantis -regserver         for all users
  or start `orbantis` by hand in another terminal.
  Logs: $XDG_DATA_HOME/ORBANTIS/ (default ~/.local/share/ORBANTIS/).)HELP");
}

}  // namespace orbantis::cli
