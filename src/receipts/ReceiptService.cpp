#include "receipts/ReceiptService.h"

#include <nlohmann/json.hpp>
#include <optional>

#include "foundation/CodePage.h"
#include "printer_model/Checks.h"
#include "printer_model/StatusBits.h"
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

const char* stateWord(std::int32_t code) {
  switch (code) {
    case RECEIPT_PRINTED: return "printed";
    case RECEIPT_BAD_DOCUMENT: return "refused";
    case RECEIPT_KEY_REUSED: return "refused";
    case RECEIPT_CANCELLED: return "cancelled";
    case RECEIPT_FAILED: return "failed";
    case RECEIPT_PENDING: return "pending";
    case RECEIPT_ATTENTION: return "attention";
    case RECEIPT_JOURNAL: return "unknown";
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
    case State::Attention: return RECEIPT_ATTENTION;
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
//
// Settling decides only by what the printer's reads prove, held against what
// the journal recorded the printer acknowledged (docs/receipts.md has the
// decision table). The counter semantics relied on: CMD_110_0's Receipt is
// the number of fiscal receipts ever closed, raised by one at each close and
// by nothing else (a Z report does not reset it); the open's GlobRecCnt is
// that number plus one; the printer holds one receipt open at a time; an open
// receipt that took a payment can only be closed, never cancelled; CMD_76_0_0
// gives the open receipt's sales lines, its amount and what was tendered.

namespace {

// CMD_76_0_0: the printer's open fiscal receipt, if any.
struct OpenReceiptSeen {
  bool open = false;
  std::int64_t sales = 0;
  std::int64_t amount = 0;  // hundredths
  std::int64_t tender = 0;  // hundredths
};

// What this key's receipt holds on the printer after its first k planned
// commands: the sales lines, their amount and what was tendered.
struct Shape {
  std::int64_t sales = 0;
  std::optional<std::int64_t> amount = 0;  // none once a line's amount is the printer's own
  std::int64_t tender = 0;
  bool known = true;  // false when what was tendered cannot be worked out
};

// a × b / c rounded to the nearest, halves away from zero: how the printer
// rounds a line's amount and its percentage to the cent.
__extension__ using Wide = __int128;  // a price times a quantity overflows 64 bits before the division
std::int64_t mulDivRound(std::int64_t a, std::int64_t b, std::int64_t c) {
  const Wide product = static_cast<Wide>(a) * b;
  const Wide magnitude = product < 0 ? -product : product;
  const Wide q = (magnitude + c / 2) / c;
  return static_cast<std::int64_t>(product < 0 ? -q : q);
}

// The amount a sale line of the document adds to the receipt, in hundredths:
// price × quantity to the cent, then its percentage (to the cent) or its
// sum off. A line of a programmed item has its price in the printer: none.
std::optional<std::int64_t> lineAmount(const json& item) {
  if (!item.is_object() || item.contains("plu") || !item.contains("price")) return std::nullopt;
  const auto price = cmd::ParseCurrency(item.value("price", ""));                 // ten-thousandths
  const auto quantity = cmd::ParseCurrency(item.value("quantity", std::string("1")));  // ten-thousandths
  if (!price || !quantity) return std::nullopt;
  const std::int64_t amount = mulDivRound(*price, *quantity, 1000000);
  if (item.contains("discountPercent")) {
    const auto percent = cmd::ParseCurrency(item.value("discountPercent", ""));
    if (!percent) return std::nullopt;
    return amount - mulDivRound(amount, *percent, 1000000);
  }
  if (item.contains("discountAmount")) {
    const auto off = cents(item.value("discountAmount", ""));
    if (!off) return std::nullopt;
    return amount - *off;
  }
  return amount;
}

std::string plural(std::int64_t n, const char* one) {
  return std::to_string(n) + " " + one + (n == 1 ? "" : "s");
}

}  // namespace

// The planned commands of the entry's document (the same plan its run sent).
static std::vector<PlannedCommand> planOf(const Entry& entry) {
  for (const std::uint16_t codePage : {std::uint16_t{1252}, std::uint16_t{1251}}) {
    ParseResult parsed = ParseReceipt(entry.document, codePage);
    if (parsed.ok()) return parsed.document.commands;
  }
  return {};
}

static std::optional<std::int64_t> totalOf(const Entry& entry) {
  const json totals = json::parse(entry.totals, nullptr, false);
  if (!totals.is_object() || !totals.contains("subtotal") || !totals["subtotal"].is_string()) return std::nullopt;
  return cents(totals["subtotal"].get<std::string>());
}

// twice: the index of a command carried out twice (a printer that restarted
// and took a repeat as new), or -1.
static Shape shapeOf(const std::vector<PlannedCommand>& plan, const json& items, int k,
                     std::optional<std::int64_t> total, int twice = -1) {
  Shape shape;
  std::vector<int> done;
  for (int i = 0; i < k && i < static_cast<int>(plan.size()); ++i) {
    done.push_back(i);
    if (i == twice) done.push_back(i);
  }
  for (const int i : done) {
    const PlannedCommand& c = plan[static_cast<std::size_t>(i)];
    if (c.purpose == Purpose::Sale) {
      ++shape.sales;
      const auto line = items.is_array() && c.item >= 0 && static_cast<std::size_t>(c.item) < items.size()
                            ? lineAmount(items[static_cast<std::size_t>(c.item)])
                            : std::nullopt;
      shape.amount = shape.amount && line ? std::optional<std::int64_t>(*shape.amount + *line) : std::nullopt;
    }
    if (c.purpose != Purpose::Payment) continue;
    if (c.values.size() == 2) {
      shape.tender += cents(c.values[1]).value_or(0);
    } else if (total) {
      shape.tender = std::max(shape.tender, *total);  // the exact total in cash
    } else {
      shape.known = false;
    }
  }
  return shape;
}

// A read whose values came back. Status bits that say a command was not
// done do not make a read's values wrong (a clock not set, paper near its
// end), so a read answered with its values is taken whatever bits came with
// it; one the printer did not answer, or answered without values, is not.
static bool readRow(TFP_ZORVIK& printer, const char* row, const AnsiStrings& in, AnsiStrings& out) {
  auto& c = *printer.SERIAL_CONNECTION;
  const bool always = c.ALWAYS_GET_OUTPUT;
  c.ALWAYS_GET_OUTPUT = true;
  const std::int32_t r = printer.Run(row, in, out);
  c.ALWAYS_GET_OUTPUT = always;
  if (r == 0) return true;
  if (printer.FLastExchange != ExchangeOutcome::RefusedByStatus || out.empty()) return false;
  for (const auto& v : out)
    if (v.empty()) return false;
  return true;
}

std::int32_t ReceiptService::settle(TFP_ZORVIK& printer, Entry& entry, const std::string& cause,
                                    std::string& message) {
  auto pending = [&](const std::string& what) {
    FJournal.Record(entry, "unsettled", what);
    message = cause + kPendingAdvice;
    return RECEIPT_PENDING;
  };
  // Not settled, and the printer is left as it is: a person must act first.
  auto attention = [&](const std::string& text) {
    FJournal.Record(entry, "attention", text);
    message = text;
    return RECEIPT_ATTENTION;
  };
  auto finish = [&](State state, std::int32_t code, const std::string& text, json extra = {}) {
    entry.state = state;
    json j = describe(entry);
    if (extra.is_object()) j.update(extra);
    j["state"] = stateWord(code);
    j["code"] = code;
    j["reconciled"] = true;
    j["message"] = text;
    FJournal.Finish(entry, state, j.dump());
    message = text;
    return code;
  };

  const std::vector<PlannedCommand> plan = planOf(entry);
  const json document = json::parse(entry.document, nullptr, false);
  const json items = document.is_object() && document.contains("items") ? document["items"] : json();
  auto shapeAfter = [&](const std::vector<PlannedCommand>& p, int k, std::optional<std::int64_t> total,
                        int twice = -1) { return shapeOf(p, items, k, total, twice); };
  if (plan.empty()) return finish(State::Attention, RECEIPT_ATTENTION, "The journal's document of " + entry.key +
                                  " cannot be read back, so what the printer holds cannot be matched with it. Look "
                                  "at the printer's paper roll before ringing this sale again.");
  const int planned = static_cast<int>(plan.size());
  std::string described;  // what the key's receipt held on the printer, for the texts
  // What the whole receipt holds, for a person comparing it with the paper.
  const Shape all = shapeAfter(plan, planned, std::nullopt);
  std::string whole = plural(all.sales, "sale");
  if (const auto total = totalOf(entry)) whole += ", total " + formatCents(*total);
  else if (all.amount) whole += ", total " + formatCents(*all.amount);

  // Nothing open: the counters tell whether this receipt was fiscalised.
  // anotherOpen: the printer holds a receipt that is not this one.
  auto closedVerdict = [&](bool anotherOpen, const std::string& openText) -> std::int32_t {
    AnsiStrings day;
    if (!readRow(printer, "CMD_110_0", {}, day)) return pending("day totals (CMD_110_0): " + printerText(printer));
    FJournal.Record(entry, "CMD_110_0", utf8(day[9]));
    const auto counter = cmd::ParseInteger(day[9]);
    if (!counter) return pending("unreadable receipt counter " + utf8(day[9]));
    const auto number = cmd::ParseInteger(entry.globRecCnt);
    const std::string leaveIt =
        anotherOpen ? " The printer holds " + openText + ", which is not " + entry.key +
                          "; it was left as it is. Finish or cancel it where it was rung, then send " + entry.key +
                          " again."
                    : std::string();
    if (!number) {
      // The open never answered, so nothing of this receipt was sold: had the
      // printer opened it, it holds none of the document's lines.
      if (anotherOpen && entry.state == State::Accepted)
        return finish(State::Failed, RECEIPT_FAILED,
                      cause + " The printer holds another receipt open (" + openText +
                          "; not this one, which was never opened); it was left as it is: finish it or cancel it "
                          "(CMD_60_0_0), then send the same key again." + kAgainAdvice);
      if (entry.state == State::Cancelling)
        return finish(State::Cancelled, RECEIPT_CANCELLED,
                      cause + " The receipt was cancelled." + leaveIt + kAgainAdvice);
      return finish(State::Failed, RECEIPT_FAILED,
                    cause + " The receipt was not opened, nothing was fiscalised." + leaveIt + kAgainAdvice);
    }
    if (*counter < *number - 1)
      return finish(State::Attention, RECEIPT_ATTENTION,
                    cause + " The printer counts " + utf8(day[9]) + " fiscal receipts, fewer than the " +
                        std::to_string(*number - 1) + " it had when " + entry.key +
                        " was opened: it is another printer, or its memory was reset. The driver does not guess: "
                        "look at the paper roll for " + entry.key + " before ringing this sale again." + leaveIt);
    if (*counter == *number - 1) {
      // No receipt closed since this one was opened.
      if (anotherOpen)
        return attention(cause + " " + entry.key + " is no longer open as it was sent (it had " + described +
                         "), and no receipt was closed since it was opened." + leaveIt);
      if (entry.paymentTaken)
        return finish(State::Attention, RECEIPT_ATTENTION,
                      cause + " The printer took a payment of " + entry.key +
                          " but holds no receipt open and closed none since: it does not behave as the driver "
                          "relies on. Look at the paper roll for " + entry.key + " before ringing this sale again.");
      return finish(State::Cancelled, RECEIPT_CANCELLED,
                    cause + " The receipt is no longer open and the printer closed no receipt since it was opened: "
                            "it was cancelled." + kAgainAdvice);
    }
    // A receipt closed after this one was opened, and while this one was
    // open nothing else could close: receipt number `number` is this one if
    // it was closed, another program's if this one was cancelled first. A
    // payment the printer took rules out the cancel.
    if (entry.paymentTaken) {
      if (entry.globRecCnt.empty()) entry.globRecCnt = std::to_string(*number);
      json extra = json::object();
      std::int64_t paid = 0;
      for (const PlannedCommand& c : plan)
        if (c.purpose == Purpose::Payment && c.values.size() == 2) paid += cents(c.values[1]).value_or(0);
      const json totals = json::parse(entry.totals, nullptr, false);
      if (paid > 0) extra["paid"] = formatCents(paid);
      else if (totals.is_object() && totals.contains("subtotal")) extra["paid"] = totals["subtotal"];
      return finish(State::Printed, RECEIPT_PRINTED,
                    cause + " The printer had fiscalised the receipt; its answer was lost on the way back." + leaveIt,
                    extra);
    }
    return finish(State::Attention, RECEIPT_ATTENTION,
                  cause + " Receipt " + std::to_string(*number) + " was closed on the printer after " + entry.key +
                      " was opened, but the printer never confirmed a payment of " + entry.key +
                      ", so its reads cannot tell whether receipt " + std::to_string(*number) + " is " + entry.key +
                      " or another program's receipt after " + entry.key +
                      " was cancelled. Look at receipt " + std::to_string(*number) + " on the paper roll: if it "
                      "holds " + whole + ", " + entry.key + " is printed; if not, it was not fiscalised and may "
                      "be rung again under a new key." + leaveIt,
                  {{"receiptToCheck", std::to_string(*number)}});
  };

  // Each round reads what the printer holds and takes one step; a step the
  // printer answered with status bits that may not mean "not done" is never
  // repeated blindly: the next round reads again.
  for (int round = 0; round < 4; ++round) {
    AnsiStrings status;
    if (!readRow(printer, "CMD_76_0_0", {""}, status))
      return pending("fiscal transaction status (CMD_76_0_0): " + printerText(printer));
    FJournal.Record(entry, "CMD_76_0_0", utf8(status[0] + "," + status[1] + "," + status[2] + "," + status[3]));
    OpenReceiptSeen seen;
    seen.open = status[0] == "1";
    const auto sales = cmd::ParseInteger(status[1]);
    const auto amount = cents(utf8(status[2]));
    const auto tender = cents(utf8(status[3]));
    if (!sales || !amount || !tender) return pending("unreadable answer " + utf8(status[1] + "," + status[2] + "," + status[3]));
    seen.sales = *sales;
    seen.amount = *amount;
    seen.tender = *tender;

    // Which of its planned commands the printer may have carried out: those
    // it acknowledged, and perhaps the one in flight.
    const auto total = totalOf(entry);
    const int subtotalAt = [&] {
      for (int i = 0; i < planned; ++i)
        if (plan[static_cast<std::size_t>(i)].purpose == Purpose::Subtotal) return i;
      return planned;
    }();
    const int done = std::min(entry.done, planned);
    const Shape acknowledged = shapeAfter(plan, done, total);
    described = plural(acknowledged.sales, "sale");
    if (total && done > subtotalAt) described += ", " + formatCents(*total);
    if (acknowledged.tender > 0) described += ", " + formatCents(acknowledged.tender) + " paid";
    const std::string openText = "an open receipt of " + plural(seen.sales, "sale") + ", " +
                                 formatCents(seen.amount) +
                                 (seen.tender > 0 ? ", " + formatCents(seen.tender) + " paid" : std::string());
    if (!seen.open) return closedVerdict(false, openText);

    std::optional<int> matched;
    bool doubled = false;  // the command in flight was carried out twice
    if (done == 0 || entry.globRecCnt.empty()) {
      // The open never answered: an empty receipt is the only one it can be.
      // Another program's receipt opened in the same moment and still empty
      // looks the same; cancelling it takes no one's sale (docs/receipts.md).
      if (seen.sales == 0 && seen.amount == 0 && seen.tender == 0) matched = 0;
    } else {
      // The commands acknowledged, perhaps the one in flight, or the one in
      // flight twice: a printer that restarted between a frame and its
      // repeat takes the repeat as new.
      const std::pair<int, int> candidates[] = {{done, -1}, {done + 1, -1}, {done + 1, done}};
      for (const auto& [k, twice] : candidates) {
        if (matched || k > planned - 1) continue;
        // Only a sale or a payment shows twice in what the printer reports.
        if (twice >= 0 && plan[static_cast<std::size_t>(twice)].purpose != Purpose::Sale &&
            plan[static_cast<std::size_t>(twice)].purpose != Purpose::Payment)
          continue;
        const Shape shape = shapeAfter(plan, k, total, twice);
        if (!shape.known || shape.sales != seen.sales || shape.tender != seen.tender) continue;
        // The amount to the cent: once the subtotal answered, its total;
        // before, the lines' amounts where the document gives their prices.
        if (total && k > subtotalAt && seen.amount != *total) continue;
        if (!(total && k > subtotalAt) && shape.amount && seen.amount != *shape.amount) continue;
        matched = k;
        doubled = twice >= 0;
      }
    }
    if (!matched) return closedVerdict(true, openText);
    if (const auto number = cmd::ParseInteger(entry.globRecCnt)) {
      // While this receipt is open nothing else can close; a receipt closed
      // since its open means this one left the printer, and the open receipt
      // that looks like it is another's, rung to the same sums.
      AnsiStrings day;
      if (!readRow(printer, "CMD_110_0", {}, day)) return pending("day totals (CMD_110_0): " + printerText(printer));
      const auto counter = cmd::ParseInteger(day[9]);
      if (!counter) return pending("unreadable receipt counter " + utf8(day[9]));
      if (*counter != *number - 1) return closedVerdict(true, openText);
    }

    // The open receipt is this one. Before its first payment it is cancelled;
    // once paid in part it is finished as the document says.
    const bool paid = seen.tender > 0;
    AnsiStrings voidInfo;
    if (!paid) {
      if (!readRow(printer, "CMD_103_0_0", {}, voidInfo)) return pending("void read (CMD_103_0_0): " + printerText(printer));
      if (voidInfo[0] != "1")
        return attention(cause + " The printer holds " + entry.key + " open (" + openText +
                         ") and will not cancel it; the driver could not finish it. Check the printer (paper, "
                         "cover), then send the same key again, or finish the receipt by hand (CMD_53_0_0, "
                         "CMD_56_0_0).");
      FJournal.Reach(entry, State::Cancelling, "cancelling", cause, /*durable=*/true);
      AnsiStrings none;
      if (printer.Run("CMD_60_0_0", {}, none) == 0)
        return finish(State::Cancelled, RECEIPT_CANCELLED,
                      cause + " The printer held the receipt open; it was cancelled." +
                          (doubled ? " It held " + plan[static_cast<std::size_t>(done)].row +
                                         " twice: the printer restarted and carried a repeat out again."
                                   : std::string()) +
                          kAgainAdvice);
      if (printer.FLastExchange == ExchangeOutcome::NoAnswer) return pending("cancel: " + printerText(printer));
      if (printer.FLastExchange != ExchangeOutcome::RefusedByStatus)
        return attention(cause + " The cancel could not be sent: " + printerText(printer));
      continue;  // refused, or done with a warning bit: read again
    }

    if (doubled) {
      // The tender it shows proves a payment taken: once a person finishes
      // the receipt, the counter says it was this one.
      entry.paymentTaken = true;
      FJournal.Reach(entry, State::Paying, "paid twice", openText, /*durable=*/true);
      return attention(cause + " The printer took " + plan[static_cast<std::size_t>(done)].row + " of " + entry.key +
                       " twice (it restarted and carried a repeat out again), and holds the receipt open (" +
                       openText + "), which it no longer cancels. Finish it by hand as the customer paid "
                       "(CMD_53_0_0, CMD_56_0_0), then send the same key again.");
    }
    // Payments are under way: the printer no longer cancels. Run what the
    // plan still holds after the matched commands: its payments, the close.
    // The tender it showed on this receipt proves a payment taken.
    entry.done = *matched;
    entry.paymentTaken = true;
    FJournal.Reach(entry, State::Paying, "completing", cause, /*durable=*/true);
    if (entry.totals.empty()) {
      AnsiStrings sub, sums;
      if (printer.Run("CMD_51_0_0", {"0", "0"}, sub) == 0 && printer.Run("CMD_103_0_0", {}, sums) == 0)
        FJournal.SetTotals(entry, totalsJson(sub, sums).dump());
    }
    std::string change;
    bool again = false;
    for (int i = *matched; i < planned && !again; ++i) {
      const PlannedCommand& c = plan[static_cast<std::size_t>(i)];
      if (c.purpose != Purpose::Payment && c.purpose != Purpose::Close) {
        FJournal.Acknowledge(entry, c.row, "not needed to finish");
        continue;
      }
      if (c.purpose == Purpose::Close) FJournal.Reach(entry, State::Closing, "closing", {}, /*durable=*/true);
      AnsiStrings out;
      const std::int32_t r = printer.Run(c.row, c.values, out);
      if (r != 0) {
        if (printer.FLastExchange == ExchangeOutcome::NoAnswer)
          return pending((c.purpose == Purpose::Close ? "close: " : "payment: ") + printerText(printer));
        if (printer.FLastExchange == ExchangeOutcome::NotSent)
          return attention(cause + " " + c.row + " could not be sent: " + printerText(printer));
        again = true;  // refused, or answered unreadably: read again what the printer holds
        continue;
      }
      if (c.purpose == Purpose::Payment && printer.FLastAnsweredOnRepeat) {
        // Taken once, or twice by a printer that restarted before the repeat:
        // what it holds tells.
        again = true;
        continue;
      }
      if (c.purpose == Purpose::Payment) {
        // Only D (more to pay) and R (paid, change) say the payment was taken.
        if (out[0] != "D" && out[0] != "R")
          return attention(cause + " The printer did not take the payment (PaidCode " + utf8(out[0]) + ", " +
                           utf8(out[1]) + ") of " + entry.key + ", which it holds open (" + openText +
                           "). Finish it by hand (CMD_53_0_0, CMD_56_0_0), then send the same key again.");
        if (out[0] == "R") change = utf8(out[1]);
        FJournal.Acknowledge(entry, c.row, utf8(out[0] + out[1]), /*paymentTaken=*/true);
        continue;
      }
      entry.recCnt = out[0];
      entry.globRecCnt = out[1];
      json extra = json::object();
      const Shape paidAll = shapeAfter(plan, planned, totalOf(entry));
      if (paidAll.tender > 0) extra["paid"] = formatCents(paidAll.tender);
      if (!change.empty()) extra["change"] = change;
      return finish(State::Printed, RECEIPT_PRINTED,
                    cause + " The printer held the receipt open with its payments under way; the driver paid what "
                            "the document still owed and closed it.",
                    extra);
    }
  }
  return attention(cause + " What the printer holds kept changing while the driver read it; it was left as it is. "
                           "Check the printer, then send " + entry.key + " again.");
}

PrinterLock& ReceiptService::printerLock(const std::string& printerId) {
  std::lock_guard<std::mutex> guard(FLock);
  auto& lock = FPrinterLocks[printerId];
  if (!lock) lock = std::make_unique<PrinterLock>(PrinterLockPath(FJournal.Path(), printerId));
  return *lock;
}

std::int32_t ReceiptService::reconcile(TFP_ZORVIK& printer, const std::string& printerId, std::string* key,
                                       std::string* message) {
  std::lock_guard<std::recursive_mutex> exclusive(printer.ExchangeLock());
  for (Entry& e : FJournal.Unfinished(printerId)) {
    // A receipt being printed holds its printer's lock, which this call
    // holds now: every unfinished one here waits, and is settled in order.
    std::string said;
    const std::int32_t code =
        settle(printer, e, "The receipt was left unfinished (the link or the driver went down).", said);
    // A receipt the printer may still hold open comes before any new one.
    if (!journal::IsFinal(e.state)) {
      if (key != nullptr) *key = e.key;
      if (message != nullptr) *message = said;
      return code;
    }
  }
  return RECEIPT_PRINTED;
}

bool ReceiptService::Reconcile(TFP_ZORVIK& printer, const std::string& printerId) {
  std::lock_guard<PrinterLock> onePrinter(printerLock(printerId));
  return reconcile(printer, printerId, nullptr) == RECEIPT_PRINTED;
}

std::int32_t ReceiptService::ClearForOpening(TFP_ZORVIK& printer, const std::string& printerId,
                                             std::string& message) {
  try {
    FJournal.CheckFile();
    if (printerId.empty()) {
      // Whose receipts this printer holds is known by its serial number.
      if (!FJournal.Unfinished().empty()) {
        message = "The printer did not tell its serial number when it was connected, so whether it holds a whole "
                  "receipt that is not settled cannot be told, and the journal holds such receipts. Connect again "
                  "(check the link) so the driver can settle them first. Nothing was sent.";
        return RECEIPT_PENDING;
      }
      return RECEIPT_PRINTED;
    }
    // Most calls find nothing unfinished and cost one read of the journal.
    if (FJournal.Unfinished(printerId).empty()) return RECEIPT_PRINTED;
    std::lock_guard<PrinterLock> onePrinter(printerLock(printerId));
    std::string key, said;
    const std::int32_t code = reconcile(printer, printerId, &key, &said);
    if (code == RECEIPT_PRINTED) return code;
    message = "The whole receipt " + key + " on this printer is not settled, so no receipt may be opened before "
              "it is: " + said + " Nothing was sent.";
    return code;
  } catch (const std::exception& e) {
    message = std::string("The receipt journal cannot be used (") + e.what() +
              "), so whether a whole receipt on this printer is unfinished cannot be looked up; no receipt is "
              "opened without it. Mend the journal (" + FJournal.Path() + "), then try again. Nothing was sent.";
    return RECEIPT_JOURNAL;
  }
}

// ---------------------------------------------------------------- printing

Outcome ReceiptService::print(TFP_ZORVIK& printer, const std::string& printerId, const ReceiptDocument& doc,
                              Stage& stage, bool settledNow) {
  Entry entry;
  std::string earlier;  // what became of the attempt before this one
  stage = Stage::LookingUp;
  if (auto existing = FJournal.Find(doc.key)) {
    if (existing->document != doc.canonical) {
      json j = {{"key", doc.key},
                {"message", "The key " + doc.key +
                                " was used for another document. A key names one receipt: give this document a "
                                "key of its own. Nothing was sent to the printer."}};
      return answer(RECEIPT_KEY_REUSED, j);
    }
    if (existing->state == State::Printed || existing->state == State::Attention) {
      // Printed, or settled as one a person must look up on the paper roll:
      // either way it is never rung again under this key. Settled by this
      // very call, it is no repeat of an earlier answer.
      json j = json::parse(existing->result, nullptr, false);
      if (!j.is_object()) j = describe(*existing);
      j["repeated"] = !settledNow;
      return answer(codeOf(existing->state), j);
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
  stage = Stage::Accepting;
  try {
    FJournal.Accept(entry);
  } catch (const journal::KeyTaken&) {
    // Another program took this key for its printer between our look-up and
    // now: answer what it holds, never a second receipt.
    stage = Stage::LookingUp;
    const auto taken = FJournal.Find(doc.key);
    if (!taken) throw;
    json j = journal::IsFinal(taken->state) ? json::parse(taken->result, nullptr, false) : describe(*taken);
    if (!j.is_object()) j = describe(*taken);
    if (!journal::IsFinal(taken->state))
      j["message"] = "The receipt under this key was sent to printer " + taken->printer +
                     " by another program at the same moment and is not settled yet; send the same key again "
                     "later. Nothing was sent now.";
    j["repeated"] = true;
    return answer(journal::IsFinal(taken->state) ? codeOf(taken->state) : RECEIPT_PENDING, j);
  }
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
  // A failure's outcome: the printer is asked what it holds, and only what
  // its reads prove is done.
  auto settled = [&](const std::string& failure) -> Outcome {
    std::string message;
    const std::int32_t code = settle(printer, entry, failure, message);
    if (journal::IsFinal(entry.state)) return answer(code, json::parse(entry.result, nullptr, false));
    json j = describe(entry);
    j["message"] = message;
    return answer(code, j);
  };

  std::string change;
  std::int64_t paidCents = 0;
  AnsiStrings subtotal;
  const json items = json::parse(doc.canonical, nullptr, false).value("items", json::array());
  for (std::size_t at = 0; at < doc.commands.size(); ++at) {
    const PlannedCommand& c = doc.commands[at];
    if (c.purpose == Purpose::Payment && entry.state != State::Paying) FJournal.Reach(entry, State::Paying, "paying");
    // Recorded before the frame goes out, so the journal's history says the
    // close was sent whatever happens to its answer.
    if (c.purpose == Purpose::Close) FJournal.Reach(entry, State::Closing, "closing", {}, /*durable=*/true);
    AnsiStrings out;
    const std::int32_t r = printer.Run(c.row, c.values, out);
    const ExchangeOutcome outcome = printer.FLastExchange;
    std::string failure;
    if (r != 0) {
      std::string where = c.row;
      if (c.purpose == Purpose::Sale || c.purpose == Purpose::Comment) where = "items[" + std::to_string(c.item) + "]";
      if (c.purpose == Purpose::Payment && c.item >= 0) where = "payments[" + std::to_string(c.item) + "]";
      failure = where + " (" + c.row + ") failed with " + std::to_string(r) + ": " + printerText(printer) + ".";
    } else if (c.purpose == Purpose::Payment && out[0] != "D" && out[0] != "R") {
      // Only D (more to pay) and R (paid, change) say the printer took it.
      const std::string which =
          c.item >= 0 ? "payments[" + std::to_string(c.item) + "]" : std::string("the payment");
      failure = (out[0] == "F" || out[0] == "E" ? "The printer refused " : "The printer did not take ") + which +
                " (PaidCode " + utf8(out[0]) + ", " + utf8(out[1]) + ").";
    }
    // An answer that came to a repeated frame proves less: a printer that
    // restarted between the frame and its repeat carried the repeat out as
    // new, so a refusal may follow the command done once, and a sale or a
    // payment may have been done twice. What the printer holds tells.
    const bool repeated = printer.FLastAnsweredOnRepeat;
    if (failure.empty() && repeated && (c.purpose == Purpose::Sale || c.purpose == Purpose::Payment)) {
      AnsiStrings status;
      const Shape once = shapeOf(doc.commands, items, static_cast<int>(at) + 1,
                                 subtotal.empty() ? std::nullopt : cents(utf8(subtotal[0])));
      if (!readRow(printer, "CMD_76_0_0", {""}, status) || cmd::ParseInteger(status[1]) != once.sales ||
          cents(utf8(status[3])) != once.tender || (once.amount && cents(utf8(status[2])) != *once.amount))
        failure = c.row + " was answered only on its repeat, and the printer may have carried it out twice.";
    }
    bool notDone = outcome == ExchangeOutcome::NotSent;
    if (outcome == ExchangeOutcome::RefusedByStatus && !repeated)
      for (const StatusBitId& b : NotDoneStatusBits())
        notDone = notDone || (printer.StatusByte(b.byte) & (1u << b.bit)) != 0;
    if (!failure.empty() && c.purpose == Purpose::Open && notDone) {
      // Refused before it went out (a field too long for a frame), or turned
      // down with a bit that says it was not carried out (a receipt open
      // already): nothing of this receipt is on the printer, and whatever it
      // holds open is not this receipt's to settle.
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
      // Whatever the status bits said, the printer's own reads tell what it
      // did: an open refused with a bit that does not mean "not done" may
      // have opened the receipt all the same.
      FJournal.Record(entry, c.row, failure);
      return settled(failure);
    }
    switch (c.purpose) {
      case Purpose::Open:
        ++entry.done;
        FJournal.SetCounters(entry, out[0], out[1]);
        break;
      case Purpose::Subtotal: {
        FJournal.Acknowledge(entry, c.row, "0");
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
          const Outcome o = settled(shortfall);
          if (o.code != RECEIPT_ATTENTION || journal::IsFinal(entry.state)) return o;
          json j = json::parse(o.json);
          j["message"] = shortfall + " The receipt stays open.";
          return answer(o.code, j);
        }
        break;
      }
      case Purpose::GroupTotals:
        FJournal.Acknowledge(entry, c.row, "0");
        FJournal.SetTotals(entry, totalsJson(subtotal, out).dump());
        break;
      case Purpose::Payment:
        FJournal.Acknowledge(entry, c.row, utf8(out[0] + out[1]), /*paymentTaken=*/true);
        if (out[0] == "R") change = utf8(out[1]);
        if (c.values.size() == 2) paidCents += cents(c.values[1]).value_or(0);
        break;
      case Purpose::Close:
        ++entry.done;
        entry.recCnt = out[0];
        entry.globRecCnt = out[1];
        break;
      default: FJournal.Acknowledge(entry, c.row, "0"); break;
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

  // How far the call came when the journal failed decides what the till is
  // told: before the key was looked up nothing is known of it, while an
  // earlier receipt was being settled one may be open on the printer, and
  // only a new receipt that could not be recorded was surely not sent.
  Stage stage = Stage::Checking;
  try {
    FJournal.CheckFile();
    // One receipt at a time per printer, also across printer objects (two
    // objects may reach one TCP printer) and across the programs that share
    // the journal, and nothing of another call between its frames.
    std::lock_guard<PrinterLock> onePrinter(printerLock(printerId));
    std::lock_guard<std::recursive_mutex> exclusive(printer.ExchangeLock());
    std::string unsettled, said;
    stage = Stage::LookingUp;
    const auto before = FJournal.Find(key);
    stage = Stage::Settling;
    const std::int32_t earlier = reconcile(printer, printerId, &unsettled, &said);
    if (earlier == RECEIPT_PENDING || earlier == RECEIPT_ATTENTION) {
      // A receipt the printer may still hold comes first: nothing of this
      // one is sent while it is not settled.
      json j = {{"key", key}};
      if (unsettled == key) {
        if (auto e = FJournal.Find(key)) j = describe(*e);
        j["message"] = said;
      } else {
        j["message"] = "The receipt " + unsettled + " on this printer is not settled, so no new receipt starts: " +
                       said + " Nothing was sent for " + key + ".";
      }
      return answer(earlier, j);
    }
    return print(printer, printerId, parsed.document, stage, before && !journal::IsFinal(before->state));
  } catch (const std::exception& e) {
    json j = {{"key", key}};
    const std::string why = e.what();
    switch (stage) {
      case Stage::Checking:
      case Stage::LookingUp:
        j["state"] = "unknown";
        j["message"] = "The receipt journal cannot be used (" + why +
                       "), so whether a receipt under this key was printed before cannot be looked up, and nothing "
                       "is sent to a printer without the journal. Do not ring this sale again under a new key: "
                       "mend the journal (" + FJournal.Path() + ", the disk), then send the same key again.";
        return answer(RECEIPT_JOURNAL, j);
      case Stage::Settling:
        j["message"] = "The receipt journal cannot be read or written (" + why +
                       ") while the driver settles the receipts this printer left unfinished; one may be open on "
                       "the printer. Nothing new was sent. Make " + FJournal.Path() +
                       " readable and writable (check the disk), then send the same key again.";
        return answer(RECEIPT_PENDING, j);
      case Stage::Accepting:
        j["state"] = "failed";
        j["message"] = "The receipt journal cannot be written (" + why +
                       "). Nothing was sent to the printer: a receipt is never printed unrecorded. Check the disk "
                       "and " + FJournal.Path() + ", then send the same key again.";
        return answer(RECEIPT_JOURNAL, j);
    }
    return answer(RECEIPT_JOURNAL, j);
  }
}

std::optional<std::string> ReceiptService::lastAttention(const Entry& entry) {
  const auto steps = FJournal.Steps(entry.key);
  if (steps.empty() || steps.back().attempt != entry.attempt || steps.back().step != "attention") return std::nullopt;
  return steps.back().detail;
}

Outcome ReceiptService::Get(const std::string& key) {
  try {
    FJournal.CheckFile();
    const auto e = FJournal.Find(key);
    if (!e) return answer(RECEIPT_NOT_FOUND, {{"key", key}, {"message", "The journal holds no receipt under this key."}});
    if (journal::IsFinal(e->state)) {
      json j = json::parse(e->result, nullptr, false);
      if (!j.is_object()) j = describe(*e);
      return answer(codeOf(e->state), j);
    }
    json j = describe(*e);
    if (const auto said = lastAttention(*e)) {
      // Its last settling found a receipt a person must deal with first.
      j["message"] = *said;
      return answer(RECEIPT_ATTENTION, j);
    }
    j["message"] = "The receipt is not settled yet: the driver finds out what the printer holds when that printer "
                   "is next connected or sent a receipt.";
    return answer(RECEIPT_PENDING, j);
  } catch (const std::exception& ex) {
    return answer(RECEIPT_JOURNAL, {{"key", key},
                                    {"message", std::string("The journal cannot be read (") + ex.what() +
                                                    "), so what became of this key is not known. Do not ring the "
                                                    "sale again under a new key: mend the journal, then ask again."}});
  }
}

std::string ReceiptService::Day(const std::string& day) {
  json list = json::array();
  for (const Entry& e : FJournal.Day(day)) {
    json j = journal::IsFinal(e.state) ? json::parse(e.result, nullptr, false) : describe(e);
    if (!j.is_object()) j = describe(e);
    j["state"] = journal::IsFinal(e.state) ? stateWord(codeOf(e.state)) : lastAttention(e) ? "attention" : "pending";
    j["journalState"] = journal::StateName(e.state);
    list.push_back(j);
  }
  return json({{"day", day}, {"receipts", list}}).dump();
}

}  // namespace orbantis::receipts
