// orbantis-emulator: the software printer on the command line.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Emulator.h"

using namespace orbantis::emulator;

namespace {

constexpr const char* kHelp = R"(orbantis-emulator - a software fiscal printer for the ORBANTIS driver

It answers the printer's framed wire protocol like the real device, so the
driver, its demo, tests and your own till software can run without a printer
on the desk. What the printer prints (receipts, reports, texts) appears as
readable text on its "paper roll".

USAGE
  orbantis-emulator --pty [--link PATH] [options]
  orbantis-emulator --tcp PORT [options]
  (both may be given; with neither, --pty is assumed)

WIRES
  --pty             Open a pseudo-terminal. The first line on standard output is
                      device: /dev/pts/N
                    Point the driver at that path as if it were a serial port
                    (any baud rate, 8 data bits, no parity, 1 stop bit).
  --link PATH       With --pty: also create the symlink PATH to the device, so
                    scripts can use a fixed name (an old symlink there is
                    replaced; the link is removed on exit).
  --tcp PORT        Listen on 127.0.0.1:PORT (0 picks a free port) and print
                      listening: 127.0.0.1:PORT
                    Clients are served one after another.

PAPER AND TIMING
  --paper FILE      Append the paper roll to FILE (default: standard output,
                    after the device/listening lines).
  --baud RATE       Pace every byte as on a serial line at RATE baud, 10 bits
                    per byte, both ways (default: no pacing).
  --line-baud RATE  With --pty: understand the driver only while it has set the
                    line to RATE (1200 to 115200), as a real printer set to
                    that rate would; at any other rate requests go unanswered.
  --serial NUMBER   The printer's serial number, ten characters (default
                    OB00000001), for a shop of several software printers.
  --code-page CP    The printer's code page, 1252 (default, Western) or 1251
                    (Cyrillic). The paper roll is written in UTF-8, converted
                    from it, so that accents and Cyrillic show as they print.
  --print-time MS   A command that prints takes MS milliseconds; while it does,
                    SYN (16h) is sent every 60 ms (default: 0).
  --state FILE      Keep the printer's memory in FILE, as a real device keeps
                    it when switched off: fiscal memory, the day's totals and
                    counters, an open receipt, the journal, items, logo and
                    settings. Read at start when FILE exists (its serial number
                    wins over --serial), written after every request carried
                    out. A printer stopped (or killed) and started again with
                    the same FILE is the same device; what it forgets is the
                    last request of the wire, so a repeat is carried out anew.

FAULTS (for testing a driver's error handling)
  --nak-every N     Answer every Nth well-formed request with NAK (15h) and do
                    not carry it out.
  --bad-checksum N  Send the Nth answer with a wrong check sum.
  --wrong-seq N     Send the Nth answer with a wrong sequence number.
  --wrong-cmd N     Send the Nth answer with a wrong command code.
  --truncate N      Send only the first half of the Nth answer.
  --silent          Never answer (requests are read and ignored).
  --drop-after N    Close each TCP connection after N answers.
  --lose-request N  Lose the Nth request (not carried out), then stay cut off.
  --lose-answer N   Carry out the Nth request, lose its answer, then stay cut off.
  --drop-link N     On the Nth request drop the link (TCP: close the connection;
                    the request is not carried out), then stay cut off.
                    Cut off, the printer takes no request and answers nothing
                    until it gets SIGUSR1; then it serves again, so a driver can
                    find out what it holds. N counts well-formed requests.
  --power-cycle N   Carry out the Nth request, lose its answer, and restart at
                    once: the receipt stays open, but the printer forgets the
                    request, so a driver's repeat of it is carried out again.
                    SIGUSR2 switches the printer off and on the same way at any
                    moment (and ends a cut-off).
  --status B.T[=V]  Force status byte B (0-5) bit T (0-7) set, or clear with
                    =0, in every answer; repeatable. Example: --status 2.0
                    reports "no paper". Nothing else is added to the status.
  A request that repeats the sequence number, command and data of the previous
  one gets the previous answer again and is not carried out twice, so a
  driver's repeat after a damaged answer is safe.

THE PRINTER
  Fiscalised, with serial number OB00000001, TIN 100200300, VRN 40012345A,
  tax rates A 18.00% and B to F 0.00%, operators 1 to 16 with password 0000.
  A command it does not know answers with status byte 0 bits 1 and 5; one not
  allowed in the current state (a sale without an open receipt) with byte 1
  bit 1 and byte 0 bit 5; malformed data with byte 0 bits 0 and 5.

  --trace           Write a line to standard error for every well-formed
                    request as it arrives (with --silent too), e.g.
                      orbantis-emulator: request, command 74
                    so a script can wait for a driver's first request.
  --help            Show this text.

It runs until SIGTERM or SIGINT (Ctrl-C).

EXAMPLE
  $ orbantis-emulator --pty --link /tmp/fiscal
  device: /dev/pts/4
  then connect the driver to /tmp/fiscal (or /dev/pts/4) and open a receipt:
  the receipt appears below as it is printed.
)";

[[noreturn]] void usageError(const std::string& message) {
  std::cerr << "orbantis-emulator: " << message << "\n(see orbantis-emulator --help)\n";
  std::exit(2);
}

unsigned number(std::string_view option, const char* text, unsigned long max) {
  char* end = nullptr;
  const unsigned long v = std::strtoul(text, &end, 10);
  if (*text == '\0' || *end != '\0' || *text == '-' || v > max) {
    usageError(std::string(option) + " wants a number up to " + std::to_string(max) + ", not '" + text + "'");
  }
  return static_cast<unsigned>(v);
}

}  // namespace

int main(int argc, char** argv) {
  bool pty = false;
  std::string link;
  bool tcp = false;
  unsigned tcpPort = 0;
  EmulatorOptions options;
  options.paperToStdout = true;
  bool trace = false;

  std::vector<std::string_view> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const auto opt = args[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= args.size()) usageError(std::string(opt) + " needs a value");
      return argv[++i + 1];
    };
    if (opt == "--help" || opt == "-h") {
      std::cout << kHelp;
      return 0;
    } else if (opt == "--version") {
      std::cout << "orbantis-emulator " << ORBANTIS_VERSION << "\n";
      return 0;
    } else if (opt == "--pty") {
      pty = true;
    } else if (opt == "--link") {
      link = value();
    } else if (opt == "--tcp") {
      tcp = true;
      tcpPort = number(opt, value(), 65535);
    } else if (opt == "--paper") {
      options.paperFile = value();
      options.paperToStdout = false;
    } else if (opt == "--baud") {
      options.baud = number(opt, value(), 10'000'000);
    } else if (opt == "--serial") {
      options.serial = value();
      if (options.serial.size() != 10) usageError("--serial takes ten characters, e.g. OB00000002");
    } else if (opt == "--trace") {
      trace = true;
    } else if (opt == "--state") {
      options.stateFile = value();
    } else if (opt == "--line-baud") {
      options.lineBaud = number(opt, value(), 115200);
    } else if (opt == "--code-page") {
      options.codePage = number(opt, value(), 1252);
      if (options.codePage != 1251 && options.codePage != 1252) usageError("--code-page takes 1251 or 1252");
    } else if (opt == "--print-time") {
      options.printTimeMs = number(opt, value(), 600'000);
    } else if (opt == "--nak-every") {
      options.faults.nakEvery = number(opt, value(), 1'000'000'000);
    } else if (opt == "--bad-checksum") {
      options.faults.badChecksumAt = number(opt, value(), 1'000'000'000);
    } else if (opt == "--wrong-seq") {
      options.faults.wrongSeqAt = number(opt, value(), 1'000'000'000);
    } else if (opt == "--wrong-cmd") {
      options.faults.wrongCmdAt = number(opt, value(), 1'000'000'000);
    } else if (opt == "--truncate") {
      options.faults.truncateAt = number(opt, value(), 1'000'000'000);
    } else if (opt == "--silent") {
      options.faults.silent = true;
    } else if (opt == "--drop-after") {
      options.faults.dropAfter = number(opt, value(), 1'000'000'000);
    } else if (opt == "--lose-request" || opt == "--lose-answer" || opt == "--drop-link" ||
               opt == "--power-cycle") {
      options.faults.frameFault = opt == "--lose-request"  ? FrameFault::loseRequest
                                  : opt == "--lose-answer" ? FrameFault::loseAnswer
                                  : opt == "--drop-link"   ? FrameFault::dropLink
                                                           : FrameFault::powerCycle;
      options.faults.frameFaultAt = number(opt, value(), 1'000'000'000);
    } else if (opt == "--status") {
      try {
        options.faults.forcedBits.push_back(parseForcedBit(value()));
      } catch (const std::invalid_argument& e) {
        usageError(e.what());
      }
    } else {
      usageError("unknown option '" + std::string(opt) + "'");
    }
  }
  if (!link.empty() && tcp && !pty) usageError("--link goes with --pty");
  if (!tcp) pty = true;

  // SIGINT and SIGTERM are taken by sigwait below; blocked before any thread starts, so none of
  // the service threads is interrupted by them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGUSR1);
  sigaddset(&stopSignals, SIGUSR2);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  try {
    Emulator emulator(options);
    if (trace)
      emulator.setRequestHook([](std::uint8_t cmd) {
        std::cerr << "orbantis-emulator: request, command " << static_cast<int>(cmd) << std::endl;
      });
    if (pty) {
      const auto device = emulator.startPty(link);
      std::cout << "device: " << device << std::endl;
    }
    if (tcp) {
      const auto port = emulator.startTcp(static_cast<std::uint16_t>(tcpPort));
      std::cout << "listening: 127.0.0.1:" << port << std::endl;
    }
    std::cerr << "orbantis-emulator: ready; SIGTERM or Ctrl-C stops it\n";
    int signal = 0;
    while (sigwait(&stopSignals, &signal) == 0 && (signal == SIGUSR1 || signal == SIGUSR2)) {
      if (signal == SIGUSR2) {
        emulator.powerCycle();
        std::cerr << "orbantis-emulator: switched off and on; the last request is forgotten\n";
        continue;
      }
      emulator.faults().restore();
      std::cerr << "orbantis-emulator: restored; taking requests again\n";
    }
    emulator.stop();
    const auto c = emulator.counters();
    std::cerr << "orbantis-emulator: stopped after " << c.requests << " requests, " << c.answers << " answers, "
              << c.repeats << " repeats, " << c.naks << " NAKs\n";
  } catch (const std::exception& e) {
    std::cerr << "orbantis-emulator: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
