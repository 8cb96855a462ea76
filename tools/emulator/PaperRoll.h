// What the printer prints, as readable text: receipts, reports and texts, one line per printed
// line, 42 characters wide. Goes to a file or standard output as it is printed, and a copy stays
// in memory for tests and for the journal.
#pragma once

#include <cstddef>
#include <fstream>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

namespace orbantis::emulator {

inline constexpr std::size_t kPaperWidth = 42;

class PaperRoll {
 public:
  PaperRoll() = default;
  PaperRoll(const PaperRoll&) = delete;
  PaperRoll& operator=(const PaperRoll&) = delete;

  // Where printed lines go besides memory; an empty path and no stdout prints to memory only.
  // Throws std::runtime_error when the file cannot be opened for appending.
  void openFile(const std::string& path);
  void useStdout(bool on);
  // The printer's code page (1251 or 1252). The roll is written in UTF-8, each line converted
  // from it, so that accents and Cyrillic show as they print. Throws std::invalid_argument for
  // another code page.
  void setCodePage(unsigned codePage);

  void print(std::string_view line);

  // The lines printed so far (only the newest kKeptBytes are kept), each ending in "\n".
  std::string text() const;
  void clear();

  // Older text is dropped from memory past this size; the file keeps everything.
  static constexpr std::size_t kKeptBytes = 4u << 20;

 private:
  mutable std::mutex mutex_;
  std::ofstream file_;
  bool toStdout_ = false;
  std::string kept_;
  unsigned codePage_ = 1252;
};

// Layout helpers for one printed line.
std::string centred(std::string_view text);
// Left text and right text on one line, the right one flush with the right edge.
std::string leftRight(std::string_view left, std::string_view right);
std::string ruler(char c);

}  // namespace orbantis::emulator
