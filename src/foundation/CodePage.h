// Conversions between 8-bit text in Windows code pages 1251 / 1252 and Unicode.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/Strings.h"

namespace orbantis {

inline constexpr std::uint16_t CP_CYRILLIC = 1251;  // Bulgarian texts
inline constexpr std::uint16_t CP_WESTERN = 1252;   // clients and printer data

// Decodes S up to its first 00h byte. Every byte of 1251 and 1252 has a
// mapping (the few unassigned ones map to the C1 control with the same value,
// as Windows does). An unknown code page is treated as 1252.
WideString DecodeCodePage(const AnsiString& S, std::uint16_t codePage);

// Encodes ws up to its first 0 character. A base letter followed by combining
// marks is composed into the precomposed letter when the code page holds it;
// remaining combining marks are dropped; anything the code page cannot hold
// becomes "?".
AnsiString EncodeCodePage(const WideString& ws, std::uint16_t codePage);

// The same, and firstLost receives the first character that did not survive
// (0 when every one did): one printed as "?", a mark that does not compose
// with its letter in this code page (which the plain form drops), or a lone
// surrogate. For a letter and a mark whose composition the code page lacks,
// it is the letter the writer meant (U+0439 for U+0438 with a breve);
// otherwise the letter the page lacks before the mark. lostAt, when given,
// receives where in the result that character is (or would have been), so a
// caller that sends only the first bytes can tell whether the loss is sent.
AnsiString EncodeCodePage(const WideString& ws, std::uint16_t codePage, char32_t& firstLost,
                          std::size_t* lostAt = nullptr);

// A character as people name it in error texts: "U+0416", "U+1F600".
std::string CodePointName(char32_t cp);

// UTF-8 <-> UTF-16 for file contents, paths and the bus boundary. Invalid
// sequences become U+FFFD.
std::string WideToUtf8(const WideString& ws);
WideString Utf8ToWide(const std::string& s);

}  // namespace orbantis
