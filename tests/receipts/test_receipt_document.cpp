// A receipt document is checked whole before anything is sent: a bad one is
// refused with every bad field named by its path, and nothing reaches the
// wire.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ReceiptFixture.h"
#include "receipts/ReceiptDocument.h"

namespace orbantis {
namespace {

using receipts::ParseReceipt;
using receipts::Purpose;

// A good document with one field replaced: "%s" stands for the item.
std::string WithItem(const std::string& item) {
  return R"({"key": "k1", "operator": {"code": 1, "password": "0000", "till": 1}, "items": [)" + item + "]}";
}

TEST(ReceiptDocument, AGoodDocumentBecomesItsCommandsInOrder) {
  const auto r = ParseReceipt(test::TenItemReceipt("k1"));
  ASSERT_TRUE(r.ok()) << r.errors[0].path << ": " << r.errors[0].rule;
  std::vector<std::string> rows;
  for (const auto& c : r.document.commands) rows.push_back(c.row);
  EXPECT_EQ(rows, (std::vector<std::string> {"CMD_48_0_0", "CMD_49_0_1", "CMD_49_0_11", "CMD_49_0_11", "CMD_49_0_3",
                                            "CMD_49_0_11", "CMD_49_0_11", "CMD_49_0_11", "CMD_49_0_11", "CMD_49_0_11",
                                            "CMD_58_0_3", "CMD_54_0_0", "CMD_51_0_0", "CMD_103_0_0", "CMD_53_0_0",
                                            "CMD_53_0_0", "CMD_56_0_0"}));
  // A discount goes to the printer as a negative percentage or sum; a
  // missing quantity is 1.
  EXPECT_EQ(r.document.commands[1].values, (AnsiStrings {"Espresso", "double", "A", "2.40", "2", "cup", "-10"}));
  EXPECT_EQ(r.document.commands[2].values, (AnsiStrings {"Croissant", "A", "1.80", "1", "pc"}));
  EXPECT_EQ(r.document.commands[4].values, (AnsiStrings {"Tea", "A", "1.50", "1", "cup", "-0.20"}));
  EXPECT_EQ(r.document.commands[14].values, (AnsiStrings {"N", "10.00"}));
  EXPECT_EQ(r.document.key, "k1");
  EXPECT_EQ(r.document.hash.size(), 16u);

  // The same document written otherwise is the same document.
  const auto again = ParseReceipt(nlohmann::json::parse(test::TenItemReceipt("k1")).dump(2));
  EXPECT_EQ(again.document.canonical, r.document.canonical);
}

TEST(ReceiptDocument, NoPaymentsMeansTheExactTotalInCashAndABuyerOpensWithTheBuyersLines) {
  const auto r = ParseReceipt(R"({"key": "k2", "operator": {"code": 2, "password": "0000", "till": 3},
      "buyer": {"lines": ["Acme Ltd", "Main St. 1", "Sofia"], "tin": "100200300", "vrn": "40012345A"},
      "items": [{"text": "Tea", "taxGroup": "A", "price": "1.50", "unit": "cup"}]})");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.document.commands.front().row, "CMD_48_0_1");
  EXPECT_EQ(r.document.commands.front().values,
            (AnsiStrings {"2", "0000", "3", "Acme Ltd", "Main St. 1", "Sofia", "100200300", "40012345A"}));
  EXPECT_EQ(r.document.commands[r.document.commands.size() - 2].row, "CMD_53_0_1");
}

TEST(ReceiptDocument, CyrillicGoesToACyrillicPrinterAndIsRefusedForAWesternOne) {
  const std::string doc = WithItem(R"({"text": "Кафе", "taxGroup": "A", "price": "1.00", "unit": "pc"})");
  EXPECT_TRUE(ParseReceipt(doc, 1251).ok());
  const auto western = ParseReceipt(doc, 1252);
  ASSERT_EQ(western.errors.size(), 1u);
  EXPECT_EQ(western.errors[0].path, "items[0].text");
  EXPECT_EQ(western.errors[0].rule, "holds U+041A, a character code page 1252 cannot print");
}

TEST(ReceiptDocument, AnAccentIsComposedWhereThePageHasTheLetterAndRefusedWhereItHasNot) {
  // "Cafe" and a combining acute, as some text sources write "Café".
  const std::string doc = WithItem(R"({"text": "Cafe\u0301", "taxGroup": "A", "price": "1.00", "unit": "pc"})");
  const auto western = ParseReceipt(doc, 1252);
  ASSERT_TRUE(western.ok());
  EXPECT_EQ(western.document.commands[1].values[0], "Caf\xE9");
  // 1251 has no "é": printing "Cafe" would drop the accent as silently as a "?".
  const auto cyrillic = ParseReceipt(doc, 1251);
  ASSERT_EQ(cyrillic.errors.size(), 1u);
  EXPECT_EQ(cyrillic.errors[0].path, "items[0].text");
  EXPECT_EQ(cyrillic.errors[0].rule, "holds U+00E9, a character code page 1251 cannot print");
}

struct BadCase {
  const char* name;
  std::string document;
  std::string path;
  std::string rule;  // the start of the rule text
};

TEST(ReceiptDocument, BadDocumentsAreRefusedWithThePathOfEveryBadField) {
  const std::string tenMiB = WithItem(R"({"comment": ")" + std::string(10 * 1024 * 1024, 'x') + R"("})");
  const BadCase cases[] = {
      {"missing key", R"({"operator": {"code": 1, "password": "0000", "till": 1},
          "items": [{"text": "Tea", "taxGroup": "A", "price": "1.50", "unit": "cup"}]})", "key", "is required"},
      {"missing price", WithItem(R"({"text": "Tea", "taxGroup": "A"})"), "items[0].price", "is required"},
      {"missing unit", WithItem(R"({"text": "Tea", "taxGroup": "A", "price": "1.50"})"), "items[0].unit", "is required"},
      {"price as a JSON number", WithItem(R"({"text": "Tea", "taxGroup": "A", "price": 1.5})"), "items[0].price",
       "must be a decimal string"},
      {"operator code as text", R"({"key": "k", "operator": {"code": "1", "password": "0000", "till": 1},
          "items": [{"text": "Tea", "taxGroup": "A", "price": "1.50", "unit": "cup"}]})", "operator.code", "must be a whole number"},
      {"bad tax group", WithItem(R"({"text": "Tea", "taxGroup": "G", "price": "1.50", "unit": "cup"})"), "items[0].taxGroup",
       "must be one of A,B,C,D,E,F"},
      {"lower-case tax group", WithItem(R"({"text": "Tea", "taxGroup": "a", "price": "1.50", "unit": "cup"})"), "items[0].taxGroup",
       "must be one of A,B,C,D,E,F"},
      {"text too long", WithItem(R"({"text": ")" + std::string(37, 't') + R"(", "taxGroup": "A", "price": "1"})"),
       "items[0].text", "is longer than 36 characters"},
      {"negative quantity", WithItem(R"({"text": "Tea", "taxGroup": "A", "price": "1.50", "quantity": "-2"})"),
       "items[0].quantity", "must be more than 0"},
      {"quantity finer than the printer's", WithItem(R"({"text": "Tea", "taxGroup": "A", "price": "1", "quantity": "0.0001"})"),
       "items[0].quantity", "must be a decimal number with at most 3 digits"},
      {"comma in a price", WithItem(R"({"text": "Tea", "taxGroup": "A", "price": "2,50"})"), "items[0].price",
       "must be a decimal number"},
      {"both discounts", WithItem(R"({"text": "Tea", "taxGroup": "A", "price": "2", "discountPercent": "5", "discountAmount": "1"})"),
       "items[0].discountAmount", "a line takes discountPercent or discountAmount"},
      {"discount over 99 %", WithItem(R"({"text": "Tea", "taxGroup": "A", "price": "2", "discountPercent": "150"})"),
       "items[0].discountPercent", "must be at least -99"},
      {"TAB in a text", WithItem(R"({"text": "Tea\tA9.99", "taxGroup": "A", "price": "2"})"), "items[0].text",
       "must not hold control characters"},
      {"comma in the unit", WithItem(R"({"text": "Tea", "taxGroup": "A", "price": "2", "unit": "kg,5"})"),
       "items[0].unit", "Parameter UN holds"},
      {"text no code page holds", WithItem(R"({"text": "Tea ☕", "taxGroup": "A", "price": "2"})"), "items[0].text",
       "holds U+2615, a character code page 1252 cannot print"},
      {"invalid UTF-8", WithItem("{\"text\": \"Caf\xC3\", \"taxGroup\": \"A\", \"price\": \"2\"}"), "items[0].text",
       "is not valid JSON (UTF-8)"},
      {"not JSON", "{\"key\": ", "key", "is not valid JSON"},
      {"a document of 10 MiB", tenMiB, "", "the document is larger than 1024 KiB"},
      {"misspelt field", WithItem(R"({"text": "Tea", "taxGroup": "A", "price": "2", "quantitiy": "2"})"),
       "items[0].quantitiy", "is not a field of this object"},
      {"an item of two kinds", WithItem(R"({"text": "Tea", "plu": 7})"), "items[0]", "must have exactly one of"},
      {"no sale", WithItem(R"({"comment": "hello"})"), "items", "must hold at least one sale"},
      {"unknown payment mode", R"({"key": "k", "operator": {"code": 1, "password": "0000", "till": 1},
          "items": [{"text": "Tea", "taxGroup": "A", "price": "1.50", "unit": "cup"}], "payments": [{"mode": "Q", "amount": "2"}]})",
       "payments[0].mode", "must be one of P,N,C,D,I,J,K,L"},
      {"two buyer lines", R"({"key": "k", "operator": {"code": 1, "password": "0000", "till": 1},
          "buyer": {"lines": ["Acme", "Sofia"], "tin": "100200300", "vrn": "40012345A"},
          "items": [{"text": "Tea", "taxGroup": "A", "price": "1.50", "unit": "cup"}]})", "buyer.lines",
       "must be a list of 3 texts"},
      {"a signed password", R"({"key": "k", "operator": {"code": 1, "password": "-5", "till": 1},
          "items": [{"text": "Tea", "taxGroup": "A", "price": "1.50", "unit": "cup"}]})", "operator.password",
       "must be digits only"},
      {"a buyer too long for one frame", R"({"key": "k", "operator": {"code": 1, "password": "0000", "till": 1},
          "buyer": {"lines": [")" + std::string(100, 'a') + R"(", ")" + std::string(100, 'b') + R"(", "c"],
                    "tin": "100200300", "vrn": "40012345A"},
          "items": [{"text": "Tea", "taxGroup": "A", "price": "1.50", "unit": "cup"}]})", "buyer",
       "makes the opening line"},
      {"operator out of range", R"({"key": "k", "operator": {"code": 17, "password": "0000", "till": 1},
          "items": [{"text": "Tea", "taxGroup": "A", "price": "1.50", "unit": "cup"}]})", "operator.code", "must be from 1 to 16"},
      {"not an object", "[1, 2]", "", "the document must be a JSON object"},
      {"nested too deep", WithItem(R"({"text": )" + std::string(40, '[') + std::string(40, ']') + "}"),
       [] {
         std::string path = "items[0].text";
         for (int i = 0; i < 13; ++i) path += "[0]";  // sixteen levels, counted from the document
         return path;
       }(),
       "is nested deeper than 16 levels"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = ParseReceipt(c.document);
    ASSERT_FALSE(r.ok());
    bool found = false;
    for (const auto& e : r.errors) found = found || (e.path == c.path && e.rule.rfind(c.rule, 0) == 0);
    EXPECT_TRUE(found) << "first error: " << r.errors[0].path << ": " << r.errors[0].rule;
    EXPECT_TRUE(r.document.commands.empty());
  }
}

TEST(ReceiptDocument, EveryBadFieldIsNamedNotOnlyTheFirst) {
  const auto r = ParseReceipt(R"({"key": "k", "operator": {"code": 0, "password": "0000", "till": 1},
      "items": [{"text": "", "taxGroup": "A", "price": "x"}, {"plu": 0}]})");
  std::vector<std::string> paths;
  for (const auto& e : r.errors) paths.push_back(e.path);
  EXPECT_EQ(paths, (std::vector<std::string> {"operator.code", "items[0].text", "items[0].price", "items[1].plu"}));
}

// Through the service: a refused document sends nothing and is not journaled.
TEST(ReceiptDocument, ARefusedDocumentSendsNothing) {
  emulator::Emulator emu;
  auto model = test::ModelOn(emu);
  test::ReceiptWorld world;
  const auto before = emu.counters().requests;
  const auto outcome = world.service->Print(*model, test::kSerial, WithItem(R"({"text": "Tea", "taxGroup": "G", "price": "1"})"));
  EXPECT_EQ(outcome.code, receipts::RECEIPT_BAD_DOCUMENT);
  const auto answer = nlohmann::json::parse(outcome.json);
  EXPECT_EQ(answer["errors"][0]["path"], "items[0].taxGroup");
  EXPECT_EQ(answer["errors"][0]["value"], "\"G\"");
  EXPECT_EQ(emu.counters().requests, before);
  EXPECT_FALSE(world.journal->Find("k1"));
}

}  // namespace
}  // namespace orbantis
