#include "PaperRoll.h"

#include <iconv.h>

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

void PaperRoll::setCodePage(unsigned codePage) {
  if (codePage != 1251 && codePage != 1252) throw std::invalid_argument("code page 1251 or 1252");
  std::lock_guard lock(mutex_);
  codePage_ = codePage;
}

namespace {

// One line from the printer's code page to UTF-8, with the C library's own tables (not the
// driver's: a mistake the two shared could not show on the paper).
std::string toUtf8(std::string_view bytes, unsigned codePage) {
  iconv_t cd = ::iconv_open("UTF-8", codePage == 1251 ? "CP1251" : "CP1252");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(bytes);
  std::string out(bytes.size() * 4 + 4, '\0');
  std::string in(bytes);
  char* src = in.data();
  std::size_t srcLeft = in.size();
  char* dst = out.data();
  std::size_t dstLeft = out.size();
  while (srcLeft > 0) {
    if (::iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1)) break;
    // A byte the code page leaves unassigned: shown as "?".
    ++src;
    --srcLeft;
    *dst++ = '?';
    --dstLeft;
  }
  ::iconv_close(cd);
  out.resize(out.size() - dstLeft);
  return out;
}

}  // namespace

void PaperRoll::print(std::string_view line) {
  std::lock_guard lock(mutex_);
  std::string text = toUtf8(line.substr(0, kPaperWidth), codePage_);
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
