// The command table is consistent with itself and with the named methods.
#include <gtest/gtest.h>

#include <set>

#include "printer_model/CommandTable.h"
#include "printer_model/ForEach.h"

namespace orbantis::cmd {
namespace {

struct NamedMethod {
  const char* name;
  std::vector<std::string> in;
  std::vector<std::string> out;
};

#define ORBANTIS_NAME_IN_IN(x) #x,
#define ORBANTIS_NAME_IN_OUT(x)
#define ORBANTIS_NAME_OUT_IN(x)
#define ORBANTIS_NAME_OUT_OUT(x) #x,
#define ORBANTIS_NAME_IN(p) ORBANTIS_NAME_IN_##p
#define ORBANTIS_NAME_OUT(p) ORBANTIS_NAME_OUT_##p
#define COMMAND(NAME, ...) \
  {#NAME, {ORBANTIS_FOR_EACH(ORBANTIS_NAME_IN, __VA_ARGS__)}, {ORBANTIS_FOR_EACH(ORBANTIS_NAME_OUT, __VA_ARGS__)}},
const NamedMethod kNamedMethods[] = {
#include "printer_model/CommandMethods.def"
};
#undef COMMAND

TEST(CommandTable, EveryTemplateNamesItsOwnParameters) {
  EXPECT_NO_THROW(AllCommands());
  std::set<std::string> names;
  for (const auto& c : AllCommands()) EXPECT_TRUE(names.insert(c.row->name).second) << c.row->name << " twice";
}

TEST(CommandTable, NamedMethodsMatchTheirRows) {
  ASSERT_EQ(std::size(kNamedMethods), AllCommands().size());
  for (const auto& m : kNamedMethods) {
    SCOPED_TRACE(m.name);
    const Command* c = FindCommand(m.name);
    ASSERT_NE(c, nullptr);
    std::vector<std::string> in, out;
    for (const auto& p : c->row->in) in.emplace_back(p.name);
    for (const auto& p : c->row->out) out.emplace_back(p.name);
    EXPECT_EQ(in, m.in);
    EXPECT_EQ(out, m.out);
    EXPECT_EQ(c->row->answer == nullptr && !c->row->special, c->row->out.empty())
        << "answer parameters need an answer shape";
  }
}

TEST(CommandTable, TemplatesRefuseUnknownNames) {
  const CommandRow bad {"CMD_BAD", 1, {{"A"}}, "{A},{B}", {}, {}};
  EXPECT_THROW(CompileField(bad), Exception);
  const CommandRow badCut {"CMD_BAD", 1, {{"A"}}, "{A:x}", {}, {}};
  EXPECT_THROW(CompileField(badCut), Exception);
}

}  // namespace
}  // namespace orbantis::cmd
