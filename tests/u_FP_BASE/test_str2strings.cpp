#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "u_FP_BASE/Str2Strings.h"

namespace orbantis {
namespace {

struct Str2Case {
  const char* name;
  AnsiString text;
  AnsiString s1, s2, s3;
  WideStrings items;
};

const Str2Case kCases[] = {
    {"one level", "12,345,", ",", "", "", {u"12", u"345"}},
    {"empty pieces", "a,,b", ",", "", "", {u"a", u"", u"b"}},
    {"no separator in text", "x", ",", "", "", {u"x"}},
    {"first separator empty keeps the text", "a,b;c", "", ";", "|", {u"a,b;c"}},
    {"empty text", "", ",", ";", "|", {}},
    // A text starting with 00h splits into nothing, so it is added whole;
    // decoding ends at that byte, which leaves one empty item.
    {"first byte nul", AnsiString("\0a,b", 4), ",", "", "", {u""}},
    {"nul ends the text", AnsiString("a,b\0,c", 6), ",", "", "", {u"a", u"b"}},
    // Only pieces holding the second separator go to the next level, and
    // without a third separator their pieces are final.
    {"two levels", "1;2,3,c|d", ",", ";", "", {u"1", u"2", u"3", u"c|d"}},
    // Three levels: "x|y" has no ";" so it is not split by "|" either.
    {"three levels", "x|y,b;c|d,e", ",", ";", "|", {u"x|y", u"b", u"c", u"d", u"e"}},
    {"three levels, empty level-2 piece", "a;|b;", ",", ";", "|", {u"a", u"", u"b"}},
    {"third separator alone is unused", "a,b|c", ",", "", "|", {u"a", u"b|c"}},
    {"multi-byte separator", "a<>b<c", "<>", "", "", {u"a", u"b<c"}},
    {"items decoded as Western", "\x80 5,\xE9t\xE9,\x91q\x92", ",", "", "", {u"€ 5", u"été", u"\u2018q\u2019"}},
};

TEST(Str2Strings, SplitsLevelByLevel) {
  for (const Str2Case& c : kCases) {
    SCOPED_TRACE(c.name);
    int logged = 0;
    WideStrings items;
    Str2Strings(c.text, items, c.s1, c.s2, c.s3, [&logged](const std::string&) { ++logged; });
    EXPECT_EQ(items, c.items);
    EXPECT_EQ(logged, 0) << "nothing to report in a normal split";
  }
}

TEST(Str2Strings, AppendsAfterExistingItemsAndAcceptsNoLog) {
  WideStrings items{u"before"};
  Str2Strings("1,2", items, ",", "", "", LogLineFn{});
  EXPECT_EQ(items, (WideStrings{u"before", u"1", u"2"}));
}

}  // namespace
}  // namespace orbantis
