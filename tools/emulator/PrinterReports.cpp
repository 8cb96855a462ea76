// Daily reports and closures, the cash operation, fiscal memory reads and reports, counters.
#include <ctime>

#include "Printer.h"
#include "PrinterDetail.h"

namespace orbantis::emulator {

using namespace detail;

namespace {

// Modes I to L carry the names programmed for them (85), as on the receipts.
constexpr const char* kPaymentReportTitles[4] = {"CASH", "CREDIT", "DEBIT CARD", "CHEQUE"};

// "DDMMYY" in local time, at the start of that day or at its last second.
std::time_t parseDay(std::string_view text, bool endOfDay) {
  if (text.size() != 6 || text.find_first_not_of("0123456789") != std::string_view::npos) malformed();
  std::tm tm{};
  tm.tm_mday = (text[0] - '0') * 10 + (text[1] - '0');
  tm.tm_mon = (text[2] - '0') * 10 + (text[3] - '0') - 1;
  tm.tm_year = 100 + (text[4] - '0') * 10 + (text[5] - '0');
  tm.tm_hour = endOfDay ? 23 : 0;
  tm.tm_min = endOfDay ? 59 : 0;
  tm.tm_sec = endOfDay ? 59 : 0;
  tm.tm_isdst = -1;
  if (tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_mon < 0 || tm.tm_mon > 11) malformed();
  return std::mktime(&tm);
}

std::string ddmmyy(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[8];
  std::strftime(buf, sizeof buf, "%d%m%y", &tm);
  return buf;
}

// "[Ext]first,last": Ext is one letter or digit standing before the first bound. A bound never
// has more than `boundWidth` characters, so a longer first piece starts with Ext.
struct Range {
  char ext = 0;
  std::string_view first, last;
};
Range parseRange(std::string_view data, std::size_t boundWidth, bool extRequired) {
  const auto parts = split(data, ',');
  if (parts.size() != 2 || parts[0].empty()) malformed();
  Range r{0, parts[0], parts[1]};
  const bool startsWithExt = extRequired || r.first.size() > boundWidth ||
                             (r.first.front() < '0' || r.first.front() > '9');
  if (startsWithExt) {
    r.ext = r.first.front();
    r.first.remove_prefix(1);
  }
  if (r.first.empty() || r.last.empty()) malformed();
  return r;
}

}  // namespace

void Printer::printClosureReport(const char* title, int number) {
  print(centred(title));
  print(leftRight("NUMBER " + std::to_string(number), dateTime(now(), false)));
  print(ruler('-'));
  const auto vat = vatOf(day_.turnover);
  std::int64_t total = 0;
  for (int g = 0; g < kTaxGroups; ++g) {
    const auto i = static_cast<std::size_t>(g);
    total += day_.turnover[i];
    print(leftRight(std::string("GROUP ") + groupLetter(g) + " " + formatAmount(rates_.rates[i]) + "%",
                    formatAmount(day_.turnover[i])));
    if (vat[i] != 0) print(leftRight("   VAT", formatAmount(vat[i])));
  }
  print(leftRight("TOTAL", formatAmount(total)));
  print(ruler('-'));
  for (int m = 0; m < kPaymentModes; ++m) {
    const auto sum = day_.payments[static_cast<std::size_t>(m)];
    const std::string title = m < 4 ? std::string(kPaymentReportTitles[m]) : paymentNames_[m - 4];
    if (sum != 0) print(leftRight(title, formatAmount(sum)));
  }
  print(leftRight("CASH IN", formatAmount(day_.serviceIn)));
  print(leftRight("CASH OUT", formatAmount(day_.serviceOut)));
  print(leftRight("DISCOUNTS " + std::to_string(day_.discounts), formatAmount(day_.discountsSum)));
  print(leftRight("SURCHARGES " + std::to_string(day_.markups), formatAmount(day_.markupsSum)));
  print(leftRight("FISCAL RECEIPTS", std::to_string(day_.fiscalReceipts)));
  print(leftRight("NON-FISCAL RECEIPTS", std::to_string(day_.nonFiscalReceipts)));
}

Bytes Printer::closure(std::string_view data) {
  if (data.empty() || (data[0] != '0' && data[0] != '2') ||
      data.substr(1).find_first_not_of("NA") != std::string_view::npos) {
    malformed();
  }
  const int number = nextClosureNumber();
  const auto answer = std::to_string(number) + "," + joinAmounts(day_.turnover.data(), kTaxGroups);
  if (data[0] == '2') {
    printClosureReport("X REPORT", number);
    print(centred("NOT A FISCAL DOCUMENT"));
    print(ruler('='));
    return answer;
  }
  if (closures_.size() >= static_cast<std::size_t>(kFiscalMemoryClosures)) notAllowed();
  printClosureReport("Z REPORT", number);
  ClosureRecord record;
  record.number = number;
  record.when = now();
  record.turnover = day_.turnover;
  record.vat = vatOf(day_.turnover);
  record.fiscalReceipts = day_.fiscalReceipts;
  closures_.push_back(record);
  print(centred("FISCAL MEMORY RECORD " + std::to_string(number)));
  print(centred(serial_));
  print(ruler('='));
  day_ = DayTotals{};
  for (auto& op : operators_) {
    op = OperatorRecord{op.name, op.password};
  }
  return answer;
}

Bytes Printer::cashInOut(std::string_view data) {
  const std::int64_t amount = data.empty() ? 0 : fixedIn(data, 2, -kMaxAmount, kMaxAmount);
  const std::int64_t cash = day_.payments[0] + day_.serviceIn - day_.serviceOut;
  auto answer = [&](char code) {
    return std::string(1, code) + "," + formatAmount(day_.payments[0] + day_.serviceIn - day_.serviceOut) + "," +
           formatAmount(day_.serviceIn) + "," + formatAmount(day_.serviceOut);
  };
  if (amount < 0 && -amount > cash) return answer('F');  // not that much cash in the drawer
  if (amount != 0) {
    printHeader();
    print(leftRight(amount > 0 ? "CASH IN" : "CASH OUT", formatAmount(amount > 0 ? amount : -amount)));
    print(leftRight("CASH IN DRAWER", formatAmount(cash + amount)));
    print(leftRight("", dateTime(now(), false)));
    print(ruler('='));
    (amount > 0 ? day_.serviceIn : day_.serviceOut) += amount > 0 ? amount : -amount;
  }
  return answer('P');
}

Bytes Printer::dateRangeSums(std::string_view data) {
  const auto parts = split(data, ',');
  if (parts.size() != 2) malformed();
  const auto from = parseDay(parts[0], false);
  const auto to = parseDay(parts[1], true);
  std::int64_t sums[4] = {};
  const ClosureRecord* last = nullptr;
  for (const auto& c : closures_) {
    if (c.when < from || c.when > to) continue;
    for (std::size_t g = 0; g < 4; ++g) sums[g] += c.turnover[g];
    last = &c;
  }
  return std::string(last ? "P" : "F") + joinAmounts(sums, 4) + "," + (last ? ddmmyy(last->when) : "000000");
}

Bytes Printer::lastClosure(std::string_view data) {
  if (data != "0" && data != "1") malformed();
  if (closures_.empty()) {
    const GroupAmounts zero{};
    return "0," + joinAmounts(zero.data(), kTaxGroups) + "," + ddmmyy(fiscalisedAt_);
  }
  const auto& c = closures_.back();
  const auto& values = data == "0" ? c.turnover : c.vat;
  return std::to_string(c.number) + "," + joinAmounts(values.data(), kTaxGroups) + "," + ddmmyy(c.when);
}

Bytes Printer::dayGroupTotals(std::string_view data) {
  if (data != "0" && data != "1") malformed();
  const auto values = data == "0" ? day_.turnover : vatOf(day_.turnover);
  return joinAmounts(values.data(), kTaxGroups);
}

Bytes Printer::freeClosureRecords(std::string_view) {
  return std::to_string(kFiscalMemoryClosures - static_cast<int>(closures_.size()));
}

Bytes Printer::fiscalMemorySpace(std::string_view) {
  return "P," + std::to_string(kFiscalMemoryClosures - static_cast<int>(closures_.size()));
}

Bytes Printer::discountTotals(std::string_view) {
  return std::to_string(day_.discounts) + "," + formatAmount(day_.discountsSum) + "," +
         std::to_string(day_.markups) + "," + formatAmount(day_.markupsSum);
}

namespace {

void collectClosures(const std::vector<ClosureRecord>& all, long long first, long long last,
                     std::vector<const ClosureRecord*>& out) {
  for (const auto& c : all) {
    if (c.number >= first && c.number <= last) out.push_back(&c);
  }
}

}  // namespace

// The fiscal memory reports print one block per closure in the range and the sum of them.
// Ext "0" prints the short form: the closures' dates and the sums, without per-group lines.
void Printer::printFiscalReport(char ext, long long first, long long last) {
  std::vector<const ClosureRecord*> found;
  collectClosures(closures_, first, last, found);
  GroupAmounts sum{};
  print(centred("FISCAL MEMORY REPORT"));
  print(centred("CLOSURES " + std::to_string(first) + " TO " + std::to_string(last)));
  for (const auto* c : found) {
    print(leftRight("Z " + std::to_string(c->number), dateTime(c->when, false)));
    for (std::size_t g = 0; g < sum.size(); ++g) {
      sum[g] += c->turnover[g];
      if (ext != '0' && c->turnover[g] != 0) {
        print(leftRight(std::string("   GROUP ") + groupLetter(static_cast<int>(g)), formatAmount(c->turnover[g])));
      }
    }
  }
  print(ruler('-'));
  for (std::size_t g = 0; g < sum.size(); ++g) {
    print(leftRight(std::string("TOTAL ") + groupLetter(static_cast<int>(g)), formatAmount(sum[g])));
  }
  print(ruler('='));
}

Bytes Printer::reportByRecords(std::string_view data) {
  const auto r = parseRange(data, 4, false);
  printFiscalReport(r.ext, integerIn(r.first, 0, 9999), integerIn(r.last, 0, 9999));
  return {};
}

Bytes Printer::reportByDates(std::string_view data) {
  const auto r = parseRange(data, 6, false);
  const auto from = parseDay(r.first, false);
  const auto to = parseDay(r.last, true);
  long long first = 1, last = 0;
  for (const auto& c : closures_) {
    if (c.when >= from && c.when <= to) {
      if (last == 0) first = c.number;
      last = c.number;
    }
  }
  printFiscalReport(r.ext, first, last);
  return {};
}

Bytes Printer::reportByNumbers(std::string_view data) {
  const auto r = parseRange(data, 0, true);
  printFiscalReport(r.ext, integerIn(r.first, 0, 999999), integerIn(r.last, 0, 999999));
  return {};
}

Bytes Printer::operatorsReport(std::string_view) {
  print(centred("OPERATORS REPORT"));
  for (int i = 0; i < kOperators; ++i) {
    const auto& o = operators_[static_cast<std::size_t>(i)];
    print(leftRight(std::to_string(i + 1) + " " + o.name, std::to_string(o.receipts) + " / " + formatAmount(o.salesSum)));
  }
  print(ruler('='));
  return {};
}

// "N,T[,M]": record type T of closure N (or of closures N to M, or header line M).
Bytes Printer::fiscalMemoryRead(std::string_view data) {
  const auto parts = split(data, ',');
  if (parts.size() < 2 || parts.size() > 3 || parts[1].size() != 1) malformed();
  const long long n = integerIn(parts[0], -999999, 999999);
  const char type = parts[1][0];
  if (type < '0' || type > '8') malformed();
  const bool ranged = type >= '1' && type <= '3';
  if (parts.size() == 3 && !ranged && type != '7') malformed();
  const long long m = parts.size() == 3 ? integerIn(parts[2], -999999, 999999) : n;
  auto stamp = [&](std::time_t t) { return dateTime(t, true); };
  auto ratesText = [](const TaxRates& r) {
    return std::to_string(r.decimals) + "," + r.enabled + "," + joinAmounts(r.rates.data(), kTaxGroups);
  };
  const ClosureRecord* closure = nullptr;
  for (const auto& c : closures_) {
    if (c.number == n) closure = &c;
  }

  switch (type) {
    case '0': {
      if (!closure) return "F";
      const TaxRateRecord* rec = &taxRecords_.front();
      for (const auto& t : taxRecords_) {
        if (t.when <= closure->when) rec = &t;
      }
      return "P," + std::to_string(rec->number) + "," + ratesText(rec->rates) + "," + stamp(rec->when);
    }
    case '1':
    case '2':
    case '3': {
      if (closures_.empty()) return "E";
      std::vector<const ClosureRecord*> found;
      collectClosures(closures_, n, m, found);
      if (found.empty()) return "F";
      GroupAmounts sum{};
      int receipts = 0;
      for (const auto* c : found) {
        receipts += c->fiscalReceipts;
        for (std::size_t g = 0; g < sum.size(); ++g) {
          sum[g] += type == '1' ? c->turnover[g] : type == '2' ? c->turnover[g] - c->vat[g] : c->vat[g];
        }
      }
      return "P," + std::to_string(found.back()->number) + "," + std::to_string(receipts) + "," +
             joinAmounts(sum.data(), kTaxGroups);
    }
    case '4':
      return "P," + std::to_string(closures_.size()) + "," + std::to_string(taxRecords_.size()) + ",0," +
             std::to_string(headerRecords_.size()) + ",0,0,0";
    case '5': {
      if (n < 1 || n > static_cast<long long>(taxRecords_.size())) return "F";
      const auto& rec = taxRecords_[static_cast<std::size_t>(n - 1)];
      return "P," + ratesText(rec.rates) + "," + stamp(rec.when);
    }
    case '6':
      if (closures_.empty()) return "E";
      return closure ? "P," + stamp(closure->when) : "F";
    case '7': {
      if (n < 1 || n > static_cast<long long>(headerRecords_.size()) || m < 0 || m > 5) return "F";
      const auto& rec = headerRecords_[static_cast<std::size_t>(n - 1)];
      return "P," + stamp(rec.when) + "," + rec.lines[static_cast<std::size_t>(m)];
    }
    default:  // '8': the fiscalisation record, the only one of its kind
      return n == 1 ? "P," + stamp(fiscalisedAt_) : "F";
  }
}

Bytes Printer::paymentTotals(std::string_view) {
  return joinAmounts(day_.payments.data(), kPaymentModes) + "," + std::to_string(nextClosureNumber()) + "," +
         std::to_string(globalFiscal_);
}

Bytes Printer::documentCounters(std::string_view) {
  return std::to_string(globalFiscal_) + "," + std::to_string(globalNonFiscal_) + "," + std::to_string(globalDocuments_);
}

}  // namespace orbantis::emulator
