// Faults the emulator can inject, switchable while it runs (from any thread).
//
// Request faults: NAK every Nth well-formed request (the request is not carried out), or silence
// (requests are read and dropped: the printer seems switched off). Answer faults hit one answer,
// the Nth counted from the moment the fault is set (1 = the next answer): a wrong check sum, a
// wrong SEQ, a wrong CMD, or an answer cut off halfway. The request behind that answer has been
// carried out, so the driver's repeat with the same SEQ gets the stored answer, intact.
// A TCP client can be dropped after N answers on its connection. Status bits can be forced set or
// clear in every answer, exactly as given (no summary bit is added).
// Frame faults hit the Nth well-formed request counted from the moment the fault is set: the
// request is lost (not carried out), or carried out and its answer lost, or the link drops (a TCP
// connection is closed; the request is not carried out). From then on the printer is cut off: it
// takes no request and answers nothing until restore(), so the driver's repeats fail too and what
// the printer holds must be found out afterwards.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Frame.h"
#include "Status.h"

namespace orbantis::emulator {

struct ForcedBit {
  StatusBit bit;
  bool on;
};

// powerCycle: the request is carried out, its answer lost, and the printer
// restarts at once: it keeps its fiscal state and an open receipt but forgets
// the last request, so a driver's repeat of it is carried out again. It is
// not cut off afterwards.
enum class FrameFault { none, loseRequest, loseAnswer, dropLink, powerCycle };

// The faults as given on the command line; all zero means none.
struct FaultSettings {
  unsigned nakEvery = 0;
  unsigned badChecksumAt = 0;
  unsigned wrongSeqAt = 0;
  unsigned wrongCmdAt = 0;
  unsigned truncateAt = 0;
  bool silent = false;
  unsigned dropAfter = 0;
  std::vector<ForcedBit> forcedBits;
  FrameFault frameFault = FrameFault::none;
  unsigned frameFaultAt = 0;
};

// "2.0" sets byte 2 bit 0; "2.0=0" clears it, "2.0=1" sets it. Throws std::invalid_argument.
ForcedBit parseForcedBit(const std::string& text);

class Faults {
 public:
  void apply(const FaultSettings& settings);
  void clear();

  void setNakEvery(unsigned n);  // 0 turns it off
  void setBadChecksumAt(unsigned n);
  void setWrongSeqAt(unsigned n);
  void setWrongCmdAt(unsigned n);
  void setTruncateAt(unsigned n);
  void setSilent(bool on);
  void setDropAfter(unsigned n);
  void forceBit(StatusBit bit, bool on);
  void releaseBit(StatusBit bit);
  // Arms a frame fault at the nth well-formed request from now (1 = the next).
  void setFrameFault(FrameFault kind, unsigned n);
  // Ends a cut-off and disarms a frame fault that has not fired.
  void restore();
  // The next request of command cmd is not carried out and is answered with
  // data instead (a firmware answering with a code the driver must not take
  // for "done", e.g. a payment answered P or I). One-shot.
  void setAnswerInstead(std::uint8_t cmd, Bytes data);
  // Used by the service: the answer to give instead of carrying cmd out.
  std::optional<Bytes> answerInstead(std::uint8_t cmd);
  bool cutOff() const;

  // Used by the service for each request and answer.
  bool silent() const;
  unsigned dropAfter() const;
  bool nakThisRequest();                  // counts one well-formed request
  FrameFault frameFaultThisRequest();     // counts one; loseRequest while cut off
  void overlay(StatusBytes& status) const;
  Bytes shapeAnswer(const Answer& answer);  // counts one answer; the bytes to send

 private:
  mutable std::mutex mutex_;
  unsigned nakEvery_ = 0;
  unsigned requestsSinceNakSet_ = 0;
  std::uint64_t answers_ = 0;
  // Absolute answer numbers at which each one-shot fault fires; 0 when unarmed.
  std::uint64_t badChecksumAt_ = 0;
  std::uint64_t wrongSeqAt_ = 0;
  std::uint64_t wrongCmdAt_ = 0;
  std::uint64_t truncateAt_ = 0;
  bool silent_ = false;
  unsigned dropAfter_ = 0;
  FrameFault frameFault_ = FrameFault::none;
  std::uint64_t requests_ = 0;
  std::uint64_t frameFaultAt_ = 0;  // absolute request number; 0 when unarmed
  bool cutOff_ = false;
  std::optional<std::pair<std::uint8_t, Bytes>> instead_;
  StatusBytes forceSet_{};
  StatusBytes forceClear_{};
};

}  // namespace orbantis::emulator
