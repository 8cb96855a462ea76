#include "Emulator.h"

#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "Wire.h"

namespace orbantis::emulator {

using Clock = std::chrono::steady_clock;

Emulator::Emulator(Options options)
    : printer_(paper_), stateFile_(options.stateFile), lineBaud_(options.lineBaud) {
  paper_.openFile(options.paperFile);
  paper_.useStdout(options.paperToStdout);
  baud_ = options.baud;
  printTimeMs_ = options.printTimeMs;
  paper_.setCodePage(options.codePage);
  faults_.apply(options.faults);
  if (!options.serial.empty()) printer_.setSerialNumber(options.serial);
  if (!stateFile_.empty()) {
    std::ifstream in(stateFile_, std::ios::binary);
    const int err = errno;
    if (!in && err != ENOENT)
      throw std::runtime_error(stateFile_ + ": cannot read the state file (" + std::strerror(err) + ")");
    if (in) {
      std::ostringstream text;
      text << in.rdbuf();
      try {
        printer_.loadState(text.str());
      } catch (const std::exception& e) {
        throw std::runtime_error(stateFile_ + ": " + e.what());
      }
    } else {
      saveState();  // a new device: its file exists from the start
    }
  }
}

void Emulator::saveState() {
  if (stateFile_.empty()) return;
  // Written whole beside the file, then renamed over it: a printer killed while writing keeps the
  // state before the request, never half of one.
  const std::string temporary = stateFile_ + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << printer_.saveState();
    if (!out.flush()) throw std::runtime_error("cannot write the state file " + temporary);
  }
  if (std::rename(temporary.c_str(), stateFile_.c_str()) != 0)
    throw std::runtime_error("cannot replace the state file " + stateFile_);
}

Emulator::~Emulator() { stop(); }

std::string Emulator::startPty(const std::string& linkPath) {
  auto port = std::make_shared<PtyPort>(linkPath);
  std::lock_guard lock(runMutex_);
  if (!waker_) waker_ = std::make_unique<Waker>();
  threads_.emplace_back([this, port] { servePty(port); });
  return port->devicePath();
}

std::uint16_t Emulator::startTcp(std::uint16_t port) {
  auto listener = std::make_shared<TcpListener>(port);
  std::lock_guard lock(runMutex_);
  if (!waker_) waker_ = std::make_unique<Waker>();
  threads_.emplace_back([this, listener] { serveTcp(listener); });
  return listener->port();
}

void Emulator::stop() {
  std::lock_guard lock(runMutex_);
  if (!waker_) return;
  waker_->notify();
  for (auto& t : threads_) t.join();
  threads_.clear();
  waker_.reset();
}

std::uint64_t Emulator::executions(std::uint8_t cmd) const {
  return inspect([cmd](const Printer& p) { return p.executions(cmd); });
}

Emulator::Counters Emulator::counters() const {
  std::lock_guard lock(countersMutex_);
  return counters_;
}

void Emulator::servePty(std::shared_ptr<PtyPort> port) {
  // The pty stays open for the whole run: a driver may close and reopen it as often as it likes.
  while (!waker_->notified()) serve(port->link(), false);
}

void Emulator::serveTcp(std::shared_ptr<TcpListener> listener) {
  // One client at a time; the next waits in the listen queue until this one is done.
  while (!waker_->notified()) {
    const int fd = listener->accept(std::chrono::milliseconds(200), *waker_);
    if (fd < 0) continue;
    {
      std::lock_guard lock(countersMutex_);
      ++counters_.connections;
    }
    serve(Link{fd, true}, true);
    ::close(fd);
  }
}

bool Emulator::rateMatches(const Link& link) const {
  if (lineBaud_ == 0) return true;
  // Both ends of a pty share one set of line settings, so the master sees the rate the driver set.
  termios t{};
  if (::tcgetattr(link.fd, &t) != 0) return true;
  static const std::pair<unsigned, speed_t> rates[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},
                                                       {9600, B9600},   {19200, B19200}, {38400, B38400},
                                                       {57600, B57600}, {115200, B115200}};
  for (const auto& [rate, code] : rates)
    if (rate == lineBaud_) return ::cfgetispeed(&t) == code;
  return true;
}

std::chrono::nanoseconds Emulator::byteTime() const {
  // One start bit, eight data bits, one stop bit.
  const unsigned baud = baud_;
  return baud == 0 ? std::chrono::nanoseconds(0) : std::chrono::nanoseconds(10'000'000'000LL / baud);
}

void Emulator::paceIncoming(Clock::time_point firstByte, std::size_t size) const {
  // A pty delivers a frame at once; on a real line it would still be arriving. The request is
  // taken as complete only when its last byte would have come in.
  const auto perByte = byteTime();
  if (perByte.count() > 0) {
    waker_->sleepUntil(firstByte + perByte * static_cast<long long>(size));
  }
}

bool Emulator::send(const Link& link, std::string_view bytes) {
  const auto perByte = byteTime();
  if (perByte.count() == 0) return writeAll(link, bytes, *waker_);
  // Each byte leaves at its own slot on the line; whatever is due by now goes out in one write,
  // so fast rates do not pay a system call per byte.
  const auto start = Clock::now();
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const auto due = static_cast<std::size_t>((Clock::now() - start) / perByte) + 1;
    const std::size_t upTo = std::min(bytes.size(), std::max(due, sent + 1));
    if (!writeAll(link, bytes.substr(sent, upTo - sent), *waker_)) return false;
    sent = upTo;
    if (!waker_->sleepUntil(start + perByte * static_cast<long long>(sent))) return false;
  }
  return true;
}

void Emulator::powerCycle() {
  {
    std::lock_guard lock(printerMutex_);
    previous_.reset();
  }
  faults_.restore();
}

Answer Emulator::answerFor(const Request& request, bool& printed) {
  printed = false;
  std::lock_guard lock(printerMutex_);
  // A repeat of the previous request (same SEQ, same command and data) is a driver's second
  // attempt after a lost or damaged answer: it gets the same answer and is not carried out again.
  // A different request that happens to carry the same SEQ (a driver restarted at 20h) is new work.
  if (previous_ && previous_->first == request) {
    std::lock_guard c(countersMutex_);
    ++counters_.repeats;
    return previous_->second;
  }
  if (auto instead = faults_.answerInstead(request.cmd)) {
    Answer answer{request.seq, request.cmd, std::move(*instead), printer_.stateStatus()};
    faults_.overlay(answer.status);
    previous_ = std::make_pair(request, answer);
    return answer;
  }
  const auto outcome = printer_.execute(request.cmd, request.data);
  try {
    saveState();
  } catch (const std::exception& e) {
    // The answer still goes: the device carried the request out. The state file is behind, and
    // says so to whoever runs the printer.
    std::cerr << "orbantis-emulator: " << e.what() << "\n";
  }
  Answer answer{request.seq, request.cmd, outcome.data, outcome.status};
  faults_.overlay(answer.status);
  previous_ = std::make_pair(request, answer);
  printed = outcome.printed;
  return answer;
}

void Emulator::serve(const Link& link, bool tcp) {
  RequestReader reader;
  std::array<char, 512> buffer{};
  auto firstByte = Clock::now();
  auto lastByte = Clock::now();
  unsigned answersHere = 0;
  const std::string nak(1, static_cast<char>(ctl::kNak));
  const std::string syn(1, static_cast<char>(ctl::kSyn));

  while (!waker_->notified()) {
    auto wait = std::chrono::milliseconds(200);
    if (reader.inFrame()) {
      wait = std::max(std::chrono::milliseconds(0),
                      std::chrono::duration_cast<std::chrono::milliseconds>(lastByte + kInterByteTimeout - Clock::now()));
    }
    std::size_t got = 0;
    const auto r = readSome(link, buffer.data(), buffer.size(), got, wait, *waker_);
    if (r == ReadResult::closed) return;
    if (r == ReadResult::timeout) {
      if (reader.inFrame() && Clock::now() - lastByte >= kInterByteTimeout) {
        reader.abandon();
        if (!faults_.silent()) {
          send(link, nak);
          std::lock_guard c(countersMutex_);
          ++counters_.naks;
        }
      }
      continue;
    }
    if (!tcp && !rateMatches(link)) continue;
    lastByte = Clock::now();
    for (std::size_t i = 0; i < got; ++i) {
      const bool wasIdle = !reader.inFrame();
      const auto outcome = reader.feed(static_cast<std::uint8_t>(buffer[i]));
      if (wasIdle && reader.inFrame()) firstByte = lastByte;
      if (outcome == RequestReader::Outcome::pending) continue;
      if (faults_.silent()) {
        // Read and ignored, but counted: the summary says what came in.
        if (outcome != RequestReader::Outcome::bad) {
          {
            std::lock_guard c(countersMutex_);
            ++counters_.requests;
          }
          if (const auto hook = requestHook()) hook(reader.request().cmd);
        }
        continue;
      }
      if (outcome == RequestReader::Outcome::bad) {
        send(link, nak);
        std::lock_guard c(countersMutex_);
        ++counters_.naks;
        continue;
      }
      {
        std::lock_guard c(countersMutex_);
        ++counters_.requests;
      }
      paceIncoming(firstByte, reader.frameSize());
      if (const auto hook = requestHook()) hook(reader.request().cmd);
      const FrameFault frameFault = faults_.frameFaultThisRequest();
      if (frameFault == FrameFault::loseRequest) continue;  // lost on the way: not carried out
      if (frameFault == FrameFault::dropLink) {
        if (tcp) return;  // the connection goes; the request was not carried out
        continue;
      }
      if (faults_.nakThisRequest()) {
        send(link, nak);
        std::lock_guard c(countersMutex_);
        ++counters_.naks;
        continue;
      }
      const auto started = Clock::now();
      bool printed = false;
      const Answer answer = answerFor(reader.request(), printed);
      if (printed) {
        // The paper takes its time; SYN tells the driver the printer is busy, not gone.
        const auto done = started + std::chrono::milliseconds(printTimeMs_.load());
        for (auto next = started + kSynInterval; next < done; next += kSynInterval) {
          if (!waker_->sleepUntil(next) || !send(link, syn)) return;
        }
        if (!waker_->sleepUntil(done)) return;
      }
      if (frameFault == FrameFault::loseAnswer) continue;  // carried out; the answer never arrives
      if (frameFault == FrameFault::powerCycle) {
        // Carried out, then the power went: no answer, and the printer comes
        // back without the memory of this request.
        std::lock_guard lock(printerMutex_);
        previous_.reset();
        continue;
      }
      if (!send(link, faults_.shapeAnswer(answer))) return;
      {
        std::lock_guard c(countersMutex_);
        ++counters_.answers;
      }
      ++answersHere;
      const unsigned dropAfter = faults_.dropAfter();
      if (tcp && dropAfter != 0 && answersHere >= dropAfter) return;
    }
  }
}

}  // namespace orbantis::emulator
