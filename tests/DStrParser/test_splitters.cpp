#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DStrParser/DStrParser.h"

namespace orbantis {
namespace {

WideString W(const std::string& ascii) { return WideString(ascii.begin(), ascii.end()); }

WideStrings W(const std::vector<std::string>& ascii) {
  WideStrings out;
  for (const auto& s : ascii) out.push_back(W(s));
  return out;
}

// Both splitters on the same input. They differ only in what happens to a rest
// that ends with an unfinished separator.
struct SplitCase {
  std::string text;
  std::string separator;
  std::vector<std::string> wide;   // DSplitToni
  std::vector<std::string> ansi;   // SplitToni
};

const SplitCase kSplitCases[] = {
    // The comma table every answer parser depends on.
    {"a,b", ",", {"a", "b"}, {"a", "b"}},
    {"a,,b", ",", {"a", "", "b"}, {"a", "", "b"}},
    {",a", ",", {"", "a"}, {"", "a"}},
    {"a,", ",", {"a"}, {"a"}},
    {",", ",", {""}, {""}},
    {"abc", ",", {"abc"}, {"abc"}},
    {"", ",", {}, {}},
    {"a,b", "", {}, {}},
    // Two-character separator: whole matches.
    {"1ab2", "ab", {"1", "2"}, {"1", "2"}},
    {"1abab2", "ab", {"1", "", "2"}, {"1", "", "2"}},
    {"1ab2ab", "ab", {"1", "2"}, {"1", "2"}},
    // After a partial match the mismatching character is not retried as the
    // start of the separator, so "aab" holds no separator for the scan.
    {"aab", "ab", {"aab"}, {"aab"}},
    {"aabab", "ab", {"aab"}, {"aab"}},
    {"xaab1ab2", "ab", {"xaab1", "2"}, {"xaab1", "2"}},
    // A rest ending with an unfinished separator: cut by DSplitToni, kept by
    // SplitToni; a rest that is nothing but the unfinished part leaves an empty
    // item in DSplitToni and the part itself in SplitToni.
    {"x1a", "ab", {"x1"}, {"x1a"}},
    {"xaba", "ab", {"x", ""}, {"x", "a"}},
    {"a", "ab", {""}, {"a"}},
};

TEST(Splitters, BothSplittersFollowTheHistoricMatching) {
  for (const SplitCase& c : kSplitCases) {
    SCOPED_TRACE("text \"" + c.text + "\" separator \"" + c.separator + "\"");
    WideStrings wide;
    DSplitToni(W(c.text), wide, W(c.separator));
    EXPECT_EQ(wide, W(c.wide));

    AnsiStrings ansi;
    SplitToni(c.text, ansi, c.separator);
    EXPECT_EQ(ansi, AnsiStrings(c.ansi.begin(), c.ansi.end()));
  }
}

TEST(Splitters, AppendToTheListWithoutClearingIt) {
  WideStrings wide{u"kept"};
  DSplitToni(u"a,b", wide, u",");
  EXPECT_EQ(wide, (WideStrings{u"kept", u"a", u"b"}));

  AnsiStrings ansi{"kept"};
  SplitToni("a,b", ansi, ",");
  EXPECT_EQ(ansi, (AnsiStrings{"kept", "a", "b"}));
}

TEST(Splitters, SplitToniEndsTheTextAtTheFirstNulByte) {
  const struct {
    std::string text;
    AnsiStrings items;
  } cases[] = {
      {std::string("a,b\0,c", 6), {"a", "b"}},
      {std::string("a,\0b", 4), {"a"}},
      {std::string("\0a,b", 4), {}},
  };
  for (const auto& c : cases) {
    AnsiStrings items;
    SplitToni(c.text, items, ",");
    EXPECT_EQ(items, c.items) << "text of " << c.text.size() << " bytes";
  }
}

TEST(Splitters, DSplitToniWorksOnNonAsciiText) {
  WideStrings items;
  DSplitToni(u"Общо;Сума;€", items, u";");
  EXPECT_EQ(items, (WideStrings{u"Общо", u"Сума", u"€"}));
}

struct Ws2Case {
  std::string text;
  std::vector<std::string> separators;
  std::vector<std::string> items;
};

const Ws2Case kWs2Cases[] = {
    {"12,345", {","}, {"12", "345"}},
    {"12,345", {}, {"12,345"}},
    {"", {","}, {}},
    {"", {}, {}},
    {"a,b,", {","}, {"a", "b"}},
    {"a,,b", {","}, {"a", "", "b"}},
    // Each separator refines the items of the previous ones, in list order.
    {"a;b,c", {",", ";"}, {"a", "b", "c"}},
    {"a;b,c", {";", ","}, {"a", "b", "c"}},
    {"a,;b", {",;", ";"}, {"a", "b"}},
    {"a,;b", {";", ",;"}, {"a,", "b"}},
    {"1\t2 3,4", {",", "\t", " "}, {"1", "2", "3", "4"}},
    // Empty separators are skipped; a list of only empty ones keeps the text.
    {"a,b", {"", ","}, {"a", "b"}},
    {"a,b", {""}, {"a,b"}},
    // An item "containing" the separator is still cut by the historic scan,
    // which may not see it at all.
    {"aab", {"ab"}, {"aab"}},
    {"1ab2a", {"ab"}, {"1", "2"}},
};

TEST(WS2Strings, SplitsByEverySeparatorInTurn) {
  for (const Ws2Case& c : kWs2Cases) {
    std::string seps;
    for (const auto& s : c.separators) seps += "[" + s + "]";
    SCOPED_TRACE("text \"" + c.text + "\" separators " + seps);
    WideStrings items;
    WS2Strings(W(c.text), items, W(c.separators));
    EXPECT_EQ(items, W(c.items));
  }
}

TEST(WS2Strings, AppendsAfterExistingItems) {
  WideStrings items{u"x"};
  WS2Strings(u"1,2", items, {u","});
  WS2Strings(u"3", items, {});
  EXPECT_EQ(items, (WideStrings{u"x", u"1", u"2", u"3"}));
}

}  // namespace
}  // namespace orbantis
