#include "DStrParser/DStrParser.h"

#include <cstddef>
#include <exception>
#include <string>

namespace orbantis {

namespace {

// Where the scan ended: the rest of the text starts at `start`, and its last
// `partial` characters are a beginning of the separator that the text ran out
// before completing.
struct ScanEnd {
  std::size_t start;
  std::size_t partial;
};

// The historic matcher: compare text and separator character by character; on
// a mismatch restart the separator but do NOT re-examine the mismatching
// character. So with "ab" the text "aab" holds no separator. Clients rely on
// the field positions this produces, so it must not be "fixed".
template <class Str, class List>
ScanEnd ScanPieces(const Str& text, std::size_t len, const Str& separator, List& items) {
  std::size_t start = 0;
  std::size_t j = 0;
  for (std::size_t i = 0; i < len; ++i) {
    if (text[i] == separator[j]) {
      if (++j == separator.size()) {
        items.push_back(text.substr(start, i + 1 - separator.size() - start));
        start = i + 1;
        j = 0;
      }
    } else {
      j = 0;
    }
  }
  return {start, j};
}

std::string MessageOf(const std::exception& e) {
  if (auto* own = dynamic_cast<const Exception*>(&e)) return own->Message;
  return e.what();
}

}  // namespace

void DSplitToni(const WideString& text, WideStrings& items, const WideString& separator) {
  try {
    if (text.empty() || separator.empty()) return;
    ScanEnd end = ScanPieces(text, text.size(), separator, items);
    // A text ending on a full separator has no rest. Otherwise the rest is an
    // item, without the unfinished separator it ends with (even if that leaves
    // it empty).
    if (end.start < text.size()) {
      items.push_back(text.substr(end.start, text.size() - end.start - end.partial));
    }
  } catch (const std::exception& e) {
    throw Exception("Exception in \"DSplitToni\" metod : " + MessageOf(e));
  }
}

void WS2Strings(const WideString& text, WideStrings& items, const WideStrings& separators) {
  try {
    if (text.empty()) return;
    if (separators.empty()) {
      items.push_back(text);
      return;
    }
    WideStrings working{text};
    try {
      // CALC_NEXT_SEP: each separator refines the items left by the previous
      // ones; an item without the separator passes through unchanged.
      for (const WideString& separator : separators) {
        if (separator.empty()) continue;
        WideStrings next;
        next.reserve(working.size());
        for (WideString& item : working) {
          if (item.find(separator) != WideString::npos) {
            DSplitToni(item, next, separator);
          } else {
            next.push_back(std::move(item));
          }
        }
        working.swap(next);
      }
    } catch (const std::exception& e) {
      throw Exception("CALC_NEXT_SEP: " + MessageOf(e));
    }
    items.insert(items.end(), working.begin(), working.end());
  } catch (const std::exception& e) {
    throw Exception("WS2Strings: " + MessageOf(e));
  }
}

void SplitToni(const AnsiString& text, AnsiStrings& items, const AnsiString& separator) {
  try {
    // Answers can carry garbage after a 00h byte; the 8-bit text ends there.
    std::size_t len = text.find('\0');
    if (len == AnsiString::npos) len = text.size();
    if (len == 0 || separator.empty()) return;
    ScanEnd end = ScanPieces(text, len, separator, items);
    if (end.start < len) items.push_back(text.substr(end.start, len - end.start));
  } catch (const std::exception& e) {
    throw Exception("Exception in \"SplitToni\" metod : " + MessageOf(e));
  }
}

}  // namespace orbantis
