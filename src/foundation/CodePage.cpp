// Tables and conversions between the two Windows code pages the printer world
// uses and UTF-16. The tables are written out here so the core needs no
// conversion library and behaves the same on every platform.
#include "foundation/CodePage.h"

#include <array>
#include <cstddef>
#include <cstdio>

namespace orbantis {

namespace {

using Table = std::array<char16_t, 128>;  // bytes 80h..FFh; 00h..7Fh are ASCII

// Windows-1252. 81h, 8Dh, 8Fh, 90h and 9Dh are unassigned; like Windows we map
// them to the C1 control of the same value so every byte survives a round trip.
constexpr Table kCp1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,  // A0
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,  // A8
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,  // B8
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,  // C0
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,  // C8
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,  // D0
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,  // D8
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,  // E0
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,  // E8
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,  // F0
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,  // F8
};

// Windows-1251. Only 98h is unassigned; it maps to U+0098 as on Windows.
constexpr Table kCp1251 = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

// Canonical compositions of every precomposed letter held by either code
// page: {precomposed, base, combining mark}. A letter that arrives decomposed
// (base + mark, as some text sources produce it) must still reach the printer
// as the single byte the code page has for it.
struct Composition {
  char16_t precomposed;
  char16_t base;
  char16_t mark;
};

constexpr Composition kCompositions[] = {
    // Latin letters of 1252
    {0x00C0, u'A', 0x0300}, {0x00C1, u'A', 0x0301}, {0x00C2, u'A', 0x0302}, {0x00C3, u'A', 0x0303},
    {0x00C4, u'A', 0x0308}, {0x00C5, u'A', 0x030A}, {0x00C7, u'C', 0x0327}, {0x00C8, u'E', 0x0300},
    {0x00C9, u'E', 0x0301}, {0x00CA, u'E', 0x0302}, {0x00CB, u'E', 0x0308}, {0x00CC, u'I', 0x0300},
    {0x00CD, u'I', 0x0301}, {0x00CE, u'I', 0x0302}, {0x00CF, u'I', 0x0308}, {0x00D1, u'N', 0x0303},
    {0x00D2, u'O', 0x0300}, {0x00D3, u'O', 0x0301}, {0x00D4, u'O', 0x0302}, {0x00D5, u'O', 0x0303},
    {0x00D6, u'O', 0x0308}, {0x00D9, u'U', 0x0300}, {0x00DA, u'U', 0x0301}, {0x00DB, u'U', 0x0302},
    {0x00DC, u'U', 0x0308}, {0x00DD, u'Y', 0x0301}, {0x00E0, u'a', 0x0300}, {0x00E1, u'a', 0x0301},
    {0x00E2, u'a', 0x0302}, {0x00E3, u'a', 0x0303}, {0x00E4, u'a', 0x0308}, {0x00E5, u'a', 0x030A},
    {0x00E7, u'c', 0x0327}, {0x00E8, u'e', 0x0300}, {0x00E9, u'e', 0x0301}, {0x00EA, u'e', 0x0302},
    {0x00EB, u'e', 0x0308}, {0x00EC, u'i', 0x0300}, {0x00ED, u'i', 0x0301}, {0x00EE, u'i', 0x0302},
    {0x00EF, u'i', 0x0308}, {0x00F1, u'n', 0x0303}, {0x00F2, u'o', 0x0300}, {0x00F3, u'o', 0x0301},
    {0x00F4, u'o', 0x0302}, {0x00F5, u'o', 0x0303}, {0x00F6, u'o', 0x0308}, {0x00F9, u'u', 0x0300},
    {0x00FA, u'u', 0x0301}, {0x00FB, u'u', 0x0302}, {0x00FC, u'u', 0x0308}, {0x00FD, u'y', 0x0301},
    {0x00FF, u'y', 0x0308}, {0x0160, u'S', 0x030C}, {0x0161, u's', 0x030C}, {0x017D, u'Z', 0x030C},
    {0x017E, u'z', 0x030C}, {0x0178, u'Y', 0x0308},
    // Cyrillic letters of 1251
    {0x0419, 0x0418, 0x0306}, {0x0439, 0x0438, 0x0306},  // Й й
    {0x040E, 0x0423, 0x0306}, {0x045E, 0x0443, 0x0306},  // Ў ў
    {0x0401, 0x0415, 0x0308}, {0x0451, 0x0435, 0x0308},  // Ё ё
    {0x0407, 0x0406, 0x0308}, {0x0457, 0x0456, 0x0308},  // Ї ї
    {0x0403, 0x0413, 0x0301}, {0x0453, 0x0433, 0x0301},  // Ѓ ѓ
    {0x040C, 0x041A, 0x0301}, {0x045C, 0x043A, 0x0301},  // Ќ ќ
};

const Table& TableFor(std::uint16_t codePage) {
  return codePage == CP_CYRILLIC ? kCp1251 : kCp1252;
}

// Byte for a Unicode character, or -1 when the code page cannot hold it.
int ByteFor(const Table& table, char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  if (cp > 0xFFFF) return -1;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table[i] == cp) return static_cast<int>(0x80 + i);
  }
  return -1;
}

bool IsCombiningMark(char32_t cp) {
  return (cp >= 0x0300 && cp <= 0x036F) || (cp >= 0x1AB0 && cp <= 0x1AFF) ||
         (cp >= 0x1DC0 && cp <= 0x1DFF) || (cp >= 0x20D0 && cp <= 0x20FF) ||
         (cp >= 0xFE20 && cp <= 0xFE2F);
}

char32_t Compose(char32_t base, char32_t mark) {
  for (const Composition& c : kCompositions) {
    if (c.base == base && c.mark == mark) return c.precomposed;
  }
  return 0;
}

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Reads one code point at ws[i] and advances i. A lone surrogate comes back as
// itself (callers treat it as unrepresentable / invalid).
char32_t NextCodePoint(const WideString& ws, std::size_t& i) {
  char32_t c = ws[i++];
  if (IsHighSurrogate(c) && i < ws.size() && IsLowSurrogate(ws[i])) {
    char32_t low = ws[i++];
    return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
  }
  return c;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AppendUtf16(WideString& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

WideString DecodeCodePage(const AnsiString& S, std::uint16_t codePage) {
  const Table& table = TableFor(codePage);
  WideString out;
  out.reserve(S.size());
  for (char ch : S) {
    auto b = static_cast<unsigned char>(ch);
    if (b == 0) break;  // 8-bit texts end at the first 00h
    out.push_back(b < 0x80 ? static_cast<char16_t>(b) : table[b - 0x80]);
  }
  return out;
}

AnsiString EncodeCodePage(const WideString& ws, std::uint16_t codePage, char32_t& firstLost,
                          std::size_t* lostAt) {
  const Table& table = TableFor(codePage);
  firstLost = 0;
  AnsiString out;
  // Whatever is lost belongs to the character that is written next.
  auto lost = [&](char32_t cp) {
    if (firstLost != 0) return;
    firstLost = cp;
    if (lostAt != nullptr) *lostAt = out.size();
  };
  out.reserve(ws.size());
  std::size_t i = 0;
  while (i < ws.size() && ws[i] != 0) {
    char32_t cp = NextCodePoint(ws, i);
    if (IsCombiningMark(cp)) {  // a mark with no base letter is dropped
      lost(cp);
      continue;
    }

    // Fold the marks that follow into the letter while the result is still a
    // character of the code page; any other mark is dropped.
    while (i < ws.size() && IsCombiningMark(ws[i])) {
      const char32_t mark = ws[i++];
      const char32_t composed = Compose(cp, mark);
      if (composed != 0 && ByteFor(table, composed) >= 0) {
        cp = composed;
        continue;
      }
      if (composed != 0) lost(composed);
      else if (ByteFor(table, cp) < 0) lost(cp);
      else lost(mark);
    }

    const int b = ByteFor(table, cp);
    if (b < 0) lost(cp);
    out.push_back(b >= 0 ? static_cast<char>(b) : '?');
  }
  return out;
}

AnsiString EncodeCodePage(const WideString& ws, std::uint16_t codePage) {
  char32_t ignored = 0;
  return EncodeCodePage(ws, codePage, ignored);
}

std::string CodePointName(char32_t cp) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(cp));
  return text;
}

std::string WideToUtf8(const WideString& ws) {
  std::string out;
  out.reserve(ws.size());
  std::size_t i = 0;
  while (i < ws.size()) {
    char32_t cp = NextCodePoint(ws, i);
    if (IsHighSurrogate(cp) || IsLowSurrogate(cp)) cp = kReplacement;
    AppendUtf8(out, cp);
  }
  return out;
}

WideString Utf8ToWide(const std::string& s) {
  // Decodes with the usual "maximal subpart" rule: a broken sequence yields one
  // U+FFFD and decoding resumes at the byte that broke it.
  WideString out;
  out.reserve(s.size());
  const std::size_t n = s.size();
  std::size_t i = 0;
  while (i < n) {
    auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
      out.push_back(b0);
      ++i;
      continue;
    }
    int need;
    char32_t cp;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      need = 1;
      cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      need = 2;
      cp = b0 & 0x0F;
      if (b0 == 0xE0) lo = 0xA0;  // no overlong forms
      if (b0 == 0xED) hi = 0x9F;  // no encoded surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      need = 3;
      cp = b0 & 0x07;
      if (b0 == 0xF0) lo = 0x90;
      if (b0 == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    ++i;
    bool ok = true;
    for (int k = 0; k < need; ++k) {
      if (i >= n) {
        ok = false;
        break;
      }
      auto b = static_cast<unsigned char>(s[i]);
      unsigned char l = k == 0 ? lo : 0x80;
      unsigned char h = k == 0 ? hi : 0xBF;
      if (b < l || b > h) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (b & 0x3F);
      ++i;
    }
    AppendUtf16(out, ok ? cp : kReplacement);
  }
  return out;
}

}  // namespace orbantis
