// Whole receipts, printed exactly once whatever fails.
//
// A receipt document (ReceiptDocument.h) is checked whole, accepted into the
// journal durably, and then run through the command rows in order: open,
// the lines, the subtotal (which reads the totals by tax group), the
// payments, the close. Its key is the idempotency key: the same key sent
// again never prints a second receipt.
//
// After a lost answer, a dropped link or a crash the service never guesses
// and never retries blindly. It asks the printer what happened, and acts
// only on what the printer's reads prove is the key's own receipt: the
// fiscal transaction status (76) gives the open receipt's sales, amount and
// tender, held against what the journal recorded the printer acknowledged;
// the receipt counter (110) against the number the open answered (48) says
// whether a receipt closed since, and a payment the printer took says it can
// only have been this one. Its own open receipt is cancelled before the
// first payment (60, when the void read 103 allows) or finished as the
// document says; another program's receipt is left as it is, and where the
// reads cannot tell the answer is attention. Unfinished receipts of a
// printer are settled this way before that printer takes a new one, by this
// service or by a command method of any object (ClearForOpening).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "journal/Journal.h"
#include "receipts/PrinterLock.h"
#include "receipts/ReceiptDocument.h"

namespace orbantis {
class TFP_ZORVIK;
}

namespace orbantis::receipts {

// Result codes of a whole receipt.
inline constexpr std::int32_t RECEIPT_PRINTED = 0;      // fiscalised (now, or under this key before)
inline constexpr std::int32_t RECEIPT_BAD_DOCUMENT = -1;  // refused whole; nothing sent
inline constexpr std::int32_t RECEIPT_KEY_REUSED = -2;    // the key belongs to another document; nothing sent
inline constexpr std::int32_t RECEIPT_CANCELLED = -3;     // cancelled (by the driver or before it); nothing fiscalised
inline constexpr std::int32_t RECEIPT_FAILED = -4;        // refused or failed; nothing fiscalised
inline constexpr std::int32_t RECEIPT_PENDING = -5;       // the printer stopped answering; outcome not known yet
// A person must act: the printer holds a receipt the driver may not touch
// or cannot finish (not settled), or its reads cannot prove whether the key
// was fiscalised (settled: the answer names the receipt to look up).
inline constexpr std::int32_t RECEIPT_ATTENTION = -6;
// The journal cannot be used: state "unknown" when the key could not be
// looked up (never ring it again under a new key), "failed" when a new key
// could not be recorded (nothing sent).
inline constexpr std::int32_t RECEIPT_JOURNAL = -7;
inline constexpr std::int32_t RECEIPT_NOT_FOUND = -8;     // getReceipt: no receipt under that key
// A command method that opens a receipt, refused: a whole receipt on this
// printer is not settled yet, and nothing may open before it is.
inline constexpr std::int32_t OPEN_REFUSED_UNSETTLED = -20;

struct Outcome {
  std::int32_t code = RECEIPT_FAILED;
  std::string json;  // the answer document (UTF-8)
};

class ReceiptService {
 public:
  explicit ReceiptService(journal::Journal& journal) : FJournal(journal) {}

  // Prints document on printer, a connected printer object whose serial
  // number is printerId. Safe to call from several threads: a call with a
  // key that is running waits for it.
  Outcome Print(TFP_ZORVIK& printer, const std::string& printerId, const std::string& document,
                std::uint16_t codePage = 1252);

  // What the journal holds under key.
  Outcome Get(const std::string& key);
  // The receipts accepted on day (YYYY-MM-DD), with their state, as JSON.
  std::string Day(const std::string& day);

  // Settles this printer's unfinished receipts from its own reads. False
  // when one could not be settled (the printer does not answer).
  bool Reconcile(TFP_ZORVIK& printer, const std::string& printerId);

  // Before a command that opens a receipt outside this service (a command
  // method, a raw command): the printer's unfinished receipts are settled
  // first. RECEIPT_PRINTED when nothing stands in the way; else the code of
  // the first one not settled (pending, attention), and message names its
  // key and says what to do.
  std::int32_t ClearForOpening(TFP_ZORVIK& printer, const std::string& printerId, std::string& message);

  journal::Journal& Journal() { return FJournal; }

 private:
  // How far a call came, for what a journal failure tells the till.
  enum class Stage { Checking, Settling, LookingUp, Accepting };
  // settledNow: this call settled the key's unfinished receipt before it.
  Outcome print(TFP_ZORVIK& printer, const std::string& printerId, const ReceiptDocument& doc, Stage& stage,
                bool settledNow = false);
  // The text of the key's last settling when it ended in attention, not
  // settled (the printer holds a receipt a person must deal with first).
  std::optional<std::string> lastAttention(const journal::Entry& entry);
  // The commands of an accepted receipt; earlier: what became of the attempt before.
  Outcome run(TFP_ZORVIK& printer, const ReceiptDocument& doc, journal::Entry& entry, const std::string& earlier);
  // Settles this printer's unfinished receipts; RECEIPT_PRINTED when all
  // are settled, else the code (pending, attention) of the first that is
  // not, whose key goes to key.
  // message: what the first not settled one's settling said.
  std::int32_t reconcile(TFP_ZORVIK& printer, const std::string& printerId, std::string* key,
                         std::string* message = nullptr);
  PrinterLock& printerLock(const std::string& printerId);
  // Finds out what became of entry from the printer's reads and finishes it
  // where they prove what it is. Returns the code of the outcome:
  // RECEIPT_PENDING when the printer did not answer, RECEIPT_ATTENTION when
  // a person must act first (the entry stays unsettled) or, with the entry
  // final, when the reads cannot prove whether it was fiscalised. message
  // says what happened and what to do.
  std::int32_t settle(TFP_ZORVIK& printer, journal::Entry& entry, const std::string& cause, std::string& message);

  journal::Journal& FJournal;
  std::mutex FLock;
  std::condition_variable FDone;
  std::set<std::string> FRunning;  // keys being printed now
  std::map<std::string, std::unique_ptr<PrinterLock>> FPrinterLocks;  // by serial number
};

}  // namespace orbantis::receipts
