// The item (PLU) database: programming, stock and price changes, deletion, reads and reports.
#include <cstdio>

#include "Printer.h"
#include "PrinterDetail.h"

namespace orbantis::emulator {

using namespace detail;

namespace {

constexpr long long kMaxPlu = 999'999'999;

std::string plu9(long long plu) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%09lld", plu);
  return buf;
}

long long pluIn(std::string_view text) { return integerIn(text, 1, kMaxPlu); }

// The first `count - 1` commas cut the field; the last piece keeps any further commas.
std::vector<std::string_view> splitFirst(std::string_view text, std::size_t count) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < count) {
    const auto at = text.find(',');
    if (at == std::string_view::npos) break;
    parts.push_back(text.substr(0, at));
    text.remove_prefix(at + 1);
  }
  parts.push_back(text);
  return parts;
}

}  // namespace

Bytes Printer::itemRecord(long long plu) {
  const Item& item = items_.at(plu);
  itemCursor_ = plu;
  char group[8];
  std::snprintf(group, sizeof group, "%02d", item.group);
  return "P" + plu9(plu) + "," + groupLetter(item.taxGroup) + "," + group + "," + formatAmount(item.price) + "," +
         formatAmount(item.turnover) + "," + formatFixed(item.sold, kQuantityDecimals) + "," +
         formatFixed(item.available, kQuantityDecimals) + "," + item.name;
}

Bytes Printer::itemCommand(std::string_view data) {
  if (data.empty()) malformed();
  const char op = data.front();
  const std::string_view rest = data.substr(1);
  const std::string free = std::to_string(kItemCapacity - static_cast<long long>(items_.size()));
  auto withSales = [](const Item& item) { return item.sold != 0; };

  switch (op) {
    case 'I':
      if (!rest.empty()) malformed();
      return std::to_string(kItemCapacity) + "," + std::to_string(items_.size()) + "," +
             std::to_string(kItemNameLength);
    case 'P': {  // program: tax group, PLU, group, price, [A]quantity, name
      if (rest.empty()) malformed();
      const int tax = taxGroupIndex(rest.front());
      const auto parts = splitFirst(rest.substr(1), 5);
      if (parts.size() != 5) malformed();
      const long long plu = pluIn(parts[0]);
      Item next;
      next.taxGroup = tax;
      next.group = static_cast<int>(integerIn(parts[1], 1, 99));
      next.price = fixedIn(parts[2], kAmountDecimals, 0, 99'999'999);
      std::string_view quantity = parts[3];
      // "A" before the quantity adds it to the stock; without it the quantity is the new stock.
      const bool add = !quantity.empty() && quantity.front() == 'A';
      if (!quantity.empty() && quantity.front() >= 'A' && quantity.front() <= 'Z') quantity.remove_prefix(1);
      const std::int64_t qty = quantity.empty() ? 0 : fixedIn(quantity, kQuantityDecimals, -kMaxAmount, kMaxAmount);
      if (parts[4].empty() || parts[4].size() > kItemNameLength) malformed();
      next.name = std::string(parts[4]);
      const auto it = items_.find(plu);
      if (it == items_.end()) {
        if (items_.size() >= static_cast<std::size_t>(kItemCapacity)) return "F," + free;
        next.available = qty;
        items_[plu] = next;
      } else {
        next.turnover = it->second.turnover;
        next.sold = it->second.sold;
        next.available = add ? it->second.available + qty : qty;
        it->second = next;
      }
      return "P," + std::to_string(kItemCapacity - static_cast<long long>(items_.size()));
    }
    case 'A':
    case 'C': {
      const auto parts = split(rest, ',');
      if (parts.size() != 2) malformed();
      const long long plu = pluIn(parts[0]);
      const std::int64_t value = op == 'A' ? fixedIn(parts[1], kQuantityDecimals, -kMaxAmount, kMaxAmount)
                                           : fixedIn(parts[1], kAmountDecimals, 0, 99'999'999);
      const auto it = items_.find(plu);
      if (it == items_.end()) return "F";
      (op == 'A' ? it->second.available += value : it->second.price = value);
      return "P";
    }
    case 'D': {
      if (rest == "A") {
        items_.clear();
        return "P";
      }
      const auto parts = split(rest, ',');
      if (parts.size() > 2) malformed();
      const long long first = integerIn(parts[0], 0, kMaxPlu);
      const long long last = parts.size() == 2 ? integerIn(parts[1], 0, kMaxPlu) : first;
      const auto from = items_.lower_bound(first);
      const auto to = items_.upper_bound(last);
      if (first > last || from == to) return "F";
      items_.erase(from, to);
      return "P";
    }
    case 'R': {
      const long long plu = pluIn(rest);
      return items_.count(plu) ? itemRecord(plu) : "F";
    }
    case 'F':
    case 'f': {
      for (auto it = items_.lower_bound(pluIn(rest)); it != items_.end(); ++it) {
        if (op == 'F' || withSales(it->second)) return itemRecord(it->first);
      }
      return "F";
    }
    case 'L':
    case 'l': {
      for (auto it = items_.upper_bound(pluIn(rest)); it != items_.begin();) {
        --it;
        if (op == 'L' || withSales(it->second)) return itemRecord(it->first);
      }
      return "F";
    }
    case 'N':
    case 'n': {
      if (!rest.empty()) malformed();
      for (auto it = items_.upper_bound(itemCursor_); it != items_.end(); ++it) {
        if (op == 'N' || withSales(it->second)) return itemRecord(it->first);
      }
      return "F";
    }
    case 'X':
    case 'x': {  // the first free number from PLU up, or the last one from PLU down
      long long plu = pluIn(rest);
      while (plu >= 1 && plu <= kMaxPlu && items_.count(plu)) plu += op == 'X' ? 1 : -1;
      return plu >= 1 && plu <= kMaxPlu ? "P" + plu9(plu) : "F";
    }
    default:
      malformed();
  }
}

// "S" reports the items' sales, "P" their programmed data; for all items, one group or a range.
Bytes Printer::itemReport(std::string_view data) {
  const auto parts = split(data, ',');
  if (parts[0] != "S" && parts[0] != "P") malformed();
  long long first = 1, last = kMaxPlu;
  long long group = 0;
  if (parts.size() == 2) {
    group = integerIn(parts[1], 1, 99);
  } else if (parts.size() == 3) {
    first = integerIn(parts[1], 1, kMaxPlu);
    last = integerIn(parts[2], 0, kMaxPlu);
  } else if (parts.size() != 1) {
    malformed();
  }
  std::vector<std::pair<long long, const Item*>> found;
  for (auto it = items_.lower_bound(first); it != items_.end() && it->first <= last; ++it) {
    if (group == 0 || it->second.group == group) found.emplace_back(it->first, &it->second);
  }
  if (found.empty()) return "F";
  const bool sales = parts[0] == "S";
  print(centred(sales ? "ITEM SALES REPORT" : "PROGRAMMED ITEMS"));
  for (const auto& [plu, item] : found) {
    print(std::to_string(plu) + " " + item->name);
    print(leftRight(std::string("   ") + groupLetter(item->taxGroup) + " GROUP " + std::to_string(item->group),
                    sales ? formatFixed(item->sold, kQuantityDecimals) + " = " + formatAmount(item->turnover)
                          : formatAmount(item->price)));
  }
  print(ruler('='));
  return "P";
}

}  // namespace orbantis::emulator
