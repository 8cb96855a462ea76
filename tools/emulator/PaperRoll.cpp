#include "PaperRoll.h"

#include <iostream>
#include <stdexcept>

namespace orbantis::emulator {

void PaperRoll::openFile(const std::string& path) {
  std::lock_guard lock(mutex_);
  file_.close();
  if (path.empty()) return;
  file_.open(path, std::ios::app);
  if (!file_) {
    throw std::runtime_error("cannot open paper file " + path);
  }
}

void PaperRoll::useStdout(bool on) {
  std::lock_guard lock(mutex_);
  toStdout_ = on;
}

void PaperRoll::print(std::string_view line) {
  std::lock_guard lock(mutex_);
  std::string text(line.substr(0, kPaperWidth));
  text.push_back('\n');
  kept_ += text;
  if (kept_.size() > kKeptBytes) {
    const auto cut = kept_.find('\n', kept_.size() - kKeptBytes);
    kept_.erase(0, cut == std::string::npos ? kept_.size() : cut + 1);
  }
  // Flushed per line: someone watching the roll (tail -f, a demo) sees each line as it prints.
  if (file_.is_open()) {
    file_ << text << std::flush;
  }
  if (toStdout_) {
    std::cout << text << std::flush;
  }
}

std::string PaperRoll::text() const {
  std::lock_guard lock(mutex_);
  return kept_;
}

void PaperRoll::clear() {
  std::lock_guard lock(mutex_);
  kept_.clear();
}

std::string centred(std::string_view text) {
  text = text.substr(0, kPaperWidth);
  return std::string((kPaperWidth - text.size()) / 2, ' ') + std::string(text);
}

std::string leftRight(std::string_view left, std::string_view right) {
  right = right.substr(0, kPaperWidth);
  const std::size_t room = kPaperWidth - right.size();
  std::string line(left.substr(0, room > 0 ? room - 1 : 0));
  line.append(kPaperWidth - line.size() - right.size(), ' ');
  line += right;
  return line;
}

std::string ruler(char c) { return std::string(kPaperWidth, c); }

}  // namespace orbantis::emulator
