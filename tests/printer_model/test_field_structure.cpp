// A value never changes the structure of its data field, whatever the check
// switches say: with input checks off (the server's setting) a price of
// "2,50" used to sell 2.00 with a 50 % surcharge, and a TAB in an item name
// carried a sale of its own.
#include <gtest/gtest.h>

#include "CommandTables.h"
#include "foundation/CodePage.h"
#include "printer_model/CommandTable.h"

namespace orbantis {
namespace {

using test::CodeCase;
using test::EngineOnPty;
using test::Switches;
using test::WireCase;

// Refused before anything is sent, with -3, under the server's switches
// (input checks off; with them on, a value's own rules answer first).
TEST(FieldStructure, ValuesThatWouldChangeTheirFieldAreRefused) {
  const CodeCase cases[] = {
      // numbers: a sign, digits and one point
      {"CMD_49_0_0", {"A", "2,50"}, -3},
      {"CMD_49_0_0", {"A", "2.50*3"}, -3},
      {"CMD_49_0_0", {"A", "1.2.3"}, -3},
      {"CMD_49_0_1", {"Tea", "", "A", "1.00", "2#kg", "pcs", "0"}, -3},
      {"CMD_49_0_1", {"Tea", "", "A", "1.00", "2", "pcs", "5;1"}, -3},
      {"CMD_53_0_0", {"P", "10,5"}, -3},
      {"CMD_48_0_0", {"1", "0000", "1,2"}, -3},
      // sale texts: no TAB, no LF
      {"CMD_49_0_1", {"Tea\tA9.99", "", "A", "1.00", "1", "pcs", "0"}, -3},
      {"CMD_49_0_1", {"Tea", "two\nlines", "A", "1.00", "1", "pcs", "0"}, -3},
      {"CMD_52_0_1", {"Tea\n", "A", "1.00", "1", "pcs", "0"}, -3},
      // texts between separators: none of the command's separators
      {"CMD_49_0_1", {"Tea", "", "A", "1.00", "1", "kg,5", "0"}, -3},
      {"CMD_48_0_1", {"1", "0000", "1", "Acme, Ltd", "", "", "100200300", "40012345A"}, -3},
      {"CMD_48_0_1", {"1", "0000", "1", "Acme", "", "", "1002,00300", "40012345A"}, -3},
      {"CMD_102_0_0", {"1", "0000", "Smith, J"}, -3},
      {"CMD_58_0_1", {"1", "1", "pcs", "1,5"}, -3},  // "," is the percentage of another variant
      // a value followed by another with no separator ends by its length
      {"CMD_49_0_0", {"A9", "2.50"}, -3},
      {"CMD_51_0_0", {"10", "1"}, -3},
      {"CMD_51_0_0", {"", "1"}, -3},  // the display flag would take the print flag's place
      {"CMD_69_0_0", {"0", "anything long", "at all"}, -3},
      {"CMD_79_0_0", {"XY", "010126", "311226"}, -3},  // never cut
      {"CMD_94_0_0", {"XY", "010126", "311226"}, -3},
      // item database: a programmed name is a comma-separated field too
      {"CMD_107_1_0", {"A", "123", "5", "12.50", "1", "10", "Milk, 1 l"}, -3},
      {"CMD_107_1_0", {"A", "123", "5", "12.50", "1", "1e1", "Milk"}, -3},
  };
  test::ExpectInputChecks(cases, {.switches = Switches::Server, .quietMs = 20, .emptyOutWhenRefused = true});

  // Without AUTOCUT_ON nothing shortens a value to its one character.
  const CodeCase uncut[] = {
      {"CMD_73_0_0", {"XY", "12345", "67890"}, -3},
      {"CMD_95_0_0", {"XY", "1", "99999"}, -3},
      {"CMD_107_1_0", {"AB", "123", "5", "12.5", "RX", "10", "Milk"}, -3},
  };
  test::ExpectInputChecks(uncut, {.switches = Switches::Uncut, .quietMs = 20, .emptyOutWhenRefused = true});
}

TEST(FieldStructure, ValuesThatKeepTheirFieldGoOutUnchanged) {
  using enum Switches;
  const WireCase cases[] = {
      // a comma, or any other sign, in an item name before the TAB
      {"CMD_49_0_1", {"Espresso, double", "50% off*", "A", "2.40", "2", "cup", "-10"}, Server, 0x31,
       "Espresso, double\n50% off*\tA2.40*2#cup,-10"},
      {"CMD_49_0_0", {"A", "-2.50"}, Server, 0x31, "\tA-2.50"},
      {"CMD_49_0_0", {"A", ".5"}, Server, 0x31, "\tA.5"},
      // an empty value still goes as it is: the printer judges it
      {"CMD_49_0_0", {"A", ""}, Server, 0x31, "\tA"},
      {"CMD_79_0_0", {"", "011226", "101226"}, Server, 0x4F, "011226,101226"},
      // the header's six lines travel joined by TAB in one value
      {"CMD_43_0_0", {"0", "Shop\tStreet 1\t\t\t\t"}, Server, 0x2B, "0Shop\tStreet 1\t\t\t\t"},
      // a cut value is judged as it goes on the wire
      {"CMD_76_0_0", {"TX"}, Server, 0x4C, "T"},
      {"CMD_48_0_1", {"1", "0000", "1", "Acme Ltd.", "Main St. 1", "Sofia", "100200300", "40012345A"}, Server,
       0x30, "1,0000,1,Acme Ltd.,Main St. 1,Sofia,100200300,40012345A"},
  };
  test::ExpectDataFields(cases);
}

// The text names the parameter and the character, in both languages, and
// the last error holds it.
TEST(FieldStructure, TheRefusalSaysWhichParameterAndWhichCharacter) {
  const struct {
    const char* method;
    AnsiStrings in;
    const char* english;
    const char16_t* bulgarian;
  } cases[] = {
      {"CMD_49_0_0",
       {"A", "2,50"},
       "Parameter Price must be a plain decimal number (a sign, digits and one point) but holds \",\" (2Ch); "
       "nothing was sent to the printer.",
       u"Параметърът Price трябва да е десетично число (знак, цифри и една точка), а съдържа \",\" (2Ch); "
       u"нищо не е изпратено към устройството."},
      {"CMD_49_0_1",
       {"Tea\tA9.99", "", "A", "1.00", "1", "pcs", "0"},
       "Parameter L1 holds TAB (09h), which would end its field on the wire; nothing was sent to the printer.",
       u"Параметърът L1 съдържа TAB (09h), който би приключил полето му; нищо не е изпратено към устройството."},
      {"CMD_48_0_1",
       {"1", "0000", "1", "Acme, Ltd", "", "", "100200300", "40012345A"},
       "Parameter BuyerLine1 holds \",\" (2Ch), which would end its field on the wire; nothing was sent to the "
       "printer.",
       u"Параметърът BuyerLine1 съдържа \",\" (2Ch), който би приключил полето му; нищо не е изпратено към "
       u"устройството."},
      {"CMD_49_0_0",
       {"A9", "2.50"},
       "Parameter TaxCd must be one character: the next value follows it with no separator; nothing was sent to "
       "the printer.",
       u"Параметърът TaxCd трябва да е един знак: следващата стойност е веднага след него; нищо не е изпратено "
       u"към устройството."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.method);
    EngineOnPty e(test::AnswerWith(""));
    test::ServerSwitches(e.connector());
    AnsiStrings out;
    EXPECT_EQ(e.engine->Run(c.method, c.in, out), -3);
    EXPECT_EQ(e.engine->FLastErrorCode, -3);
    EXPECT_EQ(e.engine->FLastErrorMessage, c.english);
    EXPECT_EQ(DecodeCodePage(e.engine->FLastErrorMessage_BG, CP_CYRILLIC), c.bulgarian);
  }
  // The next refusal of another kind is not coloured by this one.
  EngineOnPty e(test::AnswerWith(""));
  e.connector().WITH_INPCHECK = true;
  AnsiStrings out;
  EXPECT_EQ(e.engine->Run("CMD_48_0_0", {"", "0000", "1"}, out), -10500);
  EXPECT_EQ(e.engine->FLastErrorMessage, "Missing input parameter.");
}

// Over every template of the command set: a value holding one of its
// command's separators either is refused, or is an item
// text before a sale's TAB holding anything but a TAB or LF. So no value of
// any row can add, end or move a field.
TEST(FieldStructure, NoTemplateLetsASeparatorThroughAValue) {
  std::map<std::int32_t, std::vector<const cmd::CommandRow*>> byCode;
  for (const auto& c : cmd::AllCommands()) byCode[c.row->code].push_back(c.row);
  int tried = 0;
  for (const auto& c : cmd::AllCommands()) {
    if (c.row->special || c.row->in.empty()) continue;
    const std::string separators = cmd::SeparatorsOf(byCode[c.row->code]);
    const bool sale = c.row->field.find('\t') != std::string::npos;
    for (std::size_t p = 0; p < c.row->in.size(); ++p) {
      // Where does the parameter stand: before the sale's TAB?
      const auto at = c.row->field.find("{" + std::string(c.row->in[p].name));
      if (at == std::string::npos) continue;  // a parameter the data field does not carry
      const bool saleText = sale && at < c.row->field.find('\t');
      for (const char s : separators) {
        // The separator alone (what a one-character value may be, and what a
        // cut to one character keeps) and with a digit after it.
        for (const AnsiString& value : {std::string(1, s), std::string(1, s) + "1"}) {
          AnsiStrings in(c.row->in.size(), "1");
          in[p] = value;
          SCOPED_TRACE(test::RowCall(0, c.row->name, in));
          ++tried;
          bool refused = false;
          try {
            cmd::BuildField(c.field, in, true);
          } catch (const cmd::FieldRefused& e) {
            refused = true;
            EXPECT_EQ(e.Parameter, c.row->in[p].name);
          }
          const bool allowed = saleText && s != '\t' && s != '\n';
          EXPECT_EQ(refused, !allowed);
        }
      }
    }
  }
  EXPECT_GT(tried, 500);
}

}  // namespace
}  // namespace orbantis
