// Every printer command of the model runs against the software printer with
// the server's switches: a shop's day from configuration to closure and the
// reads after it.
#include <gtest/gtest.h>

#include <ctime>
#include <set>

#include "EmulatorFixture.h"

namespace orbantis {
namespace {

struct Step {
  const char* method;
  AnsiStrings in;
};

// The host's local time as the printer writes it.
std::string LocalTime(std::time_t t, const char* format) {
  std::tm tm {};
  localtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, format, &tm);
  return text;
}

TEST(EveryCommandOnEmulator, AShopsDay) {
  test::ModelOnEmulator e;
  ASSERT_EQ(e.openResult, 0);
  // The software printer was fiscalised a day before it started and refuses a
  // clock before its last fiscal record: the day runs at the present time, and
  // the reports ask for the days around it, so the test holds on any date.
  const std::time_t now = std::time(nullptr);
  const std::string date = LocalTime(now, "%d-%m-%y"), hms = LocalTime(now, "%H:%M:%S");
  const std::string from = LocalTime(now - 2 * 24 * 3600, "%d%m%y"), to = LocalTime(now, "%d%m%y");
  const Step day[] = {
      // Identity, clock and configuration.
      {"CMD_74_0_0", {"X"}}, {"CMD_74_0_1", {}}, {"CMD_90_0_0", {}}, {"CMD_61_0_0", {date, hms}},
      {"CMD_62_0_0", {}}, {"CMD_62_0_1", {}}, {"CMD_86_0_0", {}}, {"CMD_86_0_1", {}},
      {"CMD_43_0_0", {"1", "ORBANTIS CAFE"}}, {"CMD_43_0_1", {"R1"}}, {"CMD_41_0_0", {"00000000"}},
      {"CMD_41_0_1", {}}, {"CMD_36_0_0", {}}, {"CMD_36_0_1", {"192.168.1.50", "255.255.255.0", "4999", "192.168.1.1", "001122334455"}},
      {"CMD_36_0_2", {"192.168.1.50", "255.255.255.0", "4999", "192.168.1.1"}}, {"CMD_83_0_1", {}},
      {"CMD_85_0_0", {"I", "VOUCHER"}}, {"CMD_85_0_1", {"I"}}, {"CMD_101_0_0", {"2", "0000", "1234"}},
      {"CMD_102_0_0", {"3", "0000", "PETER"}}, {"CMD_99_0_0", {}}, {"CMD_63_0_0", {}}, {"CMD_71_0_0", {}},
      // Item database.
      {"CMD_107_0_0", {}}, {"CMD_107_1_0", {"A", "1", "1", "2.50", "A", "10", "Coffee"}},
      {"CMD_107_1_0", {"B", "2", "1", "1.20", "A", "50", "Water"}}, {"CMD_107_2_0", {"1", "5"}},
      {"CMD_107_3_0", {"2", "1.30"}}, {"CMD_107_5_0", {"1"}}, {"CMD_107_6_0", {"1"}}, {"CMD_107_7_0", {"2"}},
      {"CMD_107_8_0", {}}, {"CMD_107_9_0", {"1"}}, {"CMD_107_10_0", {"2"}}, {"CMD_107_11_0", {}},
      {"CMD_107_12_0", {"1"}}, {"CMD_107_12_1", {"1"}}, {"CMD_111_0", {"P", "1", "2"}}, {"CMD_111_1", {"S", "1"}},
      {"CMD_111_2", {"P"}},
      // Texts, display, sounds, a non-fiscal receipt.
      {"CMD_33_0_0", {}}, {"CMD_35_0_0", {"Hello"}}, {"CMD_47_0_0", {"World"}}, {"CMD_100_0_0", {"Welcome"}},
      {"CMD_80_0_0", {"440,100"}}, {"CMD_106_0_0", {"100"}}, {"CMD_38_0_0", {}}, {"CMD_42_0_0", {"non-fiscal text"}},
      {"CMD_44_0_0", {"2"}}, {"CMD_92_0_0", {"1"}}, {"CMD_84_0_0", {"1", "12345678"}}, {"CMD_84_0_1", {"1", "12345678"}},
      {"CMD_39_0_0", {}}, {"CMD_45_0_0", {}},
      // Receipts with every way to sell.
      {"CMD_48_0_0", {"1", "0000", "1"}},
      {"CMD_49_0_0", {"A", "1.00"}},
      {"CMD_49_0_1", {"Tea", "green", "A", "2.00", "1", "cup", "-10"}},
      {"CMD_49_0_2", {"Cake", "lemon", "B", "3.00", "1", "pcs", "-0.50"}},
      {"CMD_49_0_3", {"Juice", "A", "2.00", "2", "btl", "0.20"}},
      {"CMD_49_0_4", {"A", "1.00", "1", "pcs", "0.10"}},
      {"CMD_49_0_5", {"second line", "A", "1.00", "1", "pcs", "0.10"}},
      {"CMD_49_0_6", {"Bun", "A", "1.00", "2", "pcs", "5"}},
      {"CMD_49_0_7", {"second", "A", "1.00", "1", "pcs", "5"}},
      {"CMD_49_0_8", {"A", "1.00", "1", "pcs", "5"}},
      {"CMD_49_0_9", {"Soup", "hot", "A", "3.00", "1", "bowl"}},
      {"CMD_49_0_10", {"Soup", "cold", "A", "3.00", "1", "bowl"}},
      {"CMD_49_0_11", {"Bread", "B", "0.80", "3", "pcs"}},
      {"CMD_52_0_0", {"A", "1.00"}},
      {"CMD_52_0_1", {"Line", "A", "1.00", "1", "pcs", "10"}},
      {"CMD_52_0_2", {"Line", "A", "1.00", "1", "pcs", "0.10"}},
      {"CMD_58_0_0", {"1", "1", "cup", "10"}}, {"CMD_58_0_1", {"1", "1", "cup", "0.10"}},
      {"CMD_58_0_2", {"1", "1", "cup"}}, {"CMD_58_0_3", {"2", "2"}}, {"CMD_58_0_4", {"2"}},
      {"CMD_54_0_0", {"Thank you"}}, {"CMD_51_0_0", {"1", "0"}}, {"CMD_51_0_1", {"0", "0", "-1"}},
      {"CMD_51_0_2", {"0", "0", "0.50"}}, {"CMD_76_0_0", {"T"}}, {"CMD_53_0_3", {"1.00"}}, {"CMD_53_0_0", {"P", "1.00"}},
      {"CMD_53_0_2", {"P"}}, {"CMD_56_0_0", {}},
      {"CMD_48_0_1", {"1", "0000", "1", "Buyer Ltd", "1 Main St", "Town", "123456789", "987654321"}},
      {"CMD_49_0_0", {"A", "5.00"}}, {"CMD_53_0_1", {}}, {"CMD_56_0_0", {}},
      {"CMD_48_0_0", {"1", "0000", "1"}}, {"CMD_49_0_0", {"A", "5.00"}}, {"CMD_60_0_0", {}},
      {"CMD_109_0", {"1"}},
      // Reads, cash, reports.
      {"CMD_64_0_0", {"0"}}, {"CMD_65_0_0", {"0"}}, {"CMD_68_0_0", {}}, {"CMD_89_0_0", {}}, {"CMD_89_0_1", {}},
      {"CMD_93_0_0", {}}, {"CMD_97_0_0", {}}, {"CMD_103_0_0", {}}, {"CMD_110_0", {}}, {"CMD_112_0", {"1"}},
      {"CMD_113_0", {}}, {"CMD_118_0", {}}, {"CMD_70_0_0", {"50.00"}}, {"CMD_70_0_0", {"-10.00"}},
      {"CMD_69_0_0", {"2", "", ""}}, {"CMD_69_0_0", {"0", "", ""}},
      {"CMD_83_0_0", {"0", "2", "111111", "20.00", "9.00", "0.00", "0.00", "0.00", "0.00"}},
      {"CMD_50_0_0", {from, to}}, {"CMD_73_0_0", {"", "1", "1"}}, {"CMD_79_0_0", {"", from, to}},
      {"CMD_94_0_0", {"", from, to}}, {"CMD_95_0_0", {"0", "1", "1"}}, {"CMD_105_0_0", {}},
      // Fiscal memory.
      {"CMD_114_0", {"1"}}, {"CMD_114_1", {"1"}}, {"CMD_114_2", {"1", "1"}}, {"CMD_114_3", {"1"}},
      {"CMD_114_4", {"1", "1"}}, {"CMD_114_5", {"1"}}, {"CMD_114_6", {"1", "1"}}, {"CMD_114_7", {"1"}},
      {"CMD_114_8", {"1"}}, {"CMD_114_9", {"1"}}, {"CMD_114_10", {"1", "1"}}, {"CMD_114_11", {"1"}},
      // Electronic journal.
      {"CMD_120_0", {}}, {"CMD_120_1", {}}, {"CMD_120_2", {"12"}}, {"CMD_120_3", {from, to}},
      {"CMD_120_4", {"1", "1", "1", "1"}}, {"CMD_120_5", {"12"}}, {"CMD_120_6", {from, to}},
      {"CMD_120_7", {"1", "1", "1", "1"}}, {"CMD_120_8", {"12"}}, {"CMD_120_9", {from, to}},
      {"CMD_120_10", {"1", "1", "1", "1"}}, {"CMD_120_11", {}}, {"CMD_120_12", {from, to}},
      {"CMD_120_13", {"1", "1", "1", "1"}}, {"CMD_120_14", {from, to}}, {"CMD_120_15", {"1", "1", "1", "1"}},
      {"CMD_120_16", {from, to}}, {"CMD_120_17", {"1", "1", "1", "1"}}, {"CMD_120_18", {}},
      {"CMD_120_19", {from, to}}, {"CMD_120_20", {"1", "1", "1", "1"}}, {"CMD_120_21", {from, to}},
      {"CMD_120_22", {"1", "1", "1", "1"}}, {"CMD_120_23", {from, to}}, {"CMD_120_24", {"1", "1", "1", "1"}},
      {"CMD_120_25", {}}, {"CMD_120_26", {}}, {"CMD_120_27", {}},
      // Logo rows, memory, service.
      {"CMD_115_0", {"0", std::string(144, 'f')}}, {"CMD_115_1", {"0"}}, {"CMD_116_0", {"0", "16"}},
      {"CMD_121_0_0", {"0", "16"}}, {"CMD_117_0", {}},
      // Deleting items and the serial and TIN/VRN, last: the printer is fiscal.
      {"CMD_107_4_1", {"2"}}, {"CMD_107_4_2", {"1", "2"}}, {"CMD_107_4_0", {}},
      {"CMD_91_0_0", {"OB00000001"}}, {"CMD_98_0_0", {"100200300", "40012345A"}},
  };
  std::set<std::string> run;
  for (const Step& s : day) {
    AnsiStrings out;
    const std::int32_t code = e.model->Run(s.method, s.in, out);
    EXPECT_EQ(code, 0) << s.method << ": " << e.model->FLastErrorMessage;
    run.insert(s.method);
  }
  std::vector<std::string> missing;
  for (const auto& c : cmd::AllCommands())
    if (!run.count(c.row->name)) missing.push_back(c.row->name);
  EXPECT_TRUE(missing.empty()) << "not run: " << ::testing::PrintToString(missing);
}

}  // namespace
}  // namespace orbantis
