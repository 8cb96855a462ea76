#include "receipts/ReceiptService.h"

#include <nlohmann/json.hpp>
#include <optional>

#include "foundation/CodePage.h"
#include "printer_model/Checks.h"
#include "printer_model/TFP_ZORVIK.h"

namespace orbantis::receipts {
namespace {

using json = nlohmann::json;
using journal::Entry;
using journal::State;

const char* const kTaxGroups[] = {"A", "B", "C", "D", "E", "F"};

std::string utf8(const AnsiString& s);

// The receipt's total, its sums by tax group (103) and the tax in each
// group (51), as the answer gives them.
json totalsJson(const AnsiStrings& subtotal, const AnsiStrings& sums) {
  json totals = json::object();
  if (!subtotal.empty()) totals["subtotal"] = utf8(subtotal[0]);
  json tax = json::object();
  for (std::size_t g = 0; g < 6; ++g) {
    if (g + 1 < sums.size()) totals[kTaxGroups[g]] = utf8(sums[g + 1]);
    if (g + 1 < subtotal.size()) tax[kTaxGroups[g]] = utf8(subtotal[g + 1]);
  }
  totals["tax"] = tax;
  return totals;
}

// Amounts in hundredths, as the printer writes them ("10.00", "-0.50", "10"),
// through the command rows' own currency parser; finer than a cent is no
// amount of the printer's.
std::optional<std::int64_t> cents(const std::string& text) {
  const auto tenThousandths = cmd::ParseCurrency(text);
  if (!tenThousandths || *tenThousandths % 100 != 0) return std::nullopt;
  return *tenThousandths / 100;
}

std::string formatCents(std::int64_t value) {
  char buf[32];
  const std::int64_t a = value < 0 ? -value : value;
  std::snprintf(buf, sizeof buf, "%s%lld.%02lld", value < 0 ? "-" : "", static_cast<long long>(a / 100),
                static_cast<long long>(a % 100));
  return buf;
}

std::string utf8(const AnsiString& s) { return WideToUtf8(DecodeCodePage(s, CP_WESTERN)); }

// The printer's last error text, as one line for a message.
std::string printerText(TFP_ZORVIK& printer) {
  std::string text = utf8(printer.FLastErrorMessage);
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, " ");
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool linkFailure(TFP_ZORVIK& printer) {
  return printer.FLastErrorMessage.find("Please check the link") != std::string::npos;
}

const char* stateWord(std::int32_t code) {
  switch (code) {
    case RECEIPT_PRINTED: return "printed";
    case RECEIPT_BAD_DOCUMENT: return "refused";
    case RECEIPT_KEY_REUSED: return "refused";
    case RECEIPT_CANCELLED: return "cancelled";
    case RECEIPT_FAILED: return "failed";
    case RECEIPT_PENDING: return "pending";
    case RECEIPT_ATTENTION: return "attention";
    case RECEIPT_JOURNAL: return "failed";
    case RECEIPT_NOT_FOUND: return "unknown";
    default: return "failed";
  }
}

Outcome answer(std::int32_t code, json body) {
  body["code"] = code;
  if (!body.contains("state")) body["state"] = stateWord(code);
  return {code, body.dump()};
}

// The answer for an entry in the journal.
json describe(const Entry& e) {
  json j;
  j["key"] = e.key;
  j["printer"] = e.printer;
  j["attempt"] = e.attempt;
  j["journalState"] = journal::StateName(e.state);
  j["accepted"] = e.created;
  // Only a fiscalised receipt has numbers: the ones an open gave a receipt
  // that was then cancelled would be taken for a printed receipt's.
  if (e.state == State::Printed && !e.recCnt.empty()) j["receiptNumber"] = utf8(e.recCnt);
  if (e.state == State::Printed && !e.globRecCnt.empty()) j["globalNumber"] = utf8(e.globRecCnt);
  if (!e.totals.empty()) j["totals"] = json::parse(e.totals, nullptr, false);
  return j;
}

std::int32_t codeOf(State s) {
  switch (s) {
    case State::Printed: return RECEIPT_PRINTED;
    case State::Cancelled: return RECEIPT_CANCELLED;
    case State::Failed: return RECEIPT_FAILED;
    default: return RECEIPT_PENDING;
  }
}

const std::string kPendingAdvice =
    " The printer did not answer, so what it holds is not known yet. Nothing is printed twice: send the same key "
    "again when the printer answers, and the driver asks the printer what became of this receipt before anything "
    "else.";
const std::string kAgainAdvice = " Nothing was fiscalised: the same document may be sent again under the same key.";

}  // namespace

// ---------------------------------------------------------------- settling

std::int32_t ReceiptService::settle(TFP_ZORVIK& printer, Entry& entry, const std::string& cause) {
  auto pending = [&](const std::string& what) {
    FJournal.Record(entry, "unsettled", what);
    return RECEIPT_PENDING;
  };
  AnsiStrings status;
  if (printer.Run("CMD_76_0_0", {""}, status) != 0) return pending("fiscal transaction status: " + printerText(printer));
  FJournal.Record(entry, "CMD_76_0_0", utf8(status[0] + "," + status[1] + "," + status[2] + "," + status[3]));

  auto finish = [&](State state, std::int32_t code, const std::string& message, json extra = {}) {
    entry.state = state;
    json j = describe(entry);
    if (extra.is_object()) j.update(extra);
    j["state"] = stateWord(code);
    j["code"] = code;
    j["reconciled"] = true;
    j["message"] = message;
    FJournal.Finish(entry, state, j.dump());
    return code;
  };

  // Our open was never confirmed and the open receipt already holds sales:
  // it is another program's (nothing of ours is sent before the open's
  // answer). Ours was not opened; that receipt is left as it is.
  if (status[0] == "1" && entry.state == State::Accepted && status[1] != "0") {
    entry.state = State::Failed;
    json j = describe(entry);
    j["state"] = "failed";
    j["code"] = RECEIPT_FAILED;
    j["reconciled"] = true;
    j["message"] = cause +
                   " The printer holds another receipt open (not this one, which was never opened); it was left "
                   "as it is. Finish it or cancel it (CMD_60_0_0), then send the same key again." + kAgainAdvice;
    FJournal.Finish(entry, State::Failed, j.dump());
    return RECEIPT_FAILED;
  }
  if (status[0] == "1") {
    // A receipt is open: cancel it while the printer allows, else finish it
    // as the document says.
    AnsiStrings voidInfo;
    if (printer.Run("CMD_103_0_0", {}, voidInfo) != 0) return pending("void read: " + printerText(printer));
    if (voidInfo[0] == "1") {
      FJournal.Reach(entry, State::Cancelling, "cancelling", cause);
      AnsiStrings none;
      if (printer.Run("CMD_60_0_0", {}, none) != 0) {
        if (linkFailure(printer)) return pending("cancel: " + printerText(printer));
        FJournal.Record(entry, "attention", printerText(printer));
        return RECEIPT_ATTENTION;
      }
      return finish(State::Cancelled, RECEIPT_CANCELLED,
                    cause + " The printer held the receipt open; it was cancelled." + kAgainAdvice);
    }
    // Payments are under way: the printer no longer cancels. Pay what the
    // document still owes (the printer says how much was tendered) and close.
    const json document = json::parse(entry.document, nullptr, false);
    const auto tendered = cents(status[3]);
    const auto total = cents(status[2]);
    if (!tendered || !total) return pending("unreadable amounts " + utf8(status[2] + "," + status[3]));
    std::vector<std::pair<std::string, std::string>> due;
    std::int64_t cumulative = 0;
    bool lined = true;
    if (*tendered >= *total) {
      // Paid in full: only the close is missing.
      cumulative = *tendered;
    } else if (document.is_object() && document.contains("payments") && !document["payments"].empty()) {
      for (const auto& p : document["payments"]) {
        const std::string amount = p.value("amount", "0");
        const std::int64_t before = cumulative;
        cumulative += cents(amount).value_or(0);
        if (cumulative <= *tendered) continue;
        if (before < *tendered) lined = false;  // taken in part: the printer and the document disagree
        due.emplace_back(p.value("mode", "P"), amount);
      }
    } else {
      due.emplace_back("", "");  // the exact total in cash
      cumulative = *total;
    }
    if (!lined) {
      FJournal.Record(entry, "attention", "tendered " + utf8(status[3]));
      return RECEIPT_ATTENTION;
    }
    FJournal.Reach(entry, State::Paying, "completing", cause);
    if (entry.totals.empty()) {
      AnsiStrings sub, sums;
      if (printer.Run("CMD_51_0_0", {"0", "0"}, sub) == 0 && printer.Run("CMD_103_0_0", {}, sums) == 0)
        FJournal.SetTotals(entry, totalsJson(sub, sums).dump());
    }
    std::string change;
    for (const auto& [mode, amount] : due) {
      AnsiStrings paid;
      const std::int32_t r = mode.empty() ? printer.Run("CMD_53_0_1", {}, paid)
                                          : printer.Run("CMD_53_0_0", {mode, amount}, paid);
      if (r != 0) {
        if (linkFailure(printer)) return pending("payment: " + printerText(printer));
        FJournal.Record(entry, "attention", printerText(printer));
        return RECEIPT_ATTENTION;
      }
      if (paid[0] == "F" || paid[0] == "E") {
        FJournal.Record(entry, "attention", "payment refused: " + utf8(paid[0] + paid[1]));
        return RECEIPT_ATTENTION;
      }
      if (paid[0] == "R") change = utf8(paid[1]);
    }
    FJournal.Reach(entry, State::Closing, "closing", {}, /*durable=*/true);
    AnsiStrings closed;
    if (printer.Run("CMD_56_0_0", {}, closed) != 0) {
      if (linkFailure(printer)) return pending("close: " + printerText(printer));
      FJournal.Record(entry, "attention", printerText(printer));
      return RECEIPT_ATTENTION;
    }
    entry.recCnt = closed[0];
    entry.globRecCnt = closed[1];
    json extra = {{"paid", formatCents(std::max(cumulative, *tendered))}};
    if (!change.empty()) extra["change"] = change;
    return finish(State::Printed, RECEIPT_PRINTED,
                  cause + " The printer held the receipt open with its payments under way; the driver paid what "
                          "the document still owed and closed it.",
                  extra);
  }

  // No receipt open: it was fiscalised if the printer's receipt counter
  // reached the number the open gave it, or, when that answer was lost, if
  // the close went out.
  AnsiStrings day;
  if (printer.Run("CMD_110_0", {}, day) != 0) return pending("day totals: " + printerText(printer));
  const auto counter = cmd::ParseInteger(day[9]);
  FJournal.Record(entry, "CMD_110_0", utf8(day[9]));
  // A receipt leaves the open state only by its close or a cancel, and the
  // printer cancels none once a payment is taken. So with the close sent, or
  // with payments under way (the receipt may have been finished by hand after
  // an "attention"), it was fiscalised; the counter confirms it when the
  // number the open gave is known (short of it, the close never took). Before
  // any payment, not open means cancelled or never opened.
  const auto expected = cmd::ParseInteger(entry.globRecCnt);
  bool fiscalised = entry.state == State::Closing || entry.state == State::Paying;
  if (fiscalised && expected && counter) fiscalised = *counter >= *expected;
  if (entry.state == State::Cancelling && expected && counter && *counter >= *expected) fiscalised = true;
  if (fiscalised) {
    if (entry.globRecCnt.empty() && counter) entry.globRecCnt = std::to_string(*counter);
    // What was paid: the document's payments, or the total in cash.
    json extra = json::object();
    const json document = json::parse(entry.document, nullptr, false);
    std::int64_t paid = 0;
    if (document.is_object() && document.contains("payments"))
      for (const auto& p : document["payments"]) paid += cents(p.value("amount", "0")).value_or(0);
    const json totals = json::parse(entry.totals, nullptr, false);
    if (paid > 0) extra["paid"] = formatCents(paid);
    else if (totals.is_object() && totals.contains("subtotal")) extra["paid"] = totals["subtotal"];
    return finish(State::Printed, RECEIPT_PRINTED,
                  cause + " The printer had fiscalised the receipt; its answer was lost on the way back.", extra);
  }
  if (entry.state == State::Cancelling)
    return finish(State::Cancelled, RECEIPT_CANCELLED, cause + " The receipt was cancelled." + kAgainAdvice);
  return finish(State::Failed, RECEIPT_FAILED, cause + kAgainAdvice);
}

std::recursive_mutex& ReceiptService::printerLock(const std::string& printerId) {
  std::lock_guard<std::mutex> guard(FLock);
  auto& lock = FPrinterLocks[printerId];
  if (!lock) lock = std::make_unique<std::recursive_mutex>();
  return *lock;
}

std::int32_t ReceiptService::reconcile(TFP_ZORVIK& printer, const std::string& printerId, std::string* key,
                                       const std::string& own) {
  std::lock_guard<std::recursive_mutex> exclusive(printer.ExchangeLock());
  for (Entry& e : FJournal.Unfinished(printerId)) {
    {
      // A receipt another call of this service is printing right now is not
      // unfinished: it is running (two objects on one TCP printer).
      std::lock_guard<std::mutex> guard(FLock);
      if (e.key != own && FRunning.count(e.key) != 0) continue;
    }
    const std::int32_t code = settle(printer, e, "The receipt was left unfinished (the link or the driver went down).");
    // A receipt the printer may still hold open comes before any new one.
    if (code == RECEIPT_PENDING || code == RECEIPT_ATTENTION) {
      if (key != nullptr) *key = e.key;
      return code;
    }
  }
  return RECEIPT_PRINTED;
}

bool ReceiptService::Reconcile(TFP_ZORVIK& printer, const std::string& printerId) {
  std::lock_guard<std::recursive_mutex> onePrinter(printerLock(printerId));
  return reconcile(printer, printerId, nullptr, {}) == RECEIPT_PRINTED;
}

// ---------------------------------------------------------------- printing

Outcome ReceiptService::print(TFP_ZORVIK& printer, const std::string& printerId, const ReceiptDocument& doc) {
  Entry entry;
  std::string earlier;  // what became of the attempt before this one
  if (auto existing = FJournal.Find(doc.key)) {
    if (existing->document != doc.canonical) {
      json j = {{"key", doc.key},
                {"message", "The key " + doc.key +
                                " was used for another document. A key names one receipt: give this document a "
                                "key of its own. Nothing was sent to the printer."}};
      return answer(RECEIPT_KEY_REUSED, j);
    }
    if (existing->state == State::Printed) {
      json j = json::parse(existing->result, nullptr, false);
      if (!j.is_object()) j = describe(*existing);
      j["repeated"] = true;
      return answer(RECEIPT_PRINTED, j);
    }
    if (!journal::IsFinal(existing->state)) {
      json j = describe(*existing);
      j["message"] = "The receipt under this key went to printer " + existing->printer +
                     " and is not settled yet. Connect that printer and send the same key again." +
                     " Nothing was sent now.";
      return answer(RECEIPT_PENDING, j);
    }
    entry = *existing;  // cancelled or failed: nothing fiscalised, a new attempt
    const json before = json::parse(existing->result, nullptr, false);
    if (before.is_object()) earlier = before.value("message", "");
  } else {
    entry.key = doc.key;
    entry.docHash = doc.hash;
    entry.document = doc.canonical;
  }
  entry.printer = printerId;
  FJournal.Accept(entry);
  try {
    return run(printer, doc, entry, earlier);
  } catch (const std::exception& e) {
    // Something failed after the receipt was accepted (the journal, most
    // likely): it may be open on the printer, or even closed. The next call
    // with this key settles it from the printer.
    json j = {{"key", entry.key}, {"printer", entry.printer}, {"attempt", entry.attempt}};
    j["message"] = std::string("The receipt could not be finished (") + e.what() +
                   "). It may be open on the printer, or printed. Make " + FJournal.Path() +
                   " writable if it is not, then send the same key again: the driver first finds out what the "
                   "printer holds.";
    return answer(RECEIPT_PENDING, j);
  }
}

Outcome ReceiptService::run(TFP_ZORVIK& printer, const ReceiptDocument& doc, Entry& entry,
                            const std::string& earlier) {

  std::string change;
  std::int64_t paidCents = 0;
  AnsiStrings subtotal;
  for (const PlannedCommand& c : doc.commands) {
    if (c.purpose == Purpose::Payment && entry.state != State::Paying) FJournal.Reach(entry, State::Paying, "paying");
    // Recorded before the frame goes out: if the answer is lost, this is
    // what tells a closed receipt from one never closed.
    if (c.purpose == Purpose::Close) FJournal.Reach(entry, State::Closing, "closing", {}, /*durable=*/true);
    AnsiStrings out;
    const std::int32_t r = printer.Run(c.row, c.values, out);
    std::string failure;
    if (r != 0) {
      std::string where = c.row;
      if (c.purpose == Purpose::Sale || c.purpose == Purpose::Comment) where = "items[" + std::to_string(c.item) + "]";
      if (c.purpose == Purpose::Payment && c.item >= 0) where = "payments[" + std::to_string(c.item) + "]";
      failure = where + " (" + c.row + ") failed with " + std::to_string(r) + ": " + printerText(printer) + ".";
    } else if (c.purpose == Purpose::Payment && (out[0] == "F" || out[0] == "E")) {
      failure = "The printer refused " +
                (c.item >= 0 ? "payments[" + std::to_string(c.item) + "]" : std::string("the payment")) +
                " (PaidCode " + utf8(out[0]) + ", " + utf8(out[1]) + ").";
    }
    // Only a refusal the printer stated (its status bits) or a field too long
    // for a frame: anything else may have opened the receipt.
    const bool refusedOpen = printer.FLastErrorMessage.find("Some of the status bytes") != AnsiString::npos ||
                             printer.FLastExchangeRefused;
    if (!failure.empty() && c.purpose == Purpose::Open && refusedOpen) {
      // The printer answered and refused the open: nothing of this receipt
      // is on it. Whatever it holds open is not this receipt's to settle.
      FJournal.Record(entry, c.row, failure);
      entry.state = State::Failed;
      json j = describe(entry);
      j["state"] = "failed";
      j["code"] = RECEIPT_FAILED;
      j["message"] = failure +
                     " The receipt was not opened, nothing was fiscalised. If the printer holds another receipt "
                     "open, finish it or cancel it (CMD_60_0_0), then send the same key again.";
      FJournal.Finish(entry, State::Failed, j.dump());
      return {RECEIPT_FAILED, j.dump()};
    }
    if (!failure.empty()) {
      FJournal.Record(entry, c.row, failure);
      const std::int32_t code = settle(printer, entry, failure);
      json j = describe(entry);
      if (code == RECEIPT_PENDING) {
        j["message"] = failure + kPendingAdvice;
        return answer(code, j);
      }
      if (code == RECEIPT_ATTENTION) {
        j["message"] = failure +
                       " The printer holds the receipt open and will not cancel it; the driver could not finish "
                       "it. Check the printer (paper, cover), then send the same key again, or finish the "
                       "receipt by hand (CMD_53_0_0, CMD_56_0_0).";
        return answer(code, j);
      }
      j = json::parse(entry.result, nullptr, false);
      return answer(code, j);
    }
    FJournal.Record(entry, c.row, "0");
    switch (c.purpose) {
      case Purpose::Open: FJournal.SetCounters(entry, out[0], out[1]); break;
      case Purpose::Subtotal: {
        subtotal = out;
        // Payments that fall short of the total would be made up in cash by
        // the close, cash the till never took: refuse while the receipt can
        // still be cancelled.
        std::int64_t given = 0;
        for (const auto& p : doc.payments) given += cents(p.second).value_or(0);
        const auto total = cents(utf8(out[0]));
        if (!doc.payments.empty() && total && given < *total) {
          const std::string shortfall = "The payments (" + formatCents(given) + ") are less than the receipt's total (" +
                                        formatCents(*total) + ").";
          FJournal.Record(entry, c.row, shortfall);
          const std::int32_t code = settle(printer, entry, shortfall);
          if (code == RECEIPT_PENDING || code == RECEIPT_ATTENTION) {
            json j = describe(entry);
            j["message"] = shortfall + (code == RECEIPT_PENDING ? kPendingAdvice : std::string(" The receipt stays open."));
            return answer(code, j);
          }
          return answer(code, json::parse(entry.result, nullptr, false));
        }
        break;
      }
      case Purpose::GroupTotals: FJournal.SetTotals(entry, totalsJson(subtotal, out).dump()); break;
      case Purpose::Payment:
        if (out[0] == "R") change = utf8(out[1]);
        if (c.values.size() == 2) paidCents += cents(c.values[1]).value_or(0);
        break;
      case Purpose::Close:
        entry.recCnt = out[0];
        entry.globRecCnt = out[1];
        break;
      default: break;
    }
  }

  entry.state = State::Printed;
  json j = describe(entry);
  j["state"] = "printed";
  j["code"] = RECEIPT_PRINTED;
  j["reconciled"] = false;
  // The amount paid: what the payments gave, or the total paid in cash.
  if (paidCents > 0) {
    j["paid"] = formatCents(paidCents);
  } else if (j.contains("totals") && j["totals"].is_object()) {
    j["paid"] = j["totals"].value("subtotal", "");
  }
  j["change"] = change.empty() ? "0.00" : change;
  if (!earlier.empty()) j["earlierAttempt"] = earlier;
  AnsiStrings clock;
  if (printer.Run("CMD_62_0_0", {}, clock) == 0) j["printerDateTime"] = utf8(clock[0]);
  entry.state = State::Printed;
  FJournal.Finish(entry, State::Printed, j.dump());
  return {RECEIPT_PRINTED, j.dump()};
}

Outcome ReceiptService::Print(TFP_ZORVIK& printer, const std::string& printerId, const std::string& document,
                              std::uint16_t codePage) {
  ParseResult parsed = ParseReceipt(document, codePage);
  if (!parsed.ok()) {
    json errors = json::array();
    for (const auto& e : parsed.errors) errors.push_back({{"path", e.path}, {"value", e.value}, {"rule", e.rule}});
    json j = {{"message", "The document was refused; nothing was sent to the printer."}, {"errors", errors}};
    if (!parsed.document.key.empty()) j["key"] = parsed.document.key;
    return answer(RECEIPT_BAD_DOCUMENT, j);
  }
  const std::string key = parsed.document.key;
  {
    // A second call with a key that is running waits for the first.
    std::unique_lock<std::mutex> guard(FLock);
    FDone.wait(guard, [&] { return FRunning.count(key) == 0; });
    FRunning.insert(key);
  }
  struct Release {
    ReceiptService& s;
    const std::string& key;
    ~Release() {
      {
        std::lock_guard<std::mutex> guard(s.FLock);
        s.FRunning.erase(key);
      }
      s.FDone.notify_all();
    }
  } release {*this, key};

  try {
    // The whole receipt holds the printer: nothing of another call goes in
    // between its frames.
    // One receipt at a time per printer, also across printer objects (two
    // objects may reach one TCP printer), and nothing of another call between
    // its frames.
    std::lock_guard<std::recursive_mutex> onePrinter(printerLock(printerId));
    std::lock_guard<std::recursive_mutex> exclusive(printer.ExchangeLock());
    std::string unsettled;
    const std::int32_t earlier = reconcile(printer, printerId, &unsettled, key);
    if (earlier == RECEIPT_PENDING) {
      json j = {{"key", key},
                {"message", "The receipt " + unsettled + " on this printer is not settled, and the printer does not "
                            "answer." + std::string(kPendingAdvice)}};
      return answer(RECEIPT_PENDING, j);
    }
    if (earlier == RECEIPT_ATTENTION) {
      json j = {{"key", key},
                {"message", "The printer holds the receipt " + unsettled +
                                " open and the driver cannot finish it; no new receipt starts until it is settled. "
                                "Check the printer (paper, cover), then send a key again, or finish that receipt "
                                "by hand (CMD_53_0_0, CMD_56_0_0). Nothing was sent for this one."}};
      return answer(RECEIPT_ATTENTION, j);
    }
    return print(printer, printerId, parsed.document);
  } catch (const std::runtime_error& e) {
    // The journal raises these: a receipt is never printed unrecorded.
    json j = {{"key", key},
              {"message", std::string("The receipt journal cannot be written (") + e.what() +
                              "). Nothing is sent to a printer without it; check the disk and " + FJournal.Path() +
                              "."}};
    return answer(RECEIPT_JOURNAL, j);
  } catch (const std::exception& e) {
    json j = {{"key", key},
              {"message", std::string("The receipt could not be handled (") + e.what() +
                              "). If it reached the printer, the same key sent again finds out what became of it."}};
    return answer(RECEIPT_FAILED, j);
  }
}

Outcome ReceiptService::Get(const std::string& key) {
  try {
    const auto e = FJournal.Find(key);
    if (!e) return answer(RECEIPT_NOT_FOUND, {{"key", key}, {"message", "The journal holds no receipt under this key."}});
    if (journal::IsFinal(e->state)) {
      json j = json::parse(e->result, nullptr, false);
      if (!j.is_object()) j = describe(*e);
      return answer(codeOf(e->state), j);
    }
    json j = describe(*e);
    j["message"] = "The receipt is not settled yet: the driver finds out what the printer holds when that printer "
                   "is next connected or sent a receipt.";
    return answer(RECEIPT_PENDING, j);
  } catch (const std::exception& ex) {
    return answer(RECEIPT_JOURNAL, {{"key", key}, {"message", std::string("The journal cannot be read: ") + ex.what()}});
  }
}

std::string ReceiptService::Day(const std::string& day) {
  json list = json::array();
  for (const Entry& e : FJournal.Day(day)) {
    json j = journal::IsFinal(e.state) ? json::parse(e.result, nullptr, false) : describe(e);
    if (!j.is_object()) j = describe(e);
    j["state"] = journal::IsFinal(e.state) ? stateWord(codeOf(e.state)) : "pending";
    j["journalState"] = journal::StateName(e.state);
    list.push_back(j);
  }
  return json({{"day", day}, {"receipts", list}}).dump();
}

}  // namespace orbantis::receipts
