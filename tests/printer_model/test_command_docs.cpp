// Every command row is described for a till programmer, parameter by
// parameter and answer by answer, under the row's own names.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "printer_model/CommandDocs.h"
#include "printer_model/CommandTable.h"

namespace orbantis::cmd {
namespace {

TEST(CommandDocs, EveryRowIsDescribedUnderItsOwnNames) {
  std::set<std::string> described;
  for (const Command& c : AllCommands()) {
    SCOPED_TRACE(c.row->name);
    const CommandDoc* d = FindCommandDoc(c.row->name);
    ASSERT_NE(d, nullptr) << "no description";
    EXPECT_GT(std::string(d->summary).size(), 10u);
    EXPECT_GT(std::string(d->codes).size(), 2u);
    ASSERT_EQ(d->params.size(), c.row->in.size());
    for (std::size_t i = 0; i < d->params.size(); ++i) {
      EXPECT_STREQ(d->params[i].name, c.row->in[i].name);
      EXPECT_FALSE(std::string(d->params[i].meaning).empty()) << d->params[i].name;
    }
    ASSERT_EQ(d->answers.size(), c.row->out.size());
    for (std::size_t i = 0; i < d->answers.size(); ++i) {
      EXPECT_STREQ(d->answers[i].name, c.row->out[i].name);
      EXPECT_FALSE(std::string(d->answers[i].meaning).empty()) << d->answers[i].name;
    }
    described.insert(d->name);
  }
  // ... and nothing is described that is not a row.
  for (const auto* group : {&ReceiptCommandDocs(), &StatusCommandDocs(), &ReportCommandDocs(), &TextCommandDocs(),
                            &ConfigCommandDocs(), &ItemCommandDocs(), &FiscalMemoryCommandDocs(), &JournalCommandDocs(),
                            &ServiceCommandDocs()})
    for (const CommandDoc& d : *group) EXPECT_NE(FindCommand(d.name), nullptr) << d.name;
  EXPECT_EQ(described.size(), AllCommands().size());
}

// What a till programmer looks for finds the method that does it.
TEST(CommandDocs, TheWordsATillProgrammerSearchesForFindTheRightMethods) {
  const struct {
    const char* word;
    const char* method;
  } cases[] = {{"discount", "CMD_49_0_1"}, {"card", "CMD_53_0_0"}, {"Z report", "CMD_69_0_0"},
               {"cancel", "CMD_60_0_0"},   {"header", "CMD_43_0_0"}, {"date", "CMD_61_0_0"}};
  for (const auto& c : cases) {
    const CommandDoc* d = FindCommandDoc(c.method);
    ASSERT_NE(d, nullptr) << c.method;
    std::string all = d->summary;
    for (const auto& v : d->params) all += std::string(" ") + v.meaning;
    EXPECT_NE(all.find(c.word), std::string::npos) << c.word << " in " << c.method;
  }
}

}  // namespace
}  // namespace orbantis::cmd
