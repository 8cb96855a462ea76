// Fuzz target: the answer splitters (SplitToni, DSplitToni, WS2Strings and
// the engine's three-level Str2Strings).
//
// Input layout:
//   byte 0        flags: bit 0 = the wide text is the rest as UTF-16 code
//                 units (two bytes each) instead of the rest decoded as 1252
//   bytes 1..3    lengths of the three separators, each taken modulo 5
//   then          the three separators, then the text (the rest)
// The wide separators are the 8-bit ones decoded as 1252.
//
// Invariants: no crash and no escaping exception; the items never hold more
// characters than the text; SplitToni's items joined with the separator give
// back the text up to its first 00h (less a final separator); DSplitToni's
// items joined with the separator are a beginning of the text; WS2Strings
// with one separator gives DSplitToni's items when the text holds it, and the
// text itself when it does not (or when there is no separator at all).
#include <cstdint>
#include <cstdio>
#include <string>

#include "DStrParser/DStrParser.h"
#include "FuzzSupport.h"
#include "foundation/CodePage.h"
#include "u_FP_BASE/Str2Strings.h"

namespace {

using namespace orbantis;

template <class Str>
Str Join(const std::vector<Str>& items, const Str& separator) {
  Str out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += separator;
    out += items[i];
  }
  return out;
}

template <class Str>
std::size_t TotalLength(const std::vector<Str>& items) {
  std::size_t n = 0;
  for (const auto& item : items) n += item.size();
  return n;
}

template <class Str>
bool StartsWith(const Str& text, const Str& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

void CheckSplitToni(const AnsiString& text, const AnsiString& separator) {
  AnsiStrings items;
  SplitToni(text, items, separator);
  const AnsiString before = text.substr(0, text.find('\0'));
  if (before.empty() || separator.empty()) {
    FUZZ_CHECK(items.empty());
    return;
  }
  FUZZ_CHECK(TotalLength(items) <= before.size());
  const AnsiString joined = Join(items, separator);
  FUZZ_CHECK(joined == before || joined + separator == before);
}

void CheckDSplitToni(const WideString& text, const WideString& separator) {
  WideStrings items;
  DSplitToni(text, items, separator);
  if (text.empty() || separator.empty()) {
    FUZZ_CHECK(items.empty());
    return;
  }
  FUZZ_CHECK(TotalLength(items) <= text.size());
  FUZZ_CHECK(items.size() <= text.size() / separator.size() + 1);
  FUZZ_CHECK(StartsWith(text, Join(items, separator)));
}

void CheckWS2Strings(const WideString& text, const WideStrings& separators) {
  WideStrings items;
  WS2Strings(text, items, separators);
  FUZZ_CHECK(TotalLength(items) <= text.size());
  if (text.empty()) {
    FUZZ_CHECK(items.empty());
    return;
  }
  if (separators.empty()) {
    FUZZ_CHECK(items.size() == 1 && items[0] == text);
    return;
  }
  if (separators.size() == 1 && !separators[0].empty()) {
    if (text.find(separators[0]) == WideString::npos) {
      FUZZ_CHECK(items.size() == 1 && items[0] == text);
    } else {
      WideStrings direct;
      DSplitToni(text, direct, separators[0]);
      FUZZ_CHECK(items == direct);
    }
  }
}

void CheckStr2Strings(const AnsiString& text, const AnsiString& s1, const AnsiString& s2, const AnsiString& s3) {
  WideStrings items;
  // Str2Strings turns a failure of a level into a log line and carries on;
  // splitting a text has no failure to report, so any line is a fault.
  Str2Strings(text, items, s1, s2, s3, [](const std::string& line) {
    std::fprintf(stderr, "Str2Strings reported: %s\n", line.c_str());
    FUZZ_CHECK(!"Str2Strings reported a failure");
  });
  // Every item is a piece of the text before its first 00h, decoded one
  // character per byte, and no piece is taken twice.
  FUZZ_CHECK(TotalLength(items) <= text.size());
  FUZZ_CHECK(TotalLength(items) <= text.substr(0, text.find('\0')).size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ByteReader in(data, size);
  const std::uint8_t flags = in.Byte();
  std::size_t lengths[3];
  for (auto& n : lengths) n = in.Byte() % 5;
  AnsiString separators[3];
  for (int i = 0; i < 3; ++i) separators[i] = in.Bytes(lengths[i]);

  WideString wideText;
  AnsiString text;
  if (flags & 1) {
    wideText = in.Units(in.remaining() / 2);
    text = EncodeCodePage(wideText, CP_WESTERN);
  } else {
    text = in.Rest();
    wideText = DecodeCodePage(text, CP_WESTERN);
  }
  WideStrings wideSeparators;
  for (const auto& s : separators) wideSeparators.push_back(DecodeCodePage(s, CP_WESTERN));

  CheckSplitToni(text, separators[0]);
  CheckDSplitToni(wideText, wideSeparators[0]);
  CheckWS2Strings(wideText, {});
  CheckWS2Strings(wideText, {wideSeparators[0]});
  CheckWS2Strings(wideText, wideSeparators);
  CheckStr2Strings(text, separators[0], separators[1], separators[2]);
  return 0;
}
