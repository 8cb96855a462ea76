// The receipt journal: what each printer was asked to fiscalise, and what
// became of it.
//
// One row per receipt key in an SQLite database in WAL mode, plus one row per
// step reached. The receipt service is its only writer and reader; front ends
// go through the service. Every record that settling decides by is durable
// on disk (synchronous FULL) before the next frame goes out: a receipt is
// accepted before its first frame, then the numbers its open gave, the first
// payment the printer took (the receipt can no longer be cancelled), the
// steps "completing", "cancelling" and "closing" before their frames, and
// the outcome before the call returns. The printer's other acknowledgements
// are written with synchronous NORMAL, which survives the process being
// killed and costs no disk flush per command; after a power cut the journal
// may hold fewer of them than the printer did, which settling reads as a
// receipt it cannot match and leaves alone (attention), never as another.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace orbantis::journal {

// Where a receipt stands. The final states are printed, cancelled, failed
// and attention (the printer's reads could not prove whether it was
// fiscalised: a person must look at the paper roll); the others mean the
// outcome is not known yet (the printer stopped answering, or the process
// ended) and is found out from the printer's own reads before that printer
// takes a new receipt.
enum class State { Accepted, Opened, Paying, Closing, Cancelling, Printed, Cancelled, Failed, Attention };

const char* StateName(State state);
std::optional<State> StateFromName(const std::string& name);
bool IsFinal(State state);

// Accept found the key taken meanwhile by another call or program (the same
// new key sent to two printers at once): the caller looks it up again.
struct KeyTaken : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Entry {
  std::string key;
  std::string docHash;
  std::string document;  // canonical JSON
  std::string printer;   // the printer's serial number
  State state = State::Accepted;
  int attempt = 0;
  std::string recCnt, globRecCnt;  // the counters the open answered
  // How far the printer acknowledged this attempt: the number of its planned
  // commands answered, in order. The one after them may be in flight.
  int done = 0;
  // A payment was answered as taken (D or R): from then on the printer can
  // only finish this receipt, never cancel it.
  bool paymentTaken = false;
  std::string totals;              // JSON: the subtotal's answer
  std::string result;              // JSON: the outcome, once final
  std::string day;                 // YYYY-MM-DD, local time of acceptance
  std::string created, updated;
};

struct Step {
  int attempt = 0;
  int seq = 0;
  std::string step;
  std::string detail;
  std::string at;
};

class Journal {
 public:
  // Opens (creating it 0600, its folder 0700) the database at path. Raises
  // std::runtime_error with SQLite's text when it cannot.
  explicit Journal(const std::string& path);
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // $XDG_STATE_HOME/ORBANTIS/journal.sqlite (default ~/.local/state).
  static std::string DefaultPath();
  const std::string& Path() const { return FPath; }
  // How long a write waits for another program's write to the same journal
  // before it fails (5 s unless set).
  void SetBusyTimeout(int milliseconds);

  std::optional<Entry> Find(const std::string& key);
  // The receipts accepted on day (YYYY-MM-DD), oldest first.
  std::vector<Entry> Day(const std::string& day);
  // Entries of this printer whose outcome is not known yet, oldest first;
  // without a printer, those of every printer.
  std::vector<Entry> Unfinished(const std::string& printer);
  std::vector<Entry> Unfinished();
  std::vector<Step> Steps(const std::string& key);

  // Durable: a new receipt (entry.attempt 0), or a new attempt of one that
  // ended with nothing fiscalised. The entry's attempt is counted up. Raises
  // KeyTaken when the journal no longer holds the key as entry says (another
  // program accepted it meanwhile): one key, one receipt, whichever program
  // and printer asked first.
  void Accept(Entry& entry);
  // Not flushed to disk, but safe from the process ending; durable flushes
  // it (the steps before the frames whose outcome settling decides by).
  void Reach(Entry& entry, State state, const std::string& step, const std::string& detail = {},
             bool durable = false);
  void Record(Entry& entry, const std::string& step, const std::string& detail);
  // The printer answered the next planned command; with paymentTaken the
  // record is durable (it decides whether the receipt can still be
  // cancelled).
  void Acknowledge(Entry& entry, const std::string& step, const std::string& detail, bool paymentTaken = false);
  // Raises std::runtime_error when the database file was removed or
  // replaced since it was opened: what is written would be lost.
  void CheckFile();
  void SetCounters(Entry& entry, const std::string& recCnt, const std::string& globRecCnt);
  void SetTotals(Entry& entry, const std::string& totalsJson);
  // Durable: the outcome.
  void Finish(Entry& entry, State state, const std::string& resultJson);

 private:
  void setUp();  // WAL, the tables
  void exec(const char* sql);
  void write(Entry& entry);
  void transaction(bool durable, const std::function<void()>& work);
  void addStep(const Entry& entry, const std::string& step, const std::string& detail);
  Entry read(sqlite3_stmt* s);
  // The entries sql selects; arg, when given, is bound to ?1.
  std::vector<Entry> query(const char* sql, const std::string* arg = nullptr);

  std::string FPath;
  sqlite3* FDb = nullptr;
  std::mutex FLock;
};

}  // namespace orbantis::journal
