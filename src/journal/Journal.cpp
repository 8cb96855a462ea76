#include "journal/Journal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include "uErrLog/LogFiles.h"
#include "uErrLog/uErrLog.h"

namespace orbantis::journal {
namespace {

struct StateText {
  State state;
  const char* name;
};
constexpr StateText kStates[] = {
    {State::Accepted, "accepted"}, {State::Opened, "opened"},         {State::Paying, "paying"},
    {State::Closing, "closing"},   {State::Cancelling, "cancelling"}, {State::Printed, "printed"},
    {State::Cancelled, "cancelled"}, {State::Failed, "failed"},     {State::Attention, "attention"},
};

std::string now(const char* format) {
  std::time_t t = std::time(nullptr);
  std::tm local {};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  char buf[40];
  std::strftime(buf, sizeof buf, format, &local);
  return buf;
}

std::string timestamp() { return now("%Y-%m-%dT%H:%M:%S"); }
std::string today() { return now("%Y-%m-%d"); }

std::string column(sqlite3_stmt* s, int i) {
  const auto* text = sqlite3_column_text(s, i);
  return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
}

// A prepared statement that finalises itself.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : FDb(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &FStmt, nullptr) != SQLITE_OK)
      throw std::runtime_error(std::string("Journal: ") + sqlite3_errmsg(db));
  }
  ~Statement() { sqlite3_finalize(FStmt); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement& bind(int i, const std::string& v) {
    sqlite3_bind_text(FStmt, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& bind(int i, int v) {
    sqlite3_bind_int(FStmt, i, v);
    return *this;
  }
  bool step() {
    const int r = sqlite3_step(FStmt);
    if (r == SQLITE_ROW) return true;
    if (r == SQLITE_DONE) return false;
    throw std::runtime_error(std::string("Journal: ") + sqlite3_errmsg(FDb));
  }
  sqlite3_stmt* get() { return FStmt; }

 private:
  sqlite3* FDb;
  sqlite3_stmt* FStmt = nullptr;
};

}  // namespace

const char* StateName(State state) {
  for (const auto& s : kStates)
    if (s.state == state) return s.name;
  return "unknown";
}

std::optional<State> StateFromName(const std::string& name) {
  for (const auto& s : kStates)
    if (name == s.name) return s.state;
  return std::nullopt;
}

bool IsFinal(State state) {
  return state == State::Printed || state == State::Cancelled || state == State::Failed || state == State::Attention;
}

std::string Journal::DefaultPath() {
  std::string folder;
  try {
    folder = UserStateFolder();
  } catch (const std::exception& e) {
    // Never a shared folder such as /tmp: the journal holds the receipts.
    throw std::runtime_error(std::string("Journal: ") + e.what() + "; the receipt journal needs one");
  }
  return IncludeTrailingPathDelimiter(IncludeTrailingPathDelimiter(folder) + "ORBANTIS") + "journal.sqlite";
}

Journal::Journal(const std::string& path) : FPath(path) {
  const auto slash = LastPathSeparator(path);
  if (slash != std::string::npos && slash > 0 && !ForceDirectories(path.substr(0, slash), 0700))
    throw std::runtime_error("Journal: cannot create the folder of " + path + ": " + std::strerror(errno));
  // Created owner-only before SQLite sees it: the journal holds operator
  // passwords (they are part of the document). SQLite gives its WAL and
  // shared-memory files the database file's permissions. A journal already
  // there is not opened beside SQLite (see CreateOwnerOnlyFile).
  try {
    CreateOwnerOnlyFile(path);
  } catch (const std::exception& e) {
    throw std::runtime_error(std::string("Journal: ") + e.what());
  }
  if (sqlite3_open_v2(path.c_str(), &FDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_NOFOLLOW,
                      nullptr) != SQLITE_OK) {
    const std::string text = FDb != nullptr ? sqlite3_errmsg(FDb) : "out of memory";
    sqlite3_close(FDb);
    FDb = nullptr;
    throw std::runtime_error("Journal: cannot open " + path + ": " + text);
  }
  try {
    setUp();
  } catch (...) {
    sqlite3_close(FDb);
    FDb = nullptr;
    throw;
  }
}

void Journal::setUp() {
  sqlite3_busy_timeout(FDb, 5000);
  exec("PRAGMA journal_mode=WAL");
  exec("PRAGMA synchronous=NORMAL");
  exec(
      "CREATE TABLE IF NOT EXISTS receipts("
      " key TEXT PRIMARY KEY, doc_hash TEXT NOT NULL, document TEXT NOT NULL, printer TEXT NOT NULL,"
      " state TEXT NOT NULL, attempt INTEGER NOT NULL, rec_cnt TEXT, glob_rec_cnt TEXT, totals TEXT,"
      " result TEXT, day TEXT NOT NULL, created TEXT NOT NULL, updated TEXT NOT NULL);"
      "CREATE INDEX IF NOT EXISTS receipts_day ON receipts(day);"
      "CREATE INDEX IF NOT EXISTS receipts_printer_state ON receipts(printer, state);"
      "CREATE TABLE IF NOT EXISTS steps("
      " key TEXT NOT NULL, attempt INTEGER NOT NULL, seq INTEGER NOT NULL, step TEXT NOT NULL,"
      " detail TEXT NOT NULL, at TEXT NOT NULL, PRIMARY KEY(key, attempt, seq));");
  // Journals written before the printer's acknowledgements were kept get
  // their columns, filled from the steps they recorded: each command the
  // printer answered was recorded with the detail "0". In one write
  // transaction, so two programs starting on an old journal do it once.
  auto hasColumn = [&](const char* name) {
    Statement columns(FDb, "PRAGMA table_info(receipts)");
    while (columns.step())
      if (column(columns.get(), 1) == name) return true;
    return false;
  };
  if (hasColumn("done") && hasColumn("payment_taken")) return;
  exec("BEGIN IMMEDIATE");
  try {
    if (!hasColumn("done")) {
      exec("ALTER TABLE receipts ADD COLUMN done INTEGER NOT NULL DEFAULT 0;"
           "UPDATE receipts SET done = (SELECT COUNT(*) FROM steps WHERE steps.key = receipts.key"
           " AND steps.attempt = receipts.attempt AND steps.step LIKE 'CMD!_%' ESCAPE '!' AND steps.detail = '0')"
           " WHERE state NOT IN ('printed', 'cancelled', 'failed');");
    }
    if (!hasColumn("payment_taken")) {
      exec("ALTER TABLE receipts ADD COLUMN payment_taken INTEGER NOT NULL DEFAULT 0;"
           "UPDATE receipts SET payment_taken = 1 WHERE state NOT IN ('printed', 'cancelled', 'failed') AND EXISTS"
           " (SELECT 1 FROM steps WHERE steps.key = receipts.key AND steps.attempt = receipts.attempt"
           " AND steps.step LIKE 'CMD!_53!_%' ESCAPE '!' AND steps.detail = '0');");
    }
    exec("COMMIT");
  } catch (...) {
    sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

void Journal::SetBusyTimeout(int milliseconds) { sqlite3_busy_timeout(FDb, milliseconds); }

void Journal::CheckFile() {
  // SQLite compares the file it has open with the one the path names now.
  int moved = 0;
  const int asked = sqlite3_file_control(FDb, "main", SQLITE_FCNTL_HAS_MOVED, &moved);
  // SQLite's Windows layer cannot tell (it answers "not found"); there an
  // open file can be neither renamed nor removed, and only a file the path
  // no longer names is to be noticed.
  if (asked == SQLITE_NOTFOUND) moved = FileExists(FPath) ? 0 : 1;
  else if (asked != SQLITE_OK)
    throw std::runtime_error("Journal: " + FPath + ": cannot tell whether the file is still in place");
  if (moved == 0) return;
  if (!FileExists(FPath))
    throw std::runtime_error("Journal: " + FPath + " was removed while the program ran. Put it back, or restart the "
                             "program to start a new one");
  throw std::runtime_error("Journal: " + FPath + " was replaced while the program ran. Put the journal back, or "
                           "restart the program to use the new file");
}

Journal::~Journal() {
  if (FDb != nullptr) sqlite3_close(FDb);
}

void Journal::exec(const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(FDb, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string text = error != nullptr ? error : "unknown error";
    sqlite3_free(error);
    throw std::runtime_error("Journal: " + text);
  }
}

Entry Journal::read(sqlite3_stmt* s) {
  Entry e;
  e.key = column(s, 0);
  e.docHash = column(s, 1);
  e.document = column(s, 2);
  e.printer = column(s, 3);
  e.state = StateFromName(column(s, 4)).value_or(State::Accepted);
  e.attempt = sqlite3_column_int(s, 5);
  e.recCnt = column(s, 6);
  e.globRecCnt = column(s, 7);
  e.totals = column(s, 8);
  e.result = column(s, 9);
  e.day = column(s, 10);
  e.created = column(s, 11);
  e.updated = column(s, 12);
  e.done = sqlite3_column_int(s, 13);
  e.paymentTaken = sqlite3_column_int(s, 14) != 0;
  return e;
}

#define ENTRY_COLUMNS \
  "key, doc_hash, document, printer, state, attempt, rec_cnt, glob_rec_cnt, totals, result, day, created, updated, " \
  "done, payment_taken"

std::vector<Entry> Journal::query(const char* sql, const std::string* arg) {
  std::lock_guard<std::mutex> guard(FLock);
  Statement s(FDb, sql);
  if (arg != nullptr) s.bind(1, *arg);
  std::vector<Entry> entries;
  while (s.step()) entries.push_back(read(s.get()));
  return entries;
}

std::optional<Entry> Journal::Find(const std::string& key) {
  auto found = query("SELECT " ENTRY_COLUMNS " FROM receipts WHERE key = ?1", &key);
  if (found.empty()) return std::nullopt;
  return found.front();
}

std::vector<Entry> Journal::Day(const std::string& day) {
  return query("SELECT " ENTRY_COLUMNS " FROM receipts WHERE day = ?1 ORDER BY created, rowid", &day);
}

std::vector<Entry> Journal::Unfinished(const std::string& printer) {
  return query("SELECT " ENTRY_COLUMNS
               " FROM receipts WHERE printer = ?1 AND state NOT IN ('printed', 'cancelled', 'failed', 'attention')"
               " ORDER BY updated, rowid",
               &printer);
}

std::vector<Entry> Journal::Unfinished() {
  return query("SELECT " ENTRY_COLUMNS
               " FROM receipts WHERE state NOT IN ('printed', 'cancelled', 'failed', 'attention')"
               " ORDER BY updated, rowid");
}

std::vector<Step> Journal::Steps(const std::string& key) {
  std::lock_guard<std::mutex> guard(FLock);
  Statement s(FDb, "SELECT attempt, seq, step, detail, at FROM steps WHERE key = ?1 ORDER BY attempt, seq");
  s.bind(1, key);
  std::vector<Step> steps;
  while (s.step())
    steps.push_back({sqlite3_column_int(s.get(), 0), sqlite3_column_int(s.get(), 1), column(s.get(), 2),
                     column(s.get(), 3), column(s.get(), 4)});
  return steps;
}

void Journal::write(Entry& entry) {
  entry.updated = timestamp();
  Statement s(FDb,
              "INSERT INTO receipts(" ENTRY_COLUMNS
              ") VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)"
              " ON CONFLICT(key) DO UPDATE SET doc_hash = ?2, document = ?3, printer = ?4, state = ?5,"
              " attempt = ?6, rec_cnt = ?7, glob_rec_cnt = ?8, totals = ?9, result = ?10, updated = ?13,"
              " done = ?14, payment_taken = ?15");
  s.bind(1, entry.key).bind(2, entry.docHash).bind(3, entry.document).bind(4, entry.printer);
  s.bind(5, std::string(StateName(entry.state))).bind(6, entry.attempt).bind(7, entry.recCnt);
  s.bind(8, entry.globRecCnt).bind(9, entry.totals).bind(10, entry.result).bind(11, entry.day);
  s.bind(12, entry.created).bind(13, entry.updated).bind(14, entry.done).bind(15, entry.paymentTaken ? 1 : 0);
  s.step();
}

void Journal::transaction(bool durable, const std::function<void()>& work) {
  // SQLite takes the safety level only outside a transaction: a durable
  // commit flushes the WAL to disk before the call goes on.
  if (durable) exec("PRAGMA synchronous=FULL");
  try {
    exec("BEGIN IMMEDIATE");
    try {
      work();
      exec("COMMIT");
    } catch (...) {
      sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  } catch (...) {
    if (durable) sqlite3_exec(FDb, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    throw;
  }
  if (durable) exec("PRAGMA synchronous=NORMAL");
}

void Journal::addStep(const Entry& entry, const std::string& step, const std::string& detail) {
  Statement s(FDb,
              "INSERT INTO steps(key, attempt, seq, step, detail, at) VALUES(?1, ?2,"
              " (SELECT COALESCE(MAX(seq), 0) + 1 FROM steps WHERE key = ?1 AND attempt = ?2), ?3, ?4, ?5)");
  s.bind(1, entry.key).bind(2, entry.attempt).bind(3, step).bind(4, detail).bind(5, timestamp());
  s.step();
}

void Journal::Accept(Entry& entry) {
  std::lock_guard<std::mutex> guard(FLock);
  const Entry before = entry;
  ++entry.attempt;
  entry.state = State::Accepted;
  entry.recCnt.clear();
  entry.globRecCnt.clear();
  entry.totals.clear();
  entry.result.clear();
  entry.done = 0;
  entry.paymentTaken = false;
  if (entry.created.empty()) {
    entry.created = timestamp();
    entry.day = today();
  }
  try {
    transaction(true, [&] {
      // Inside the write transaction, which holds every other writer of the
      // file off: what the caller looked up is still so, or the key is taken.
      Statement s(FDb, "SELECT attempt, state FROM receipts WHERE key = ?1");
      s.bind(1, entry.key);
      const bool exists = s.step();
      const int attempt = exists ? sqlite3_column_int(s.get(), 0) : 0;
      const std::string state = exists ? column(s.get(), 1) : std::string();
      const bool asLookedUp = before.attempt == 0 ? !exists
                                                  : exists && attempt == before.attempt &&
                                                        (state == "cancelled" || state == "failed");
      if (!asLookedUp) throw KeyTaken("Journal: the key " + entry.key + " was accepted by another call meanwhile");
      addStep(entry, "accepted", "");
      write(entry);
    });
  } catch (...) {
    entry = before;
    throw;
  }
}

void Journal::Reach(Entry& entry, State state, const std::string& step, const std::string& detail, bool durable) {
  std::lock_guard<std::mutex> guard(FLock);
  entry.state = state;
  transaction(durable, [&] {
    addStep(entry, step, detail);
    write(entry);
  });
}

void Journal::Record(Entry& entry, const std::string& step, const std::string& detail) {
  std::lock_guard<std::mutex> guard(FLock);
  addStep(entry, step, detail);
}

void Journal::Acknowledge(Entry& entry, const std::string& step, const std::string& detail, bool paymentTaken) {
  std::lock_guard<std::mutex> guard(FLock);
  ++entry.done;
  const bool first = paymentTaken && !entry.paymentTaken;
  entry.paymentTaken = entry.paymentTaken || paymentTaken;
  transaction(first, [&] {
    addStep(entry, step, detail);
    write(entry);
  });
}

void Journal::SetCounters(Entry& entry, const std::string& recCnt, const std::string& globRecCnt) {
  entry.recCnt = recCnt;
  entry.globRecCnt = globRecCnt;
  // Durable: with the number the open gave, the day's counter tells later
  // whether this receipt was fiscalised.
  Reach(entry, State::Opened, "opened", recCnt + "," + globRecCnt, true);
}

void Journal::SetTotals(Entry& entry, const std::string& totalsJson) {
  std::lock_guard<std::mutex> guard(FLock);
  entry.totals = totalsJson;
  transaction(false, [&] {
    addStep(entry, "subtotal", totalsJson);
    write(entry);
  });
}

void Journal::Finish(Entry& entry, State state, const std::string& resultJson) {
  std::lock_guard<std::mutex> guard(FLock);
  entry.state = state;
  entry.result = resultJson;
  transaction(true, [&] {
    addStep(entry, StateName(state), "");
    write(entry);
  });
}

}  // namespace orbantis::journal
