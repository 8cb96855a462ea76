// Fuzz target: the code page conversions.
//
// Every input is read four ways: as 8-bit text in 1251, in 1252 and in an
// unknown code page (taken as 1252), as UTF-8, and as UTF-16 code units (two
// bytes each, least significant first).
//
// Invariants: no crash;
//  - 8-bit text decodes up to its first 00h, one character per byte, and
//    encodes back to exactly those bytes;
//  - encoding never yields 00h or more bytes than characters, and encoding
//    what an encoding decodes to changes nothing;
//  - encoding that reports what it lost gives the same bytes, and one that
//    reports nothing lost has no "?" the text did not hold;
//  - UTF-8 decodes and re-encodes to itself exactly when it is valid (checked
//    against a reference validator); invalid input yields at least one U+FFFD;
//  - UTF-16 encodes to valid UTF-8 that decodes to the same text, lone
//    surrogates replaced by U+FFFD.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "foundation/CodePage.h"

namespace {

using namespace orbantis;

constexpr std::uint16_t kUnknownCodePage = 437;

// Valid UTF-8 by the table of well-formed byte sequences (no overlong forms,
// no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(const std::string& s) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n) {
    const auto b = static_cast<unsigned char>(s[i]);
    int follow = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b <= 0x7F) {
      follow = 0;
    } else if (b >= 0xC2 && b <= 0xDF) {
      follow = 1;
    } else if (b == 0xE0) {
      follow = 2;
      lo = 0xA0;
    } else if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF) {
      follow = 2;
    } else if (b == 0xED) {
      follow = 2;
      hi = 0x9F;
    } else if (b == 0xF0) {
      follow = 3;
      lo = 0x90;
    } else if (b >= 0xF1 && b <= 0xF3) {
      follow = 3;
    } else if (b == 0xF4) {
      follow = 3;
      hi = 0x8F;
    } else {
      return false;
    }
    ++i;
    for (int k = 0; k < follow; ++k, ++i) {
      if (i >= n) return false;
      const auto c = static_cast<unsigned char>(s[i]);
      if (c < (k == 0 ? lo : 0x80) || c > (k == 0 ? hi : 0xBF)) return false;
    }
  }
  return true;
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The text with every unpaired surrogate replaced by U+FFFD.
WideString WithoutLoneSurrogates(const WideString& w) {
  WideString out;
  for (std::size_t i = 0; i < w.size(); ++i) {
    if (IsHigh(w[i]) && i + 1 < w.size() && IsLow(w[i + 1])) {
      out += w[i];
      out += w[i + 1];
      ++i;
    } else if (IsHigh(w[i]) || IsLow(w[i])) {
      out += u'\uFFFD';
    } else {
      out += w[i];
    }
  }
  return out;
}

void CheckEightBit(const std::string& bytes, std::uint16_t codePage) {
  const std::string text = bytes.substr(0, bytes.find('\0'));
  const WideString decoded = DecodeCodePage(bytes, codePage);
  FUZZ_CHECK(decoded.size() == text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) FUZZ_CHECK(decoded[i] == b);
    FUZZ_CHECK(decoded[i] != 0);
  }
  FUZZ_CHECK(EncodeCodePage(decoded, codePage) == text);
}

void CheckEncode(const WideString& wide, std::uint16_t codePage) {
  const AnsiString encoded = EncodeCodePage(wide, codePage);
  FUZZ_CHECK(encoded.size() <= wide.size());
  FUZZ_CHECK(encoded.find('\0') == AnsiString::npos);
  FUZZ_CHECK(EncodeCodePage(DecodeCodePage(encoded, codePage), codePage) == encoded);
  char32_t lost = 0;
  FUZZ_CHECK(EncodeCodePage(wide, codePage, lost) == encoded);
  if (lost == 0) {
    const WideString text = wide.substr(0, wide.find(u'\0'));
    std::size_t asked = 0, got = 0;
    for (const char16_t ch : text) asked += ch == u'?';
    for (const char ch : encoded) got += ch == '?';
    FUZZ_CHECK(got == asked);
  }
}

void CheckUtf8(const std::string& bytes) {
  const WideString wide = Utf8ToWide(bytes);
  FUZZ_CHECK(wide.size() <= bytes.size());
  const std::string back = WideToUtf8(wide);
  FUZZ_CHECK(IsValidUtf8(back));
  if (IsValidUtf8(bytes)) {
    FUZZ_CHECK(back == bytes);
  } else {
    FUZZ_CHECK(wide.find(u'\uFFFD') != WideString::npos);
  }
}

void CheckUtf16(const WideString& wide) {
  const std::string utf8 = WideToUtf8(wide);
  FUZZ_CHECK(IsValidUtf8(utf8));
  FUZZ_CHECK(Utf8ToWide(utf8) == WithoutLoneSurrogates(wide));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  fuzz::ByteReader in(data, size);
  const WideString units = in.Units(size / 2);

  for (std::uint16_t codePage : {CP_CYRILLIC, CP_WESTERN, kUnknownCodePage}) {
    CheckEightBit(bytes, codePage);
    CheckEncode(units, codePage);
  }
  // An unknown code page behaves as 1252.
  FUZZ_CHECK(DecodeCodePage(bytes, kUnknownCodePage) == DecodeCodePage(bytes, CP_WESTERN));
  FUZZ_CHECK(EncodeCodePage(units, kUnknownCodePage) == EncodeCodePage(units, CP_WESTERN));

  CheckUtf8(bytes);
  CheckUtf16(units);
  return 0;
}
