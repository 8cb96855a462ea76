// The command line of orbantis-cli:
//
//   orbantis-cli [OPTION...] [METHOD [ARG...]] [-- METHOD [ARG...]]...
//
// Options come first; the first word that is not an option is a method name,
// and from there on every word is an argument, with "--" between one method
// and the next (the word "\--" passes "--" itself as an argument).
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace orbantis::cli {

// Where the printer is.
enum class Link { None, Device, ComPort, Tcp };

// What the run does: call methods, print a receipt document, read the journal.
enum class Task { Methods, Receipt, Journal, Status };

// One method to call, as the user wrote it.
struct CallRequest {
  QString method;
  QStringList args;
};

struct Options {
  bool help = false;
  QString helpFilter;  // --help WORD: only the methods whose name contains WORD
  bool version = false;

  Link link = Link::None;
  QString devicePath;  // --device
  int comPort = 0;     // --com
  QString tcpHost;     // --tcp HOST:PORT
  QString tcpPort;
  int baud = 115200;
  int codePage = 0;        // --code-page: 1251 or 1252; 0 leaves the server's default (1252)
  bool replaceUnmappable = false;  // --replace-unmappable
  bool connect = true;     // false with --no-connect
  bool keepOpen = false;   // --keep-open: no CLOSE_CONNECTION at the end
  bool keepGoing = false;  // --keep-going: go on after a failed call

  std::vector<CallRequest> calls;

  Task task = Task::Methods;
  QString receiptFile;  // receipt FILE ("-": standard input)
  QString journalKey;   // journal --key K
  QString journalDay;   // journal --day YYYY-MM-DD (default: today)
};

// Reads the words after the program name. False, with the reason, for a
// usage error. With --help or --version the rest is not checked.
bool ParseCommandLine(const QStringList& words, Options* options, QString* error);

// The help text before the method list.
QString HelpText();

}  // namespace orbantis::cli
