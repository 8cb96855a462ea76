// Settings and identity: network, switches, header and footer, clock, tax rates, payment names,
// serial number, TIN/VRN, operators.
#include <ctime>

#include "Printer.h"
#include "PrinterDetail.h"

namespace orbantis::emulator {

using namespace detail;

namespace {

constexpr std::string_view kCountry = "EMULATED";
constexpr std::size_t kNameLength = 24;

bool allDigits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

int twoDigits(std::string_view s) {
  if (s.size() != 2 || !allDigits(s)) malformed();
  return (s[0] - '0') * 10 + (s[1] - '0');
}

// "DD-MM-YY HH:MM:SS" (seconds optional) in local time.
std::time_t parseDateTime(std::string_view text) {
  const auto space = text.find(' ');
  if (space == std::string_view::npos) malformed();
  const auto date = split(text.substr(0, space), '-');
  const auto time = split(text.substr(space + 1), ':');
  if (date.size() != 3 || time.size() < 2 || time.size() > 3) malformed();
  std::tm tm{};
  tm.tm_mday = twoDigits(date[0]);
  tm.tm_mon = twoDigits(date[1]) - 1;
  tm.tm_year = 100 + twoDigits(date[2]);
  tm.tm_hour = twoDigits(time[0]);
  tm.tm_min = twoDigits(time[1]);
  tm.tm_sec = time.size() == 3 ? twoDigits(time[2]) : 0;
  tm.tm_isdst = -1;
  const std::tm asGiven = tm;
  const std::time_t t = std::mktime(&tm);
  // mktime rolls 31-02 over into March; the printer refuses such a date.
  if (t == static_cast<std::time_t>(-1) || tm.tm_mday != asGiven.tm_mday || tm.tm_mon != asGiven.tm_mon ||
      asGiven.tm_hour > 23 || asGiven.tm_min > 59 || asGiven.tm_sec > 59) {
    malformed();
  }
  return t;
}

}  // namespace

Bytes Printer::network(std::string_view data) {
  if (data.empty()) {
    return network_[0] + "," + network_[1] + "," + network_[2] + "," + network_[3] + "," + network_[4];
  }
  requireIdle();
  const auto parts = split(data, ',');
  if (parts.size() != 5) malformed();
  for (std::size_t i = 0; i < 4; ++i) {
    if (parts[i].empty() || parts[i].size() > 15) malformed();
  }
  if (parts[4].size() > 24) malformed();
  for (std::size_t i = 0; i < 4; ++i) network_[i] = std::string(parts[i]);
  if (!parts[4].empty()) network_[4] = std::string(parts[4]);
  return {};
}

Bytes Printer::networkWrite(std::string_view data) {
  const auto parts = split(data, ',');
  if (parts.size() != 4) malformed();
  for (const auto& p : parts) {
    if (p.empty() || p.size() > 15) malformed();
  }
  for (std::size_t i = 0; i < 4; ++i) network_[i] = std::string(parts[i]);
  return {};
}

Bytes Printer::switches(std::string_view data) {
  if (data.empty()) return {};
  if (data.size() > 8 || data.find_first_not_of("01") != std::string_view::npos) malformed();
  std::uint8_t value = 0;
  for (std::size_t i = 0; i < data.size() && i < 7; ++i) {
    if (data[i] == '1') value = static_cast<std::uint8_t>(value | (1u << i));
  }
  switches_ = value;
  return {};
}

// Items 0 to 5 are the six header lines, 6 and 7 the two footer lines. Item 0 given with TABs
// sets all header lines at once. "R" and an item number reads an item back.
Bytes Printer::headerItem(std::string_view data) {
  if (data.empty()) malformed();
  if (data.front() == 'R') {
    const auto index = static_cast<std::size_t>(integerIn(data.substr(1), 0, 7));
    return index < 6 ? header_[index] : footer_[index - 6];
  }
  requireIdle();
  const auto index = static_cast<std::size_t>(integerIn(data.substr(0, 1), 0, 7));
  const auto value = data.substr(1);
  if (index < 6) {
    auto lines = header_;
    const auto pieces = split(value, '\t');
    if (index + pieces.size() > 6) malformed();
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (pieces[i].size() > kPaperWidth) malformed();
      lines[index + i] = std::string(pieces[i]);
    }
    if (lines != header_) {
      header_ = lines;
      headerRecords_.push_back({static_cast<int>(headerRecords_.size()) + 1, now(), header_});
    }
  } else {
    if (value.size() > kPaperWidth) malformed();
    footer_[index - 6] = std::string(value);
  }
  return {};
}

Bytes Printer::setClock(std::string_view data) {
  const std::time_t target = parseDateTime(data);
  // The fiscal memory is written in time order; a clock set before its last record is refused.
  if (target < lastFiscalRecordTime()) notAllowed();
  const auto hostNow = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  clockOffset_ = std::chrono::seconds(target - hostNow);
  clockSet_ = true;
  return {};
}

Bytes Printer::readClock(std::string_view) { return dateTime(now(), false); }

Bytes Printer::lastRecordTime(std::string_view) { return dateTime(lastFiscalRecordTime(), true); }

Bytes Printer::taxRatesCommand(std::string_view data) {
  if (!data.empty()) {
    requireIdle();
    const auto parts = split(data, ',');
    if (parts.size() != 3 + kTaxGroups) malformed();
    TaxRates next;
    next.multiplier = static_cast<int>(integerIn(parts[0], 0, 3));
    if (parts[1] != "0" && parts[1] != "2") malformed();
    next.decimals = parts[1] == "0" ? 0 : 2;
    if (parts[2].empty() || parts[2].size() > 6 || parts[2].find_first_not_of("01") != std::string_view::npos) {
      malformed();
    }
    next.enabled = std::string(parts[2]);
    for (int g = 0; g < kTaxGroups; ++g) {
      next.rates[static_cast<std::size_t>(g)] = fixedIn(parts[static_cast<std::size_t>(3 + g)], 2, 0, 9999);
    }
    // New rates start a new fiscal day: the day's sales must have been closed first.
    for (auto t : day_.turnover) {
      if (t != 0) notAllowed();
    }
    if (day_.fiscalReceipts > 0) notAllowed();
    rates_ = next;
    taxRecords_.push_back({static_cast<int>(taxRecords_.size()) + 1, now(), rates_});
    print(centred("TAX RATES"));
    for (int g = 0; g < kTaxGroups; ++g) {
      print(leftRight(std::string("GROUP ") + groupLetter(g), formatAmount(rates_.rates[static_cast<std::size_t>(g)]) + "%"));
    }
    print(ruler('='));
  }
  std::string out = std::to_string(rates_.multiplier) + "," + std::to_string(rates_.decimals) + "," + rates_.enabled;
  for (auto r : rates_.rates) out += "," + formatAmount(r);
  return out;
}

Bytes Printer::readTaxRates(std::string_view) { return joinAmounts(rates_.rates.data(), kTaxGroups); }

Bytes Printer::paymentName(std::string_view data) {
  if (data.empty() || data.front() < 'I' || data.front() > 'L') malformed();
  auto& name = paymentNames_[static_cast<std::size_t>(data.front() - 'I')];
  if (data.size() == 1) return name;
  if (data[1] != ',' || data.size() - 2 > kNameLength) malformed();
  requireIdle();
  name = std::string(data.substr(2));
  return "P";
}

Bytes Printer::setSerial(std::string_view data) {
  if (data.size() != 10) return "F," + std::string(kCountry);
  serial_ = std::string(data);
  return "P," + std::string(kCountry);
}

Bytes Printer::setTinVrn(std::string_view data) {
  const auto parts = split(data, ',');
  if (parts.size() != 2 || parts[0].size() != 9 || parts[1].size() != 9) malformed();
  tin_ = std::string(parts[0]);
  vrn_ = std::string(parts[1]);
  return {};
}

Bytes Printer::readTinVrn(std::string_view) { return tin_ + "," + vrn_; }

Bytes Printer::changePassword(std::string_view data) {
  const auto parts = split(data, ',');
  if (parts.size() != 3) malformed();
  auto& op = checkedOperator(parts[0], parts[1]);
  if (parts[2].size() < 4 || parts[2].size() > 8) malformed();
  op.password = std::string(parts[2]);
  return {};
}

Bytes Printer::operatorName(std::string_view data) {
  const auto parts = split(data, ',');
  if (parts.size() < 3) malformed();
  auto& op = checkedOperator(parts[0], parts[1]);
  // The name is the rest of the field, commas included.
  const auto name = data.substr(parts[0].size() + parts[1].size() + 2);
  if (name.empty() || name.size() > kNameLength) malformed();
  op.name = std::string(name);
  return {};
}

Bytes Printer::operatorInfo(std::string_view data) {
  const auto& o = operators_.at(static_cast<std::size_t>(integerIn(data, 1, kOperators) - 1));
  return std::to_string(o.receipts) + "," + std::to_string(o.sales) + "," + formatAmount(o.salesSum) + "," +
         std::to_string(o.discounts) + "," + formatAmount(o.discountsSum) + "," + std::to_string(o.markups) + "," +
         formatAmount(o.markupsSum) + "," + std::to_string(o.voids) + "," + formatAmount(o.voidsSum) + "," + o.name +
         "," + o.password;
}

}  // namespace orbantis::emulator
