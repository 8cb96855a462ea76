// The receipt cycle: open, sell, subtotal, pay, text, close or cancel; and the non-fiscal receipt.
#include <string>

#include "Printer.h"
#include "PrinterDetail.h"

namespace orbantis::emulator {

using namespace detail;

namespace {

// Payment modes in the order the payment totals report them.
constexpr std::string_view kPaymentLetters = "PNDCIJKL";
constexpr const char* kPaymentTitles[kPaymentModes] = {"CASH", "CREDIT", "DEBIT CARD", "CHEQUE"};

// Takes the piece of `rest` up to the first of `stops` and leaves `rest` at that stop.
std::string_view cutAt(std::string_view& rest, std::string_view stops) {
  const auto at = rest.find_first_of(stops);
  const auto piece = rest.substr(0, at);
  rest = at == std::string_view::npos ? std::string_view{} : rest.substr(at);
  return piece;
}

}  // namespace

struct Printer::SaleLine {
  std::vector<std::string> text;
  int group = 0;
  std::int64_t price = 0;     // hundredths
  std::int64_t quantity = 1000;  // thousandths
  std::string unit;
  bool percent = false;
  std::int64_t adjustment = 0;  // hundredths of a percent, or hundredths of money
};

namespace {

// Quantity, unit and discount or markup: "*2.5#kg,-10" in any of its shorter forms.
void parseSaleTail(std::string_view rest, Printer::SaleLine& line) {
  if (!rest.empty() && rest.front() == '*') {
    rest.remove_prefix(1);
    line.quantity = fixedIn(cutAt(rest, "#,;"), kQuantityDecimals, 1, 99'999'999'000);
  }
  if (!rest.empty() && rest.front() == '#') {
    rest.remove_prefix(1);
    line.unit = std::string(cutAt(rest, ",;"));
  }
  if (rest.empty()) return;
  if (rest.front() == ',') {
    line.percent = true;
    line.adjustment = fixedIn(rest.substr(1), 2, -9900, 9900);
  } else if (rest.front() == ';') {
    line.adjustment = fixedIn(rest.substr(1), 2, -kMaxAmount, kMaxAmount);
  } else {
    malformed();
  }
}

}  // namespace

std::int64_t Printer::book(const SaleLine& line) {
  if (receipt_.payCount > 0) notAllowed();  // sales end with the first payment
  const std::int64_t amount = mulDivRound(line.price, line.quantity, 1000);
  const std::int64_t adjustment =
      line.percent ? mulDivRound(amount, line.adjustment, 10000) : line.adjustment;
  const std::int64_t value = amount + adjustment;
  const auto g = static_cast<std::size_t>(line.group);
  const std::int64_t groupTotal = receipt_.totals[g] + value;
  // A negative line (a correction) may take back what was sold in its group, not more.
  if (groupTotal < 0) notAllowed();
  if (groupTotal > kMaxAmount || receiptTotal() + value > kMaxAmount) overflow();

  const std::string amountText = formatAmount(amount) + " " + groupLetter(line.group);
  if (line.quantity == 1000 && line.unit.empty() && !line.text.empty()) {
    // One piece of something: its amount goes on its (last) text line.
    for (std::size_t i = 0; i + 1 < line.text.size(); ++i) print(line.text[i]);
    print(leftRight(line.text.back(), amountText));
  } else {
    for (const auto& text : line.text) print(text);
    std::string figures = "   ";
    if (line.quantity != 1000 || !line.unit.empty()) {
      figures += formatFixed(line.quantity, kQuantityDecimals) + (line.unit.empty() ? "" : " " + line.unit) + " x ";
    }
    print(leftRight(figures + formatAmount(line.price), amountText));
  }
  if (adjustment != 0) {
    const std::string what = adjustment < 0 ? "   DISCOUNT" : "   SURCHARGE";
    print(leftRight(line.percent ? what + " " + formatFixed(line.adjustment, 2) + "%" : what,
                    formatAmount(adjustment)));
  }
  receipt_.totals[g] = groupTotal;
  ++receipt_.sales;
  if (adjustment < 0) {
    ++receipt_.discounts;
    receipt_.discountsSum -= adjustment;
  } else if (adjustment > 0) {
    ++receipt_.markups;
    receipt_.markupsSum += adjustment;
  }
  return value;
}

Bytes Printer::openFiscalReceipt(std::string_view data) {
  const auto items = split(data, ',');
  if (items.size() != 3 && items.size() != 8) malformed();
  auto& op = checkedOperator(items[0], items[1]);
  const auto till = integerIn(items[2], 1, 99999);
  const int code = static_cast<int>(integerIn(items[0], 1, kOperators));
  if (closures_.size() >= static_cast<std::size_t>(kFiscalMemoryClosures)) notAllowed();

  receipt_ = OpenReceipt{};
  receipt_.kind = OpenReceipt::Kind::fiscal;
  receipt_.operatorCode = code;
  printHeader();
  print(leftRight("OP " + std::to_string(code) + " " + op.name, "TILL " + std::to_string(till)));
  if (items.size() == 8) {
    print("BUYER:");
    for (std::size_t i = 3; i <= 5; ++i) {
      if (!items[i].empty()) print(std::string(items[i]));
    }
    print("BUYER TIN " + std::string(items[6]) + "  VRN " + std::string(items[7]));
  }
  print(ruler('-'));
  return std::to_string(day_.fiscalReceipts + 1) + "," + std::to_string(globalFiscal_ + 1);
}

Bytes Printer::sale(std::string_view data) {
  const auto tab = data.find('\t');
  if (tab == std::string_view::npos) malformed();
  SaleLine line;
  for (auto text : split(data.substr(0, tab), '\n')) {
    if (!text.empty()) line.text.emplace_back(text);
  }
  if (line.text.size() > 2) malformed();
  std::string_view rest = data.substr(tab + 1);
  if (rest.empty()) malformed();
  line.group = taxGroupIndex(rest.front());
  rest.remove_prefix(1);
  line.price = fixedIn(cutAt(rest, "*#,;"), kAmountDecimals, -kMaxAmount, kMaxAmount);
  parseSaleTail(rest, line);
  book(line);
  return {};
}

Bytes Printer::sellItem(std::string_view data) {
  std::string_view rest = data;
  const long long plu = integerIn(cutAt(rest, "*#,;"), 1, 999'999'999);
  const auto it = items_.find(plu);
  if (it == items_.end()) notAllowed();
  Item& item = it->second;
  SaleLine line;
  line.text.push_back(item.name);
  line.group = item.taxGroup;
  line.price = item.price;
  parseSaleTail(rest, line);
  const auto value = book(line);
  item.sold += line.quantity;
  item.available -= line.quantity;
  item.turnover += value;
  return {};
}

Bytes Printer::subtotal(std::string_view data) {
  const auto at = data.find_first_of(",;");
  const auto flags = data.substr(0, at);
  if (flags.size() > 2 || flags.find_first_not_of("01") != std::string_view::npos) malformed();
  const bool toPrint = !flags.empty() && flags[0] == '1';
  if (flags.size() > 1) display_[0] = "SUBTOTAL";

  GroupAmounts adjustments{};
  std::int64_t adjustment = 0;
  if (at != std::string_view::npos) {
    const bool percent = data[at] == ',';
    const std::int64_t value = percent ? fixedIn(data.substr(at + 1), 2, -9900, 9900)
                                       : fixedIn(data.substr(at + 1), 2, -kMaxAmount, kMaxAmount);
    if (receipt_.payCount > 0) notAllowed();
    const std::int64_t total = receiptTotal();
    if (total <= 0) notAllowed();
    // An absolute sum is shared among the groups in proportion to their totals; the cent left
    // over by rounding goes to the last group that has a total.
    std::size_t last = 0;
    for (std::size_t g = 0; g < adjustments.size(); ++g) {
      const auto t = receipt_.totals[g];
      adjustments[g] = percent ? mulDivRound(t, value, 10000) : mulDivRound(value, t, total);
      adjustment += adjustments[g];
      if (t != 0) last = g;
    }
    if (!percent) {
      adjustments[last] += value - adjustment;
      adjustment = value;
    }
    for (std::size_t g = 0; g < adjustments.size(); ++g) {
      if (receipt_.totals[g] + adjustments[g] < 0) notAllowed();
    }
    if (toPrint || adjustment != 0) print(leftRight("SUBTOTAL", formatAmount(total)));
    if (adjustment != 0) {
      const std::string what = adjustment < 0 ? "DISCOUNT" : "SURCHARGE";
      print(leftRight(percent ? what + " " + formatFixed(value, 2) + "%" : what, formatAmount(adjustment)));
      if (adjustment < 0) {
        ++receipt_.discounts;
        receipt_.discountsSum -= adjustment;
      } else {
        ++receipt_.markups;
        receipt_.markupsSum += adjustment;
      }
    }
    for (std::size_t g = 0; g < adjustments.size(); ++g) receipt_.totals[g] += adjustments[g];
  } else if (toPrint) {
    print(leftRight("SUBTOTAL", formatAmount(receiptTotal())));
  }
  const auto vat = vatOf(receipt_.totals);
  return formatAmount(receiptTotal()) + "," + joinAmounts(vat.data(), kTaxGroups);
}

void Printer::printTotal() {
  if (receipt_.totalPrinted) return;
  receipt_.totalPrinted = true;
  print(ruler('-'));
  print(leftRight("TOTAL", formatAmount(receiptTotal())));
  const auto vat = vatOf(receipt_.totals);
  for (int g = 0; g < kTaxGroups; ++g) {
    const auto i = static_cast<std::size_t>(g);
    if (receipt_.totals[i] == 0) continue;
    print(leftRight(std::string("   VAT ") + groupLetter(g) + " " + formatAmount(rates_.rates[i]) + "% OF " +
                        formatAmount(receipt_.totals[i]),
                    formatAmount(vat[i])));
  }
}

Bytes Printer::payment(std::string_view data) {
  std::size_t mode = 0;
  std::string_view amountText = data;
  if (!data.empty() && data.front() >= 'A' && data.front() <= 'Z') {
    mode = kPaymentLetters.find(data.front());
    if (mode == std::string_view::npos) malformed();
    amountText = data.substr(1);
    if (!amountText.empty()) {
      if (amountText.front() != '+') malformed();
      amountText.remove_prefix(1);
    }
  }
  const std::int64_t total = receiptTotal();
  if (total < 0) return "E" + formatAmount(total);
  if (receipt_.payCount > 0 && receipt_.paid >= total) notAllowed();  // already paid in full
  const std::int64_t due = total - receipt_.paid;
  const std::int64_t amount = amountText.empty() ? due : fixedIn(amountText, 2, 0, kMaxAmount);
  // Only cash gives change; a card or cheque over the due sum is turned down.
  if (mode != 0 && amount > due) return "F" + formatAmount(due);

  printTotal();
  const std::string title =
      mode < 4 ? kPaymentTitles[mode] : paymentNames_[mode - 4];
  print(leftRight(title, formatAmount(amount)));
  ++receipt_.payCount;
  receipt_.paid += amount;
  if (receipt_.paid < total) {
    receipt_.payments[mode] += amount;
    return "D" + formatAmount(total - receipt_.paid);
  }
  const std::int64_t change = receipt_.paid - total;
  receipt_.payments[mode] += amount - change;
  if (change > 0) print(leftRight("CHANGE", formatAmount(change)));
  return "R" + formatAmount(change);
}

Bytes Printer::fiscalText(std::string_view data) {
  print(std::string(data.substr(0, kPaperWidth)));
  return {};
}

Bytes Printer::closeFiscalReceipt(std::string_view) {
  const std::int64_t total = receiptTotal();
  if (total < 0) notAllowed();
  printTotal();
  if (receipt_.paid < total) {
    // A receipt closed before it is paid in full is paid in cash, as a till expects.
    const std::int64_t due = total - receipt_.paid;
    print(leftRight("CASH", formatAmount(due)));
    receipt_.payments[0] += due;
    receipt_.paid = total;
  }
  print(ruler('-'));
  for (const auto& line : footer_) {
    if (!line.empty()) print(centred(line));
  }
  ++day_.fiscalReceipts;
  ++globalFiscal_;
  print(leftRight("RECEIPT " + std::to_string(day_.fiscalReceipts) + "/" + std::to_string(globalFiscal_),
                  dateTime(now(), false)));
  print(centred("FISCAL RECEIPT"));
  print(centred(serial_));
  print(ruler('='));

  for (std::size_t g = 0; g < receipt_.totals.size(); ++g) day_.turnover[g] += receipt_.totals[g];
  for (std::size_t m = 0; m < receipt_.payments.size(); ++m) day_.payments[m] += receipt_.payments[m];
  day_.discounts += receipt_.discounts;
  day_.discountsSum += receipt_.discountsSum;
  day_.markups += receipt_.markups;
  day_.markupsSum += receipt_.markupsSum;
  auto& op = currentOperator();
  ++op.receipts;
  op.sales += receipt_.sales;
  op.salesSum += total;
  op.discounts += receipt_.discounts;
  op.discountsSum += receipt_.discountsSum;
  op.markups += receipt_.markups;
  op.markupsSum += receipt_.markupsSum;
  finishReceipt(true);
  return std::to_string(day_.fiscalReceipts) + "," + std::to_string(globalFiscal_);
}

Bytes Printer::cancelReceipt(std::string_view) {
  // Once a payment is taken the receipt can only be finished, as on the real device.
  if (receipt_.payCount > 0) notAllowed();
  auto& op = currentOperator();
  ++op.voids;
  op.voidsSum += receiptTotal();
  print(ruler('-'));
  print(leftRight("*** RECEIPT CANCELLED ***", formatAmount(receiptTotal())));
  print(ruler('='));
  finishReceipt(false);
  return {};
}

Bytes Printer::openNonFiscalReceipt(std::string_view) {
  receipt_ = OpenReceipt{};
  receipt_.kind = OpenReceipt::Kind::nonFiscal;
  printHeader();
  print(centred("NON-FISCAL RECEIPT"));
  return std::to_string(day_.nonFiscalReceipts + 1) + "," + std::to_string(globalNonFiscal_ + 1);
}

Bytes Printer::nonFiscalText(std::string_view data) {
  do {
    print(std::string(data.substr(0, kPaperWidth)));
    data = data.substr(std::min(data.size(), kPaperWidth));
  } while (!data.empty());
  return {};
}

Bytes Printer::closeNonFiscalReceipt(std::string_view) {
  ++day_.nonFiscalReceipts;
  ++globalNonFiscal_;
  print(ruler('-'));
  print(leftRight("NON-FISCAL " + std::to_string(day_.nonFiscalReceipts) + "/" + std::to_string(globalNonFiscal_),
                  dateTime(now(), false)));
  print(centred("NOT A FISCAL RECEIPT"));
  print(ruler('='));
  finishReceipt(false);
  return std::to_string(day_.nonFiscalReceipts) + "," + std::to_string(globalNonFiscal_);
}

Bytes Printer::duplicate(std::string_view data) {
  if (!data.empty()) integerIn(data, 1, 1);
  // One duplicate per receipt, as the fiscal rules allow.
  if (lastFiscalReceipt_.empty() || duplicatePrinted_) notAllowed();
  duplicatePrinted_ = true;
  print(centred("*** DUPLICATE ***"));
  for (const auto& line : lastFiscalReceipt_) print(line);
  print(centred("*** DUPLICATE ***"));
  return {};
}

Bytes Printer::receiptInfo(std::string_view) {
  // CanVd: an open receipt can be cancelled until its first payment.
  const bool voidable = receipt_.kind == OpenReceipt::Kind::fiscal && receipt_.payCount == 0;
  return std::string(voidable ? "1" : "0") + "," + joinAmounts(receipt_.totals.data(), kTaxGroups);
}

Bytes Printer::transactionStatus(std::string_view data) {
  if (data.size() > 1) malformed();
  const bool open = receipt_.kind == OpenReceipt::Kind::fiscal;
  return std::string(open ? "1" : "0") + "," + std::to_string(receipt_.sales) + "," +
         formatAmount(receiptTotal()) + "," + formatAmount(receipt_.paid);
}

}  // namespace orbantis::emulator
