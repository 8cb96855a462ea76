// The receipt journal: private, in WAL mode, and read back by key and day.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sqlite3.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

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

// The POSIX locks this process holds on the file at path, as /proc/locks lists them.
int LocksHeldOn(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return -1;
  std::ifstream locks("/proc/locks");
  const std::string pid = std::to_string(::getpid());
  const std::string inode = ":" + std::to_string(st.st_ino) + " ";
  int n = 0;
  for (std::string line; std::getline(locks, line);)
    if (line.find("POSIX") != std::string::npos && line.find(" " + pid + " ") != std::string::npos &&
        line.find(inode) != std::string::npos)
      ++n;
  return n;
}

// POSIX locks belong to the process: closing any descriptor of the file drops
// the locks every connection of the process holds on it, and another process
// may then write under a connection that believes it holds the file. A
// journal opened and closed beside another must leave that one's locks.
TEST(ReceiptJournal, OpeningAndClosingOneJournalLeavesTheLocksOfAnother) {
  test::TempDir dir;
  const std::string path = dir.Path() + "journal.sqlite";
  Journal first(path);
  sqlite3* reader = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &reader), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM receipts;", nullptr, nullptr, nullptr), SQLITE_OK);
  const int held = LocksHeldOn(path);
  ASSERT_GT(held, 0) << "an open read transaction holds the file";
  { Journal second(path); }
  EXPECT_EQ(LocksHeldOn(path), held);
  sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(reader);
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

// A journal written before the printer's acknowledgements were kept gets
// them from the steps it recorded (every answered command has the detail
// "0"), so a receipt it left unfinished settles as before the upgrade.
TEST(ReceiptJournal, AnOlderJournalGetsItsAcknowledgementsFromItsSteps) {
  test::TempDir dir;
  const std::string path = dir.Path() + "journal.sqlite";
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const char* old =
        "CREATE TABLE receipts(key TEXT PRIMARY KEY, doc_hash TEXT NOT NULL, document TEXT NOT NULL,"
        " printer TEXT NOT NULL, state TEXT NOT NULL, attempt INTEGER NOT NULL, rec_cnt TEXT, glob_rec_cnt TEXT,"
        " totals TEXT, result TEXT, day TEXT NOT NULL, created TEXT NOT NULL, updated TEXT NOT NULL);"
        "CREATE TABLE steps(key TEXT NOT NULL, attempt INTEGER NOT NULL, seq INTEGER NOT NULL, step TEXT NOT NULL,"
        " detail TEXT NOT NULL, at TEXT NOT NULL, PRIMARY KEY(key, attempt, seq));"
        "INSERT INTO receipts VALUES('paid', 'h', '{}', 'OB1', 'closing', 1, '1', '7', '', '', 'd', 't', 't');"
        "INSERT INTO receipts VALUES('open', 'h', '{}', 'OB1', 'opened', 2, '1', '8', '', '', 'd', 't', 't');"
        "INSERT INTO steps VALUES('paid', 1, 1, 'accepted', '', 't'), ('paid', 1, 2, 'CMD_48_0_0', '0', 't'),"
        " ('paid', 1, 3, 'opened', '1,7', 't'), ('paid', 1, 4, 'CMD_49_0_11', '0', 't'),"
        " ('paid', 1, 5, 'CMD_51_0_0', '0', 't'), ('paid', 1, 6, 'CMD_103_0_0', '0', 't'),"
        " ('paid', 1, 7, 'paying', '', 't'), ('paid', 1, 8, 'CMD_53_0_1', '0', 't'), ('paid', 1, 9, 'closing', '', 't'),"
        " ('open', 1, 1, 'CMD_53_0_1', '0', 't'), ('open', 2, 1, 'CMD_48_0_0', '0', 't');";
    ASSERT_EQ(sqlite3_exec(db, old, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
  }
  Journal journal(path);
  const auto paid = journal.Find("paid");
  ASSERT_TRUE(paid);
  EXPECT_EQ(paid->done, 5);
  EXPECT_TRUE(paid->paymentTaken);
  const auto open = journal.Find("open");
  ASSERT_TRUE(open);
  EXPECT_EQ(open->done, 1) << "only this attempt's steps count";
  EXPECT_FALSE(open->paymentTaken);
  Journal again(path);  // a second program on the upgraded journal
  EXPECT_EQ(again.Find("paid")->done, 5);
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
