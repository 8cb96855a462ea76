// The receipt journal: private, in WAL mode, and read back by key and day.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sqlite3.h>

#include "journal/Journal.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace orbantis::journal {
namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 0777;
}

TEST(ReceiptJournal, LivesInTheStateFolderPrivateAndInWalMode) {
  test::TempDir dir;
  {
    test::ScopedEnv state("XDG_STATE_HOME", dir.Path() + "state");
    EXPECT_EQ(Journal::DefaultPath(), dir.Path() + "state/ORBANTIS/journal.sqlite");
  }
  {
    test::ScopedEnv state("XDG_STATE_HOME", "");
    test::ScopedEnv home("HOME", "/home/till");
    EXPECT_EQ(Journal::DefaultPath(), "/home/till/.local/state/ORBANTIS/journal.sqlite");
  }
  const std::string path = dir.Path() + "state/ORBANTIS/journal.sqlite";
  Journal journal(path);
  Entry e;
  e.key = "k";
  e.docHash = "h";
  e.document = "{}";
  e.printer = "OB1";
  journal.Accept(e);
  EXPECT_EQ(ModeOf(path), 0600u);
  EXPECT_EQ(ModeOf(dir.Path() + "state/ORBANTIS"), 0700u);
  EXPECT_EQ(ModeOf(path + "-wal"), 0600u);

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &s, nullptr);
  ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "wal");
  sqlite3_finalize(s);
  sqlite3_close(db);
}

TEST(ReceiptJournal, EntriesGoThroughTheirStatesAndSurviveAReopen) {
  test::TempDir dir;
  const std::string path = dir.Path() + "journal.sqlite";
  {
    Journal journal(path);
    Entry e;
    e.key = "till7-1";
    e.docHash = "abc";
    e.document = R"({"key":"till7-1"})";
    e.printer = "OB1";
    journal.Accept(e);
    EXPECT_EQ(e.attempt, 1);
    journal.SetCounters(e, "12", "345");
    journal.Reach(e, State::Closing, "closing");
    Entry other = e;
    other.key = "till7-2";
    other.attempt = 0;
    journal.Accept(other);
    journal.Finish(e, State::Printed, R"({"state":"printed"})");
  }
  Journal journal(path);
  const auto e = journal.Find("till7-1");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->state, State::Printed);
  EXPECT_EQ(e->globRecCnt, "345");
  EXPECT_EQ(e->result, R"({"state":"printed"})");
  std::vector<std::string> steps;
  for (const auto& s : journal.Steps("till7-1")) steps.push_back(s.step);
  EXPECT_EQ(steps, (std::vector<std::string> {"accepted", "opened", "closing", "printed"}));
  // Unfinished: only what has no outcome yet, for that printer.
  const auto open = journal.Unfinished("OB1");
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0].key, "till7-2");
  EXPECT_TRUE(journal.Unfinished("OB2").empty());
  EXPECT_EQ(journal.Day(e->day).size(), 2u);
  EXPECT_FALSE(journal.Find("nothing"));
}

TEST(ReceiptJournal, AJournalThatCannotBeMadeSaysWhere) {
  try {
    Journal journal("/proc/orbantis-no/journal.sqlite");
    ADD_FAILURE() << "opened";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("/proc/orbantis-no"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace orbantis::journal
