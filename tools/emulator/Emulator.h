// The software printer as a library: a Printer behind a pseudo-terminal and/or a TCP listener,
// with its SEQ bookkeeping, faults, byte pacing and print time. Tests run it in-process; main.cpp
// wraps it in the orbantis-emulator command line. All members are thread-safe.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Faults.h"
#include "Frame.h"
#include "PaperRoll.h"
#include "Printer.h"

namespace orbantis::emulator {

class Waker;
class PtyPort;
class TcpListener;
struct Link;

struct EmulatorOptions {
  std::string paperFile;       // the paper roll is also appended to this file
  bool paperToStdout = false;  // ... or written to standard output
  unsigned baud = 0;           // 0: bytes go out as fast as the wire takes them
  // Pty only: the rate the printer's port is set to. A driver whose end of the line is set to
  // another rate is not understood (on a real line its bytes arrive as noise). 0: any rate.
  unsigned lineBaud = 0;
  std::string serial;          // the printer's serial number; empty: OB00000001
  unsigned printTimeMs = 0;    // how long a command that prints takes
  unsigned codePage = 1252;    // the printer's code page; the paper roll is UTF-8 converted from it
  // The printer's memory survives in this file: read at start when it exists (its serial number
  // wins over `serial`), written after every request carried out. Empty: kept in memory only.
  std::string stateFile;
  FaultSettings faults;
};

class Emulator {
 public:
  using Options = EmulatorOptions;

  // While a printing command takes longer than this, the printer sends SYN at this interval.
  static constexpr std::chrono::milliseconds kSynInterval{60};
  // A frame that stops arriving for this long is abandoned and answered with NAK.
  static constexpr std::chrono::milliseconds kInterByteTimeout{500};

  explicit Emulator(Options options = {});
  ~Emulator();
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  // Each wire gets a thread of its own; both may run at once against the one printer.
  // Returns the device path a driver opens (e.g. /dev/pts/3). Throws std::system_error.
  std::string startPty(const std::string& linkPath = {});
  // Returns the port listened on (the one given, or a free one for 0). Throws std::system_error.
  std::uint16_t startTcp(std::uint16_t port = 0);
  void stop();

  Faults& faults() { return faults_; }
  // Called with the command code of every well-formed request as it arrives, before anything
  // else happens to it, also when the printer is silent (a test that kills the driver right
  // after a frame went out).
  using RequestHook = std::function<void(std::uint8_t cmd)>;
  void setRequestHook(RequestHook hook) {
    std::lock_guard lock(hookMutex_);
    hook_ = std::move(hook);
  }
  void setBaud(unsigned baud) { baud_ = baud; }
  // Switched off and on: the fiscal state and an open receipt stay, the
  // sequence memory goes (a repeat of the last request is carried out as new),
  // and a cut-off ends.
  void powerCycle();
  void setPrintTime(std::chrono::milliseconds t) { printTimeMs_ = static_cast<unsigned>(t.count()); }

  // Read access to the printer's state under the printer's lock, e.g.
  //   emu.inspect([](const Printer& p) { return p.day().turnover; });
  template <class F>
  auto inspect(F&& f) const {
    std::lock_guard lock(printerMutex_);
    return f(static_cast<const Printer&>(printer_));
  }
  std::uint64_t executions(std::uint8_t cmd) const;
  std::string paperText() const { return paper_.text(); }

  // What went over the wires since start.
  struct Counters {
    std::uint64_t requests = 0;  // well-formed request frames
    std::uint64_t repeats = 0;   // answered from the SEQ memory, not carried out again
    std::uint64_t naks = 0;
    std::uint64_t answers = 0;
    std::uint64_t connections = 0;  // TCP clients accepted
  };
  Counters counters() const;

 private:
  void servePty(std::shared_ptr<PtyPort> port);
  void serveTcp(std::shared_ptr<TcpListener> listener);
  // Runs the protocol on one connection until it closes, the service stops, or (on TCP) the
  // drop-after fault ends it.
  void serve(const Link& link, bool tcp);
  // The answer to a request: the stored one if it repeats the previous request, else a new one.
  Answer answerFor(const Request& request, bool& printed);
  bool send(const Link& link, std::string_view bytes);
  // Writes the printer's state to the state file (under printerMutex_).
  void saveState();
  void paceIncoming(std::chrono::steady_clock::time_point firstByte, std::size_t size) const;
  std::chrono::nanoseconds byteTime() const;

  RequestHook requestHook() const {
    std::lock_guard lock(hookMutex_);
    return hook_;
  }

  mutable std::mutex hookMutex_;
  RequestHook hook_;
  PaperRoll paper_;
  mutable std::mutex printerMutex_;
  Printer printer_;
  const std::string stateFile_;
  // The previous request and its answer, kept across connections: a driver that lost a TCP
  // connection repeats the same frame on the next one and must not sell twice.
  std::optional<std::pair<Request, Answer>> previous_;

  Faults faults_;
  std::atomic<unsigned> baud_{0};
  const unsigned lineBaud_;
  // False when the driver set the pty to another rate than lineBaud_.
  bool rateMatches(const Link& link) const;
  std::atomic<unsigned> printTimeMs_{0};

  mutable std::mutex countersMutex_;
  Counters counters_;

  std::mutex runMutex_;
  std::unique_ptr<Waker> waker_;
  std::vector<std::thread> threads_;
};

}  // namespace orbantis::emulator
