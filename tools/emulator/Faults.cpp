#include "Faults.h"

#include <stdexcept>

namespace orbantis::emulator {

ForcedBit parseForcedBit(const std::string& text) {
  // BYTE.BIT[=0|1]
  const bool valid = (text.size() == 3 || (text.size() == 5 && text[3] == '=' && (text[4] == '0' || text[4] == '1'))) &&
                     text[0] >= '0' && text[0] <= '5' && text[1] == '.' && text[2] >= '0' && text[2] <= '7';
  if (!valid) {
    throw std::invalid_argument("status bit must be BYTE.BIT with byte 0-5 and bit 0-7, optionally =0 or =1: " + text);
  }
  return {StatusBit{static_cast<std::uint8_t>(text[0] - '0'), static_cast<std::uint8_t>(text[2] - '0')},
          text.size() == 3 || text[4] == '1'};
}

void Faults::apply(const FaultSettings& s) {
  clear();
  setNakEvery(s.nakEvery);
  setBadChecksumAt(s.badChecksumAt);
  setWrongSeqAt(s.wrongSeqAt);
  setWrongCmdAt(s.wrongCmdAt);
  setTruncateAt(s.truncateAt);
  setSilent(s.silent);
  setDropAfter(s.dropAfter);
  for (const auto& f : s.forcedBits) forceBit(f.bit, f.on);
  setFrameFault(s.frameFault, s.frameFaultAt);
}

void Faults::clear() {
  std::lock_guard lock(mutex_);
  nakEvery_ = 0;
  badChecksumAt_ = wrongSeqAt_ = wrongCmdAt_ = truncateAt_ = 0;
  silent_ = false;
  dropAfter_ = 0;
  forceSet_ = {};
  forceClear_ = {};
  frameFault_ = FrameFault::none;
  frameFaultAt_ = 0;
  instead_.reset();
  cutOff_ = false;
}

void Faults::setNakEvery(unsigned n) {
  std::lock_guard lock(mutex_);
  nakEvery_ = n;
  requestsSinceNakSet_ = 0;
}

void Faults::setBadChecksumAt(unsigned n) {
  std::lock_guard lock(mutex_);
  badChecksumAt_ = n ? answers_ + n : 0;
}

void Faults::setWrongSeqAt(unsigned n) {
  std::lock_guard lock(mutex_);
  wrongSeqAt_ = n ? answers_ + n : 0;
}

void Faults::setWrongCmdAt(unsigned n) {
  std::lock_guard lock(mutex_);
  wrongCmdAt_ = n ? answers_ + n : 0;
}

void Faults::setTruncateAt(unsigned n) {
  std::lock_guard lock(mutex_);
  truncateAt_ = n ? answers_ + n : 0;
}

void Faults::setSilent(bool on) {
  std::lock_guard lock(mutex_);
  silent_ = on;
}

void Faults::setDropAfter(unsigned n) {
  std::lock_guard lock(mutex_);
  dropAfter_ = n;
}

void Faults::forceBit(StatusBit bit, bool on) {
  std::lock_guard lock(mutex_);
  setBit(forceSet_, bit, on);
  setBit(forceClear_, bit, !on);
}

void Faults::releaseBit(StatusBit bit) {
  std::lock_guard lock(mutex_);
  setBit(forceSet_, bit, false);
  setBit(forceClear_, bit, false);
}

bool Faults::silent() const {
  std::lock_guard lock(mutex_);
  return silent_;
}

unsigned Faults::dropAfter() const {
  std::lock_guard lock(mutex_);
  return dropAfter_;
}

void Faults::setFrameFault(FrameFault kind, unsigned n) {
  std::lock_guard lock(mutex_);
  frameFault_ = n ? kind : FrameFault::none;
  frameFaultAt_ = n && kind != FrameFault::none ? requests_ + n : 0;
}

void Faults::restore() {
  std::lock_guard lock(mutex_);
  cutOff_ = false;
  frameFault_ = FrameFault::none;
  frameFaultAt_ = 0;
}

void Faults::setAnswerInstead(std::uint8_t cmd, Bytes data) {
  std::lock_guard lock(mutex_);
  instead_ = std::make_pair(cmd, std::move(data));
}

std::optional<Bytes> Faults::answerInstead(std::uint8_t cmd) {
  std::lock_guard lock(mutex_);
  if (!instead_ || instead_->first != cmd) return std::nullopt;
  Bytes data = std::move(instead_->second);
  instead_.reset();
  return data;
}

bool Faults::cutOff() const {
  std::lock_guard lock(mutex_);
  return cutOff_;
}

FrameFault Faults::frameFaultThisRequest() {
  std::lock_guard lock(mutex_);
  ++requests_;
  if (cutOff_) return FrameFault::loseRequest;
  if (frameFaultAt_ == 0 || requests_ != frameFaultAt_) return FrameFault::none;
  cutOff_ = frameFault_ != FrameFault::powerCycle;
  frameFaultAt_ = 0;
  return frameFault_;
}

bool Faults::nakThisRequest() {
  std::lock_guard lock(mutex_);
  return nakEvery_ != 0 && ++requestsSinceNakSet_ % nakEvery_ == 0;
}

void Faults::overlay(StatusBytes& status) const {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < status.size(); ++i) {
    status[i] = static_cast<std::uint8_t>((status[i] | forceSet_[i]) & ~forceClear_[i]);
  }
}

Bytes Faults::shapeAnswer(const Answer& answer) {
  std::lock_guard lock(mutex_);
  ++answers_;
  auto fires = [this](std::uint64_t& at) {
    const bool hit = at != 0 && at == answers_;
    if (hit) at = 0;
    return hit;
  };
  Answer sent = answer;
  if (fires(wrongSeqAt_)) sent.seq = sent.seq == kLastSeq ? kFirstSeq : static_cast<std::uint8_t>(sent.seq + 1);
  if (fires(wrongCmdAt_)) sent.cmd = static_cast<std::uint8_t>(sent.cmd + 1);
  Bytes frame = encodeAnswer(sent);
  if (fires(badChecksumAt_)) {
    // The last check-sum digit, off by one nibble: still a digit byte, just the wrong one.
    auto& digit = frame[frame.size() - 2];
    digit = static_cast<char>(0x30 + ((static_cast<std::uint8_t>(digit) - 0x30 + 1) & 0x0F));
  }
  if (fires(truncateAt_)) frame.resize(frame.size() / 2);
  return frame;
}

}  // namespace orbantis::emulator
