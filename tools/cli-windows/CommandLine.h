// The command line of orbantis-cli.exe:
//
//   orbantis-cli [OPTION...] [METHOD [ARG...]] [-- METHOD [ARG...]]...
//   orbantis-cli [OPTION...] status
//
// Options come first; the first word that is not an option is a method name,
// and from there on every word is an argument, with "--" between one method
// and the next (the word "\--" passes "--" itself as an argument). The words
// arrive as UTF-16 and are kept here as UTF-8.
#pragma once

#include <string>
#include <vector>

namespace orbantis::cli {

// Where the printer is.
enum class Link { None, Device, ComPort, Tcp };

// What the run does: call methods, or read the status after connecting.
enum class Task { Methods, Status };

// One method to call, as the user wrote it.
struct CallRequest {
  std::string method;
  std::vector<std::string> args;
};

struct Options {
  bool help = false;
  std::string helpFilter;  // --help WORD
  bool version = false;

  Link link = Link::None;
  std::string devicePath;  // --device
  int comPort = 0;         // --com
  std::string tcpHost;     // --tcp HOST:PORT
  std::string tcpPort;
  int baud = 115200;
  int codePage = 0;        // --code-page: 1251 or 1252; 0 leaves the server's default (1252)
  bool replaceUnmappable = false;  // --replace-unmappable
  bool connect = true;     // false with --no-connect
  bool keepOpen = false;   // --keep-open: no CLOSE_CONNECTION at the end
  bool keepGoing = false;  // --keep-going: go on after a failed call

  Task task = Task::Methods;
  std::vector<CallRequest> calls;
};

// Reads the words after the program name. False, with the reason, for a
// usage error. With --help or --version the rest is not checked.
bool ParseCommandLine(const std::vector<std::string>& words, Options* options, std::string* error);

// A whole number in decimal, optionally signed, blanks around it allowed;
// false when the word is none or does not fit 32 bits.
bool ParseInt(const std::string& word, int* value);

// The help text before the method list.
std::string HelpText();

}  // namespace orbantis::cli
