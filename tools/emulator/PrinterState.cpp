// What the printer keeps when it is switched off: its fiscal memory, the day's totals, an open
// receipt, the journal, items, logo and settings. A real device holds these in battery-backed and
// fiscal memory; the software printer writes them to a JSON file (--state FILE) so that a test can
// stop it and start it again and find the same device. Uptime, the display, the paper and the
// sequence memory of the wire are not kept: a restarted device has lost them too.
#include <nlohmann/json.hpp>

#include <stdexcept>

#include "Printer.h"

namespace orbantis::emulator {

NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(OperatorRecord, name, password, receipts, sales, salesSum, discounts, discountsSum,
                                   markups, markupsSum, voids, voidsSum)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(Item, taxGroup, group, price, turnover, sold, available, name)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(TaxRates, multiplier, decimals, enabled, rates)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(ClosureRecord, number, when, turnover, vat, fiscalReceipts)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(TaxRateRecord, number, when, rates)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(HeaderRecord, number, when, lines)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(JournalDocument, zNumber, number, when, lines)
NLOHMANN_JSON_SERIALIZE_ENUM(OpenReceipt::Kind, {{OpenReceipt::Kind::none, "none"},
                                                 {OpenReceipt::Kind::fiscal, "fiscal"},
                                                 {OpenReceipt::Kind::nonFiscal, "nonFiscal"}})
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(OpenReceipt, kind, operatorCode, totals, payments, paid, sales, payCount, discounts,
                                   discountsSum, markups, markupsSum, totalPrinted)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(DayTotals, turnover, payments, fiscalReceipts, nonFiscalReceipts, documents,
                                   discounts, discountsSum, markups, markupsSum, serviceIn, serviceOut)

namespace {

// Raised to 2 when a field changes meaning; a file of another format is refused, not guessed at.
constexpr int kStateFormat = 1;

}  // namespace

std::string Printer::saveState() const {
  nlohmann::json items = nlohmann::json::array();
  for (const auto& [plu, item] : items_) items.push_back({{"plu", plu}, {"item", item}});
  const nlohmann::json state = {
      {"format", kStateFormat},
      {"clockOffsetSeconds", clockOffset_.count()},
      {"clockSet", clockSet_},
      {"fiscalisedAt", fiscalisedAt_},
      {"serial", serial_},
      {"tin", tin_},
      {"vrn", vrn_},
      {"header", header_},
      {"footer", footer_},
      {"paymentNames", paymentNames_},
      {"network", network_},
      {"switches", switches_},
      {"operators", operators_},
      {"taxRates", rates_},
      {"receipt", receipt_},
      {"day", day_},
      {"globalFiscal", globalFiscal_},
      {"globalNonFiscal", globalNonFiscal_},
      {"globalDocuments", globalDocuments_},
      {"lastFiscalReceipt", lastFiscalReceipt_},
      {"duplicatePrinted", duplicatePrinted_},
      {"closures", closures_},
      {"taxRecords", taxRecords_},
      {"headerRecords", headerRecords_},
      {"journal", journal_},
      {"journalNumber", journalNumber_},
      {"journalFirstZ", journalFirstZ_},
      {"journalLines", journalLines_},
      {"items", items},
      {"itemCursor", itemCursor_},
      {"logo", logo_},
      {"pending", pending_},
      {"pendingZ", pendingZ_},
  };
  return state.dump(1);
}

// Every field of the file into p; throws nlohmann::json::exception for a missing or mistyped one.
struct StateAccess {
  static void read(Printer& p, const nlohmann::json& state) {
    p.clockOffset_ = std::chrono::seconds(state.at("clockOffsetSeconds").get<long long>());
    state.at("clockSet").get_to(p.clockSet_);
    state.at("fiscalisedAt").get_to(p.fiscalisedAt_);
    state.at("serial").get_to(p.serial_);
    state.at("tin").get_to(p.tin_);
    state.at("vrn").get_to(p.vrn_);
    state.at("header").get_to(p.header_);
    state.at("footer").get_to(p.footer_);
    state.at("paymentNames").get_to(p.paymentNames_);
    state.at("network").get_to(p.network_);
    state.at("switches").get_to(p.switches_);
    state.at("operators").get_to(p.operators_);
    state.at("taxRates").get_to(p.rates_);
    state.at("receipt").get_to(p.receipt_);
    state.at("day").get_to(p.day_);
    state.at("globalFiscal").get_to(p.globalFiscal_);
    state.at("globalNonFiscal").get_to(p.globalNonFiscal_);
    state.at("globalDocuments").get_to(p.globalDocuments_);
    state.at("lastFiscalReceipt").get_to(p.lastFiscalReceipt_);
    state.at("duplicatePrinted").get_to(p.duplicatePrinted_);
    state.at("closures").get_to(p.closures_);
    state.at("taxRecords").get_to(p.taxRecords_);
    state.at("headerRecords").get_to(p.headerRecords_);
    state.at("journal").get_to(p.journal_);
    state.at("journalNumber").get_to(p.journalNumber_);
    state.at("journalFirstZ").get_to(p.journalFirstZ_);
    state.at("journalLines").get_to(p.journalLines_);
    p.items_.clear();
    for (const auto& entry : state.at("items")) p.items_[entry.at("plu").get<long long>()] = entry.at("item").get<Item>();
    state.at("itemCursor").get_to(p.itemCursor_);
    state.at("logo").get_to(p.logo_);
    for (const auto& row : p.logo_)
      if (row.size() != kLogoRowHexDigits) throw std::runtime_error("a logo row of the wrong size");
    state.at("pending").get_to(p.pending_);
    state.at("pendingZ").get_to(p.pendingZ_);
  }
};

void Printer::loadState(std::string_view text) {
  const nlohmann::json state = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (!state.is_object()) throw std::runtime_error("the state file is not JSON");
  if (state.value("format", 0) != kStateFormat)
    throw std::runtime_error("the state file has format " + state.value("format", nlohmann::json()).dump() +
                             ", this printer reads format " + std::to_string(kStateFormat));
  try {
    // A trial read first: a file that fails half-way leaves this printer as it was.
    PaperRoll scratch;
    Printer trial(scratch);
    StateAccess::read(trial, state);
    StateAccess::read(*this, state);
  } catch (const std::exception& e) {
    throw std::runtime_error(std::string("the state file is damaged: ") + e.what());
  }
}

}  // namespace orbantis::emulator
