#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "foundation/CodePage.h"

namespace orbantis {
namespace {

// Bytes 01h..FFh in order (00h would end the text).
AnsiString AllNonNulBytes() {
  AnsiString s;
  for (int b = 1; b <= 0xFF; ++b) s.push_back(static_cast<char>(b));
  return s;
}

TEST(CodePage, EveryByteSurvivesARoundTrip) {
  const AnsiString bytes = AllNonNulBytes();
  for (std::uint16_t cp : {CP_WESTERN, CP_CYRILLIC}) {
    SCOPED_TRACE(cp);
    const WideString wide = DecodeCodePage(bytes, cp);
    ASSERT_EQ(wide.size(), bytes.size());
    for (std::size_t i = 0; i < 0x7F; ++i) EXPECT_EQ(wide[i], bytes[i]) << "ASCII is the same in both";
    EXPECT_EQ(EncodeCodePage(wide, cp), bytes);
  }
}

TEST(CodePage, CharacterAndByteMappings) {
  const struct {
    std::uint16_t cp;
    unsigned char byte;
    char16_t ch;
  } cases[] = {
      {CP_WESTERN, 0x80, u'€'},      {CP_CYRILLIC, 0x88, u'€'},
      {CP_WESTERN, 0x91, u'\u2018'}, {CP_WESTERN, 0x92, u'\u2019'},
      {CP_CYRILLIC, 0x91, u'\u2018'}, {CP_CYRILLIC, 0x92, u'\u2019'},
      {CP_WESTERN, 0x8A, u'Š'},      {CP_WESTERN, 0x9F, u'Ÿ'},
      {CP_WESTERN, 0xE9, u'é'},      {CP_WESTERN, 0xA0, u'\u00A0'},
      {CP_CYRILLIC, 0xC0, u'А'},     {CP_CYRILLIC, 0xFF, u'я'},
      {CP_CYRILLIC, 0xA8, u'Ё'},     {CP_CYRILLIC, 0xB9, u'№'},
      {CP_CYRILLIC, 0xA5, u'Ґ'},     {CP_CYRILLIC, 0x84, u'„'},
      // Unassigned bytes map to the C1 control of the same value, both ways.
      {CP_WESTERN, 0x81, u'\u0081'}, {CP_WESTERN, 0x8D, u'\u008D'},
      {CP_WESTERN, 0x8F, u'\u008F'}, {CP_WESTERN, 0x90, u'\u0090'},
      {CP_WESTERN, 0x9D, u'\u009D'}, {CP_CYRILLIC, 0x98, u'\u0098'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "code page " << c.cp << " byte " << int(c.byte));
    const AnsiString byte(1, static_cast<char>(c.byte));
    EXPECT_EQ(DecodeCodePage(byte, c.cp), WideString(1, c.ch));
    EXPECT_EQ(EncodeCodePage(WideString(1, c.ch), c.cp), byte);
  }
}

TEST(CodePage, UnknownCodePageActsAsWestern) {
  const AnsiString bytes = AllNonNulBytes();
  EXPECT_EQ(DecodeCodePage(bytes, 437), DecodeCodePage(bytes, CP_WESTERN));
  EXPECT_EQ(EncodeCodePage(u"€é–Ж", 0), EncodeCodePage(u"€é–Ж", CP_WESTERN));
}

TEST(CodePage, BulgarianTextRoundTripsInCyrillicPage) {
  const WideString text = u"Касова бележка № 12 – „Общо“: 15,00 лв. ЁЇЎйъЮщ";
  const AnsiString bytes = EncodeCodePage(text, CP_CYRILLIC);
  EXPECT_EQ(bytes.size(), text.size());
  EXPECT_EQ(bytes.find('?'), AnsiString::npos);
  EXPECT_EQ(bytes.substr(0, 6), "\xCA\xE0\xF1\xEE\xE2\xE0");
  EXPECT_EQ(DecodeCodePage(bytes, CP_CYRILLIC), text);
}

// Each case also says which character the refusal of a text would name: the
// first one that does not reach the paper as written.
struct EncodeCase {
  WideString text;
  std::uint16_t cp;
  AnsiString bytes;
  char32_t lost;  // 0: every character survives
};

void ExpectEncodes(const EncodeCase& c) {
  SCOPED_TRACE(testing::Message() << "code page " << c.cp << ", bytes " << testing::PrintToString(c.bytes));
  EXPECT_EQ(EncodeCodePage(c.text, c.cp), c.bytes);
  char32_t lost = 0xFFFFFFFF;
  EXPECT_EQ(EncodeCodePage(c.text, c.cp, lost), c.bytes);
  EXPECT_EQ(CodePointName(lost), CodePointName(c.lost));
}

TEST(CodePage, WhatThePageCannotHoldBecomesQuestionMark) {
  const EncodeCase cases[] = {
      {u"Сума 5", CP_WESTERN, "???? 5", 0x0421},
      {u"Ж", CP_WESTERN, "?", 0x0416},
      {u"été", CP_CYRILLIC, "?t?", 0x00E9},
      {u"Ωx", CP_WESTERN, "?x", 0x03A9},
      {u"ѝ", CP_CYRILLIC, "?", 0x045D},  // not one of the page's letters
      // A character outside the BMP is one "?", not one per surrogate.
      {u"a\U0001F600b", CP_WESTERN, "a?b", 0x1F600},
      {u"a\U0001F600b", CP_CYRILLIC, "a?b", 0x1F600},
      // A lone surrogate cannot be held either.
      {WideString{u'x', char16_t(0xD800), u'y'}, CP_WESTERN, "x?y", 0xD800},
      // "?" written by the client is no loss.
      {u"Why?", CP_WESTERN, "Why?", 0},
  };
  for (const auto& c : cases) ExpectEncodes(c);
}

TEST(CodePage, BaseLetterAndMarksAreComposedWhenThePageHoldsTheResult) {
  const EncodeCase cases[] = {
      {u"e\u0300e\u0301e\u0302e\u0308", CP_WESTERN, "\xE8\xE9\xEA\xEB", 0},
      {u"n\u0303A\u030Ac\u0327", CP_WESTERN, "\xF1\xC5\xE7", 0},
      {u"S\u030Cz\u030CY\u0308", CP_WESTERN, "\x8A\x9E\x9F", 0},
      {u"\u0438\u0306\u0418\u0306", CP_CYRILLIC, "\xE9\xC9", 0},     // й Й
      {u"\u0435\u0308\u0443\u0306", CP_CYRILLIC, "\xB8\xA2", 0},     // ё ў
      // The composed letter is not in the page: the mark is dropped, and the
      // loss names the letter meant where the table knows it, else the mark.
      {u"\u0438\u0300", CP_CYRILLIC, "\xE8", 0x0300},                     // ѝ -> и
      {u"a\u0304", CP_WESTERN, "a", 0x0304},                              // ā -> a
      {u"e\u0301", CP_CYRILLIC, "e", 0x00E9},
      {u"\u0438\u0306", CP_WESTERN, "?", 0x0439},                         // й not in 1252
      // A letter the page lacks is named before a mark that cannot save it.
      {u"\u0416\u0301", CP_WESTERN, "?", 0x0416},
      // Only what composes is kept; extra and leading marks are dropped.
      {u"e\u0301\u0308", CP_WESTERN, "\xE9", 0x0308},
      {u"\u0301x", CP_WESTERN, "x", 0x0301},
      {u"\u00E9\u0301", CP_WESTERN, "\xE9", 0x0301},
  };
  for (const auto& c : cases) ExpectEncodes(c);
}

TEST(CodePage, ACharacterIsNamedAsPeopleWriteIt) {
  EXPECT_EQ(CodePointName(0x41), "U+0041");
  EXPECT_EQ(CodePointName(0x0416), "U+0416");
  EXPECT_EQ(CodePointName(0x1F600), "U+1F600");
}

TEST(CodePage, ConversionsStopAtTheFirstNul) {
  const AnsiString bytes("ab\0cd", 5);
  const WideString wide(u"ab\0cd", 5);
  for (std::uint16_t cp : {CP_WESTERN, CP_CYRILLIC}) {
    EXPECT_EQ(DecodeCodePage(bytes, cp), u"ab");
    EXPECT_EQ(EncodeCodePage(wide, cp), "ab");
    EXPECT_EQ(DecodeCodePage(AnsiString("\0x", 2), cp), u"");
    EXPECT_EQ(EncodeCodePage(WideString(u"\0x", 2), cp), "");
    EXPECT_EQ(DecodeCodePage("", cp), u"");
    EXPECT_EQ(EncodeCodePage(u"", cp), "");
  }
}

TEST(Utf8, RoundTripKeepsEveryCharacter) {
  using namespace std::string_literals;
  const WideString text = u"ASCII é € Ж № \U0001F600 \0 end"s;
  const std::string utf8 = WideToUtf8(text);
  EXPECT_EQ(Utf8ToWide(utf8), text);
  EXPECT_EQ(WideToUtf8(u"é€\U0001F600"), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
}

TEST(Utf8, InvalidInputBecomesReplacementCharacters) {
  const struct {
    std::string utf8;
    WideString wide;
  } cases[] = {
      {"a\xFF" "b", u"a\uFFFDb"},
      {"\xE2\x82", u"\uFFFD"},              // truncated sequence
      {"\xE2\x82" "x", u"\uFFFDx"},
      {"\xC0\xAF", u"\uFFFD\uFFFD"},        // overlong form
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\x80", u"\uFFFD"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToWide(c.utf8), c.wide) << "input of " << c.utf8.size() << " bytes";
  }
  EXPECT_EQ(WideToUtf8(WideString{u'a', char16_t(0xDC00)}), "a\xEF\xBF\xBD");
  EXPECT_EQ(WideToUtf8(WideString{char16_t(0xD800), u'b'}), "\xEF\xBF\xBD" "b");
}

}  // namespace
}  // namespace orbantis
