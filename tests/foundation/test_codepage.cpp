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

TEST(CodePage, WhatThePageCannotHoldBecomesQuestionMark) {
  const struct {
    WideString text;
    std::uint16_t cp;
    AnsiString bytes;
  } cases[] = {
      {u"Сума 5", CP_WESTERN, "???? 5"},
      {u"Ж", CP_WESTERN, "?"},
      {u"été", CP_CYRILLIC, "?t?"},
      {u"Ωx", CP_WESTERN, "?x"},
      {u"ѝ", CP_CYRILLIC, "?"},  // not one of the page's letters
      // A character outside the BMP is one "?", not one per surrogate.
      {u"a\U0001F600b", CP_WESTERN, "a?b"},
      {u"a\U0001F600b", CP_CYRILLIC, "a?b"},
      // A lone surrogate cannot be held either.
      {WideString{u'x', char16_t(0xD800), u'y'}, CP_WESTERN, "x?y"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeCodePage(c.text, c.cp), c.bytes) << "code page " << c.cp;
  }
}

TEST(CodePage, BaseLetterAndMarksAreComposedWhenThePageHoldsTheResult) {
  const struct {
    WideString text;
    std::uint16_t cp;
    AnsiString bytes;
  } cases[] = {
      {u"e\u0300e\u0301e\u0302e\u0308", CP_WESTERN, "\xE8\xE9\xEA\xEB"},
      {u"n\u0303A\u030Ac\u0327", CP_WESTERN, "\xF1\xC5\xE7"},
      {u"S\u030Cz\u030CY\u0308", CP_WESTERN, "\x8A\x9E\x9F"},
      {u"\u0438\u0306\u0418\u0306", CP_CYRILLIC, "\xE9\xC9"},     // й Й
      {u"\u0435\u0308\u0443\u0306", CP_CYRILLIC, "\xB8\xA2"},     // ё ў
      // The composed letter is not in the page: the mark is dropped.
      {u"\u0438\u0300", CP_CYRILLIC, "\xE8"},                     // ѝ -> и
      {u"a\u0304", CP_WESTERN, "a"},                              // ā -> a
      {u"e\u0301", CP_CYRILLIC, "e"},
      {u"\u0438\u0306", CP_WESTERN, "?"},                         // й not in 1252
      // Only what composes is kept; extra and leading marks are dropped.
      {u"e\u0301\u0308", CP_WESTERN, "\xE9"},
      {u"\u0301x", CP_WESTERN, "x"},
      {u"\u00E9\u0301", CP_WESTERN, "\xE9"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeCodePage(c.text, c.cp), c.bytes) << "code page " << c.cp;
  }
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
