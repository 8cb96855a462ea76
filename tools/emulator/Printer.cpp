#include "Printer.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "PrinterDetail.h"
#include "Status.h"

namespace orbantis::emulator {

using namespace detail;

using When = Printer::When;

// One row per command code: when the printer accepts it and who carries it out.
// `idle` means no receipt of either kind is open; a command outside its state is refused with
// "command cannot be performed in the current fiscal mode".
std::span<const Printer::CommandRow> Printer::commandTable() {
  using P = Printer;
  static const CommandRow kCommands[] = {
    {33, When::any, &P::clearDisplay, "clear the customer display"},
    {35, When::any, &P::displayLower, "show text on the display's lower line"},
    {36, When::any, &P::network, "read or set the network settings"},
    {38, When::idle, &P::openNonFiscalReceipt, "open a non-fiscal receipt"},
    {39, When::nonFiscalReceipt, &P::closeNonFiscalReceipt, "close the non-fiscal receipt"},
    {41, When::idle, &P::switches, "set the switches SW1..SW7"},
    {42, When::nonFiscalReceipt, &P::nonFiscalText, "print a non-fiscal text"},
    {43, When::any, &P::headerItem, "program or read a header/footer line"},
    {44, When::any, &P::feedPaper, "feed paper by N lines"},
    {45, When::any, &P::cutPaper, "cut the paper"},
    {47, When::any, &P::displayUpper, "show text on the display's upper line"},
    {48, When::idle, &P::openFiscalReceipt, "open a fiscal receipt"},
    {49, When::fiscalReceipt, &P::sale, "sell by tax group and price"},
    {50, When::any, &P::dateRangeSums, "fiscal memory sums over a date range"},
    {51, When::fiscalReceipt, &P::subtotal, "subtotal, with an optional discount"},
    {52, When::fiscalReceipt, &P::sale, "sell and show on the display"},
    {53, When::fiscalReceipt, &P::payment, "payment"},
    {54, When::fiscalReceipt, &P::fiscalText, "print a text in the fiscal receipt"},
    {56, When::fiscalReceipt, &P::closeFiscalReceipt, "close the fiscal receipt"},
    {58, When::fiscalReceipt, &P::sellItem, "sell a programmed item"},
    // The emulator gives 60 the meaning a till needs most when a receipt went wrong.
    {60, When::fiscalReceipt, &P::cancelReceipt, "cancel the open fiscal receipt"},
    {61, When::idle, &P::setClock, "set date and time"},
    {62, When::any, &P::readClock, "read date and time"},
    {63, When::any, &P::nothing, "no operation"},
    {64, When::any, &P::lastClosure, "totals of the last closure"},
    {65, When::any, &P::dayGroupTotals, "totals of the day by tax group"},
    {68, When::any, &P::freeClosureRecords, "free closure records in the fiscal memory"},
    {69, When::idle, &P::closure, "daily report: 0 = Z closure, 2 = X report"},
    {70, When::idle, &P::cashInOut, "cash in / cash out"},
    {71, When::idle, &P::diagnosticPrint, "print diagnostic information"},
    {73, When::idle, &P::reportByRecords, "fiscal memory report by closure numbers"},
    {74, When::any, &P::status, "status bytes"},
    {76, When::any, &P::transactionStatus, "state of the fiscal transaction"},
    {79, When::idle, &P::reportByDates, "fiscal memory report by dates"},
    {80, When::any, &P::sound, "sound"},
    {83, When::any, &P::taxRatesCommand, "read or set multiplier, decimals and tax rates"},
    {84, When::any, &P::barcode, "print a barcode"},
    {85, When::any, &P::paymentName, "read or set the name of payment mode I..L"},
    {86, When::any, &P::lastRecordTime, "date and time of the last fiscal memory record"},
    {90, When::any, &P::diagnostics, "diagnostic information"},
    {92, When::any, &P::separatorLine, "print a separator line"},
    {93, When::any, &P::discountTotals, "discounts and markups of the day"},
    {94, When::idle, &P::reportByDates, "short fiscal memory report by dates"},
    {95, When::idle, &P::reportByNumbers, "fiscal memory report by numbers"},
    {97, When::any, &P::readTaxRates, "tax rates of groups A..F"},
    {99, When::any, &P::readTinVrn, "read TIN and VRN"},
    {100, When::any, &P::displayText, "show a text on the display"},
    {101, When::idle, &P::changePassword, "change an operator's password"},
    {102, When::idle, &P::operatorName, "set an operator's name"},
    {103, When::any, &P::receiptInfo, "sums of the current receipt"},
    {105, When::idle, &P::operatorsReport, "operators report"},
    {106, When::any, &P::drawer, "open the cash drawer"},
    {107, When::idle, &P::itemCommand, "item (PLU) database"},
    {109, When::idle, &P::duplicate, "print a duplicate of the last receipt"},
    {110, When::any, &P::paymentTotals, "payment totals of the day"},
    {111, When::idle, &P::itemReport, "item report"},
    {112, When::any, &P::operatorInfo, "operator's counters"},
    {113, When::any, &P::documentCounters, "document counters"},
    {114, When::any, &P::fiscalMemoryRead, "read fiscal memory records"},
    {115, When::any, &P::logo, "write or read a logo row"},
    {116, When::any, &P::memoryBlock, "read a memory block"},
    {117, When::any, &P::nothing, "no operation"},
    {118, When::any, &P::uptimeSeconds, "seconds since power-on"},
    {120, When::idle, &P::journal, "electronic journal"},
    {121, When::any, &P::memoryData, "read memory data"},
    {150, When::idle, &P::networkWrite, "set the network settings"},
    {151, When::any, &P::fiscalMemorySpace, "free fiscal memory records"},
    {152, When::any, &P::fiscalMemorySpace, "free fiscal memory records"},
    {153, When::any, &P::setSerial, "set the serial number"},
    {154, When::any, &P::setTinVrn, "set TIN and VRN"},
  };
  return kCommands;
}

namespace {

const Printer::CommandRow* findCommand(std::span<const Printer::CommandRow> table, std::uint8_t code) {
  const auto it = std::find_if(table.begin(), table.end(), [code](const auto& row) { return row.code == code; });
  return it == table.end() ? nullptr : &*it;
}

}  // namespace

Printer::Printer(PaperRoll& paper) : paper_(paper), started_(std::chrono::steady_clock::now()) {
  header_ = {"ORBANTIS SOFTWARE PRINTER", "TEST SHOP", "1 EXAMPLE STREET", "", "", ""};
  footer_ = {"THANK YOU", ""};
  for (int i = 0; i < kOperators; ++i) {
    operators_[static_cast<std::size_t>(i)].name = "OPERATOR " + std::to_string(i + 1);
    operators_[static_cast<std::size_t>(i)].password = "0000";
  }
  rates_.rates = {1800, 0, 0, 0, 0, 0};
  for (auto& row : logo_) row.assign(kLogoRowHexDigits, '0');
  // The device left the factory fiscalised a day ago, with the settings above on record.
  fiscalisedAt_ = now() - 24 * 3600;
  taxRecords_.push_back({1, fiscalisedAt_, rates_});
  headerRecords_.push_back({1, fiscalisedAt_, header_});
}

std::vector<Printer::CommandInfo> Printer::commandList() {
  std::vector<CommandInfo> list;
  for (const auto& row : commandTable()) list.push_back({row.code, row.what});
  return list;
}

std::uint64_t Printer::executions(std::uint8_t cmd) const { return executions_[cmd]; }

std::time_t Printer::now() const {
  using namespace std::chrono;
  return system_clock::to_time_t(system_clock::now() + clockOffset_);
}

StatusBytes Printer::stateStatus() const {
  StatusBytes s;
  s.fill(kReservedBits);
  setBit(s, bits::clockNotSet, !clockSet_);
  setBit(s, bits::fiscalReceiptOpen, receipt_.kind == OpenReceipt::Kind::fiscal);
  setBit(s, bits::nonFiscalReceiptOpen, receipt_.kind == OpenReceipt::Kind::nonFiscal);
  setBit(s, bits::journalNotEmpty, journalLines_ > 0);
  s[3] = static_cast<std::uint8_t>(s[3] | (switches_ & 0x7F));
  setBit(s, bits::tinVrnSet, !tin_.empty());
  setBit(s, bits::serialNumberSet, !serial_.empty());
  const int free = kFiscalMemoryClosures - static_cast<int>(closures_.size());
  setBit(s, bits::fiscalMemoryNearlyFull, free <= 30);
  setBit(s, bits::fiscalMemoryFull, free <= 0);
  setBit(s, bits::fiscalMemoryError, free <= 0);
  setBit(s, bits::fiscalMemoryFormatted);
  setBit(s, bits::fiscalMode);
  setBit(s, bits::taxRatesSet);
  return s;
}

Printer::Outcome Printer::execute(std::uint8_t cmd, std::string_view data) {
  Outcome out;
  printed_ = false;
  const CommandRow* row = findCommand(commandTable(), cmd);
  if (row == nullptr) {
    out.status = stateStatus();
    setBit(out.status, bits::invalidCommand);
    setBit(out.status, bits::generalError);
    return out;
  }
  ++executions_[cmd];
  try {
    const bool allowed = row->when == When::any ||
                         (row->when == When::idle && receipt_.kind == OpenReceipt::Kind::none) ||
                         (row->when == When::fiscalReceipt && receipt_.kind == OpenReceipt::Kind::fiscal) ||
                         (row->when == When::nonFiscalReceipt && receipt_.kind == OpenReceipt::Kind::nonFiscal);
    if (!allowed) notAllowed();
    out.data = (this->*(row->run))(data);
    journalise();
    if (out.data.size() > kMaxAnswerData) out.data.resize(kMaxAnswerData);
    out.status = stateStatus();
  } catch (const Refusal& refusal) {
    out.data.clear();
    out.status = stateStatus();
    setBit(out.status, refusal.bit);
    setBit(out.status, bits::generalError);
  }
  out.printed = printed_;
  return out;
}

// ---- shared pieces ----------------------------------------------------------------------------

void Printer::print(const std::string& line) {
  paper_.print(line);
  printed_ = true;
  if (pending_.empty()) pendingZ_ = nextClosureNumber();
  pending_.push_back(line.substr(0, kPaperWidth));
}

void Printer::printHeader() {
  for (const auto& line : header_) {
    if (!line.empty()) print(centred(line));
  }
  print(centred("TIN " + tin_ + "  VRN " + vrn_));
  print(ruler('-'));
}

std::string Printer::dateTime(std::time_t t, bool fourDigitYear) const {
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, fourDigitYear ? "%d-%m-%Y %H:%M:%S" : "%d-%m-%y %H:%M:%S", &tm);
  return buf;
}

std::time_t Printer::lastFiscalRecordTime() const {
  std::time_t last = fiscalisedAt_;
  if (!closures_.empty()) last = std::max(last, closures_.back().when);
  if (!taxRecords_.empty()) last = std::max(last, taxRecords_.back().when);
  if (!headerRecords_.empty()) last = std::max(last, headerRecords_.back().when);
  return last;
}

GroupAmounts Printer::vatOf(const GroupAmounts& totals) const {
  GroupAmounts vat{};
  for (int g = 0; g < kTaxGroups; ++g) {
    const auto rate = rates_.rates[static_cast<std::size_t>(g)];
    vat[static_cast<std::size_t>(g)] = mulDivRound(totals[static_cast<std::size_t>(g)], rate, 10000 + rate);
  }
  return vat;
}

std::int64_t Printer::receiptTotal() const {
  std::int64_t total = 0;
  for (auto t : receipt_.totals) total += t;
  return total;
}

OperatorRecord& Printer::currentOperator() {
  return operators_.at(static_cast<std::size_t>(std::max(receipt_.operatorCode, 1) - 1));
}

OperatorRecord& Printer::checkedOperator(std::string_view code, std::string_view password) {
  auto& op = operators_.at(static_cast<std::size_t>(integerIn(code, 1, kOperators) - 1));
  if (password != op.password) notAllowed();
  return op;
}

void Printer::requireIdle() const {
  if (receipt_.kind != OpenReceipt::Kind::none) notAllowed();
}

// Ends the open receipt; its lines reach the journal at the end of the command.
void Printer::finishReceipt(bool fiscal) {
  if (fiscal) {
    lastFiscalReceipt_ = pending_;
    duplicatePrinted_ = false;
  }
  receipt_ = OpenReceipt{};
}

// Everything printed outside a receipt (reports, slips, the receipt just closed) is one document
// of the electronic journal.
void Printer::journalise() {
  if (pending_.empty() || receipt_.kind != OpenReceipt::Kind::none) return;
  ++day_.documents;
  ++globalDocuments_;
  JournalDocument doc;
  doc.zNumber = pendingZ_;
  doc.number = day_.documents;
  doc.when = now();
  doc.lines = std::move(pending_);
  pending_.clear();
  journalLines_ += doc.lines.size();
  journal_.push_back(std::move(doc));
}

}  // namespace orbantis::emulator
