// The fiscal printer itself: its state (receipts, totals, fiscal memory, journal, items, logo,
// settings) and one handler per command code. It knows nothing of wires or faults: a request's
// command and data go in, the answer's data and status bytes come out.
//
// Not thread-safe; the Emulator serialises every call.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Frame.h"
#include "PaperRoll.h"

namespace orbantis::emulator {

inline constexpr int kTaxGroups = 6;                 // A to F
inline constexpr int kOperators = 16;
inline constexpr int kPaymentModes = 8;               // P cash, N credit, D debit, C cheque, I to L
inline constexpr int kLogoRows = 96;
inline constexpr std::size_t kLogoRowHexDigits = 144;  // 576 dots, one bit each
inline constexpr int kFiscalMemoryClosures = 1830;     // five years of daily closures
inline constexpr int kItemCapacity = 100000;
inline constexpr std::size_t kItemNameLength = 36;
inline constexpr int kJournalLines = 500000;

using GroupAmounts = std::array<std::int64_t, kTaxGroups>;  // hundredths, by tax group A..F
using PaymentAmounts = std::array<std::int64_t, kPaymentModes>;

struct OperatorRecord {
  std::string name;
  std::string password;
  int receipts = 0;
  int sales = 0;
  std::int64_t salesSum = 0;
  int discounts = 0;
  std::int64_t discountsSum = 0;
  int markups = 0;
  std::int64_t markupsSum = 0;
  int voids = 0;
  std::int64_t voidsSum = 0;
};

struct Item {
  int taxGroup = 0;
  int group = 1;
  std::int64_t price = 0;      // hundredths
  std::int64_t turnover = 0;   // hundredths sold since programmed
  std::int64_t sold = 0;       // thousandths
  std::int64_t available = 0;  // thousandths
  std::string name;
};

struct TaxRates {
  int multiplier = 0;
  int decimals = 2;
  std::string enabled = "111111";
  std::array<std::int64_t, kTaxGroups> rates{};  // hundredths of a percent
};

struct ClosureRecord {
  int number = 0;
  std::time_t when = 0;
  GroupAmounts turnover{};
  GroupAmounts vat{};
  int fiscalReceipts = 0;
};

struct TaxRateRecord {
  int number = 0;
  std::time_t when = 0;
  TaxRates rates;
};

struct HeaderRecord {
  int number = 0;
  std::time_t when = 0;
  std::array<std::string, 6> lines;
};

// One printed document in the electronic journal.
struct JournalDocument {
  int zNumber = 0;    // the closure this document belongs to
  int number = 0;     // its number within that day
  std::time_t when = 0;
  std::vector<std::string> lines;
};

struct OpenReceipt {
  enum class Kind { none, fiscal, nonFiscal };
  Kind kind = Kind::none;
  int operatorCode = 0;
  GroupAmounts totals{};
  PaymentAmounts payments{};
  std::int64_t paid = 0;
  int sales = 0;
  int payCount = 0;
  int discounts = 0;
  std::int64_t discountsSum = 0;  // as a positive sum
  int markups = 0;
  std::int64_t markupsSum = 0;
  bool totalPrinted = false;
};

// Since the last closure. VAT is worked out from the turnover when it is reported, as the
// device does, so rounding per receipt never adds up to a cent of difference.
struct DayTotals {
  GroupAmounts turnover{};
  PaymentAmounts payments{};
  int fiscalReceipts = 0;
  int nonFiscalReceipts = 0;
  int documents = 0;
  int discounts = 0;
  std::int64_t discountsSum = 0;
  int markups = 0;
  std::int64_t markupsSum = 0;
  std::int64_t serviceIn = 0;
  std::int64_t serviceOut = 0;
};

class Printer {
 public:
  explicit Printer(PaperRoll& paper);
  // Another serial number than the default, for a shop of several software printers.
  void setSerialNumber(std::string serial) { serial_ = std::move(serial); }

  struct Outcome {
    Bytes data;
    StatusBytes status{};
    bool printed = false;  // the command put something on paper (it takes the print time)
  };

  // Runs one request. Unknown codes, refused commands and malformed data come back as status
  // bits; nothing here throws for a peer's mistake.
  Outcome execute(std::uint8_t cmd, std::string_view data);

  // The status bytes that follow the state, without any error of a command.
  StatusBytes stateStatus() const;

  // What tests and the command line look at.
  // How often a known command was carried out, refused ones included. A repeat answered from
  // the SEQ memory or a NAKed request never reaches the printer and is not counted.
  std::uint64_t executions(std::uint8_t cmd) const;
  const DayTotals& day() const { return day_; }
  const OpenReceipt& receipt() const { return receipt_; }
  const std::vector<ClosureRecord>& closures() const { return closures_; }
  const std::map<long long, Item>& items() const { return items_; }
  const TaxRates& taxRates() const { return rates_; }
  const OperatorRecord& op(int code) const { return operators_.at(static_cast<std::size_t>(code - 1)); }
  int globalFiscalReceipts() const { return globalFiscal_; }
  const std::string& logoRow(int row) const { return logo_.at(static_cast<std::size_t>(row)); }
  std::time_t now() const;

  // Every command code the printer answers to, with the name its handler prints in --help.
  struct CommandInfo {
    std::uint8_t code;
    std::string_view what;
  };
  static std::vector<CommandInfo> commandList();

  // The state a switched-off device keeps (fiscal memory, totals, an open receipt, journal,
  // items, logo, settings) as JSON, and back. loadState throws std::runtime_error for a file it
  // cannot read whole, and then leaves the printer as it was.
  std::string saveState() const;
  void loadState(std::string_view text);

  // The command table: one row per code, saying when the printer accepts it and who runs it.
  enum class When { any, idle, fiscalReceipt, nonFiscalReceipt };
  using Handler = Bytes (Printer::*)(std::string_view data);
  struct CommandRow {
    std::uint8_t code;
    When when;
    Handler run;
    std::string_view what;
  };
  struct SaleLine;  // one sale as parsed from its data field

 private:
  friend struct StateAccess;
  static std::span<const CommandRow> commandTable();

  // Receipt commands (PrinterReceipt.cpp).
  Bytes openFiscalReceipt(std::string_view data);
  Bytes sale(std::string_view data);
  Bytes sellItem(std::string_view data);
  Bytes subtotal(std::string_view data);
  Bytes payment(std::string_view data);
  Bytes fiscalText(std::string_view data);
  Bytes closeFiscalReceipt(std::string_view data);
  Bytes cancelReceipt(std::string_view data);
  Bytes openNonFiscalReceipt(std::string_view data);
  Bytes closeNonFiscalReceipt(std::string_view data);
  Bytes nonFiscalText(std::string_view data);
  Bytes duplicate(std::string_view data);
  Bytes receiptInfo(std::string_view data);
  Bytes transactionStatus(std::string_view data);

  // Paper, display and other small commands (PrinterDevice.cpp).
  Bytes feedPaper(std::string_view data);
  Bytes cutPaper(std::string_view data);
  Bytes separatorLine(std::string_view data);
  Bytes barcode(std::string_view data);
  Bytes clearDisplay(std::string_view data);
  Bytes displayLower(std::string_view data);
  Bytes displayUpper(std::string_view data);
  Bytes displayText(std::string_view data);
  Bytes sound(std::string_view data);
  Bytes drawer(std::string_view data);
  Bytes nothing(std::string_view data);
  Bytes diagnosticPrint(std::string_view data);
  Bytes status(std::string_view data);
  Bytes diagnostics(std::string_view data);
  Bytes uptimeSeconds(std::string_view data);
  Bytes logo(std::string_view data);
  Bytes memoryBlock(std::string_view data);
  Bytes memoryData(std::string_view data);

  // Settings and identity (PrinterSettings.cpp).
  Bytes network(std::string_view data);
  Bytes networkWrite(std::string_view data);
  Bytes switches(std::string_view data);
  Bytes headerItem(std::string_view data);
  Bytes setClock(std::string_view data);
  Bytes readClock(std::string_view data);
  Bytes lastRecordTime(std::string_view data);
  Bytes taxRatesCommand(std::string_view data);
  Bytes readTaxRates(std::string_view data);
  Bytes paymentName(std::string_view data);
  Bytes setSerial(std::string_view data);
  Bytes setTinVrn(std::string_view data);
  Bytes readTinVrn(std::string_view data);
  Bytes changePassword(std::string_view data);
  Bytes operatorName(std::string_view data);
  Bytes operatorInfo(std::string_view data);

  // Closures, fiscal memory and counters (PrinterReports.cpp).
  Bytes closure(std::string_view data);
  Bytes cashInOut(std::string_view data);
  Bytes dateRangeSums(std::string_view data);
  Bytes lastClosure(std::string_view data);
  Bytes dayGroupTotals(std::string_view data);
  Bytes freeClosureRecords(std::string_view data);
  Bytes fiscalMemorySpace(std::string_view data);
  Bytes discountTotals(std::string_view data);
  Bytes reportByRecords(std::string_view data);
  Bytes reportByDates(std::string_view data);
  Bytes reportByNumbers(std::string_view data);
  Bytes operatorsReport(std::string_view data);
  Bytes fiscalMemoryRead(std::string_view data);
  Bytes paymentTotals(std::string_view data);
  Bytes documentCounters(std::string_view data);

  // Item database and journal (PrinterItems.cpp, PrinterJournal.cpp).
  Bytes itemCommand(std::string_view data);
  Bytes itemReport(std::string_view data);
  Bytes journal(std::string_view data);

  // Shared pieces.
  void requireIdle() const;  // settings change only outside receipts
  void print(const std::string& line);
  void printHeader();
  void printTotal();
  void finishReceipt(bool fiscal);
  void journalise();
  std::int64_t book(const SaleLine& line);
  std::int64_t receiptTotal() const;
  GroupAmounts vatOf(const GroupAmounts& totals) const;
  OperatorRecord& currentOperator();
  OperatorRecord& checkedOperator(std::string_view code, std::string_view password);
  void printClosureReport(const char* title, int number);
  void printFiscalReport(char ext, long long first, long long last);
  std::string dateTime(std::time_t t, bool fourDigitYear) const;
  std::time_t lastFiscalRecordTime() const;
  int nextClosureNumber() const { return static_cast<int>(closures_.size()) + 1; }
  void printDocuments(std::span<const JournalDocument* const> docs, std::string_view title);
  Bytes itemRecord(long long plu);

  PaperRoll& paper_;
  std::array<std::uint64_t, 256> executions_{};
  std::chrono::steady_clock::time_point started_;
  std::chrono::seconds clockOffset_{0};
  bool clockSet_ = true;
  std::time_t fiscalisedAt_ = 0;

  std::string serial_ = "OB00000001";
  std::string tin_ = "100200300";
  std::string vrn_ = "40012345A";
  std::array<std::string, 6> header_;
  std::array<std::string, 2> footer_;
  std::array<std::string, 4> paymentNames_{"VOUCHER", "COUPON", "MOBILE", "OTHER"};
  std::array<std::string, 5> network_{"192.168.0.100", "255.255.255.0", "4999", "192.168.0.1",
                                      "02-00-00-00-00-01"};
  std::uint8_t switches_ = 0;
  std::string display_[2];
  std::array<OperatorRecord, kOperators> operators_;
  TaxRates rates_;

  OpenReceipt receipt_;
  DayTotals day_;
  int globalFiscal_ = 0;
  int globalNonFiscal_ = 0;
  int globalDocuments_ = 0;
  std::vector<std::string> lastFiscalReceipt_;
  bool duplicatePrinted_ = true;

  std::vector<ClosureRecord> closures_;
  std::vector<TaxRateRecord> taxRecords_;
  std::vector<HeaderRecord> headerRecords_;
  std::vector<JournalDocument> journal_;
  int journalNumber_ = 1;
  int journalFirstZ_ = 1;
  std::size_t journalLines_ = 0;

  std::map<long long, Item> items_;
  long long itemCursor_ = 0;
  std::array<std::string, kLogoRows> logo_;

  bool printed_ = false;  // set by print() during one command
  // Lines of the document being printed; it goes to the journal when no receipt is open any more.
  std::vector<std::string> pending_;
  int pendingZ_ = 0;  // the closure the pending document belongs to
};

}  // namespace orbantis::emulator
